// Downloads against the virtual printer on 127.0.0.1, through the real
// printer libraries: the file window's picture download, pellumctl's files
// and firmware commands, and the printer's refusals.
#include "downloads/FontDownload.h"
#include "downloads/FormDLFile.h"
#include "downloads/PacketDownload.h"

#include "connection/PrinterLibraries.h"
#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "platform/Delay.h"
#include "settings/PrinterCMD.h"
#include "shell/StartUp.h"

#include "core/Family.h"

#include "TestPictures.h"
#include "TestSupport.h"
#include "VirtualPrinterProcess.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

using pellum::testing::VirtualPrinterProcess;

namespace {

std::string VirtualPrinterPath() {
    return (pellum::test::BuildBinFolder() + QStringLiteral("pellum-virtual-printer"))
        .toStdString();
}

struct CtlResult {
    int exitCode = -1;
    QString out;
    QString err;
};

class DownloadsAgainstVirtualPrinter : public ::testing::Test {
protected:
    pellum::PrinterSession session;
    void SetUp() override {
        pngDir = dir.filePath(QStringLiteral("png"));
        QDir().mkpath(pngDir);
    }
    void StartPrinter(const std::string& model, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--model",     model,       "--listen",
                                         "127.0.0.1:0", "--png-dir", pngDir.toStdString()};
        args.insert(args.end(), extra.begin(), extra.end());
        vp = std::make_unique<VirtualPrinterProcess>(VirtualPrinterPath(), args);
        ASSERT_TRUE(vp->start()) << vp->error();
        this->model = QString::fromStdString(model);
    }
    QString Port() const { return QStringLiteral("NET,127.0.0.1:%1").arg(vp->port()); }
    CtlResult Ctl(const QStringList& command) {
        QProcess p;
        QStringList args{QStringLiteral("--model"), model, QStringLiteral("--port"), Port()};
        args += command;
        p.start(pellum::test::BuildBinFolder() + QStringLiteral("pellumctl"), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    int Count(const std::string& kind) {
        int n = 0;
        for (const std::string& l : vp->journalLines())
            n += VirtualPrinterProcess::field(l, "kind") == kind;
        return n;
    }
    QTemporaryDir dir;
    QString pngDir;
    QString model;
    std::unique_ptr<VirtualPrinterProcess> vp;
};

// A picture with a recognisable shape: a black frame, white inside, a black
// square in the middle.
downloads_test::Pattern Frame(int w, int h) {
    downloads_test::Pattern p(h, std::string(w, '.'));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (x == 0 || y == 0 || x == w - 1 || y == h - 1 ||
                (std::abs(x - w / 2) < 4 && std::abs(y - h / 2) < 4))
                p[y][x] = '#';
    return p;
}

} // namespace

TEST_F(DownloadsAgainstVirtualPrinter, PellumctlStoresListsAndDeletesAPicture) {
    StartPrinter("PL-Kapok 420");
    // 200 x 150 dots at 2.0: 400 x 300, a record of 4 + 50 x 38 x 8 bytes,
    // 15 packets.
    const QString picture =
        Write(QStringLiteral("frame.bmp"), downloads_test::MakeBmp(Frame(200, 150), 24, false));
    const CtlResult r = Ctl({"files", "download", picture, "--scale", "2.0"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("E_frame.GRF"))) << r.out.toStdString();
    std::string complete;
    ASSERT_TRUE(vp->waitForKind("download-complete", 3000, &complete));
    EXPECT_EQ(VirtualPrinterProcess::field(complete, "name"), "E_frame.GRF");
    EXPECT_EQ(VirtualPrinterProcess::field(complete, "width"), "400");
    EXPECT_EQ(VirtualPrinterProcess::field(complete, "height"), "304");
    EXPECT_EQ(Count("download-packet"), (4 + 50 * 38 * 8) / 1024 + 1);
    for (const std::string& l : vp->journalLines())
        if (VirtualPrinterProcess::field(l, "kind") == "download-packet") {
            EXPECT_EQ(VirtualPrinterProcess::field(l, "status"), "0") << l;
        }

    // The printer's picture is the converted one.
    ASSERT_TRUE(vp->waitForKind("png-written", 3000));
    QImage png(QDir(pngDir).filePath(QStringLiteral("E_frame.GRF.png")));
    if (png.isNull())
        png = QImage(QDir(pngDir).filePath(QStringLiteral("E_frame.png")));
    ASSERT_FALSE(png.isNull()) << QDir(pngDir).entryList().join(',').toStdString();
    EXPECT_EQ(png.width(), 400);
    EXPECT_EQ(qGray(png.pixel(0, 0)), 0);
    EXPECT_EQ(qGray(png.pixel(50, 50)), 255);
    EXPECT_EQ(qGray(png.pixel(200, 150)), 0);

    const CtlResult list = Ctl({"files", "list", "bitmaps"});
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_TRUE(list.out.contains(QStringLiteral("bitmaps E_frame.GRF")));
    EXPECT_TRUE(list.out.contains(QStringLiteral("bitmaps E_LOGO.GRF")));
    EXPECT_EQ(Ctl({"files", "delete", "bitmaps", "frame.GRF"}).exitCode, 0);
    EXPECT_FALSE(Ctl({"files", "list", "bitmaps"}).out.contains(QStringLiteral("frame")));

    // Usage errors never reach the printer.
    EXPECT_EQ(Ctl({"files", "list", "pictures"}).exitCode, 2);
    EXPECT_EQ(Ctl({"files", "download"}).exitCode, 2);
    EXPECT_EQ(Ctl({"firmware", "flash"}).exitCode, 2);
}

TEST_F(DownloadsAgainstVirtualPrinter, ImageConvertWritesTheRecordThatADownloadSends) {
    StartPrinter("PL-Kapok 420");
    // Generated pictures: a grey ramp with a colour cast as JPEG and PNG, the
    // frame as BMP.
    QImage ramp(97, 41, QImage::Format_RGB32);
    for (int y = 0; y < ramp.height(); ++y)
        for (int x = 0; x < ramp.width(); ++x)
            ramp.setPixel(x, y, qRgb(60 + x * 2, 90 + y, 200 - x));
    const QString jpg = dir.filePath(QStringLiteral("ramp.jpg"));
    const QString png = dir.filePath(QStringLiteral("ramp.png"));
    ASSERT_TRUE(ramp.save(jpg, "JPG", 80));
    ASSERT_TRUE(ramp.save(png, "PNG"));
    const QString bmp =
        Write(QStringLiteral("frame.bmp"), downloads_test::MakeBmp(Frame(50, 30), 24, false));
    struct Case {
        QString path;
        QString scale;
    } cases[] = {{jpg, "1.0"}, {png, "2.5"}, {bmp, "1.5"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString() + " " + c.scale.toStdString());
        const QString out = dir.filePath(QStringLiteral("record.bin"));
        const QString preview = dir.filePath(QStringLiteral("preview.png"));
        const CtlResult converted =
            Ctl({"image", "convert", c.path, "--scale", c.scale, "--png", preview, "--out", out});
        ASSERT_EQ(converted.exitCode, 0) << converted.err.toStdString();
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray record = f.readAll();
        ASSERT_GE(record.size(), 4);

        // What the download sends, gathered from the printer's journal.
        const std::size_t before = vp->journalLines().size();
        const CtlResult sent = Ctl({"files", "download", c.path, "--scale", c.scale});
        ASSERT_EQ(sent.exitCode, 0) << sent.err.toStdString();
        ASSERT_TRUE(vp->waitForKind("download-complete", 3000));
        QByteArray data;
        const auto lines = vp->journalLines();
        for (std::size_t i = before; i < lines.size(); ++i)
            if (VirtualPrinterProcess::field(lines[i], "kind") == "download-packet") {
                const QByteArray packet = QByteArray::fromHex(
                    QByteArray::fromStdString(VirtualPrinterProcess::field(lines[i], "hex")));
                const int n = std::uint8_t(packet[8]) | std::uint8_t(packet[9]) << 8;
                data += packet.mid(10, n);
            }
        EXPECT_EQ(data, record);

        // The PNG has one pixel per dot, black where the record has a dot.
        const QImage dots(preview);
        ASSERT_FALSE(dots.isNull());
        const int bytesPerRow = std::uint8_t(record[0]) | std::uint8_t(record[1]) << 8;
        const int rowBlocks = std::uint8_t(record[2]) | std::uint8_t(record[3]) << 8;
        EXPECT_EQ(bytesPerRow, (dots.width() + 7) / 8);
        EXPECT_EQ(rowBlocks, (dots.height() + 7) / 8);
        EXPECT_TRUE(converted.out.contains(
            QStringLiteral("dots: %1 x %2").arg(dots.width()).arg(dots.height())))
            << converted.out.toStdString();
        int differ = 0;
        for (int y = 0; y < dots.height(); ++y)
            for (int x = 0; x < dots.width(); ++x) {
                const bool black =
                    (std::uint8_t(record[4 + y * bytesPerRow + x / 8]) & (0x80 >> (x % 8))) != 0;
                differ += black != (qGray(dots.pixel(x, y)) < 128);
            }
        EXPECT_EQ(differ, 0);
    }

    // The download's refusals and messages, without a printer.
    pellum::lang::LanguageId = QStringLiteral("1033");
    StartUp::InitialiseFolders(pellum::test::BuildBinFolder());
    pellum::lang::LoadMessageTable();
    QImage wide(450, 4, QImage::Format_RGB32);
    wide.fill(Qt::black);
    const QString widePath = dir.filePath(QStringLiteral("wide.png"));
    ASSERT_TRUE(wide.save(widePath, "PNG"));
    struct Refusal {
        QStringList args;
        int exitCode;
        QString message;
    } refusals[] = {
        {{"image", "convert", widePath, "--scale", "2.0"}, 1, pellum::lang::Msg("_E_ITW")},
        {{"image", "convert", widePath, "--scale", "2.0", "--dpi", "300"}, 0, QString()},
        {{"image", "convert", dir.filePath("none.png")}, 1, pellum::lang::Msg("_Err_FileNotExist")},
        {{"image", "convert", Write("A.JPG", "x")}, 1, pellum::lang::Msg("_E_IC")},
        {{"image", "convert", widePath, "--scale", "1.7"}, 2, QString()},
        {{"image", "convert", widePath, "--dpi", "x"}, 2, QString()},
        {{"image", "shrink", widePath}, 2, QString()},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.args.join(' ').toStdString());
        const CtlResult result = Ctl(r.args);
        EXPECT_EQ(result.exitCode, r.exitCode) << result.err.toStdString();
        if (!r.message.isEmpty()) {
            EXPECT_TRUE(result.err.contains(r.message)) << result.err.toStdString();
        }
    }
    const CtlResult at300 = Ctl({"image", "convert", widePath, "--scale", "2.0", "--dpi", "300"});
    EXPECT_TRUE(at300.out.contains(QStringLiteral("dots: 900 x 8"))) << at300.out.toStdString();
    EXPECT_TRUE(at300.out.contains(QStringLiteral("mm: 76.20 x 0.68 at 300 dpi")))
        << at300.out.toStdString();
}

TEST_F(DownloadsAgainstVirtualPrinter, PellumctlReportsTheRefusedPacket) {
    StartPrinter("PL-Kapok 420", {"--ack-status", "2:1"});
    const QString picture =
        Write(QStringLiteral("frame.bmp"), downloads_test::MakeBmp(Frame(200, 150), 24, false));
    const CtlResult r = Ctl({"files", "download", picture, "--scale", "2.0"});
    EXPECT_EQ(r.exitCode, 1);
    pellum::lang::LanguageId = QStringLiteral("1033");
    StartUp::InitialiseFolders(pellum::test::BuildBinFolder());
    EXPECT_TRUE(r.err.contains(pellum::lang::LangText(QStringLiteral("FormGDL_ErrIO"))))
        << r.err.toStdString();
    EXPECT_EQ(Count("download-packet"), 3); // nothing after the refused packet
    EXPECT_FALSE(Ctl({"files", "list", "bitmaps"}).out.contains(QStringLiteral("frame")));

    // A name the printer cannot store is refused before anything is sent.
    const CtlResult longName = Ctl({"files", "download", picture, "--name", "abcdefghijk.bmp"});
    EXPECT_EQ(longName.exitCode, 1);
}

TEST_F(DownloadsAgainstVirtualPrinter, PellumctlSendsAFirmwarePackage) {
    StartPrinter("PL-Larch 620");
    const QString package =
        Write(QStringLiteral("fw.pkg"), downloads_test::FirmwareRecord(3000, 1, "MAIN", "1.2") +
                                            downloads_test::FirmwareRecord(100, 2, "FONT", "1.0"));
    const CtlResult r = Ctl({"firmware", "download", package});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("record MAIN type 1 version 1.2: 3000 bytes")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("6 steps sent")));
    std::string complete;
    ASSERT_TRUE(vp->waitForKind("firmware-complete", 3000, &complete));
    EXPECT_NE(complete.find("\"records\":[\"MAIN\",\"FONT\"]"), std::string::npos) << complete;
    EXPECT_EQ(VirtualPrinterProcess::field(complete, "bytes"), "3100");
    EXPECT_EQ(VirtualPrinterProcess::field(complete, "ok"), "true") << complete;
    EXPECT_EQ(Count("firmware-header"), 2);
    EXPECT_EQ(Count("firmware-body"), 4);

    // A printer that refuses the second header stops the package there.
    StartPrinter("PL-Larch 620", {"--fw-status", "6@1"});
    const CtlResult refused = Ctl({"firmware", "download", package});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(Count("firmware-header"), 2);
    EXPECT_EQ(Count("firmware-body"), 3);
}

// The file window itself, in this process, against the virtual printer.
class FileWindowAgainstVirtualPrinter : public DownloadsAgainstVirtualPrinter {
protected:
    void SetUp() override {
        DownloadsAgainstVirtualPrinter::SetUp();
        ASSERT_TRUE(pellum::test::UseBuiltProgram());
        // The program's waits stay in order but last 1 ms.
        pellum::SetDelayHook(
            [](int) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
    }
    void TearDown() override {
        PacketDownload::WaitForDownloadThreads();
        pellum::SetDelayHook({});
        session.portHeld = false;
    }
    pellum::test::RecordingDialogs dialogs;
};

TEST_F(FileWindowAgainstVirtualPrinter, DownloadsAPictureAndListsIt) {
    StartPrinter("PL-Teal 300");
    session.SetModel(model);
    session.SetPort(Port());
    session.SetFamily(pellum::FamilyTSPL);
    session.SetLibraryModel(QStringLiteral("Spruce"));
    ASSERT_EQ(session.Tspl().Create(QStringLiteral("Spruce")), 0);
    auto w = std::make_unique<pellum::TfrmDLFile>(session.Target());
    w->show();
    ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages[0].text.toStdString();
    // 420 dots at 3.0 is 1260: wider than even a 300 dpi printer prints.
    const QByteArray wide = downloads_test::MakeBmp(Frame(420, 20), 1, true);
    dialogs.fileNames = {Write(QStringLiteral("wide.bmp"), wide)};
    w->Button7Click();
    w->findChild<QComboBox*>(QStringLiteral("cmbImageTimes"))->setCurrentIndex(4);
    w->btnDLFileClick();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, pellum::lang::Msg(QStringLiteral("_E_ITW")));
    EXPECT_EQ(Count("download-announce"), 0);

    dialogs.messages.clear();
    dialogs.fileNames = {
        Write(QStringLiteral("frame.bmp"), downloads_test::MakeBmp(Frame(300, 40), 1, true))};
    w->Button7Click();
    w->findChild<QComboBox*>(QStringLiteral("cmbImageTimes"))->setCurrentIndex(4); // 900 dots
    w->btnDLFileClick();
    PacketDownload::WaitForDownloadThreads();
    QApplication::processEvents();
    ASSERT_EQ(dialogs.messages.size(), 1u) << dialogs.messages[0].text.toStdString();
    EXPECT_EQ(dialogs.messages[0].text, pellum::lang::Msg(QStringLiteral("_DownloadSuccess")));
    std::string complete;
    ASSERT_TRUE(vp->waitForKind("download-complete", 3000, &complete));
    EXPECT_EQ(VirtualPrinterProcess::field(complete, "name"), "E_frame.GRF");
    EXPECT_EQ(VirtualPrinterProcess::field(complete, "width"), "904");
    auto* list = w->findChild<QTreeWidget*>(QStringLiteral("lvFonts"));
    bool listed = false;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        listed = listed || list->topLevelItem(i)->text(1) == QLatin1String("frame.GRF");
    EXPECT_TRUE(listed);
    EXPECT_EQ(w->findChild<QPushButton*>(QStringLiteral("btnDLFile"))->text(),
              pellum::lang::LangText(QStringLiteral("msgDL")));
}

TEST_F(FileWindowAgainstVirtualPrinter, UserFontAndStoredFontReachThePrinterIntact) {
    StartPrinter("PL-Kapok 420");
    session.SetModel(model);
    session.SetPort(Port());
    session.SetFamily(pellum::FamilyTSPL);
    session.SetLibraryModel(QStringLiteral("Spruce"));
    ASSERT_EQ(session.Tspl().Create(QStringLiteral("Spruce")), 0);

    // A user font of exactly two packets' worth: three packets, FF filled.
    QByteArray font(2048, '\0');
    for (int i = 0; i < font.size(); ++i)
        font[i] = char(i * 5);
    ASSERT_EQ(session.Tspl().Open(session.Port()), 0);
    ASSERT_TRUE(FontDownload::AnnounceUserFont(session, QStringLiteral("BIG5")));
    FontDownload::UserFontSender sender(session, font);
    FontDownload::UserFontSender::Result r;
    while ((r = sender.Step()) == FontDownload::UserFontSender::Result::Continue) {
    }
    EXPECT_EQ(r, FontDownload::UserFontSender::Result::Done);
    std::string complete;
    ASSERT_TRUE(vp->waitForKind("userfont-complete", 3000, &complete));
    EXPECT_EQ(VirtualPrinterProcess::field(complete, "size"), "2048");
    EXPECT_EQ(VirtualPrinterProcess::field(complete, "encoding"), "big5") << complete;
    EXPECT_EQ(Count("userfont-packet"), 3);

    // A stored font through the packet engine of the font manager.
    using namespace PacketDownload;
    ASSERT_TRUE(PrinterCMD::CmdHoldOpen(session));
    ASSERT_TRUE(QueryCapacity(session, false, nullptr));
    ASSERT_TRUE(AnnounceDownload(session, kClassFonts, QStringLiteral("E_TEST.TTF")));
    DownloadState::DownloadData = font;
    DownloadState::PacketSize = kPacketSize;
    DownloadState::PacketIndex = 0;
    DownloadState::PacketCount = PacketCountFor(font.size());
    DownloadState::DownloadCancelled = false;
    QString list;
    TDLThread fonts(session, {kClassFonts, false, true},
                    {[&](const QString& l) { list = l; }, {}, {}, {}});
    EXPECT_EQ(fonts.Execute(), SendOutcome::Completed);
    EXPECT_TRUE(list.contains(QStringLiteral("E_TEST.TTF"))) << list.toStdString();
    ASSERT_TRUE(vp->waitForKind("download-complete", 3000, &complete));
    EXPECT_EQ(VirtualPrinterProcess::field(complete, "class"), "fonts");
    EXPECT_EQ(VirtualPrinterProcess::field(complete, "size"), "2048");
}

TEST_F(FileWindowAgainstVirtualPrinter, ACancelledDownloadLeavesTheWindowUsable) {
    StartPrinter("PL-Kapok 420");
    session.SetModel(model);
    session.SetPort(Port());
    session.SetFamily(pellum::FamilyTSPL);
    session.SetLibraryModel(QStringLiteral("Spruce"));
    ASSERT_EQ(session.Tspl().Create(QStringLiteral("Spruce")), 0);
    auto w = std::make_unique<pellum::TfrmDLFile>(session.Target());
    w->show();
    dialogs.fileNames = {
        Write(QStringLiteral("big.bmp"), downloads_test::MakeBmp(Frame(800, 400), 1, false))};
    w->Button7Click();
    // The user cancels once a few packets are on their way (what the
    // button does: raise the flag).
    pellum::SetDelayHook([](int) {
        if (PacketDownload::DownloadState::PacketIndex >= 5)
            PacketDownload::DownloadState::DownloadCancelled = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    w->btnDLFileClick();
    PacketDownload::WaitForDownloadThreads();
    QApplication::processEvents();
    pellum::SetDelayHook([](int) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(w->Session().portHeld);
    const int packets = Count("download-packet");
    EXPECT_GE(packets, 5);
    EXPECT_LT(packets, 40);
    // The window's next action reaches the printer, which never stored the
    // cut-short picture.
    auto* get = w->findChild<QPushButton*>(QStringLiteral("btnGetAllImage"));
    ASSERT_TRUE(get->isEnabled());
    get->click();
    auto* list = w->findChild<QTreeWidget*>(QStringLiteral("lvFonts"));
    ASSERT_EQ(list->topLevelItemCount(), 1) << dialogs.messages.size();
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("LOGO.GRF"));
    EXPECT_TRUE(vp->waitForKind("download-aborted", 3000));
}
