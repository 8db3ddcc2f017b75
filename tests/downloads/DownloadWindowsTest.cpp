// The download windows under offscreen Qt against a scripted printer
// library: what each window sends, what it shows, and how it fails.
#include "downloads/FormDLF.h"
#include "downloads/FormDLFile.h"
#include "downloads/FormDLUF.h"
#include "downloads/FormGDL.h"
#include "downloads/PacketDownload.h"

#include "core/Family.h"
#include "core/Localization.h"
#include "core/ModelLists.h"
#include "core/OptionTables.h"
#include "core/PrinterSession.h"
#include "gui/GuiWindowRegistry.h"
#include "platform/Delay.h"
#include "settings/PrinterCMD.h"

#include "TestPictures.h"
#include "TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

using namespace PacketDownload;
using pellum::test::FakePrinterLibrary;
using pellum::test::RecordingDialogs;

namespace pellum {
void RegisterDownloadWindows();
}

namespace {

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}
QByteArray KvPrefix() {
    return Hex("1B1C2620563120");
}
QByteArray GetValReply(const char* text) {
    return QByteArray(text) + '\0';
}

QByteArray AckFor(const QByteArray& packet, std::uint16_t status = 0) {
    QByteArray ack = packet.left(8);
    ack.append(char(status & 0xFF)).append(char(status >> 8));
    unsigned sum = 0;
    for (char c : ack)
        sum += std::uint8_t(c);
    ack.append(char(sum & 0xFF)).append(char((sum >> 8) & 0xFF));
    return ack;
}

class DownloadWindows : public ::testing::Test {
protected:
    pellum::PrinterSession session;
    void SetUp() override {
        folder.makeCurrent();
        pellum::lang::LanguageId = QStringLiteral("1033");
        pellum::lang::LoadMessageTable();
        pellum::models::ClearModelListCache();
        session.SetModel(QStringLiteral("PL-Kapok 420"));
        session.SetPort(QStringLiteral("NET,127.0.0.1:9"));
        session.SetFamily(pellum::FamilyTSPL);
        session.SetLibraryModel(QStringLiteral("Spruce"));
        ASSERT_EQ(session.Tspl().Create(QStringLiteral("Spruce")), 0);
        fake.clear();
        session.portHeld = false;
        DownloadState::DownloadCancelled = false;
        DownloadState::FreeCapacity = 0;
        // Waits are recorded and shortened to 1 ms, so that the progress
        // thread's refresh still paces itself.
        pellum::SetDelayHook([this](int ms) {
            {
                std::lock_guard<std::mutex> lock(waitsMutex);
                waits.push_back(ms);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    }
    void TearDown() override {
        WaitForDownloadThreads();
        pellum::SetDelayHook({});
        session.portHeld = false;
    }
    template <typename T> T* Find(QWidget* w, const char* name) {
        T* c = w->findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = QDir(folder.programFolder()).filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QStringList Texts() const {
        QStringList t;
        for (const auto& m : dialogs.messages)
            t << m.text;
        return t;
    }
    std::vector<QByteArray> Packets() const {
        std::vector<QByteArray> packets;
        for (const QByteArray& w : fake.writes())
            if (w.startsWith(kPacketMarker))
                packets.push_back(w);
        return packets;
    }
    // Waits for the download threads and delivers what they handed over.
    void FinishDownload() {
        WaitForDownloadThreads();
        QApplication::processEvents();
    }
    // Opens the file window with the capacity replies of the storage memory.
    std::unique_ptr<pellum::TfrmDLFile> OpenFileWindow(const char* used, const char* remaining) {
        fake.replies = {GetValReply(used), GetValReply(remaining)};
        auto w = std::make_unique<pellum::TfrmDLFile>(session.Target());
        w->show();
        return w;
    }
    QString Text(const char* key) { return pellum::lang::LangText(QLatin1String(key)); }
    QString Msg(const char* key) { return pellum::lang::Msg(QLatin1String(key)); }

    pellum::test::TempProgramFolder folder;
    FakePrinterLibrary fake;
    RecordingDialogs dialogs;
    std::mutex waitsMutex;
    std::vector<int> waits;
};

} // namespace

TEST_F(DownloadWindows, TheWindowsAreRegisteredUnderTheirNames) {
    pellum::RegisterDownloadWindows();
    for (const char* name : {"TfrmDLFile", "TfrmGDL", "TfrmDLF", "TfrmDLUF"})
        EXPECT_TRUE(pellum::IsWindowRegistered(QLatin1String(name))) << name;
}

TEST_F(DownloadWindows, FileWindowShowsCapacityAndDownloadsAPicture) {
    auto w = OpenFileWindow("2048", "1048576");
    EXPECT_EQ(Find<QComboBox>(w.get(), "ComboBox1")->currentIndex(), 1);
    EXPECT_EQ(Find<QComboBox>(w.get(), "cmbFileType")->currentIndex(), 0);
    EXPECT_EQ(Find<QComboBox>(w.get(), "cmbImageTimes")->currentText(), QStringLiteral("1.0"));
    EXPECT_FALSE(Find<QComboBox>(w.get(), "cmbFileType")->isEnabled());
    QLabel* space = Find<QLabel>(w.get(), "lblSpace_File");
    EXPECT_TRUE(space->isVisible());
    EXPECT_TRUE(space->text().contains(QStringLiteral("2,048")) ||
                space->text().contains(QStringLiteral("2048")));
    EXPECT_TRUE(fake.written().contains("getval \"use_capacity\"\r\n"));
    EXPECT_TRUE(w->Session().portHeld); // the window's connection stays held
    QPushButton* download = Find<QPushButton>(w.get(), "btnDLFile");
    EXPECT_EQ(download->text(), Text("msgDL"));

    // A name of eleven characters is refused and the path box stays empty.
    dialogs.fileNames = {Write(QStringLiteral("ABCDEFGH.bmp"), QByteArray("x"))};
    w->Button7Click();
    EXPECT_EQ(
        Texts(),
        QStringList{Text("_Err_FileNameLength").replace(QLatin1String("%1"), QLatin1String("10"))});
    EXPECT_TRUE(Find<QLineEdit>(w.get(), "txtFilePath")->text().isEmpty());
    dialogs.messages.clear();

    // An all-black picture 64 dots wide and 160 high: a record of
    // 4 + 1280 bytes, two packets.
    const QString picture = Write(
        QStringLiteral("logo.bmp"),
        downloads_test::MakeBmp(downloads_test::Pattern(160, std::string(64, '#')), 1, false));
    dialogs.fileNames = {picture};
    w->Button7Click();
    EXPECT_EQ(Find<QLineEdit>(w.get(), "txtFilePath")->text(), picture);
    EXPECT_EQ(w->storageClass(), kClassBitmaps);

    QByteArray record = Hex("08001400") + QByteArray(1280, char(0xFF));
    fake.clear();
    fake.replies = {GetValReply("203"),
                    QByteArray("OK"),
                    AckFor(BuildDownloadPacket(record, 0, 0)),
                    AckFor(BuildDownloadPacket(record, 1024, 1)),
                    GetValReply("E_LOGO.GRF,R_A.GRF"),
                    GetValReply("3332"),
                    GetValReply("1047292")};
    download->click();
    EXPECT_EQ(download->text(), Text("msgCC"));
    // The list actions wait while the threads use the connection.
    EXPECT_FALSE(Find<QPushButton>(w.get(), "btnGetAllImage")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(w.get(), "Button7")->isEnabled());
    EXPECT_TRUE(Find<QProgressBar>(w.get(), "ProgressBar2")->isVisible());
    EXPECT_EQ(Find<QLabel>(w.get(), "Label2")->text(),
              Text("FormDLF_DLI2").replace(QLatin1String("{1}"), QLatin1String("2")));
    FinishDownload();

    const std::vector<QByteArray> writes = fake.writes();
    ASSERT_GE(writes.size(), 3u);
    EXPECT_EQ(writes[0], KvPrefix() + "getval \"dpi\"\r\n");
    EXPECT_EQ(writes[1], KvPrefix() + "do \"download\" \"bitmaps\" \"E_logo.GRF\"\r\n");
    const auto packets = Packets();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0], BuildDownloadPacket(record, 0, 0));
    EXPECT_EQ(packets[1], BuildDownloadPacket(record, 1024, 1));
    EXPECT_EQ(Texts(), QStringList{Msg("_DownloadSuccess")});
    EXPECT_EQ(download->text(), Text("msgDL"));
    QTreeWidget* list = Find<QTreeWidget>(w.get(), "lvFonts");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(0), Text("FormDLFile_cmbLakeBoart2"));
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("LOGO.GRF"));
    EXPECT_EQ(list->topLevelItem(1)->text(0), Text("FormDLFile_cmbLakeBoart1"));
    EXPECT_EQ(Find<QProgressBar>(w.get(), "ProgressBar2")->value(), 2);
    EXPECT_EQ(Find<QLabel>(w.get(), "Label1")->text(), QStringLiteral("2"));
    EXPECT_EQ(DownloadState::FreeCapacity, 1047292);
    EXPECT_FALSE(w->Session().portHeld);
    EXPECT_TRUE(Find<QPushButton>(w.get(), "btnGetAllImage")->isEnabled());
}

TEST_F(DownloadWindows, FileWindowStopsBeforeSendingWhenAStepFails) {
    const QByteArray small = downloads_test::MakeBmp({"#.", ".#"}, 24, false);
    // 900 dots wide: too wide at 203 dpi, fine at 300 dpi.
    const QByteArray wide = downloads_test::MakeBmp({std::string(900, '#')}, 24, false);
    struct Case {
        const char* name;
        QByteArray picture;
        const char* remaining;           // capacity at opening
        std::vector<QByteArray> replies; // after the download button
        QString message;
        QString title;
        bool announced;
    } cases[] = {
        {"not enough memory",
         small,
         "10",
         {GetValReply("300")},
         Text("mNoSP"),
         Msg("_MSG_Title_Warn"),
         false},
        {"no OK",
         small,
         "100000",
         {GetValReply("300"), QByteArray("NG")},
         Text("FormGDL_ErrIO"),
         Msg("_MSG_Title_Error"),
         true},
        {"too wide at 203 dpi",
         wide,
         "100000",
         {GetValReply("203")},
         Msg("_E_ITW"),
         Msg("_MSG_Title_Error"),
         false},
        {"no resolution counts as 203 dpi",
         wide,
         "100000",
         {GetValReply("")},
         Msg("_E_ITW"),
         Msg("_MSG_Title_Error"),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto w = OpenFileWindow("0", c.remaining);
        dialogs.fileNames = {Write(QStringLiteral("logo.bmp"), c.picture)};
        w->Button7Click();
        fake.clear();
        dialogs.messages.clear();
        fake.replies = std::deque<QByteArray>(c.replies.begin(), c.replies.end());
        w->btnDLFileClick();
        EXPECT_EQ(Texts(), QStringList{c.message});
        if (!dialogs.messages.empty()) {
            EXPECT_EQ(dialogs.messages[0].title, c.title);
        }
        EXPECT_EQ(fake.written().contains("\"download\""), c.announced);
        EXPECT_TRUE(Packets().empty());
        EXPECT_EQ(Find<QPushButton>(w.get(), "btnDLFile")->text(), Text("msgDL"));
        EXPECT_FALSE(w->Session().portHeld);
        EXPECT_FALSE(DownloadThreadsRunning());
    }
    // The wide picture passes at 300 dpi.
    auto w = OpenFileWindow("0", "100000");
    dialogs.fileNames = {Write(QStringLiteral("logo.bmp"), wide)};
    w->Button7Click();
    fake.clear();
    dialogs.messages.clear();
    fake.replies = {GetValReply("300"), QByteArray("NG")};
    w->btnDLFileClick();
    EXPECT_EQ(Texts(), QStringList{Text("FormGDL_ErrIO")});
}

TEST_F(DownloadWindows, FileWindowShowsADamagedPictureAndItsReason) {
    auto w = OpenFileWindow("0", "100000");
    dialogs.fileNames = {Write(QStringLiteral("bad.bmp"), QByteArray("BM\x10\x00", 4))};
    w->Button7Click();
    fake.clear();
    w->btnDLFileClick();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text, Msg("_E_IC"));
    EXPECT_TRUE(dialogs.messages[1].text.startsWith(QStringLiteral("BMP")));
    EXPECT_EQ(Find<QPushButton>(w.get(), "btnDLFile")->text(), Text("msgDL"));
    EXPECT_FALSE(fake.written().contains("download"));
}

TEST_F(DownloadWindows, FileWindowListActions) {
    auto w = OpenFileWindow("0", "100000");
    QTreeWidget* list = Find<QTreeWidget>(w.get(), "lvFonts");
    fake.clear();
    fake.replies = {GetValReply("R_A.GRF,E_LOGO.GRF")};
    Find<QPushButton>(w.get(), "btnGetAllImage")->click();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_FALSE(w->Session().portHeld);

    // Print and delete need a selection.
    dialogs.messages.clear();
    Find<QPushButton>(w.get(), "btnPrintImage")->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, Text("msgsi"));
    EXPECT_EQ(dialogs.messages[0].title, Msg("_MSG_Title_Warn"));
    EXPECT_EQ(dialogs.messages[0].kind, pellum::MessageKind::Information);

    fake.clear();
    list->topLevelItem(1)->setSelected(true);
    Find<QPushButton>(w.get(), "btnPrintImage")->click();
    Find<QPushButton>(w.get(), "btnDelCurImage")->click();
    EXPECT_EQ(list->topLevelItemCount(), 1);
    list->topLevelItem(0)->setSelected(false);
    Find<QPushButton>(w.get(), "btnDelAllImage")->click();
    EXPECT_EQ(list->topLevelItemCount(), 0);
    QByteArrayList lines;
    for (const QByteArray& wr : fake.writes())
        lines << wr.mid(7);
    EXPECT_EQ(lines, (QByteArrayList{"do \"print\" \"bitmaps\" \"E_LOGO.GRF\"\r\n",
                                     "do \"delete\" \"bitmaps\" \"E_LOGO.GRF\"\r\n",
                                     "do \"delete\" \"bitmaps\" \"R_A.GRF\"\r\n"}));

    // The printer's empty list empties the window's list.
    list->addTopLevelItem(
        new QTreeWidgetItem(QStringList{QStringLiteral("x"), QStringLiteral("y")}));
    fake.replies = {GetValReply("")};
    Find<QPushButton>(w.get(), "btnGetAllImage")->click();
    EXPECT_EQ(list->topLevelItemCount(), 0);
}

TEST_F(DownloadWindows, FileWindowAutomaticTemplate) {
    auto w = OpenFileWindow("0", "100000");
    fake.clear();
    fake.replies = {GetValReply("E_AUTO1234.PRN,"), GetValReply("on")};
    w->DoActive_AutoTmp(Find<QPushButton>(w.get(), "btnGetAutoTmp"));
    EXPECT_EQ(w->autoTemplateName(), QStringLiteral("E_AUTO1234.PRN"));
    QListWidget* box = Find<QListWidget>(w.get(), "lsbAutoTmp");
    ASSERT_EQ(box->count(), 1);
    EXPECT_EQ(box->item(0)->text(), QStringLiteral("E_AUTO.PRN"));
    QPushButton* sw = Find<QPushButton>(w.get(), "btnSwitchAutoform");
    EXPECT_EQ(sw->text(), Text("FormDLFile_SwitchOff"));
    fake.clear();
    w->DoActive_AutoTmp(sw);
    EXPECT_EQ(sw->text(), Text("FormDLFile_SwitchOn"));
    EXPECT_EQ(fake.written(), KvPrefix() + "setval \"autoform_switch\" \"off\"\r\n");
    fake.clear();
    box->item(0)->setSelected(true);
    w->DoActive_AutoTmp(Find<QPushButton>(w.get(), "btnDeleteAutoTmp"));
    EXPECT_EQ(fake.written(), KvPrefix() + "do \"delete\" \"autoform\" \"E_AUTO1234.PRN\"\r\n");
    EXPECT_EQ(box->count(), 0);
}

TEST_F(DownloadWindows, ClosingTheFileWindowEndsItsDownload) {
    auto w = OpenFileWindow("0", "10000000");
    const QString picture = Write(
        QStringLiteral("big.bmp"),
        downloads_test::MakeBmp(downloads_test::Pattern(800, std::string(800, '#')), 1, false));
    dialogs.fileNames = {picture};
    w->Button7Click();
    fake.clear();
    // The printer answers the announcement, then acknowledges nothing.
    fake.replies = {GetValReply("300"), QByteArray("OK")};
    w->btnDLFileClick();
    EXPECT_TRUE(DownloadThreadsRunning());
    QElapsedTimer t;
    t.start();
    w.reset();
    EXPECT_FALSE(DownloadThreadsRunning());
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_LE(Packets().size(), 1u);
    EXPECT_EQ(fake.ops().back(), "destroy"); // the window's printer object goes with it
}

TEST_F(DownloadWindows, FirmwareWindowListsPackagesAndSendsOneStepPerTick) {
    pellum::TfrmGDL w(session.Target());
    w.show();
    QTreeWidget* details = Find<QTreeWidget>(&w, "lvDetails");
    const QByteArray first = downloads_test::FirmwareRecord(3000, 1, "BOOT", "1.0") +
                             downloads_test::FirmwareRecord(100, 2, "FONT", "2.0");
    const QByteArray second = downloads_test::FirmwareRecord(2500, 3, "MAIN", "3.1");
    dialogs.fileNames = {Write(QStringLiteral("a.pkg"), first),
                         Write(QStringLiteral("b.pkg"), second)};
    w.Button2Click();
    EXPECT_EQ(w.totalSteps(), 6);
    w.Button2Click();
    ASSERT_EQ(details->topLevelItemCount(), 3); // added below the first package's rows
    EXPECT_EQ(details->topLevelItem(2)->text(0), QStringLiteral("MAIN"));
    EXPECT_EQ(details->topLevelItem(2)->text(1), QStringLiteral("2500"));
    EXPECT_EQ(details->topLevelItem(2)->text(2), QStringLiteral("3.1"));
    EXPECT_EQ(details->topLevelItem(2)->text(3), QStringLiteral("3"));
    EXPECT_EQ(w.totalSteps(), 4); // the second package only
    EXPECT_TRUE(dialogs.messages.empty());

    fake.clear();
    fake.replies = {QByteArray(1, '\0'), QByteArray(1, '\0')};
    QPushButton* download = Find<QPushButton>(&w, "btnDownload");
    download->click();
    EXPECT_EQ(download->text(), Text("FormDownloadFile_TSPL_btnDownload1"));
    QElapsedTimer t;
    t.start();
    while (w.timSend()->isActive() && t.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const std::vector<QByteArray> writes = fake.writes();
    ASSERT_EQ(writes.size(), 5u);
    EXPECT_EQ(writes[0], KvPrefix() + "do \"dfu\"\r\n");
    EXPECT_EQ(writes[1], second.left(76));
    EXPECT_EQ(writes[2].size(), 1024);
    EXPECT_EQ(writes[4].size(), 452);
    EXPECT_EQ(Texts(), QStringList{Msg("_DownloadSuccess")});
    EXPECT_EQ(download->text(), Text("FormDownloadFile_TSPL_btnDownload"));
    EXPECT_EQ(Find<QProgressBar>(&w, "proDLFont")->value(), 4);
    EXPECT_EQ(Find<QLabel>(&w, "lblProgressInfo")->text(),
              Text("FormGDL_lblProgressInfo")
                  .replace(QLatin1String("{1}"), QLatin1String("4"))
                  .replace(QLatin1String("{2}"), QLatin1String("4")));
}

TEST_F(DownloadWindows, FirmwareWindowRefusesAPackageCutShortAndStopsOnARefusal) {
    pellum::TfrmGDL w(session.Target());
    w.show();
    const QByteArray package = downloads_test::FirmwareRecord(2500, 3, "MAIN", "3.1");
    dialogs.fileNames = {Write(QStringLiteral("cut.pkg"), package.left(2000))};
    w.Button2Click();
    EXPECT_EQ(Texts(), QStringList{Text("FormGDL_err_Package")});
    dialogs.messages.clear();
    fake.clear();
    w.btnDownloadClick();
    EXPECT_EQ(Texts(), QStringList{Text("FormGDL_err_Package")});
    EXPECT_TRUE(fake.writes().empty()); // not even the update mode

    dialogs.fileNames = {Write(QStringLiteral("ok.pkg"), package)};
    w.Button2Click();
    dialogs.messages.clear();
    fake.clear();
    fake.replies = {QByteArray(1, '\3')};
    QPushButton* download = Find<QPushButton>(&w, "btnDownload");
    download->click();
    QElapsedTimer t;
    t.start();
    while (w.timSend()->isActive() && t.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(Texts(), QStringList{Text("FormGDL_err_Crc")});
    EXPECT_EQ(fake.writes().size(), 2u); // dfu and the header
    EXPECT_EQ(download->text(), Text("FormDownloadFile_TSPL_btnDownload1"));
    fake.clear();
    download->click(); // closes the connection, back to idle
    EXPECT_EQ(download->text(), Text("FormDownloadFile_TSPL_btnDownload"));
    EXPECT_EQ(fake.ops(), std::vector<std::string>{"close"});
}

TEST_F(DownloadWindows, FontManagerListsDownloadsDeletesAndTests) {
    session.SetFamily(pellum::FamilyZPL);
    fake.replies = {GetValReply("E_ARIAL.TTF,R_SIMSUN.TTF"), GetValReply("100"),
                    GetValReply("500000")};
    pellum::TfrmDLF w(session.Target());
    w.show();
    QTreeWidget* list = Find<QTreeWidget>(&w, "lvFonts");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(Find<QComboBox>(&w, "cmbFontID")->currentIndex(), 1);
    EXPECT_TRUE(Find<QLabel>(&w, "lblSpace_Font")->isVisible());
    EXPECT_FALSE(w.Session().portHeld);
    EXPECT_TRUE(Find<QPushButton>(&w, "btnTestFont")->isEnabled());
    EXPECT_FALSE(Find<QLineEdit>(&w, "txtPrintableWidth")->isVisible()); // TSPL only

    // The test text in the stored font, as one ZPL job.
    fake.clear();
    list->topLevelItem(0)->setSelected(true);
    Find<QPlainTextEdit>(&w, "rtTestText")->setPlainText(QStringLiteral("Hi"));
    w.btnTestFontClick();
    EXPECT_EQ(fake.writes(),
              std::vector<QByteArray>{"^XA\r\n^A@N,50,50,E_ARIAL.TTF\r\n^FO100,100\r\n^FDHi^FS"
                                      "\r\n^XZ\r\n"});

    // A font of 2048 bytes: three file packets, the last with n = 0.
    const QByteArray font(2048, 'F');
    dialogs.fileNames = {Write(QStringLiteral("font.ttf"), font)};
    w.Button2Click();
    fake.clear();
    fake.replies = {QByteArray("OK")};
    for (std::uint32_t i = 0; i < 3; ++i)
        fake.replies.push_back(AckFor(BuildDownloadPacket(font, i * 1024, i)));
    fake.replies.push_back(GetValReply("E_ARIAL.TTF,R_SIMSUN.TTF,E_font.ttf"));
    fake.replies.push_back(GetValReply("2148"));
    fake.replies.push_back(GetValReply("497952"));
    Find<QPushButton>(&w, "btnDLFont")->click();
    FinishDownload();
    EXPECT_EQ(fake.writes().at(0), KvPrefix() + "do \"download\" \"fonts\" \"E_font.ttf\"\r\n");
    ASSERT_EQ(Packets().size(), 3u);
    EXPECT_EQ(Packets()[2], BuildDownloadPacket(font, 2048, 2));
    EXPECT_EQ(Texts(), QStringList{Msg("_DownloadSuccess")});
    EXPECT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(Find<QPushButton>(&w, "btnDLFont")->text(), Text("msgDL"));

    // Deleting the selected font waits 500 ms, then reads the capacity.
    dialogs.messages.clear();
    fake.clear();
    {
        std::lock_guard<std::mutex> lock(waitsMutex);
        waits.clear();
    }
    list->clearSelection();
    list->topLevelItem(1)->setSelected(true);
    fake.replies = {GetValReply("100"), GetValReply("500000")};
    Find<QPushButton>(&w, "btnDeleteCurFont")->click();
    EXPECT_EQ(fake.writes().at(0), KvPrefix() + "do \"delete\" \"fonts\" \"R_SIMSUN.TTF\"\r\n");
    EXPECT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(waits.at(0), 500);
    EXPECT_TRUE(fake.written().contains("remain_capacity"));
}

TEST_F(DownloadWindows, FontManagerLabelSizesForTspl) {
    session.SetFamily(pellum::FamilyTSPL);
    fake.replies = {GetValReply(""), GetValReply("1"), GetValReply("2")};
    pellum::TfrmDLF w(session.Target());
    w.show();
    QLineEdit* width = Find<QLineEdit>(&w, "txtPrintableWidth");
    QLineEdit* height = Find<QLineEdit>(&w, "txtPrintableHeigh");
    EXPECT_TRUE(width->isVisible());
    EXPECT_EQ(width->text(), QStringLiteral("30"));
    const QString paper = OptionTables::GetPaperWidth(session.Model());
    EXPECT_EQ(Find<QLabel>(&w, "lblMultiple1")->text(),
              QStringLiteral("(10-") + paper + QStringLiteral(")mm"));
    width->setText(QStringLiteral("200"));
    w.CheckValue(width);
    EXPECT_EQ(width->text(), paper);
    width->setText(QStringLiteral("5"));
    w.CheckValue(width);
    EXPECT_EQ(width->text(), QStringLiteral("10"));
    height->setText(QStringLiteral("300"));
    w.CheckValue(height);
    EXPECT_EQ(height->text(), QStringLiteral("210"));
    // Letters never enter a size box.
    EXPECT_NE(width->validator(), nullptr);
    int pos = 0;
    QString typed = QStringLiteral("1a");
    EXPECT_EQ(width->validator()->validate(typed, pos), QValidator::Invalid);
}

TEST_F(DownloadWindows, UserFontWindowRefusesLargeFilesAndSendsOnePacketPerTick) {
    pellum::TfrmDLUF w(session.Target());
    w.show();
    QLineEdit* file = Find<QLineEdit>(&w, "txtFileName");
    dialogs.fileNames = {Write(QStringLiteral("big.bin"), QByteArray(3133441, 'x'))};
    w.Button2Click();
    EXPECT_EQ(Texts(), QStringList{Msg("_Err_FileToBig")});
    EXPECT_TRUE(file->text().isEmpty());
    dialogs.messages.clear();
    dialogs.fileNames = {Write(QStringLiteral("edge.bin"), QByteArray(3133440, 'x'))};
    w.Button2Click();
    EXPECT_FALSE(file->text().isEmpty());
    EXPECT_TRUE(dialogs.messages.empty());

    const QByteArray font(1500, 'u');
    dialogs.fileNames = {Write(QStringLiteral("user.fnt"), font)};
    w.Button2Click();
    Find<QComboBox>(&w, "cmbFontID")->setCurrentIndex(1); // BIG5
    fake.clear();
    fake.replies = {QByteArray("OK")};
    for (std::uint32_t i = 0; i < 2; ++i)
        fake.replies.push_back(
            AckFor(BuildDownloadPacket(font, i * 1024, i, PacketFill::UserFont)));
    QPushButton* download = Find<QPushButton>(&w, "btnDownload");
    download->click();
    EXPECT_EQ(download->text(), Text("FormDownloadFont_btnDownload1"));
    QElapsedTimer t;
    t.start();
    while (w.timSend()->isActive() && t.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(fake.ops().front(), "create"); // the printer object is made anew
    EXPECT_EQ(fake.writes().at(0), KvPrefix() + "do \"userfont_download\" \"big5\"\r\n");
    ASSERT_EQ(Packets().size(), 2u);
    EXPECT_EQ(Packets()[1], BuildDownloadPacket(font, 1024, 1, PacketFill::UserFont));
    EXPECT_EQ(Texts(), QStringList{Msg("_DownloadSuccess")});
    EXPECT_EQ(download->text(), Text("FormDownloadFont_btnDownload"));
    EXPECT_EQ(Find<QLabel>(&w, "lblProgressInfo")->text(),
              Text("FormDownloadFont_lblProgressInfo")
                  .replace(QLatin1String("{1}"), QLatin1String("2"))
                  .replace(QLatin1String("{2}"), QLatin1String("2")));
}

TEST_F(DownloadWindows, FileWindowSendsATemplateUnconverted) {
    auto w = OpenFileWindow("0", "100000");
    // The type list is disabled in the window as shipped; the template path
    // is complete nonetheless.
    QComboBox* type = Find<QComboBox>(w.get(), "cmbFileType");
    type->setCurrentIndex(1);
    w->cmbFileTypeChange();
    EXPECT_TRUE(Find<QComboBox>(w.get(), "cmbPPL")->isVisible());
    EXPECT_FALSE(Find<QComboBox>(w.get(), "cmbImageTimes")->isVisible());
    EXPECT_EQ(w->storageClass(), kClassLabels);
    const QByteArray label("SIZE 40 mm,30 mm\r\nCLS\r\nPRINT 1\r\n");
    dialogs.fileNames = {Write(QStringLiteral("lbl.prn"), label)};
    w->Button7Click();
    fake.clear();
    fake.replies = {QByteArray("OK"), AckFor(BuildDownloadPacket(label, 0, 0)),
                    GetValReply("E_LOGO.GRF"), GetValReply("10"), GetValReply("99990")};
    w->btnDLFileClick();
    FinishDownload();
    EXPECT_EQ(fake.writes().at(0), KvPrefix() + "do \"download\" \"labels\" \"E_lbl.prn\"\r\n");
    ASSERT_EQ(Packets().size(), 1u);
    EXPECT_EQ(Packets()[0].mid(10, label.size()), label);
    EXPECT_EQ(Texts(), QStringList{Msg("_DownloadSuccess")});
}

TEST_F(DownloadWindows, FileWindowPreviewsTheDotsAndFollowsTheFactor) {
    auto w = OpenFileWindow("0", "100000");
    QLabel* image = Find<QLabel>(w.get(), "imgPreview");
    QLabel* size = Find<QLabel>(w.get(), "lblPreviewSize");
    QLabel* verdict = Find<QLabel>(w.get(), "lblPreviewVerdict");
    ASSERT_TRUE(image && size && verdict);
    EXPECT_TRUE(Find<QWidget>(w.get(), "gpbPreview")->isVisible());
    EXPECT_TRUE(image->pixmap().isNull());

    // 300 x 40 dots, black at the left: the printer answers 300 dpi once.
    downloads_test::Pattern picture(40, std::string(300, '.'));
    for (auto& row : picture)
        row.replace(0, 10, 10, '#');
    fake.clear();
    fake.replies = {GetValReply("300")};
    dialogs.fileNames = {
        Write(QStringLiteral("bar.bmp"), downloads_test::MakeBmp(picture, 1, false))};
    w->Button7Click();
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_FALSE(image->pixmap().isNull());
    const int width1 = image->pixmap().width();
    const QImage shown = image->pixmap().toImage();
    EXPECT_EQ(qGray(shown.pixel(0, 0)), 0);
    EXPECT_EQ(qGray(shown.pixel(width1 - 1, 0)), 255);
    auto sizeText = [&](int w, int h, const char* mmW, const char* mmH) {
        return Text("FormDLFile_PreviewSize")
            .replace(QLatin1String("{0}"), QString::number(w))
            .replace(QLatin1String("{1}"), QString::number(h))
            .replace(QLatin1String("{2}"), QLatin1String(mmW))
            .replace(QLatin1String("{3}"), QLatin1String(mmH))
            .replace(QLatin1String("{4}"), QLatin1String("300"));
    };
    EXPECT_EQ(size->text(), sizeText(300, 40, "25.4", "3.4"));
    EXPECT_EQ(verdict->text(),
              Text("FormDLFile_PreviewFits").replace(QLatin1String("{0}"), QLatin1String("1248")));

    // At 3.0 the picture is 900 x 120 dots, three times as wide on screen,
    // and the resolution is not asked again.
    Find<QComboBox>(w.get(), "cmbImageTimes")->setCurrentIndex(4);
    EXPECT_EQ(size->text(), sizeText(900, 120, "76.2", "10.2"));
    EXPECT_NEAR(image->pixmap().width(), 3 * width1, 2);
    EXPECT_EQ(fake.written().count("getval \"dpi\""), 1);
    EXPECT_TRUE(Packets().empty());
    EXPECT_FALSE(fake.written().contains("download"));

    // Too wide for the printer: the verdict says so before anything is sent.
    downloads_test::Pattern wide(10, std::string(500, '#'));
    dialogs.fileNames = {
        Write(QStringLiteral("wide.bmp"), downloads_test::MakeBmp(wide, 1, false))};
    w->Button7Click();
    EXPECT_EQ(
        verdict->text(),
        Text("FormDLFile_PreviewTooWide").replace(QLatin1String("{0}"), QLatin1String("1248")));
    // A damaged picture shows why there is no preview, without a message box.
    dialogs.fileNames = {Write(QStringLiteral("bad.bmp"), QByteArray("BM\x10\x00", 4))};
    w->Button7Click();
    EXPECT_TRUE(image->pixmap().isNull());
    EXPECT_TRUE(verdict->text().contains(QStringLiteral("BMP"))) << verdict->text().toStdString();
    EXPECT_TRUE(dialogs.messages.empty());
}
