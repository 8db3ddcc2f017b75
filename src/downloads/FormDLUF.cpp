#include "downloads/FormDLUF.h"

#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "core/ProgramFiles.h"
#include "gui/GuiLanguage.h"
#include "platform/UserDialogs.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
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

TfrmDLUF::TfrmDLUF(const pellum::PrinterTarget& printer, QWidget* parent)
    : FormDialog(printer, parent) {
    setObjectName(QStringLiteral("TfrmDLUF"));
    lblSelectFile = Named(new QLabel(this), "lblSelectFile");
    txtFileName = Named(new QLineEdit(this), "txtFileName");
    txtFileName->setReadOnly(true);
    txtFileName->setMinimumWidth(300);
    Button2 = Named(new QPushButton(QStringLiteral("..."), this), "Button2");
    lblLanguage = Named(new QLabel(this), "lblLanguage");
    cmbFontID = Named(new QComboBox(this), "cmbFontID");
    cmbFontID->addItems(FontDownload::UserFontEncodings());
    btnDownload = Named(new QPushButton(this), "btnDownload");
    proDLFont = Named(new QProgressBar(this), "proDLFont");
    lblProgressInfo = Named(new QLabel(this), "lblProgressInfo");
    for (QWidget* w : {static_cast<QWidget*>(proDLFont), static_cast<QWidget*>(lblProgressInfo)}) {
        QSizePolicy p = w->sizePolicy();
        p.setRetainSizeWhenHidden(true);
        w->setSizePolicy(p);
        w->hide();
    }
    btnClose = Named(new QPushButton(this), "btnClose");
    auto* grid = new QGridLayout;
    grid->addWidget(lblSelectFile, 0, 0);
    grid->addWidget(txtFileName, 0, 1);
    grid->addWidget(Button2, 0, 2);
    grid->addWidget(lblLanguage, 1, 0);
    grid->addWidget(cmbFontID, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblProgressInfo);
    buttons->addStretch(1);
    buttons->addWidget(btnDownload);
    buttons->addWidget(btnClose);
    auto* main = new QVBoxLayout(this);
    main->addLayout(grid);
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

TfrmDLUF::~TfrmDLUF() {
    m_timer->stop();
}

void TfrmDLUF::closeEvent(QCloseEvent* event) {
    m_timer->stop();
    m_session.Tspl().Close();
    QDialog::closeEvent(event);
}

void TfrmDLUF::FormShow() {
    setWindowIcon(QIcon(pellum::files::IconPath()));
    InitLanguage();
    pellum::lang::ApplyLanguageFont(this);
    setFixedSize(sizeHint());
    cmbFontID->setCurrentIndex(0);
}

void TfrmDLUF::InitLanguage() {
    setWindowTitle(Text("FormDownloadFont_Caption"));
    lblSelectFile->setText(Text("FormDownloadFont_lblSelectFile"));
    lblLanguage->setText(Text("FormParaSet_Maple_lblLanguage"));
    btnDownload->setText(Text("FormDownloadFont_btnDownload"));
    btnClose->setText(Msg("_Close"));
}

void TfrmDLUF::SetIdle() {
    m_running = false;
    btnDownload->setText(Text("FormDownloadFont_btnDownload"));
}

void TfrmDLUF::Button2Click() {
    const QString path = Dialogs().OpenFileName(QString(), QString());
    if (path.isEmpty())
        return;
    if (QFileInfo(path).size() <= FontDownload::kMaxUserFontBytes)
        txtFileName->setText(path);
    else
        pellum::lang::ErrorBox(Msg("_Err_FileToBig"));
}

void TfrmDLUF::btnDownloadClick() {
    if (m_running) {
        m_timer->stop();
        SetIdle();
        m_session.Tspl().Close();
        return;
    }
    const QString path = txtFileName->text();
    if (!QFileInfo(path).isFile()) {
        pellum::lang::ErrorBox(Msg("_Err_FileNotExist"));
        return;
    }
    const std::int32_t created = m_session.Tspl().Create(m_session.LibraryModel());
    m_session.SetLastResult(created);
    if (created != 0)
        pellum::lang::ErrorBox(pellum::lang::WithCode(Msg("_Err_CreatePrinter"), created));
    const std::int32_t opened = m_session.Tspl().Open(m_session.Port());
    m_session.SetLastResult(opened);
    if (opened != 0 && opened != 5) {
        pellum::lang::ErrorBox(Msg("_Err_OpenPort"));
        return;
    }
    QFile f(path);
    const QByteArray data = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    // The file may have changed since it was chosen.
    if (f.error() != QFileDevice::NoError || data.size() > FontDownload::kMaxUserFontBytes) {
        m_session.Tspl().Close();
        pellum::lang::ErrorBox(data.size() > FontDownload::kMaxUserFontBytes
                                   ? Msg("_Err_FileToBig")
                                   : Msg("_Err_FileNotExist"));
        return;
    }
    if (!FontDownload::AnnounceUserFont(m_session, cmbFontID->currentText())) {
        pellum::lang::ErrorBox(Text("FormDownloadFont_ErrIO"));
        return;
    }
    m_sender = std::make_unique<FontDownload::UserFontSender>(m_session, data);
    const QString total = QString::number(m_sender->totalKilobytes());
    m_sender->onPacket = [this, total](std::int32_t sent) {
        proDLFont->setValue(sent);
        lblProgressInfo->setText(Text("FormDownloadFont_lblProgressInfo")
                                     .replace(QLatin1String("{1}"), total)
                                     .replace(QLatin1String("{2}"), QString::number(sent)));
    };
    m_sender->onComplete = [this] { SetIdle(); };
    m_running = true;
    btnDownload->setText(Text("FormDownloadFont_btnDownload1"));
    proDLFont->setMaximum(m_sender->packetCount());
    proDLFont->setValue(0);
    proDLFont->show();
    lblProgressInfo->show();
    m_timer->start();
}

void TfrmDLUF::timSendTimer() {
    m_timer->stop();
    if (!m_sender)
        return;
    if (m_sender->Step() == FontDownload::UserFontSender::Result::Continue)
        m_timer->start();
}

void TfrmDLUF::btnCloseClick() {
    m_timer->stop();
    m_session.Tspl().Close();
    reject();
}

} // namespace pellum
