// Firmware packages: their records, their steps and the transfer with the
// printer's status bytes, against a scripted printer library.
#include "downloads/FirmwarePackage.h"

#include "core/Localization.h"
#include "core/PrinterSession.h"

#include "TestPictures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace FirmwarePackage;
using downloads_test::FirmwareRecord;
using pellum::test::DelayRecorder;
using pellum::test::FakePrinterLibrary;
using pellum::test::RecordingDialogs;

namespace {

class FirmwareFixture : public ::testing::Test {
protected:
    pellum::PrinterSession session;
    void SetUp() override {
        folder.makeCurrent();
        pellum::lang::LanguageId = QStringLiteral("1033");
        pellum::lang::LoadMessageTable();
        session.SetPort(QStringLiteral("NET,127.0.0.1:9"));
        session.SetLibraryModel(QStringLiteral("Spruce"));
        ASSERT_EQ(session.Tspl().Create(QStringLiteral("Spruce")), 0);
        ASSERT_EQ(session.Tspl().Open(session.Port()), 0);
        fake.clear();
    }
    // Runs the sender to its end; the number of steps it took.
    Sender::Result Run(Sender& s) {
        for (int i = 0; i < 10000; ++i) {
            const Sender::Result r = s.Step();
            if (r != Sender::Result::Continue)
                return r;
        }
        ADD_FAILURE() << "the sender never ended";
        return Sender::Result::Failed;
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

TEST(FirmwareRecords, HeadersBodiesAndSteps) {
    QByteArray header = FirmwareRecord(2500, 7, "MAIN", "1.2.3").left(kHeaderSize);
    header.replace(12, 10, QByteArray("MAIN xyz\x01Q", 10));
    const QByteArray one = header + QByteArray(2500, 'b');
    QList<Record> records;
    ASSERT_TRUE(ReadRecords(one, &records));
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].name, QStringLiteral("MAIN"));
    EXPECT_EQ(records[0].version, QStringLiteral("1.2.3"));
    EXPECT_EQ(records[0].type, 7);
    EXPECT_EQ(records[0].bodySize, 2500u);
    EXPECT_EQ(TotalSteps(records), 4);

    const QByteArray two =
        FirmwareRecord(3000, 1, "BOOT", "A") + FirmwareRecord(100, 2, "FONT", "B");
    ASSERT_TRUE(ReadRecords(two, &records));
    EXPECT_EQ(TotalSteps(records), 6);
    EXPECT_EQ(records[1].offset, 76 + 3000);

    // Cut short: the header, then the body; nothing at all.
    EXPECT_FALSE(ReadRecords(two.left(two.size() - 1), &records));
    EXPECT_EQ(records.size(), 1);
    EXPECT_FALSE(ReadRecords(two.left(76 + 3000 + 75), &records));
    EXPECT_FALSE(ReadRecords(QByteArray(), &records));
    QByteArray huge = FirmwareRecord(0, 1, "X", "1");
    huge[7] = char(0xFF); // a body of 4 GB in a file of 76 bytes
    EXPECT_FALSE(ReadRecords(huge, &records));
}

TEST_F(FirmwareFixture, PackageTravelsRecordByRecordWithItsStatusBytes) {
    const QByteArray first = FirmwareRecord(3000, 1, "BOOT", "A");
    const QByteArray second = FirmwareRecord(100, 2, "FONT", "B");
    fake.replies = {QByteArray(1, '\0'), QByteArray(1, '\0'), QByteArray(1, '\0')};
    DelayRecorder delays;
    Sender s(session, first + second);
    std::vector<std::int64_t> steps;
    s.onStep = [&](std::int64_t n) { steps.push_back(n); };
    EXPECT_EQ(Run(s), Sender::Result::Done);
    std::vector<int> sizes;
    for (const QByteArray& w : fake.writes())
        sizes.push_back(int(w.size()));
    EXPECT_EQ(sizes, (std::vector<int>{76, 1024, 1024, 952, 76, 100}));
    EXPECT_EQ(fake.writes()[0], first.left(76));
    EXPECT_EQ(fake.writes()[4], second.left(76));
    EXPECT_EQ(steps, (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(delays.waits(), (std::vector<int>{100, 100}));
    EXPECT_EQ(Texts(), QStringList{Msg("_DownloadSuccess")});
    EXPECT_EQ(fake.ops().back(), "close");
}

TEST_F(FirmwareFixture, TheStatusBytesAndTheirMessages) {
    const QByteArray package = FirmwareRecord(2500, 1, "MAIN", "1");
    struct Case {
        const char* name;
        std::deque<QByteArray> replies;
        QString message;
        std::size_t writes;
    } cases[] = {
        {"checksum refused after the header", {QByteArray(1, '\3')}, Text("FormGDL_err_Crc"), 1},
        {"storage", {QByteArray(1, '\4')}, Text("FormGDL_err_Storage"), 1},
        {"no status after the header", {}, Msg("_Err_ReadData"), 1},
        {"final status 5",
         {QByteArray(1, '\0'), QByteArray(1, '\5')},
         Text("FormGDL_err_StorageCheck"),
         4},
        {"final status 9",
         {QByteArray(1, '\0'), QByteArray(1, '\x09')},
         pellum::lang::WithCode(Text("FormGDL_err_Unknown"), 9),
         4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake.clear();
        dialogs.messages.clear();
        fake.replies = c.replies;
        DelayRecorder delays;
        Sender s(session, package);
        EXPECT_EQ(Run(s), Sender::Result::Failed);
        EXPECT_EQ(Texts(), QStringList{c.message});
        EXPECT_FALSE(c.message.isEmpty());
        EXPECT_EQ(fake.writes().size(), c.writes);
        EXPECT_NE(fake.ops().back(), "close"); // the connection stays open
    }
}

TEST_F(FirmwareFixture, FinalStatusIsAwaitedForOneHundredAndOneReads) {
    const QByteArray package = FirmwareRecord(0, 1, "MAIN", "1");
    fake.replies = {QByteArray(1, '\0')};
    DelayRecorder delays;
    Sender s(session, package);
    EXPECT_EQ(Run(s), Sender::Result::Failed);
    EXPECT_EQ(Texts(), QStringList{Msg("_Err_ReadData")});
    EXPECT_EQ(fake.callsOf("read").size(), 1u + 101u); // header status, final reads
    const std::vector<int> waits = delays.waits();
    EXPECT_EQ(std::count(waits.begin(), waits.end(), 1000), 100);

    // A zero arriving late is still the printer's success.
    fake.clear();
    dialogs.messages.clear();
    fake.replies = {QByteArray(1, '\0')};
    for (int i = 0; i < 100; ++i)
        fake.replies.push_back(QByteArray());
    fake.replies.push_back(QByteArray(1, '\0'));
    Sender late(session, package);
    EXPECT_EQ(Run(late), Sender::Result::Done);
    EXPECT_EQ(Texts(), QStringList{Msg("_DownloadSuccess")});
}
