// Font test jobs, label sizes and the user-font transfer against a scripted
// printer library.
#include "downloads/FontDownload.h"

#include "core/Family.h"
#include "core/Localization.h"
#include "core/PrinterSession.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace FontDownload;
using pellum::test::DelayRecorder;
using pellum::test::FakePrinterLibrary;
using pellum::test::RecordingDialogs;

namespace {

QByteArray AckFor(const QByteArray& packet, int checksumDelta = 0) {
    QByteArray ack = packet.left(8) + QByteArray(2, '\0');
    unsigned sum = 0;
    for (char c : ack)
        sum += std::uint8_t(c);
    sum = (sum + checksumDelta) & 0xFFFF;
    return ack.append(char(sum & 0xFF)).append(char(sum >> 8));
}

class UserFontFixture : public ::testing::Test {
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
        ASSERT_EQ(session.Tspl().Open(session.Port()), 0);
        fake.clear();
    }
    QStringList Texts() const {
        QStringList t;
        for (const auto& m : dialogs.messages)
            t << m.text;
        return t;
    }
    pellum::test::TempProgramFolder folder;
    FakePrinterLibrary fake;
    RecordingDialogs dialogs;
};

} // namespace

TEST(FontTestJob, OneJobPerCommandLanguage) {
    struct Case {
        std::int32_t family;
        const char* expected;
    } cases[] = {
        {4, "^XA\r\n^A@N,50,50,E_ARIAL.TTF\r\n^FO100,100\r\n^FDHello^FS\r\n^XZ\r\n"},
        {1, "SIZE 40 mm,30 mm\r\nCLS\r\nTEXT 10,10,\"E_ARIAL.TTF\",0,24,24,\"Hello\"\r\n"
            "PRINT 1,1\r\n"},
        {3, "! 0 20 20 60 1\r\nT 9 0 8 8 Hello\r\nFORM\r\nPRINT\r\n"},
        {5, "N\r\nA300,10,0,1,2,2,N,\"Hello\"\r\nP1\r\n"},
        {0, "Hello\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FontTestJob(c.family, QStringLiteral("E_ARIAL.TTF"), QStringLiteral("Hello"),
                              QStringLiteral("40"), QStringLiteral("30")),
                  QByteArray(c.expected))
            << c.family;
}

TEST(FontTestJob, LabelSizesStayInTheirRanges) {
    EXPECT_EQ(ClampPrintableWidth(QStringLiteral("200"), 80), QStringLiteral("80"));
    EXPECT_EQ(ClampPrintableWidth(QStringLiteral("5"), 80), QStringLiteral("10"));
    EXPECT_EQ(ClampPrintableWidth(QStringLiteral("56"), 80), QStringLiteral("56"));
    EXPECT_EQ(ClampPrintableWidth(QString(), 80), QStringLiteral("10"));
    EXPECT_EQ(ClampPrintableHeight(QStringLiteral("300")), QStringLiteral("210"));
    EXPECT_EQ(ClampPrintableHeight(QStringLiteral("9")), QStringLiteral("10"));
    EXPECT_EQ(ClampPrintableHeight(QStringLiteral("210")), QStringLiteral("210"));
}

TEST_F(UserFontFixture, AnnouncementCarriesTheEncodingInLowerCase) {
    fake.replies = {QByteArray("OK")};
    DelayRecorder delays;
    EXPECT_TRUE(AnnounceUserFont(session, QStringLiteral("BIG5")));
    EXPECT_EQ(fake.writes().at(0),
              QByteArray::fromHex("1B1C2620563120") + "do \"userfont_download\" \"big5\"\r\n");
    fake.clear();
    fake.replies = {QByteArray("NG")};
    EXPECT_FALSE(AnnounceUserFont(session, QStringLiteral("GBK")));
}

TEST_F(UserFontFixture, A2048ByteFontTravelsInThreeFilledPackets) {
    QByteArray font(2048, '\0');
    for (int i = 0; i < font.size(); ++i)
        font[i] = char(i);
    UserFontSender s(session, font);
    ASSERT_EQ(s.packetCount(), 3);
    for (std::uint32_t i = 0; i < 3; ++i)
        fake.replies.push_back(AckFor(PacketDownload::BuildDownloadPacket(
            font, i * 1024, i, PacketDownload::PacketFill::UserFont)));
    DelayRecorder delays;
    std::vector<std::int32_t> progress;
    bool completeBeforeMessage = false;
    s.onPacket = [&](std::int32_t n) { progress.push_back(n); };
    s.onComplete = [&] { completeBeforeMessage = dialogs.messages.empty(); };
    EXPECT_EQ(s.Step(), UserFontSender::Result::Continue);
    EXPECT_EQ(s.Step(), UserFontSender::Result::Continue);
    EXPECT_EQ(s.Step(), UserFontSender::Result::Done);
    const auto writes = fake.writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[2].mid(8, 2), QByteArray(2, '\0')); // n = 0
    EXPECT_EQ(writes[2].mid(10, 1024), QByteArray(1024, char(0xFF)));
    EXPECT_EQ(progress, (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(delays.waits(), (std::vector<int>{1000, 30, 30}));
    EXPECT_TRUE(completeBeforeMessage);
    EXPECT_EQ(Texts(), QStringList{pellum::lang::Msg(QStringLiteral("_DownloadSuccess"))});
    EXPECT_EQ(fake.ops().back(), "close");
}

TEST_F(UserFontFixture, BadAcknowledgementsStopTheFont) {
    const QByteArray font(10, 'f');
    const QByteArray packet =
        PacketDownload::BuildDownloadPacket(font, 0, 0, PacketDownload::PacketFill::UserFont);
    struct Case {
        QByteArray reply;
        QString message;
    } cases[] = {
        {AckFor(packet, 1), pellum::lang::Msg(QStringLiteral("_Err_CheckSum"))},
        {QByteArray(), pellum::lang::LangText(QStringLiteral("FormDownloadFont_ErrIO"))},
        // A file packet's checksum (over the data only) is not the font's.
        {AckFor(PacketDownload::BuildDownloadPacket(font, 0, 0)).left(8) + QByteArray(2, '\0') +
             QByteArray(2, '\x7F'),
         pellum::lang::Msg(QStringLiteral("_Err_CheckSum"))},
    };
    for (const Case& c : cases) {
        fake.clear();
        dialogs.messages.clear();
        fake.replies = {c.reply};
        DelayRecorder delays;
        UserFontSender s(session, font);
        EXPECT_EQ(s.Step(), UserFontSender::Result::Failed);
        EXPECT_EQ(Texts(), QStringList{c.message});
        EXPECT_NE(fake.ops().back(), "close");
    }
}
