#include "downloads/FormDLFile.h"

#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "core/ProgramFiles.h"
#include "downloads/GuiDownloadCommon.h"
#include "downloads/ImageConversion.h"
#include "downloads/PacketDownload.h"
#include "gui/GuiLanguage.h"
#include "platform/UserDialogs.h"
#include "settings/PrinterCMD.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace pellum {

using namespace PacketDownload;

namespace {

QString Msg(const char* key) {
    return pellum::lang::Msg(QLatin1String(key));
}
QString Text(const char* key) {
    return pellum::lang::LangText(QLatin1String(key));
}

void KeepPlaceWhenHidden(QWidget* w) {
    QSizePolicy p = w->sizePolicy();
    p.setRetainSizeWhenHidden(true);
    w->setSizePolicy(p);
}

template <typename T> T* Named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

const char* const kPictureFilter = "*.bmp;*.jpg;*.gif;*.png (*.bmp *.jpg *.gif *.png)";
const char* const kTemplateFilter = "*.prn (*.prn)";

} // namespace

TfrmDLFile::TfrmDLFile(const pellum::PrinterTarget& printer, QWidget* parent)
    : FormDialog(printer, parent) {
    setObjectName(QStringLiteral("TfrmDLFile"));
    BuildControls();
}

TfrmDLFile::~TfrmDLFile() {
    // Closing the window ends its download: the sender stops before its next
    // packet, and no thread is left using the connection or this window.
    if (DownloadThreadsRunning()) {
        DownloadState::DownloadCancelled = true;
        WaitForDownloadThreads();
    }
    PrinterCMD::CmdRelease(m_session);
}

void TfrmDLFile::BuildControls() {
    auto* top = new QGridLayout;
    lblFileType = Named(new QLabel(this), "lblFileType");
    cmbFileType = Named(new QComboBox(this), "cmbFileType");
    cmbFileType->setEnabled(false);
    lblImageTimes = Named(new QLabel(this), "lblImageTimes");
    cmbImageTimes = Named(new QComboBox(this), "cmbImageTimes");
    cmbImageTimes->addItems(ImageConversion::ScaleFactorItems());
    lblPPL = Named(new QLabel(this), "lblPPL");
    cmbPPL = Named(new QComboBox(this), "cmbPPL");
    cmbPPL->addItems({QStringLiteral("ZPL"), QStringLiteral("DPL"), QStringLiteral("EPL"),
                      QStringLiteral("TSPL")});
    lblPPL->hide();
    cmbPPL->hide();
    lblCarPosi = Named(new QLabel(this), "lblCarPosi");
    ComboBox1 = Named(new QComboBox(this), "ComboBox1");
    ComboBox1->setEnabled(false);
    lblFilePath = Named(new QLabel(this), "lblFilePath");
    txtFilePath = Named(new QLineEdit(this), "txtFilePath");
    txtFilePath->setReadOnly(true);
    txtFilePath->setEnabled(false);
    txtFilePath->setMinimumWidth(320);
    Button7 = Named(new QPushButton(QStringLiteral("..."), this), "Button7");
    btnDLFile = Named(new QPushButton(this), "btnDLFile");
    top->addWidget(lblFileType, 0, 0);
    top->addWidget(cmbFileType, 0, 1);
    top->addWidget(lblImageTimes, 0, 2);
    top->addWidget(cmbImageTimes, 0, 3);
    top->addWidget(lblPPL, 0, 2);
    top->addWidget(cmbPPL, 0, 3);
    top->addWidget(lblCarPosi, 1, 0);
    top->addWidget(ComboBox1, 1, 1);
    top->addWidget(lblFilePath, 2, 0);
    top->addWidget(txtFilePath, 2, 1, 1, 3);
    top->addWidget(Button7, 2, 4);
    top->addWidget(btnDLFile, 2, 5);

    auto* progress = new QHBoxLayout;
    lblProgressInfo_F = Named(new QLabel(this), "lblProgressInfo_F");
    Label1 = Named(new QLabel(this), "Label1");
    Label2 = Named(new QLabel(this), "Label2");
    ProgressBar2 = Named(new QProgressBar(this), "ProgressBar2");
    ProgressBar2->setTextVisible(false);
    for (QWidget* w : {static_cast<QWidget*>(lblProgressInfo_F), static_cast<QWidget*>(Label1),
                       static_cast<QWidget*>(Label2), static_cast<QWidget*>(ProgressBar2)}) {
        KeepPlaceWhenHidden(w);
        w->hide();
    }
    progress->addWidget(lblProgressInfo_F);
    progress->addWidget(Label1);
    progress->addWidget(Label2);
    progress->addWidget(ProgressBar2, 1);
    lblSpace_File = Named(new QLabel(this), "lblSpace_File");
    KeepPlaceWhenHidden(lblSpace_File);
    lblSpace_File->hide();

    auto makeColumn = [this](const char* groupName, QTreeWidget*& list, const char* listName,
                             std::initializer_list<std::pair<QPushButton**, const char*>> buttons,
                             bool enabled) {
        auto* group = Named(new QGroupBox(this), groupName);
        auto* layout = new QVBoxLayout(group);
        list = Named(new QTreeWidget(group), listName);
        layout->addWidget(list);
        auto* row = new QGridLayout;
        int i = 0;
        for (const auto& [button, name] : buttons) {
            *button = Named(new QPushButton(group), name);
            (*button)->setEnabled(enabled);
            row->addWidget(*button, i / 2, i % 2);
            ++i;
        }
        layout->addLayout(row);
        return group;
    };
    gpbImage = makeColumn("gpbImage", lvFonts, "lvFonts",
                          {{&btnGetAllImage, "btnGetAllImage"},
                           {&btnPrintImage, "btnPrintImage"},
                           {&btnDelCurImage, "btnDelCurImage"},
                           {&btnDelAllImage, "btnDelAllImage"}},
                          true);
    gpbTmp = makeColumn("gpbTmp", ListView1, "ListView1",
                        {{&btnGetAllTmp, "btnGetAllTmp"},
                         {&btnPrintTmp, "btnPrintTmp"},
                         {&btnDelCurTmp, "btnDelCurTmp"},
                         {&btnDelAllTmp, "btnDelAllTmp"}},
                        false);
    auto* autoGroup = Named(new QGroupBox(this), "gpbAutoTmp");
    gpbAutoTmp = autoGroup;
    auto* autoLayout = new QVBoxLayout(autoGroup);
    lsbAutoTmp = Named(new QListWidget(autoGroup), "lsbAutoTmp");
    autoLayout->addWidget(lsbAutoTmp);
    auto* autoButtons = new QGridLayout;
    int i = 0;
    for (auto [button, name] :
         {std::pair<QPushButton**, const char*>{&btnGetAutoTmp, "btnGetAutoTmp"},
          {&btnPrintAutoTmp, "btnPrintAutoTmp"},
          {&btnDeleteAutoTmp, "btnDeleteAutoTmp"},
          {&btnSwitchAutoform, "btnSwitchAutoform"}}) {
        *button = Named(new QPushButton(autoGroup), name);
        (*button)->setEnabled(false);
        autoButtons->addWidget(*button, i / 2, i % 2);
        ++i;
    }
    autoLayout->addLayout(autoButtons);

    auto* columns = new QHBoxLayout;
    columns->addWidget(gpbImage);
    columns->addWidget(gpbTmp);
    columns->addWidget(gpbAutoTmp);

    auto* previewGroup = Named(new QGroupBox(this), "gpbPreview");
    gpbPreview = previewGroup;
    auto* previewLayout = new QVBoxLayout(previewGroup);
    auto* scroll = Named(new QScrollArea(previewGroup), "scrPreview");
    imgPreview = Named(new QLabel(scroll), "imgPreview");
    imgPreview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroll->setWidget(imgPreview);
    scroll->setWidgetResizable(true);
    scroll->setFixedHeight(220);
    scroll->setBackgroundRole(QPalette::Dark);
    lblPreviewSize = Named(new QLabel(previewGroup), "lblPreviewSize");
    lblPreviewVerdict = Named(new QLabel(previewGroup), "lblPreviewVerdict");
    lblPreviewVerdict->setWordWrap(true);
    previewLayout->addWidget(scroll);
    previewLayout->addWidget(lblPreviewSize);
    previewLayout->addWidget(lblPreviewVerdict);

    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addLayout(progress);
    main->addWidget(lblSpace_File);
    main->addLayout(columns);
    main->addWidget(gpbPreview);

    connect(Button7, &QPushButton::clicked, this, [this] { Button7Click(); });
    connect(btnDLFile, &QPushButton::clicked, this, [this] { btnDLFileClick(); });
    // The change events follow the user's choices only, not the window's own
    // selections.
    connect(cmbFileType, &QComboBox::activated, this, [this] { cmbFileTypeChange(); });
    connect(cmbPPL, &QComboBox::activated, this, [this] { cmbPPLChange(); });
    connect(ComboBox1, &QComboBox::activated, this, [this] { ComboBox1Change(); });
    connect(cmbImageTimes, &QComboBox::currentIndexChanged, this, [this] { UpdatePreview(); });
    for (QPushButton* b : {btnGetAllImage, btnPrintImage, btnDelCurImage, btnDelAllImage})
        connect(b, &QPushButton::clicked, this, [this, b] { DoActive_Bitmap(b); });
    for (QPushButton* b : {btnGetAllTmp, btnPrintTmp, btnDelCurTmp, btnDelAllTmp})
        connect(b, &QPushButton::clicked, this, [this, b] { DoActive_Label(b); });
    for (QPushButton* b : {btnGetAutoTmp, btnPrintAutoTmp, btnDeleteAutoTmp, btnSwitchAutoform})
        connect(b, &QPushButton::clicked, this, [this, b] { DoActive_AutoTmp(b); });
}

void TfrmDLFile::FormShow() {
    setWindowIcon(QIcon(pellum::files::IconPath()));
    LanguageIni();
    pellum::lang::ApplyLanguageFont(this);
    setFixedSize(sizeHint());
    ComboBox1->setCurrentIndex(1);
    GetSpace();
    cmbImageTimes->setCurrentIndex(0);
    cmbPPL->setCurrentIndex(0);
    cmbFileType->setCurrentIndex(0);
}

void TfrmDLFile::LanguageIni() {
    setWindowTitle(Text("FormDLFile_Caption"));
    lblFileType->setText(Text("FormDLFile_lblFileType"));
    const int type = cmbFileType->currentIndex();
    cmbFileType->clear();
    cmbFileType->addItems({Text("FormDLFile_cmbFileType_1"), Text("FormDLFile_cmbFileType_2"),
                           Text("FormDLFile_cmbFileType_3")});
    cmbFileType->setCurrentIndex(type);
    lblImageTimes->setText(Text("FormDLFile_lblImageTimes"));
    lblPPL->setText(Text("FormDLFile_lblPPL"));
    lblCarPosi->setText(Text("FormDLFile_lblCarPosi"));
    const int memory = ComboBox1->currentIndex();
    ComboBox1->clear();
    ComboBox1->addItems({Text("FormDLFile_cmbLakeBoart1"), Text("FormDLFile_cmbLakeBoart2")});
    ComboBox1->setCurrentIndex(memory);
    lblFilePath->setText(Text("FormDLFile_lblFilePath"));
    btnDLFile->setText(Text("msgDL"));
    lblProgressInfo_F->setText(Text("FormDLF_ProgressInfo"));
    static_cast<QGroupBox*>(gpbImage)->setTitle(Text("FormDLFile_gpbImage"));
    static_cast<QGroupBox*>(gpbTmp)->setTitle(Text("FormDLFile_gpbTmp"));
    static_cast<QGroupBox*>(gpbAutoTmp)->setTitle(Text("FormDLFile_gpbAutoTmp"));
    for (QTreeWidget* list : {lvFonts, ListView1})
        SetUpStoredList(list, Text("FormDLF_lvFontsItem0"), Text("FormDLF_lvFontsItem1"));
    btnGetAllImage->setText(Text("FormDLFile_btnGetAllImage"));
    btnPrintImage->setText(Text("FormDLFile_btnPrintImage"));
    btnDelCurImage->setText(Text("FormDLFile_btnDelCurImage"));
    btnDelAllImage->setText(Text("FormDLFile_btnDelAllImage"));
    btnGetAllTmp->setText(Text("FormDLFile_btnGetAllTmp"));
    btnPrintTmp->setText(Text("FormDLFile_btnPrintTmp"));
    btnDelCurTmp->setText(Text("FormDLFile_btnDelCurTmp"));
    btnDelAllTmp->setText(Text("FormDLFile_btnDelAllTmp"));
    btnGetAutoTmp->setText(Text("FormDLFile_btnGetAutoTmp"));
    btnPrintAutoTmp->setText(Text("FormDLFile_btnPrintAutoTmp"));
    btnDeleteAutoTmp->setText(Text("FormDLFile_btnDeleteAutoTmp"));
    btnSwitchAutoform->setText(Text("FormDLFile_SwitchOn"));
    static_cast<QGroupBox*>(gpbPreview)->setTitle(Text("FormDLFile_gpbPreview"));
}

bool TfrmDLFile::RamSelected() const {
    return ComboBox1->currentIndex() == 0;
}
QString TfrmDLFile::RamCaption() const {
    return ComboBox1->itemText(0);
}
QString TfrmDLFile::StorageCaption() const {
    return ComboBox1->itemText(1);
}

QString TfrmDLFile::ClassOfType(int type) const {
    switch (type) {
    case 0:
        return kClassBitmaps;
    case 1:
        return kClassLabels;
    case 2:
        return kClassAutoform;
    default:
        return QString();
    }
}

void TfrmDLFile::SetActionsEnabled(bool enabled) {
    for (QPushButton* b : {Button7, btnGetAllImage, btnPrintImage, btnDelCurImage, btnDelAllImage})
        b->setEnabled(enabled);
}

void TfrmDLFile::SetIdle() {
    btnDLFile->setText(Text("msgDL"));
}

void TfrmDLFile::ShowCapacity(const QString& text) {
    lblSpace_File->setText(text);
    lblSpace_File->show();
}

bool TfrmDLFile::GetSpace() {
    if (!HoldForCapacity(m_session))
        return false;
    CapacityInfo info;
    if (!QueryCapacity(m_session, RamSelected(), &info))
        return false;
    ShowCapacity(CapacityText(info));
    return true;
}

void TfrmDLFile::Button7Click() {
    const bool picture = cmbFileType->currentIndex() == 0;
    const QString path = Dialogs().OpenFileName(
        QString(), QLatin1String(picture ? kPictureFilter : kTemplateFilter));
    if (path.isEmpty())
        return;
    const QString name = QFileInfo(path).fileName();
    const QString problem = CheckDownloadFileName(name);
    if (!problem.isEmpty()) {
        // The file is not taken: the path box and the name that a download
        // would use keep showing the previous choice.
        pellum::lang::ErrorBox(problem);
        return;
    }
    DownloadState::DownloadFileName = name;
    txtFilePath->setText(path);
    m_storageClass = ClassOfType(cmbFileType->currentIndex());
    UpdatePreview();
}

int TfrmDLFile::PreviewDpi() {
    // Asked of the printer once, over the connection the window holds; never
    // while a download uses it.
    if (m_printerDpi <= 0 && m_session.portHeld && !DownloadThreadsRunning())
        m_printerDpi = PrinterCMD::CmdGetVal(m_session, QStringLiteral("dpi")).trimmed().toInt();
    return m_printerDpi;
}

void TfrmDLFile::UpdatePreview() {
    imgPreview->clear();
    lblPreviewSize->clear();
    lblPreviewVerdict->clear();
    const QString path = txtFilePath->text();
    if (path.isEmpty() || cmbFileType->currentIndex() != 0)
        return;
    using ImageConversion::Conversion;
    Conversion c;
    try {
        c = ImageConversion::ConvertPicture(path, cmbImageTimes->currentText().toFloat());
    } catch (const ImageConversion::ImageError& e) {
        lblPreviewVerdict->setText(
            Text("FormDLFile_PreviewFailed").replace(QLatin1String("{0}"), e.text()));
        return;
    } catch (const std::bad_alloc&) {
        lblPreviewVerdict->setText(
            Text("FormDLFile_PreviewFailed").replace(QLatin1String("{0}"), Msg("_E_IC")));
        return;
    }
    if (c.result != Conversion::Result::Converted) {
        lblPreviewVerdict->setText(
            Text("FormDLFile_PreviewFailed")
                .replace(QLatin1String("{0}"),
                         Msg(c.result == Conversion::Result::FileMissing ? "_Err_FileNotExist"
                                                                         : "_E_IC")));
        return;
    }
    const int reported = PreviewDpi();
    // The download takes an unreported resolution for the narrower limit.
    const int dpi = reported > 0 ? reported : 203;
    const int limit = ImageConversion::MaxImageWidth(reported);
    const ImageConversion::MonoBitmap& m = c.bitmap;
    QImage image(m.width, m.height, QImage::Format_Mono);
    image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)}); // bit set = white
    for (int y = 0; y < m.height; ++y)
        std::memcpy(image.scanLine(y), &m.rows[std::size_t(y) * m.bytesPerRow],
                    std::size_t(m.bytesPerRow));
    // Printed size on this screen: dots / printer dpi inches.
    const double screenDpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
    constexpr int kLargestSide = 8000;
    const int w = std::clamp(int(std::lround(m.width * screenDpi / dpi)), 1, kLargestSide);
    const int h = std::clamp(int(std::lround(m.height * screenDpi / dpi)), 1, kLargestSide);
    imgPreview->setPixmap(
        QPixmap::fromImage(image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
    const auto mm = [dpi](int dots) { return QString::number(dots * 25.4 / dpi, 'f', 1); };
    QString size = Text("FormDLFile_PreviewSize")
                       .replace(QLatin1String("{0}"), QString::number(m.width))
                       .replace(QLatin1String("{1}"), QString::number(m.height))
                       .replace(QLatin1String("{2}"), mm(m.width))
                       .replace(QLatin1String("{3}"), mm(m.height))
                       .replace(QLatin1String("{4}"), QString::number(dpi));
    if (reported <= 0)
        size += QLatin1Char(' ') + Text("FormDLFile_PreviewDpiUnknown")
                                       .replace(QLatin1String("{0}"), QString::number(dpi));
    lblPreviewSize->setText(size);
    lblPreviewVerdict->setText(
        Text(m.width <= limit ? "FormDLFile_PreviewFits" : "FormDLFile_PreviewTooWide")
            .replace(QLatin1String("{0}"), QString::number(limit)));
}

void TfrmDLFile::cmbFileTypeChange() {
    const bool picture = cmbFileType->currentIndex() == 0;
    lblPPL->setVisible(!picture);
    cmbPPL->setVisible(!picture);
    lblImageTimes->setVisible(picture);
    cmbImageTimes->setVisible(picture);
    txtFilePath->clear();
    m_storageClass = ClassOfType(cmbFileType->currentIndex());
    UpdatePreview();
}

void TfrmDLFile::cmbPPLChange() {
    lvFonts->clear();
    ListView1->clear();
    lsbAutoTmp->clear();
}

void TfrmDLFile::ComboBox1Change() {
    GetSpace();
    DoActive_Bitmap(btnGetAllImage);
}

void TfrmDLFile::btnDLFileClick() {
    if (btnDLFile->text() == Text("msgCC")) {
        DownloadState::DownloadCancelled = true;
        SetIdle();
        return;
    }
    const QString path = txtFilePath->text();
    if (path.isEmpty() && (m_storageClass == kClassBitmaps || m_storageClass == kClassLabels))
        return;
    if (!QFileInfo(path).isFile()) {
        pellum::lang::ErrorBox(Msg("_Err_FileNotExist"));
        return;
    }
    // The threads of a cancelled download end before the next one begins:
    // two senders must never share the connection.
    WaitForDownloadThreads();
    if (!PrinterCMD::CmdHoldOpen(m_session))
        return;
    btnDLFile->setText(Text("msgCC"));
    std::optional<QString> error;
    if (!TryStartDownload([this] { return PrepareAndStart(); }, &error)) {
        PrinterCMD::CmdRelease(m_session);
        SetIdle();
        if (error)
            pellum::lang::ErrorBox(*error);
    }
}

bool TfrmDLFile::PrepareAndStart() {
    const bool picture = cmbFileType->currentIndex() == 0;
    const QString path = txtFilePath->text();
    QString name = DownloadState::DownloadFileName;
    QByteArray data;
    if (picture) {
        const float factor = cmbImageTimes->currentText().toFloat();
        // The printer's resolution is asked before the picture is decoded,
        // so that a picture too wide for it is refused from its header. A
        // resolution the printer does not state counts as the narrower one.
        const auto widthLimit = [this] {
            const int dpi = PrinterCMD::CmdGetVal(m_session, QStringLiteral("dpi")).trimmed().toInt();
            if (dpi > 0)
                m_printerDpi = dpi;
            return ImageConversion::MaxImageWidth(dpi);
        };
        if (!ImageConversion::ConvertForDownload(path, pellum::files::ConvertedBitmapPath, factor,
                                                 widthLimit, &data))
            return false;
        name = name.left(name.size() - 3) + QStringLiteral("GRF");
    }
    DownloadState::PacketIndex = 0;
    DownloadState::PacketSize = kPacketSize;
    DownloadState::KbPerPacket = 1;
    if (!picture) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            throw std::runtime_error(
                QStringLiteral("%1: %2").arg(path, f.errorString()).toStdString());
        data = f.readAll();
    }
    if (DownloadState::FreeCapacity < data.size()) {
        Dialogs().ShowMessage(MessageKind::Error, Msg("_MSG_Title_Warn"), Text("mNoSP"));
        return false;
    }
    if (!AnnounceDownload(m_session, m_storageClass, MemoryPrefix(RamSelected()) + name)) {
        pellum::lang::ErrorBox(Text("FormGDL_ErrIO"));
        return false;
    }
    DownloadState::DownloadFileName = name;
    DownloadState::DownloadData = data;
    DownloadState::PacketCount = PacketCountFor(data.size());
    const int total = DownloadState::PacketCount * DownloadState::KbPerPacket;
    ProgressBar2->setMaximum(DownloadState::PacketCount);
    ProgressBar2->setValue(0);
    Label1->setText(QStringLiteral("0"));
    Label2->setText(Text("FormDLF_DLI2").replace(QLatin1String("{1}"), QString::number(total)));
    for (QWidget* w :
         {static_cast<QWidget*>(ProgressBar2), static_cast<QWidget*>(lblProgressInfo_F),
          static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2)})
        w->show();
    DownloadState::DownloadCancelled = false;

    TDLThread::Events events;
    events.storedList = [this](const QString& list) {
        OnWindowThread(
            this, [this, list] { FillStoredList(lvFonts, list, RamCaption(), StorageCaption()); });
    };
    events.capacity = [this](const CapacityInfo& info) {
        OnWindowThread(this, [this, info] { ShowCapacity(CapacityText(info)); });
    };
    events.idle = [this] { OnWindowThread(this, [this] { SetIdle(); }); };
    // While the threads use the connection, no list action may use it too.
    SetActionsEnabled(false);
    events.finished = [this](SendOutcome) {
        OnWindowThread(this, [this] { SetActionsEnabled(true); });
    };
    TDLThread::Options options;
    options.listClass = kClassBitmaps;
    options.ram = RamSelected();
    auto progress = std::make_unique<TDLInfoThread>([this](int kb) {
        OnWindowThread(this, [this, kb] {
            ProgressBar2->setValue(kb);
            Label1->setText(QString::number(kb));
        });
    });
    StartDownloadThreads(std::move(progress),
                         std::make_unique<TDLThread>(m_session, options, events));
    return true;
}

void TfrmDLFile::DoActiveList(QPushButton* sender, const QString& storageClass, QTreeWidget* list,
                              QPushButton* getAll, QPushButton* print, QPushButton* deleteCurrent,
                              QPushButton* deleteAll) {
    if (!PrinterCMD::CmdHoldOpen(m_session))
        return;
    if (sender == getAll) {
        const QString reply = PrinterCMD::CmdGetVal(m_session, storageClass);
        if (!reply.isEmpty())
            FillStoredList(list, reply, RamCaption(), StorageCaption());
        else if (m_session.LastResult() == 0)
            list->clear(); // the printer answered: nothing is stored
        PrinterCMD::CmdRelease(m_session);
        return;
    }
    if (sender == deleteAll) {
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            PrinterCMD::CmdDoArgs(m_session, QStringLiteral("delete"), storageClass,
                                  StoredName(list->topLevelItem(i), RamCaption()));
        list->clear();
        PrinterCMD::CmdRelease(m_session);
        return;
    }
    QTreeWidgetItem* row = list->selectedItems().value(0);
    if (!row) {
        PrinterCMD::CmdRelease(m_session);
        Dialogs().ShowMessage(MessageKind::Information, Msg("_MSG_Title_Warn"), Text("msgsi"));
        return;
    }
    const QString name = StoredName(row, RamCaption());
    if (sender == print) {
        PrinterCMD::CmdDoArgs(m_session, QStringLiteral("print"), storageClass, name);
    } else if (sender == deleteCurrent) {
        PrinterCMD::CmdDoArgs(m_session, QStringLiteral("delete"), storageClass, name);
        delete row;
    }
    PrinterCMD::CmdRelease(m_session);
}

void TfrmDLFile::DoActive_Bitmap(QPushButton* sender) {
    DoActiveList(sender, kClassBitmaps, lvFonts, btnGetAllImage, btnPrintImage, btnDelCurImage,
                 btnDelAllImage);
}

void TfrmDLFile::DoActive_Label(QPushButton* sender) {
    DoActiveList(sender, kClassLabels, ListView1, btnGetAllTmp, btnPrintTmp, btnDelCurTmp,
                 btnDelAllTmp);
}

void TfrmDLFile::DoActive_AutoTmp(QPushButton* sender) {
    if (!PrinterCMD::CmdHoldOpen(m_session))
        return;
    const QString switchOn = Text("FormDLFile_SwitchOn");
    const QString switchOff = Text("FormDLFile_SwitchOff");
    if (sender == btnGetAutoTmp) {
        const QString reply = PrinterCMD::CmdGetVal(m_session, kClassAutoform);
        if (reply.isEmpty()) {
            PrinterCMD::CmdRelease(m_session);
            return;
        }
        // The reply ends with a separator; the list shows the name without
        // the four characters before its extension.
        m_autoTemplateName = reply.left(reply.size() - 1);
        const qsizetype n = m_autoTemplateName.size();
        lsbAutoTmp->clear();
        lsbAutoTmp->addItem(m_autoTemplateName.left(std::max<qsizetype>(0, n - 8)) +
                            m_autoTemplateName.right(std::min<qsizetype>(4, n)));
        const QString state = PrinterCMD::CmdGetVal(m_session, QStringLiteral("autoform_switch"));
        btnSwitchAutoform->setText(state == QLatin1String("on") ? switchOff : switchOn);
        PrinterCMD::CmdRelease(m_session);
        return;
    }
    if (sender == btnSwitchAutoform) {
        if (btnSwitchAutoform->text() == switchOn) {
            btnSwitchAutoform->setText(switchOff);
            PrinterCMD::CmdSetVal(m_session, QStringLiteral("autoform_switch"),
                                  QStringLiteral("on"));
        } else {
            btnSwitchAutoform->setText(switchOn);
            PrinterCMD::CmdSetVal(m_session, QStringLiteral("autoform_switch"),
                                  QStringLiteral("off"));
        }
        PrinterCMD::CmdRelease(m_session);
        return;
    }
    QListWidgetItem* line = lsbAutoTmp->selectedItems().value(0);
    if (!line) {
        PrinterCMD::CmdRelease(m_session);
        Dialogs().ShowMessage(MessageKind::Information, Msg("_MSG_Title_Warn"), Text("msgsi"));
        return;
    }
    if (sender == btnPrintAutoTmp) {
        PrinterCMD::CmdDoArgs(m_session, QStringLiteral("print"), kClassAutoform,
                              m_autoTemplateName);
    } else if (sender == btnDeleteAutoTmp) {
        PrinterCMD::CmdDoArgs(m_session, QStringLiteral("delete"), kClassAutoform,
                              m_autoTemplateName);
        delete line;
    }
    PrinterCMD::CmdRelease(m_session);
}

} // namespace pellum
