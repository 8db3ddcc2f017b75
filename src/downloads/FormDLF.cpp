#include "downloads/FormDLF.h"

#include "core/Family.h"
#include "core/Localization.h"
#include "core/OptionTables.h"
#include "core/PrinterSession.h"
#include "core/ProgramFiles.h"
#include "downloads/FontDownload.h"
#include "downloads/GuiDownloadCommon.h"
#include "downloads/PacketDownload.h"
#include "gui/GuiLanguage.h"
#include "platform/Delay.h"
#include "platform/UserDialogs.h"
#include "settings/PrinterCMD.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>
#include <QVBoxLayout>

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

template <typename T> T* Named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

void KeepPlaceWhenHidden(QWidget* w) {
    QSizePolicy p = w->sizePolicy();
    p.setRetainSizeWhenHidden(true);
    w->setSizePolicy(p);
}

bool TestFamily(std::int32_t f) {
    return f == pellum::FamilyTSPL || f == pellum::FamilyZPL;
}

} // namespace

TfrmDLF::TfrmDLF(const pellum::PrinterTarget& printer, QWidget* parent)
    : FormDialog(printer, parent) {
    setObjectName(QStringLiteral("TfrmDLF"));
    lblSelectFont = Named(new QLabel(this), "lblSelectFont");
    txtFilePath_F = Named(new QLineEdit(this), "txtFilePath_F");
    txtFilePath_F->setReadOnly(true);
    txtFilePath_F->setEnabled(false);
    txtFilePath_F->setMinimumWidth(300);
    Button2 = Named(new QPushButton(QStringLiteral("..."), this), "Button2");
    lblCarPosi = Named(new QLabel(this), "lblCarPosi");
    cmbFontID = Named(new QComboBox(this), "cmbFontID");
    cmbFontID->setEnabled(false);
    btnDLFont = Named(new QPushButton(this), "btnDLFont");
    proDLFont = Named(new QProgressBar(this), "proDLFont");
    proDLFont->setTextVisible(false);
    lblProgressInfo_F = Named(new QLabel(this), "lblProgressInfo_F");
    Label1 = Named(new QLabel(this), "Label1");
    Label2 = Named(new QLabel(this), "Label2");
    for (QWidget* w : {static_cast<QWidget*>(proDLFont), static_cast<QWidget*>(lblProgressInfo_F),
                       static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2)}) {
        KeepPlaceWhenHidden(w);
        w->hide();
    }
    lblSpace_Font = Named(new QLabel(this), "lblSpace_Font");
    KeepPlaceWhenHidden(lblSpace_Font);
    lblSpace_Font->hide();
    lvFonts = Named(new QTreeWidget(this), "lvFonts");
    btnDeleteCurFont = Named(new QPushButton(this), "btnDeleteCurFont");
    btnDeleteAllFont = Named(new QPushButton(this), "btnDeleteAllFont");
    lblTestTextF = Named(new QLabel(this), "lblTestTextF");
    rtTestText = Named(new QPlainTextEdit(this), "rtTestText");
    rtTestText->setFixedHeight(60);
    btnTestFont = Named(new QPushButton(this), "btnTestFont");
    lblPrintableWidth = Named(new QLabel(this), "lblPrintableWidth");
    txtPrintableWidth = Named(new QLineEdit(QStringLiteral("30"), this), "txtPrintableWidth");
    lblMultiple1 = Named(new QLabel(this), "lblMultiple1");
    lblPrintableHeight = Named(new QLabel(this), "lblPrintableHeight");
    txtPrintableHeigh = Named(new QLineEdit(QStringLiteral("30"), this), "txtPrintableHeigh");
    lblMultiple2 = Named(new QLabel(QStringLiteral("(10-210)mm"), this), "lblMultiple2");
    // Only digits: the key filter of both size boxes.
    for (QLineEdit* box : {txtPrintableWidth, txtPrintableHeigh}) {
        box->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), box));
        box->setMaxLength(3);
        box->setFixedWidth(60);
        connect(box, &QLineEdit::editingFinished, this, [this, box] { CheckValue(box); });
    }

    auto* top = new QGridLayout;
    top->addWidget(lblSelectFont, 0, 0);
    top->addWidget(txtFilePath_F, 0, 1);
    top->addWidget(Button2, 0, 2);
    top->addWidget(btnDLFont, 0, 3);
    top->addWidget(lblCarPosi, 1, 0);
    top->addWidget(cmbFontID, 1, 1);
    auto* progress = new QHBoxLayout;
    progress->addWidget(lblProgressInfo_F);
    progress->addWidget(Label1);
    progress->addWidget(Label2);
    progress->addWidget(proDLFont, 1);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(btnDeleteCurFont);
    listButtons->addWidget(btnDeleteAllFont);
    listButtons->addStretch(1);
    auto* sizes = new QHBoxLayout;
    sizes->addWidget(lblPrintableWidth);
    sizes->addWidget(txtPrintableWidth);
    sizes->addWidget(lblMultiple1);
    sizes->addSpacing(12);
    sizes->addWidget(lblPrintableHeight);
    sizes->addWidget(txtPrintableHeigh);
    sizes->addWidget(lblMultiple2);
    sizes->addStretch(1);
    sizes->addWidget(btnTestFont);
    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addLayout(progress);
    main->addWidget(lblSpace_Font);
    main->addWidget(lvFonts);
    main->addLayout(listButtons);
    main->addWidget(lblTestTextF);
    main->addWidget(rtTestText);
    main->addLayout(sizes);

    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(btnDLFont, &QPushButton::clicked, this, [this] { btnDLFontClick(); });
    connect(btnDeleteCurFont, &QPushButton::clicked, this,
            [this] { btnDeleteCurFontClick(btnDeleteCurFont); });
    connect(btnDeleteAllFont, &QPushButton::clicked, this,
            [this] { btnDeleteCurFontClick(btnDeleteAllFont); });
    connect(lvFonts, &QTreeWidget::itemClicked, this, [this] { lvFontsClick(); });
    connect(btnTestFont, &QPushButton::clicked, this, [this] { btnTestFontClick(); });
    connect(cmbFontID, &QComboBox::activated, this, [this] { cmbFontIDChange(); });
    connect(rtTestText, &QPlainTextEdit::textChanged, this, [this] {
        // At most 255 characters of test text.
        const QString text = rtTestText->toPlainText();
        if (text.size() > FontDownload::kMaxTestTextLength) {
            rtTestText->setPlainText(text.left(FontDownload::kMaxTestTextLength));
            rtTestText->moveCursor(QTextCursor::End);
        }
    });
}

TfrmDLF::~TfrmDLF() {
    if (DownloadThreadsRunning()) {
        DownloadState::DownloadCancelled = true;
        WaitForDownloadThreads();
    }
    PrinterCMD::CmdRelease(m_session);
}

void TfrmDLF::FormShow() {
    setWindowIcon(QIcon(pellum::files::IconPath()));
    LanguageIni();
    pellum::lang::ApplyLanguageFont(this);
    setFixedSize(sizeHint());
    if (!PrinterCMD::CmdHoldOpen(m_session))
        return;
    GetAllFonts();
    cmbFontID->setCurrentIndex(1);
    GetSpace();
    PrinterCMD::CmdRelease(m_session);
}

void TfrmDLF::LanguageIni() {
    setWindowTitle(Text("FormDLF_Caption"));
    lblCarPosi->setText(Text("FormDLFile_lblCarPosi"));
    lblSelectFont->setText(Text("FormDLF_lblSelectFont"));
    lblTestTextF->setText(Text("FormDLF_lblTestTextF"));
    btnDeleteCurFont->setText(Text("FormDLF_btnDeleteCurFont"));
    btnDeleteAllFont->setText(Text("FormDLF_btnDeleteAllFont"));
    btnTestFont->setText(Text("FormDLF_btnTestFont"));
    lblProgressInfo_F->setText(Text("FormDLF_ProgressInfo"));
    lblPrintableWidth->setText(Text("FormPrintTextLabel_lblPrintableWidth"));
    lblPrintableHeight->setText(Text("FormPrintTextLabel_lblPrintableHeight"));
    btnDLFont->setText(Text("msgDL"));
    const int memory = cmbFontID->currentIndex();
    cmbFontID->clear();
    cmbFontID->addItems({Text("FormDLFile_cmbLakeBoart1"), Text("FormDLFile_cmbLakeBoart2")});
    cmbFontID->setCurrentIndex(memory);
    SetUpStoredList(lvFonts, Text("FormDLF_lvFontsItem0"), Text("FormDLF_lvFontsItem1"));
    const bool test = TestFamily(m_session.Family());
    rtTestText->setEnabled(test);
    btnTestFont->setEnabled(test);
    const bool sizes = m_session.Family() == pellum::FamilyTSPL;
    for (QWidget* w :
         {static_cast<QWidget*>(lblPrintableWidth), static_cast<QWidget*>(txtPrintableWidth),
          static_cast<QWidget*>(lblMultiple1), static_cast<QWidget*>(lblPrintableHeight),
          static_cast<QWidget*>(txtPrintableHeigh), static_cast<QWidget*>(lblMultiple2)})
        w->setVisible(sizes);
    lblMultiple1->setText(
        QStringLiteral("(10-*)mm")
            .replace(QLatin1Char('*'), OptionTables::GetPaperWidth(m_session.Model())));
}

bool TfrmDLF::RamSelected() const {
    return cmbFontID->currentIndex() == 0;
}
QString TfrmDLF::RamCaption() const {
    return cmbFontID->itemText(0);
}

void TfrmDLF::SetActionsEnabled(bool enabled) {
    for (QPushButton* b : {Button2, btnDeleteCurFont, btnDeleteAllFont})
        b->setEnabled(enabled);
    btnTestFont->setEnabled(enabled && TestFamily(m_session.Family()));
}

void TfrmDLF::SetIdle() {
    btnDLFont->setText(Text("msgDL"));
}

void TfrmDLF::ShowCapacity(const QString& text) {
    lblSpace_Font->setText(text);
    lblSpace_Font->show();
}

void TfrmDLF::GetAllFonts() {
    const QString reply = PrinterCMD::CmdGetVal(m_session, kClassFonts);
    if (!reply.isEmpty())
        FillStoredList(lvFonts, reply, RamCaption(), cmbFontID->itemText(1));
    else if (m_session.LastResult() == 0)
        lvFonts->clear(); // the printer answered: no fonts stored
}

bool TfrmDLF::GetSpace() {
    if (!HoldForCapacity(m_session))
        return false;
    CapacityInfo info;
    if (!QueryCapacity(m_session, RamSelected(), &info))
        return false;
    ShowCapacity(CapacityText(info));
    return true;
}

void TfrmDLF::cmbFontIDChange() {
    GetSpace();
}

void TfrmDLF::Button2Click() {
    const QString path =
        Dialogs().OpenFileName(QString(), QStringLiteral("*.ttf,*.prtf (*.ttf *.prtf)"));
    if (path.isEmpty())
        return;
    txtFilePath_F->setText(path);
    DownloadState::DownloadFileName = QFileInfo(path).fileName();
    const QString problem = CheckDownloadFileName(DownloadState::DownloadFileName);
    if (!problem.isEmpty())
        pellum::lang::ErrorBox(problem);
}

void TfrmDLF::btnDLFontClick() {
    if (btnDLFont->text() == Text("msgCC")) {
        DownloadState::DownloadCancelled = true;
        SetIdle();
        return;
    }
    // The name stays shown after a refusal, but is never announced.
    const QString problem = CheckDownloadFileName(DownloadState::DownloadFileName);
    if (!problem.isEmpty()) {
        pellum::lang::ErrorBox(problem);
        return;
    }
    WaitForDownloadThreads();
    btnDLFont->setText(Text("msgCC"));
    if (!PrinterCMD::CmdOpen(m_session)) {
        SetIdle();
        return;
    }
    std::optional<QString> error;
    if (!TryStartDownload([this] { return PrepareAndStart(); }, &error)) {
        PrinterCMD::CmdRelease(m_session);
        SetIdle();
        if (error)
            pellum::lang::ErrorBox(*error);
    }
}

bool TfrmDLF::PrepareAndStart() {
    DownloadState::PacketSize = kPacketSize;
    DownloadState::KbPerPacket = kPacketSize / 1024;
    DownloadState::PacketIndex = 0;
    const QString path = txtFilePath_F->text();
    if (!QFileInfo(path).isFile()) {
        pellum::lang::ErrorBox(Msg("_Err_FileNotExist"));
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("%1: %2").arg(path, f.errorString()).toStdString());
    const QByteArray data = f.readAll();
    if (DownloadState::FreeCapacity < data.size()) {
        Dialogs().ShowMessage(MessageKind::Error, Msg("_MSG_Title_Warn"), Text("mNoSP"));
        return false;
    }
    if (!AnnounceDownload(m_session, kClassFonts,
                          MemoryPrefix(RamSelected()) + DownloadState::DownloadFileName)) {
        pellum::lang::ErrorBox(Text("FormGDL_ErrIO"));
        return false;
    }
    DownloadState::DownloadData = data;
    DownloadState::PacketCount = PacketCountFor(data.size());
    const int total = DownloadState::PacketCount * DownloadState::KbPerPacket;
    proDLFont->setMaximum(total);
    proDLFont->setValue(0);
    Label1->setText(QStringLiteral("0"));
    Label2->setText(Text("FormDLF_DLI2").replace(QLatin1String("{1}"), QString::number(total)));
    for (QWidget* w : {static_cast<QWidget*>(proDLFont), static_cast<QWidget*>(lblProgressInfo_F),
                       static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2)})
        w->show();
    DownloadState::DownloadCancelled = false;

    TDLThread::Events events;
    events.storedList = [this](const QString& list) {
        OnWindowThread(this, [this, list] {
            FillStoredList(lvFonts, list, RamCaption(), cmbFontID->itemText(1));
        });
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
    options.listClass = kClassFonts;
    options.ram = RamSelected();
    options.idleBeforeSuccessMessage = true;
    auto progress = std::make_unique<TDLInfoThread>([this](int kb) {
        OnWindowThread(this, [this, kb] {
            proDLFont->setValue(kb);
            Label1->setText(QString::number(kb));
        });
    });
    StartDownloadThreads(std::move(progress),
                         std::make_unique<TDLThread>(m_session, options, events));
    return true;
}

void TfrmDLF::btnDeleteCurFontClick(QPushButton* sender) {
    if (!PrinterCMD::CmdHoldOpen(m_session))
        return;
    if (sender == btnDeleteCurFont) {
        if (QTreeWidgetItem* row = lvFonts->selectedItems().value(0)) {
            PrinterCMD::CmdDoArgs(m_session, QStringLiteral("delete"), kClassFonts,
                                  StoredName(row, RamCaption()));
            delete row;
            pellum::Delay(500);
            GetSpace();
        }
    } else if (sender == btnDeleteAllFont) {
        for (int i = 0; i < lvFonts->topLevelItemCount(); ++i)
            PrinterCMD::CmdDoArgs(m_session, QStringLiteral("delete"), kClassFonts,
                                  StoredName(lvFonts->topLevelItem(i), RamCaption()));
        lvFonts->clear();
        GetSpace();
    }
    PrinterCMD::CmdRelease(m_session);
}

void TfrmDLF::lvFontsClick() {
    btnTestFont->setEnabled(TestFamily(m_session.Family()));
}

void TfrmDLF::btnTestFontClick() {
    QTreeWidgetItem* row = lvFonts->selectedItems().value(0);
    if (!row)
        return;
    if (!PrinterCMD::CmdHoldOpen(m_session))
        return;
    const QByteArray job = FontDownload::FontTestJob(
        m_session.Family(), StoredName(row, RamCaption()), rtTestText->toPlainText(),
        txtPrintableWidth->text(), txtPrintableHeigh->text());
    const std::int32_t rc = m_session.Tspl().Write(job);
    m_session.SetLastResult(rc);
    if (rc != 0) {
        pellum::lang::ErrorBox(Msg("_Err_WriteData"));
        return;
    }
    PrinterCMD::CmdRelease(m_session);
}

void TfrmDLF::CheckValue(QLineEdit* box) {
    if (box == txtPrintableWidth)
        box->setText(FontDownload::ClampPrintableWidth(
            box->text(), OptionTables::GetPaperWidth(m_session.Model()).toInt()));
    else if (box == txtPrintableHeigh)
        box->setText(FontDownload::ClampPrintableHeight(box->text()));
}

} // namespace pellum
