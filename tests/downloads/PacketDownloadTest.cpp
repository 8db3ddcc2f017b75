// The packet stream, acknowledgements, names, capacities and the sender
// against a scripted printer library.
#include "downloads/PacketDownload.h"

#include "downloads/FirmwarePackage.h"

#include "core/Family.h"
#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "platform/Delay.h"
#include "settings/PrinterCMD.h"

#include "TestSupport.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace PacketDownload;
using pellum::test::DelayRecorder;
using pellum::test::FakePrinterLibrary;
using pellum::test::RecordingDialogs;

namespace {

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}

// The acknowledgement a printer sends for `packet`, summed here by hand.
QByteArray AckFor(const QByteArray& packet, std::uint16_t status = 0, int checksumDelta = 0) {
    QByteArray ack = packet.left(8);
    ack.append(char(status & 0xFF)).append(char(status >> 8));
    unsigned sum = 0;
    for (char c : ack)
        sum += std::uint8_t(c);
    sum = (sum + checksumDelta) & 0xFFFF;
    ack.append(char(sum & 0xFF)).append(char(sum >> 8));
    return ack;
}

QByteArray GetValReply(const char* text) {
    return QByteArray(text) + '\0';
}

class PacketFixture : public ::testing::Test {
protected:
    pellum::PrinterSession session;
    void SetUp() override {
        folder.makeCurrent();
        pellum::lang::LanguageId = QStringLiteral("1033");
        pellum::lang::LoadMessageTable();
        session.SetPort(QStringLiteral("NET,127.0.0.1:9"));
        session.SetFamily(pellum::FamilyTSPL);
        session.SetLibraryModel(QStringLiteral("Spruce"));
        ASSERT_EQ(session.Tspl().Create(QStringLiteral("Spruce")), 0);
        fake.clear();
        session.portHeld = false;
        DownloadState::DownloadCancelled = false;
    }
    void TearDown() override {
        WaitForDownloadThreads();
        session.portHeld = false;
        pellum::SetDelayHook({});
    }
    // Prepares DownloadState for `data` as the window does before it starts.
    void Prepare(const QByteArray& data) {
        DownloadState::DownloadData = data;
        DownloadState::PacketSize = kPacketSize;
        DownloadState::KbPerPacket = 1;
        DownloadState::PacketIndex = 0;
        DownloadState::PacketCount = PacketCountFor(data.size());
    }
    std::vector<QByteArray> PacketsWritten() const {
        std::vector<QByteArray> packets;
        for (const QByteArray& w : fake.writes())
            if (w.startsWith(kPacketMarker))
                packets.push_back(w);
        return packets;
    }
    QStringList Texts() const {
        QStringList t;
        for (const auto& m : dialogs.messages)
            t << m.text;
        return t;
    }
    QString Text(const char* key) { return pellum::lang::LangText(QLatin1String(key)); }
    QString Msg(const char* key) { return pellum::lang::Msg(QLatin1String(key)); }

    pellum::test::TempProgramFolder folder;
    FakePrinterLibrary fake;
    RecordingDialogs dialogs;
};

} // namespace

TEST(DownloadPacket, WorkedExamples) {
    // The second packet of a 1024-byte file carries no data: its checksum
    // covers the ten header bytes only.
    const QByteArray file(1024, 'x');
    EXPECT_EQ(PacketCountFor(file.size()), 2);
    const QByteArray last = BuildDownloadPacket(file, 1024, 1);
    ASSERT_EQ(last.size(), 1036);
    EXPECT_EQ(last.left(10), Hex("DDCCBBAA010000000000"));
    EXPECT_EQ(last.mid(10, 1024), QByteArray(1024, '\0'));
    EXPECT_EQ(last.right(2), Hex("0F03"));
    const QByteArray first = BuildDownloadPacket(file, 0, 0);
    EXPECT_EQ(first.mid(8, 2), Hex("0004"));
    EXPECT_EQ(first.mid(10, 1024), file);

    const QByteArray abc("ABC");
    const QByteArray p = BuildDownloadPacket(abc, 0, 0x102);
    EXPECT_EQ(p.left(13), Hex("DDCCBBAA02010000030041 4243"));
    EXPECT_EQ(p.mid(13, 1021), QByteArray(1021, '\0'));
    EXPECT_EQ(p.right(2), Hex("DA03"));

    // A user-font packet is filled with FF and summed over its whole length.
    const QByteArray u = BuildDownloadPacket(abc, 0, 0, PacketFill::UserFont);
    EXPECT_EQ(u.left(13), Hex("DDCCBBAA0000000003004142 43"));
    EXPECT_EQ(u.mid(13, 1021), QByteArray(1021, char(0xFF)));
    EXPECT_EQ(u.right(2), Hex("DAFC"));
}

TEST(DownloadPacket, CountsAlwaysEndWithAShortPacket) {
    struct Case {
        qsizetype length;
        std::int32_t packets;
        int lastN;
    } cases[] = {{0, 1, 0},    {1, 1, 1},    {1023, 1, 1023}, {1024, 2, 0},
                 {1025, 2, 1}, {2048, 3, 0}, {3000, 3, 952}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const QByteArray data(c.length, 'a');
        ASSERT_EQ(PacketCountFor(c.length), c.packets);
        const QByteArray last = BuildDownloadPacket(data, qsizetype(c.packets - 1) * 1024,
                                                    std::uint32_t(c.packets - 1));
        EXPECT_EQ(std::uint8_t(last[8]) | std::uint8_t(last[9]) << 8, c.lastN);
    }
}

TEST(PacketAck, AcceptsOnlyAnEchoWithStatusZeroAndItsChecksum) {
    const QByteArray packet = BuildDownloadPacket(QByteArray("ABC"), 0, 0x102);
    struct Case {
        const char* name;
        QByteArray reply;
        AckResult expected;
    } cases[] = {
        {"good", AckFor(packet), AckResult::Accepted},
        {"status 01 00", AckFor(packet, 1), AckResult::Bad},
        {"status 00 01", AckFor(packet, 0x100), AckResult::Bad},
        {"checksum off by one", AckFor(packet, 0, 1), AckResult::BadChecksum},
        {"short", AckFor(packet).left(11), AckResult::Bad},
        {"nothing", QByteArray(), AckResult::Bad},
        {"other index", AckFor(BuildDownloadPacket(QByteArray("ABC"), 0, 0x103)), AckResult::Bad},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckPacketAck(packet, c.reply), c.expected) << c.name;
}

TEST_F(PacketFixture, FileNamesCapacitiesAndStoredLists) {
    struct Name {
        QString name;
        QString message;
    } names[] = {
        {QStringLiteral("ABCDEFGHIJ"), QString()},
        {QStringLiteral("logo.png"), QString()},
        {QStringLiteral("ABCDEFGHIJK"),
         Text("_Err_FileNameLength").replace(QLatin1String("%1"), QLatin1String("10"))},
        {QStringLiteral("A B.prn"), Text("msgASCIIFileName")},
        {QStringLiteral("caf\u00e9.prn"), QString()},
        {QStringLiteral("ab\u0100.prn"), Text("msgASCIIFileName")},
    };
    for (const Name& n : names)
        EXPECT_EQ(CheckDownloadFileName(n.name), n.message) << n.name.toStdString();
    EXPECT_TRUE(Text("_Err_FileNameLength").contains(QLatin1String("%1")));

    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(FormatCapacity(QStringLiteral("1048576")), QStringLiteral("1,048,576"));
    EXPECT_EQ(FormatCapacity(QStringLiteral("1234567")), QStringLiteral("1,234,567"));
    EXPECT_EQ(FormatCapacity(QStringLiteral("0")), QStringLiteral("0"));
    EXPECT_EQ(FormatCapacity(QStringLiteral("abc")), QString());
    EXPECT_EQ(FormatCapacity(QStringLiteral("1.5")), QString());
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatCapacity(QStringLiteral("1048576")), QStringLiteral("1.048.576"));
    QLocale::setDefault(QLocale::c());

    const QList<StoredFile> files = ParseStoredFileList(QStringLiteral("R_A.GRF,E_LOGO.GRF"));
    ASSERT_EQ(files.size(), 2);
    EXPECT_TRUE(files[0].ram);
    EXPECT_EQ(files[0].name, QStringLiteral("A.GRF"));
    EXPECT_FALSE(files[1].ram);
    EXPECT_EQ(files[1].name, QStringLiteral("LOGO.GRF"));
    EXPECT_EQ(ParseStoredFileList(QStringLiteral("E_AUTO.PRN,")).size(), 1);
}

TEST_F(PacketFixture, CapacityQueryUsesTheKeysOfTheChosenMemory) {
    ASSERT_TRUE(PrinterCMD::CmdHoldOpen(session));
    fake.replies = {GetValReply("100"), GetValReply("4000000000")};
    CapacityInfo info;
    ASSERT_TRUE(QueryCapacity(session, true, &info));
    EXPECT_EQ(DownloadState::FreeCapacity, 4000000000LL); // above 32 bits
    const QByteArray sent = fake.written();
    EXPECT_TRUE(sent.contains("getval \"use_capacity_ram\"\r\n"));
    EXPECT_TRUE(sent.contains("getval \"remain_capacity_ram\"\r\n"));
    fake.clear();
    fake.replies = {GetValReply("100"), GetValReply("lots")};
    EXPECT_FALSE(QueryCapacity(session, false, &info));
    EXPECT_EQ(DownloadState::FreeCapacity, 0);
    EXPECT_TRUE(fake.written().contains("getval \"remain_capacity\"\r\n"));
    fake.replies = {GetValReply("")};
    EXPECT_FALSE(QueryCapacity(session, false, &info));
}

TEST_F(PacketFixture, AnnouncementNeedsExactlyOK) {
    struct Case {
        QByteArray reply;
        bool accepted;
    } cases[] = {{"OK", true}, {"NG", false}, {"O", false}, {"", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply.toStdString());
        fake.clear();
        fake.replies = {c.reply};
        DelayRecorder delays;
        EXPECT_EQ(AnnounceDownload(session, kClassBitmaps, QStringLiteral("E_logo.GRF")),
                  c.accepted);
        EXPECT_EQ(fake.writes().at(0),
                  Hex("1B1C2620563120") + "do \"download\" \"bitmaps\" \"E_logo.GRF\"\r\n");
        ASSERT_FALSE(delays.waits().empty());
        EXPECT_EQ(delays.waits().front(), 100);
    }
}

TEST_F(PacketFixture, SenderStreamsEveryPacketThenRefreshesListAndCapacity) {
    QByteArray data(2100, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    Prepare(data);
    ASSERT_TRUE(PrinterCMD::CmdHoldOpen(session));
    for (std::uint32_t i = 0; i < 3; ++i)
        fake.replies.push_back(AckFor(BuildDownloadPacket(data, i * 1024, i)));
    fake.replies.push_back(GetValReply("R_A.GRF,E_LOGO.GRF"));
    fake.replies.push_back(GetValReply("2100"));
    fake.replies.push_back(GetValReply("900000"));
    DelayRecorder delays;
    QString list;
    CapacityInfo capacity;
    std::vector<std::string> order;
    TDLThread sender(
        session, {kClassBitmaps, false, false},
        {[&](const QString& l) { list = l; }, [&](const CapacityInfo& c) { capacity = c; },
         [&] { order.push_back("idle with " + std::to_string(dialogs.messages.size())); },
         [&](SendOutcome o) { order.push_back(o == SendOutcome::Completed ? "completed" : "?"); }});
    EXPECT_EQ(sender.Execute(), SendOutcome::Completed);
    const auto packets = PacketsWritten();
    ASSERT_EQ(packets.size(), 3u);
    for (std::uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(packets[i], BuildDownloadPacket(data, i * 1024, i));
    EXPECT_EQ(DownloadState::PacketIndex, 3);
    EXPECT_EQ(list, QStringLiteral("R_A.GRF,E_LOGO.GRF"));
    EXPECT_EQ(capacity.remaining, QStringLiteral("900000"));
    EXPECT_EQ(DownloadState::FreeCapacity, 900000);
    EXPECT_EQ(Texts(), QStringList{Msg("_DownloadSuccess")});
    // Idle after the message, and the end last of all.
    EXPECT_EQ(order, (std::vector<std::string>{"idle with 1", "completed"}));
    EXPECT_FALSE(session.portHeld);
    // 20 ms after each packet, then the pause before the list (getval waits
    // are the key-value protocol's own).
    const std::vector<int> waits = delays.waits();
    ASSERT_GE(waits.size(), 4u);
    EXPECT_EQ(std::vector<int>(waits.begin(), waits.begin() + 4),
              (std::vector<int>{20, 20, 20, 1000}));
    // Reads of the acknowledgements ask for 12 bytes.
    for (const auto& call : fake.callsOf("read"))
        EXPECT_EQ(call.size, 12);
}

TEST_F(PacketFixture, BadAcknowledgementsStopTheStream) {
    const QByteArray data(3000, 'z');
    struct Case {
        const char* name;
        QByteArray secondAck; // reply to packet 1
        std::int32_t writeResult;
        QString message;
    } cases[] = {
        {"status 01 00", AckFor(BuildDownloadPacket(data, 1024, 1), 1), 0, Text("FormGDL_ErrIO")},
        {"wrong checksum", AckFor(BuildDownloadPacket(data, 1024, 1), 0, 5), 0,
         Msg("_Err_CheckSum")},
        {"no reply", QByteArray(), 0, Text("FormGDL_ErrIO")},
        {"echo of packet 0", AckFor(BuildDownloadPacket(data, 0, 0)), 0, Text("FormGDL_ErrIO")},
        {"write fails", QByteArray(), -3, Text("FormGDL_ErrIO")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake.clear();
        dialogs.messages.clear();
        DownloadState::DownloadCancelled = false;
        Prepare(data);
        ASSERT_TRUE(PrinterCMD::CmdHoldOpen(session));
        fake.replies = {AckFor(BuildDownloadPacket(data, 0, 0))};
        if (!c.secondAck.isEmpty())
            fake.replies.push_back(c.secondAck);
        if (c.writeResult != 0)
            fake.writeResults = {0, c.writeResult};
        DelayRecorder delays;
        bool idle = false;
        SendOutcome finished = SendOutcome::Completed;
        TDLThread sender(
            session, {},
            {nullptr, nullptr, [&] { idle = true; }, [&](SendOutcome o) { finished = o; }});
        EXPECT_EQ(sender.Execute(), SendOutcome::Failed);
        EXPECT_EQ(finished, SendOutcome::Failed);
        EXPECT_EQ(PacketsWritten().size(), 2u); // nothing after the second packet
        EXPECT_EQ(Texts(), QStringList{c.message});
        EXPECT_TRUE(DownloadState::DownloadCancelled);
        EXPECT_FALSE(session.portHeld);
        EXPECT_FALSE(idle);                           // the button stays on cancel until pressed
        EXPECT_TRUE(fake.callsOf("readEof").empty()); // no list, no capacity
    }
}

TEST_F(PacketFixture, CancellationStopsBothThreadsBetweenPackets) {
    const QByteArray data(10 * 1024, 'c');
    Prepare(data);
    ASSERT_TRUE(PrinterCMD::CmdHoldOpen(session));
    for (std::uint32_t i = 0; i < 11; ++i)
        fake.replies.push_back(AckFor(BuildDownloadPacket(data, i * 1024, i)));
    // The user cancels while the third packet's acknowledgement is awaited.
    pellum::SetDelayHook([&](int) {
        if (PacketsWritten().size() >= 3)
            DownloadState::DownloadCancelled = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    std::vector<int> shown;
    std::mutex shownMutex;
    StartDownloadThreads(
        std::make_unique<TDLInfoThread>([&](int kb) {
            std::lock_guard<std::mutex> lock(shownMutex);
            shown.push_back(kb);
        }),
        std::make_unique<TDLThread>(session, TDLThread::Options{}, TDLThread::Events{}));
    WaitForDownloadThreads();
    EXPECT_FALSE(DownloadThreadsRunning());
    EXPECT_EQ(PacketsWritten().size(), 3u);
    EXPECT_TRUE(dialogs.messages.empty()); // a cancel says nothing
    EXPECT_FALSE(session.portHeld);
    EXPECT_EQ(fake.ops().back(), "close"); // closed and released
    for (int kb : shown)
        EXPECT_LE(kb, 3);
}

TEST_F(PacketFixture, ProgressEndsOnTheLastPacket) {
    const QByteArray data(5000, 'p');
    Prepare(data);
    ASSERT_TRUE(PrinterCMD::CmdHoldOpen(session));
    for (std::uint32_t i = 0; i < 5; ++i)
        fake.replies.push_back(AckFor(BuildDownloadPacket(data, i * 1024, i)));
    pellum::SetDelayHook([](int) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
    std::vector<int> shown;
    std::mutex shownMutex;
    StartDownloadThreads(
        std::make_unique<TDLInfoThread>([&](int kb) {
            std::lock_guard<std::mutex> lock(shownMutex);
            shown.push_back(kb);
        }),
        std::make_unique<TDLThread>(session, TDLThread::Options{}, TDLThread::Events{}));
    WaitForDownloadThreads();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), 5);
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    EXPECT_EQ(PacketsWritten().size(), 5u);
}

// Texts whose keys the language-file test cannot see in the sources: the
// short window keys and the firmware status keys the code composes.
TEST_F(PacketFixture, EveryTextTheDownloadsLookUpExistsInEveryLanguage) {
    QStringList keys = {QStringLiteral("msgDL"),
                        QStringLiteral("msgCC"),
                        QStringLiteral("mNoSP"),
                        QStringLiteral("msgsi"),
                        QStringLiteral("msgASCIIFileName"),
                        QStringLiteral("_Err_FileNameLength")};
    for (int status = 1; status <= 7; ++status)
        keys << FirmwarePackage::StatusMessageKey(status);
    for (const char* id : {"1033", "2052", "1028"}) {
        pellum::lang::LanguageId = QLatin1String(id);
        for (const QString& key : keys)
            EXPECT_FALSE(pellum::lang::LangText(key).isEmpty()) << id << " " << key.toStdString();
        EXPECT_TRUE(pellum::lang::LangText(QStringLiteral("_Err_FileNameLength"))
                        .contains(QLatin1String("%1")))
            << id;
        EXPECT_NE(pellum::lang::LangText(QStringLiteral("msgDL")),
                  pellum::lang::LangText(QStringLiteral("msgCC")))
            << id;
        EXPECT_NE(pellum::lang::LangText(QStringLiteral("FormDLFile_SwitchOn")),
                  pellum::lang::LangText(QStringLiteral("FormDLFile_SwitchOff")))
            << id;
    }
    pellum::lang::LanguageId = QStringLiteral("1033");
}
