#include "downloads/FormGDL.h"

#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "core/ProgramFiles.h"
#include "gui/GuiLanguage.h"
#include "platform/Delay.h"
#include "platform/UserDialogs.h"
#include "settings/PrinterCMD.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace pellum {

namespace {

QString Msg(const char* key) {
    return pellum::lang::Msg(QLatin1String(key));
}
QString Text(const char* key) {
    return pellum::lang::LangText(QLatin1String(key));
}

template <typename T> T* Named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

TfrmGDL::TfrmGDL(const pellum::PrinterTarget& printer, QWidget* parent)
    : FormDialog(printer, parent) {
    setObjectName(QStringLiteral("TfrmGDL"));
    gpbSelectFile = Named(new QGroupBox(this), "gpbSelectFile");
    lblImagesList = Named(new QLabel(gpbSelectFile), "lblImagesList");
    txtFileName = Named(new QLineEdit(gpbSelectFile), "txtFileName");
    txtFileName->setReadOnly(true);
    txtFileName->setMinimumWidth(320);
    Button2 = Named(new QPushButton(QStringLiteral("..."), gpbSelectFile), "Button2");
    auto* fileRow = new QGridLayout(gpbSelectFile);
    fileRow->addWidget(lblImagesList, 0, 0);
    fileRow->addWidget(txtFileName, 0, 1);
    fileRow->addWidget(Button2, 0, 2);
    lvDetails = Named(new QTreeWidget(this), "lvDetails");
    lvDetails->setColumnCount(4);
    lvDetails->setRootIsDecorated(false);
    lvDetails->header()->setStretchLastSection(true);
    proDLFont = Named(new QProgressBar(this), "proDLFont");
    lblProgressInfo = Named(new QLabel(this), "lblProgressInfo");
    for (QWidget* w : {static_cast<QWidget*>(proDLFont), static_cast<QWidget*>(lblProgressInfo)}) {
        QSizePolicy p = w->sizePolicy();
        p.setRetainSizeWhenHidden(true);
        w->setSizePolicy(p);
        w->hide();
    }
    btnDownload = Named(new QPushButton(this), "btnDownload");
    btnClose = Named(new QPushButton(this), "btnClose");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblProgressInfo);
    buttons->addStretch(1);
    buttons->addWidget(btnDownload);
    buttons->addWidget(btnClose);
    auto* main = new QVBoxLayout(this);
    main->addWidget(gpbSelectFile);
    main->addWidget(lvDetails);
    main->addWidget(proDLFont);
    main->addLayout(buttons);
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("timSend"));
    m_timer->setInterval(10);
    connect(m_timer, &QTimer::timeout, this, [this] { timSendTimer(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(btnDownload, &QPushButton::clicked, this, [this] { btnDownloadClick(); });
    connect(btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
}

TfrmGDL::~TfrmGDL() {
    m_timer->stop();
}

void TfrmGDL::closeEvent(QCloseEvent* event) {
    // Closed by its title bar: the same as the close button.
    m_timer->stop();
    m_session.Tspl().Close();
    QDialog::closeEvent(event);
}

void TfrmGDL::FormShow() {
    setWindowIcon(QIcon(pellum::files::IconPath()));
    InitLanguage();
    pellum::lang::ApplyLanguageFont(this);
    setFixedSize(sizeHint());
}

void TfrmGDL::InitLanguage() {
    setWindowTitle(Text("FormDownloadFile_TSPL_Cpation"));
    gpbSelectFile->setTitle(Text("FormGDL_gpbSelectFile"));
    lblImagesList->setText(Text("FormDownloadFile_TSPL_lblImagesList"));
    btnDownload->setText(Text("FormDownloadFile_TSPL_btnDownload"));
    btnClose->setText(Msg("_Close"));
    lvDetails->setHeaderLabels({Text("FormGDL_lvDetails_Col1"), Text("FormGDL_lvDetails_Col2"),
                                Text("FormGDL_lvDetails_Col3"), Text("FormGDL_lvDetails_Col4")});
}

void TfrmGDL::SetIdle() {
    m_running = false;
    btnDownload->setText(Text("FormDownloadFile_TSPL_btnDownload"));
}

void TfrmGDL::ShowProgress(std::int64_t done) {
    proDLFont->setValue(int(done));
    lblProgressInfo->setText(Text("FormGDL_lblProgressInfo")
                                 .replace(QLatin1String("{1}"), QString::number(m_totalSteps))
                                 .replace(QLatin1String("{2}"), QString::number(done)));
}

void TfrmGDL::Button2Click() {
    const QString path = Dialogs().OpenFileName(QString(), QString());
    if (path.isEmpty())
        return;
    txtFileName->setText(path);
    QFile f(path);
    m_package = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    m_totalSteps = 0;
    QList<FirmwarePackage::Record> records;
    m_packageComplete = FirmwarePackage::ReadRecords(m_package, &records);
    // The rows of a new package are added below those already listed.
    for (const FirmwarePackage::Record& r : records) {
        pellum::Delay(FirmwarePackage::kListPause);
        lvDetails->addTopLevelItem(new QTreeWidgetItem(
            QStringList{r.name, QString::number(r.bodySize), r.version, QString::number(r.type)}));
        m_totalSteps += r.steps();
        pellum::Delay(FirmwarePackage::kListPause);
    }
    proDLFont->hide();
    lblProgressInfo->hide();
    if (!m_packageComplete) {
        // A package cut short is never sent.
        m_package.clear();
        m_totalSteps = 0;
        pellum::lang::ErrorBox(Text("FormGDL_err_Package"));
    }
}

void TfrmGDL::btnDownloadClick() {
    if (m_running) {
        m_timer->stop();
        SetIdle();
        m_session.Tspl().Close();
        return;
    }
    if (!QFileInfo(txtFileName->text()).isFile()) {
        pellum::lang::ErrorBox(Msg("_Err_FileNotExist"));
        return;
    }
    if (!m_packageComplete) {
        pellum::lang::ErrorBox(Text("FormGDL_err_Package"));
        return;
    }
    PrinterCMD::CmdDo(m_session, QStringLiteral("dfu"));
    const std::int32_t rc = m_session.Tspl().Open(m_session.Port());
    m_session.SetLastResult(rc);
    if (rc != 0 && rc != 5) {
        pellum::lang::ErrorBox(Msg("_Err_OpenPort"));
        return;
    }
    m_sender = std::make_unique<FirmwarePackage::Sender>(m_session, m_package);
    m_sender->onStep = [this](std::int64_t done) { ShowProgress(done); };
    proDLFont->setMaximum(int(m_totalSteps));
    ShowProgress(0);
    proDLFont->show();
    lblProgressInfo->show();
    m_running = true;
    btnDownload->setText(Text("FormDownloadFile_TSPL_btnDownload1"));
    m_timer->start();
}

void TfrmGDL::timSendTimer() {
    m_timer->stop();
    if (!m_sender)
        return;
    if (m_sender->allSent())
        SetIdle();
    if (m_sender->Step() == FirmwarePackage::Sender::Result::Continue)
        m_timer->start();
}

void TfrmGDL::btnCloseClick() {
    m_timer->stop();
    m_session.Tspl().Close();
    reject();
}

} // namespace pellum
