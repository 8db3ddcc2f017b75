// The parameter-block exchanges against a scripted printer library, and the
// field encodings of the block.
#include "settings/ParameterBlock.h"
#include "core/Family.h"
#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "settings/FieldCodec.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace ParameterBlockProtocol;
using pellum::test::DelayRecorder;
using pellum::test::FakePrinterLibrary;
using pellum::test::RecordingDialogs;
using pellum::test::TempProgramFolder;

namespace {

ParameterBlock RandomBlock(unsigned seed) {
    std::mt19937 rng(seed);
    ParameterBlock b{};
    b[0] = kMarker;
    for (int i = 1; i < kChecksumOffset; ++i)
        b[std::size_t(i)] = std::uint8_t(rng() & 0xFF);
    SealBlock(b);
    return b;
}

QByteArray Bytes(const ParameterBlock& b) {
    return ToBytes(b);
}

std::vector<std::int32_t> ReadSizes(const FakePrinterLibrary& fake) {
    std::vector<std::int32_t> sizes;
    for (const auto& c : fake.callsOf("read"))
        sizes.push_back(c.size);
    return sizes;
}

class BlockExchange : public ::testing::Test {
protected:
    pellum::PrinterSession session;
    void SetUp() override {
        folder.makeCurrent();
        pellum::lang::LanguageId = QStringLiteral("1033");
        pellum::lang::LoadMessageTable();
        session.SetLibraryModel(QStringLiteral("PL"));
        ASSERT_EQ(session.Tspl().Create(QStringLiteral("PL")), 0);
        fake.clear();
        session.SetPort(QStringLiteral("NET,127.0.0.1:9"));
        session.SetFamily(pellum::FamilyTSPL);
    }
    void TearDown() override { session.SetFamily(pellum::FamilyTSPL); }

    TempProgramFolder folder;
    FakePrinterLibrary fake;
    DelayRecorder delays;
    RecordingDialogs dialogs;
};

} // namespace

TEST(Checksum16, WorkedSums) {
    ParameterBlock zeros{};
    zeros[0] = 0x78;
    EXPECT_EQ(Checksum16(zeros.data(), 254), 0x0078);
    std::vector<std::uint8_t> ff(300, 0xFF);
    EXPECT_EQ(Checksum16(ff.data(), 254), 0xFD02);
    EXPECT_EQ(Checksum16(ff.data(), 300), 10964);
    EXPECT_EQ(Checksum16(ff.data(), 0), 0);
    SealBlock(zeros);
    EXPECT_EQ(zeros[254], 0x78);
    EXPECT_EQ(zeros[255], 0x00);
}

TEST_F(BlockExchange, CompleteReplyPerFamily) {
    struct Case {
        std::int32_t family;
        QByteArray command;
    } cases[] = {
        {pellum::FamilyTSPL, QByteArray::fromHex("5A5A5A43520A")},
        {pellum::FamilyESC, QByteArray::fromHex("1262")},
        {pellum::FamilyCPCL, QByteArray::fromHex("1262")},
        {pellum::FamilyZPL, QByteArray::fromHex("1262")},
    };
    for (const Case& c : cases) {
        fake.clear();
        delays.clear();
        session.SetFamily(c.family);
        const ParameterBlock sent = RandomBlock(7);
        fake.replies = {Bytes(sent)};
        ParameterBlock got{};
        QString message;
        ReadParameterBlock(session, got, message);
        EXPECT_EQ(message, QStringLiteral("OK"));
        EXPECT_EQ(got, sent);
        EXPECT_EQ(fake.written(), c.command);
        // One read of 256 bytes: no completing read after a complete reply.
        EXPECT_EQ(ReadSizes(fake), (std::vector<std::int32_t>{256}));
        EXPECT_EQ(fake.ops(), (std::vector<std::string>{"open", "write", "read", "close"}));
        EXPECT_EQ(fake.callsOf("open").front().text, QStringLiteral("NET,127.0.0.1:9"));
        EXPECT_EQ(delays.waits(), (std::vector<int>{200, 50}));
    }
}

TEST_F(BlockExchange, SplitReplyIsCompletedByAskingForWhatIsMissing) {
    const ParameterBlock sent = RandomBlock(11);
    const QByteArray all = Bytes(sent);
    // 200 bytes, nothing on the retry of the first read, then the last 56.
    fake.replies = {all.left(200), QByteArray(), all.mid(200)};
    ParameterBlock got{};
    QString message;
    ReadParameterBlock(session, got, message);
    EXPECT_EQ(message, QStringLiteral("OK"));
    EXPECT_EQ(got, sent);
    const auto sizes = ReadSizes(fake);
    ASSERT_GE(sizes.size(), 2u);
    EXPECT_EQ(sizes.front(), 256);
    EXPECT_EQ(sizes.back(), 56);
    // The waits keep their order: 200 before the read, 50 after it.
    const auto waits = delays.waits();
    ASSERT_FALSE(waits.empty());
    EXPECT_EQ(waits.front(), 200);
    EXPECT_NE(std::find(waits.begin(), waits.end(), 50), waits.end());
}

TEST_F(BlockExchange, ReplyMissingOnlyItsLastByteIsCompletedToo) {
    const ParameterBlock sent = RandomBlock(12);
    const QByteArray all = Bytes(sent);
    ASSERT_NE(sent[254], 0); // byte 254 arrived and is not zero
    fake.replies = {all.left(255), QByteArray(), all.mid(255)};
    ParameterBlock got{};
    QString message;
    ReadParameterBlock(session, got, message);
    EXPECT_EQ(message, QStringLiteral("OK"));
    EXPECT_EQ(got, sent);
    EXPECT_EQ(ReadSizes(fake).back(), 1);
}

TEST_F(BlockExchange, FailuresLeaveTheBlockUntouched) {
    const QByteArray good = Bytes(RandomBlock(3));
    QByteArray badSum = good;
    badSum[254] = char(badSum[254] ^ 0x01);
    QByteArray badMarker = good;
    badMarker[0] = 0x77;
    struct Case {
        const char* name;
        std::deque<QByteArray> replies;
        std::deque<std::int32_t> openResults;
        std::deque<std::int32_t> writeResults;
        const char* key;
        std::vector<std::string> ops;
    } cases[] = {
        {"short reply", {good.left(100)}, {}, {}, "_Err_CheckSum", {}},
        {"no reply", {}, {}, {}, "_Err_ReadData", {}},
        {"bad checksum", {badSum}, {}, {}, "_Err_CheckSum", {}},
        {"bad marker", {badMarker}, {}, {}, "_Err_ReadData", {}},
        {"open fails", {good}, {3}, {}, "_Err_OpenPort", {"open"}},
        {"command fails", {good}, {}, {9}, "_Err_WriteData", {"open", "write", "close"}},
    };
    for (const Case& c : cases) {
        fake.clear();
        fake.replies = c.replies;
        fake.openResults = c.openResults;
        fake.writeResults = c.writeResults;
        ParameterBlock got;
        got.fill(0xAA);
        const ParameterBlock before = got;
        QString message;
        QString key;
        ReadParameterBlock(session, got, message, &key);
        EXPECT_EQ(key, QString::fromLatin1(c.key)) << c.name;
        EXPECT_EQ(message, pellum::lang::Msg(QString::fromLatin1(c.key))) << c.name;
        EXPECT_FALSE(message.isEmpty()) << c.name;
        EXPECT_EQ(got, before) << c.name;
        if (!c.ops.empty())
            EXPECT_EQ(fake.ops(), c.ops) << c.name;
        else
            EXPECT_EQ(fake.ops().back(), "close") << c.name;
    }
    EXPECT_TRUE(dialogs.messages.empty()); // the read shows nothing itself
}

TEST_F(BlockExchange, OpenResultFiveCountsAsOpened) {
    const ParameterBlock sent = RandomBlock(5);
    fake.replies = {Bytes(sent)};
    fake.openResults = {5, 5}; // the reopen answers 5 as well
    ParameterBlock got{};
    QString message;
    ReadParameterBlock(session, got, message);
    EXPECT_EQ(message, QStringLiteral("OK"));
    EXPECT_EQ(got, sent);
}

TEST_F(BlockExchange, WriteSendsCommandThenSealedCopy) {
    struct Case {
        std::int32_t family;
        QByteArray command;
    } cases[] = {
        {pellum::FamilyTSPL, QByteArray::fromHex("5A5A5A435720")},
        {pellum::FamilyESC, QByteArray::fromHex("1263")},
        {pellum::FamilyCPCL, QByteArray::fromHex("1263")},
    };
    for (const Case& c : cases) {
        fake.clear();
        delays.clear();
        session.SetFamily(c.family);
        ParameterBlock block = RandomBlock(21);
        block[254] = 0x12; // whatever the caller has there is replaced
        block[255] = 0x34;
        const ParameterBlock callers = block;
        ASSERT_TRUE(WriteParameterBlock(session, block));
        EXPECT_EQ(block, callers);
        const auto writes = fake.writes();
        ASSERT_EQ(writes.size(), 2u);
        EXPECT_EQ(writes[0], c.command);
        ASSERT_EQ(writes[1].size(), 256);
        ParameterBlock sealed = callers;
        SealBlock(sealed);
        EXPECT_EQ(writes[1], Bytes(sealed));
        EXPECT_EQ(delays.waits(), (std::vector<int>{20}));
        EXPECT_EQ(fake.ops(), (std::vector<std::string>{"open", "write", "write", "close"}));
    }
}

TEST_F(BlockExchange, WriteFailures) {
    const ParameterBlock block = RandomBlock(2);
    fake.openResults = {3};
    EXPECT_FALSE(WriteParameterBlock(session, block));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, pellum::MessageKind::Error);
    EXPECT_EQ(dialogs.messages[0].title, pellum::lang::Msg(QStringLiteral("_MSG_Title_Error")));
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("3:") + pellum::lang::Msg(QStringLiteral("_Err_OpenPort")));
    EXPECT_TRUE(fake.writes().empty());

    fake.clear();
    fake.writeResults = {4};
    EXPECT_FALSE(WriteParameterBlock(session, block));
    EXPECT_EQ(fake.writes().size(), 1u); // the block is not sent
    EXPECT_EQ(fake.ops().back(), "close");

    fake.clear();
    fake.writeResults = {0, 4};
    EXPECT_FALSE(WriteParameterBlock(session, block));
    EXPECT_EQ(fake.writes().size(), 2u);
    EXPECT_EQ(fake.ops().back(), "close");
    EXPECT_EQ(dialogs.messages.size(), 1u); // only the open failure was shown
}

TEST(FieldCodec, EncodingsBothWays) {
    using namespace FieldCodec;
    ParameterBlock b{};
    b[130] = 0xE2;
    b[131] = 0xFF;
    EXPECT_EQ(ReadHeat(b, 130), -30);
    b[131] = 0x01; // any non-zero high byte means negative
    EXPECT_EQ(ReadHeat(b, 130), 0xE2 - 256);
    b[131] = 0x00;
    EXPECT_EQ(ReadHeat(b, 130), 0xE2);

    struct HeatCase {
        int value;
        std::uint8_t low, high;
    } heats[] = {{-5, 0xFB, 0xFF}, {15, 0x0F, 0x00}, {-50, 0xCE, 0xFF}, {0, 0, 0}, {50, 0x32, 0}};
    for (const HeatCase& h : heats) {
        WriteHeat(b, 90, h.value);
        EXPECT_EQ(b[90], h.low) << h.value;
        EXPECT_EQ(b[91], h.high) << h.value;
        EXPECT_EQ(ReadHeat(b, 90), h.value);
    }

    WriteMillimetres(b, 70, 100);
    EXPECT_EQ(b[70], 0x20);
    EXPECT_EQ(b[71], 0x03);
    b[70] = 0x27; // 807 dots: the remainder is dropped
    EXPECT_EQ(ReadMillimetres(b, 70), 100);

    WriteByte(b, 88, 300);
    EXPECT_EQ(b[88], 44);
    b[5] = 7;
    EXPECT_EQ(ReadFlag(b, 5), 1);

    EXPECT_EQ(VoltsToRaw(1.5), 1862);
    EXPECT_EQ(VoltsToRaw(3.3), 4096);
    EXPECT_EQ(VoltsToRaw(0), 0);
    EXPECT_DOUBLE_EQ(ShownVolts(1000), 0.8);
    // Readings beyond 16 bits stay at the ends instead of wrapping round:
    // the highest reading is shown as 52.8 and stored back as itself.
    EXPECT_DOUBLE_EQ(ShownVolts(0xFFFF), 52.8);
    EXPECT_EQ(VoltsToRaw(52.8), 0xFFFF);
    EXPECT_EQ(VoltsToRaw(99), 0xFFFF);
    EXPECT_EQ(VoltsToRaw(-1), 0);

    // Text: stops before the first byte at or below 0x20; padding with 0x00.
    ParameterBlock t;
    t.fill(0x41);
    WriteText(t, 10, 16, QStringLiteral("Name"));
    EXPECT_EQ(ReadText(t, 10, 16), QStringLiteral("Name"));
    for (int i = 14; i < 26; ++i)
        EXPECT_EQ(t[std::size_t(i)], 0) << i;
    EXPECT_EQ(t[26], 0x41);
    WriteText(t, 20, 4, QStringLiteral("123456")); // never beyond the field
    EXPECT_EQ(t[24], 0);
    EXPECT_EQ(ReadText(t, 20, 4), QStringLiteral("1234"));
    t[30] = 'a';
    t[31] = ' ';
    t[32] = 'b';
    EXPECT_EQ(ReadText(t, 30, 4), QStringLiteral("a"));
}
