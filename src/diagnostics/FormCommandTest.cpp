#include "diagnostics/FormCommandTest.h"

#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "core/ProgramFiles.h"
#include "diagnostics/ConsoleCommands.h"
#include "diagnostics/HexText.h"
#include "gui/GuiLanguage.h"
#include "platform/Delay.h"
#include "platform/UserDialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <climits>
#include <vector>

using pellum::lang::LangText;
using pellum::lang::Msg;

namespace {

// The library model name the console's ESC printer object is created with.
const QString kConsoleLibraryModel = QStringLiteral("Linden");
constexpr int kReadWaitMs = 100;
constexpr int kReadAttempts = 2;
constexpr int kReadIntervalMs = 100;
constexpr int kHintTipMs = 3000;
constexpr int kMaximumReadLength = 1 << 20;

// The keys a hexadecimal page takes: backspace, Enter, space, the hex digits
// and delete.
bool HexKeyAllowed(QChar c) {
    const char16_t u = c.unicode();
    return u == 8 || u == 13 || u == u' ' || u == 127 || (u >= u'0' && u <= u'9') ||
           (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f');
}

} // namespace

T_frmCommandTest::T_frmCommandTest(const pellum::PrinterTarget& printer, QWidget* parent)
    : FormDialog(printer, parent) {
    setObjectName(QStringLiteral("T_frmCommandTest"));
    BuildControls();
}

T_frmCommandTest::~T_frmCommandTest() {
    FormClose();
}

void T_frmCommandTest::BuildControls() {
    auto* root = new QVBoxLayout(this);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabCommandPages"));
    m_popMenu = new QMenu(this);
    m_popMenu->setObjectName(QStringLiteral("PopMenu"));
    m_n1 = m_popMenu->addAction(QString());
    m_n1->setObjectName(QStringLiteral("N1"));
    m_n2 = m_popMenu->addAction(QString());
    m_n2->setObjectName(QStringLiteral("N2"));
    connect(m_n1, &QAction::triggered, this, [this] { N1Click(); });
    connect(m_n2, &QAction::triggered, this, [this] { N2Click(); });
    for (int i = 0; i < 5; ++i) {
        auto* page = new QWidget(m_tabs);
        page->setObjectName(QStringLiteral("P%1").arg(i + 1));
        auto* layout = new QVBoxLayout(page);
        auto* edit = new QTextEdit(page);
        edit->setObjectName(QStringLiteral("RE%1").arg(i + 1));
        edit->setAcceptRichText(false);
        edit->setTabChangesFocus(true);
        edit->setContextMenuPolicy(Qt::CustomContextMenu);
        edit->installEventFilter(this);
        connect(edit, &QWidget::customContextMenuRequested, this, [this, edit](const QPoint& at) {
            m_menuPage = edit;
            m_popMenu->exec(edit->mapToGlobal(at));
        });
        layout->addWidget(edit);
        m_pages[std::size_t(i)] = edit;
        m_tabs->addTab(page, QString::number(i + 1));
    }
    m_tabs->setCurrentIndex(0);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { tabCommandPagesChange(); });
    root->addWidget(m_tabs, 3);

    auto* options = new QHBoxLayout;
    m_gpbDataType = new QGroupBox(this);
    m_gpbDataType->setObjectName(QStringLiteral("gpbDataType"));
    auto* typeLayout = new QVBoxLayout(m_gpbDataType);
    m_rdoChar = new QRadioButton(m_gpbDataType);
    m_rdoChar->setObjectName(QStringLiteral("rdoChar"));
    m_rdoHex = new QRadioButton(m_gpbDataType);
    m_rdoHex->setObjectName(QStringLiteral("rdoHex"));
    m_rdoHex->setChecked(true);
    typeLayout->addWidget(m_rdoChar);
    typeLayout->addWidget(m_rdoHex);
    // Only a real change of the data type converts the page.
    connect(m_rdoHex, &QRadioButton::toggled, this, [this] { CommandChange(); });
    options->addWidget(m_gpbDataType);

    auto* grid = new QGridLayout;
    m_btnLoadFile = new QPushButton(this);
    m_btnLoadFile->setObjectName(QStringLiteral("btnLoadFile"));
    m_txtLoadFileName = new QLineEdit(this);
    m_txtLoadFileName->setObjectName(QStringLiteral("txtLoadFileName"));
    m_txtLoadFileName->setReadOnly(true);
    grid->addWidget(m_btnLoadFile, 0, 0);
    grid->addWidget(m_txtLoadFileName, 0, 1, 1, 3);

    m_chkRecycle = new QCheckBox(this);
    m_chkRecycle->setObjectName(QStringLiteral("chkRecycle"));
    m_lblRecycleTerTime = new QLabel(this);
    m_lblRecycleTerTime->setObjectName(QStringLiteral("lblRecycleTerTime"));
    m_txtSleepTime = new QLineEdit(QStringLiteral("1000"), this);
    m_txtSleepTime->setObjectName(QStringLiteral("txtSleepTime"));
    m_lblRecycleTimes = new QLabel(this);
    m_lblRecycleTimes->setObjectName(QStringLiteral("lblRecycleTimes"));
    grid->addWidget(m_chkRecycle, 1, 0);
    grid->addWidget(m_lblRecycleTerTime, 1, 1);
    grid->addWidget(m_txtSleepTime, 1, 2);
    grid->addWidget(m_lblRecycleTimes, 1, 3);

    m_chkSendAndRead = new QCheckBox(this);
    m_chkSendAndRead->setObjectName(QStringLiteral("chkSendAndRead"));
    m_lblReadDataLen = new QLabel(this);
    m_lblReadDataLen->setObjectName(QStringLiteral("lblReadDataLen"));
    m_txtReadLen = new QLineEdit(QStringLiteral("256"), this);
    m_txtReadLen->setObjectName(QStringLiteral("txtReadLen"));
    m_btnReadData = new QPushButton(this);
    m_btnReadData->setObjectName(QStringLiteral("btnReadData"));
    grid->addWidget(m_chkSendAndRead, 2, 0);
    grid->addWidget(m_lblReadDataLen, 2, 1);
    grid->addWidget(m_txtReadLen, 2, 2);
    grid->addWidget(m_btnReadData, 2, 3);
    options->addLayout(grid, 1);
    root->addLayout(options);

    m_lblReadData = new QLabel(this);
    m_lblReadData->setObjectName(QStringLiteral("lblReadData"));
    root->addWidget(m_lblReadData);
    m_txtReadData = new QTextEdit(this);
    m_txtReadData->setObjectName(QStringLiteral("txtReadData"));
    m_txtReadData->setReadOnly(true);
    m_txtReadData->setAcceptRichText(false);
    root->addWidget(m_txtReadData, 2);

    auto* buttons = new QHBoxLayout;
    m_lblSendTip = new QLabel(this);
    m_lblSendTip->setObjectName(QStringLiteral("lblSendTip"));
    m_lblSendTip->hide();
    m_btnSend = new QPushButton(this);
    m_btnSend->setObjectName(QStringLiteral("btnSend"));
    m_btnClearCurTab = new QPushButton(this);
    m_btnClearCurTab->setObjectName(QStringLiteral("btnClearCurTab"));
    m_btnClearAllTab = new QPushButton(this);
    m_btnClearAllTab->setObjectName(QStringLiteral("btnClearAllTab"));
    m_btnClose = new QPushButton(this);
    m_btnClose->setObjectName(QStringLiteral("btnClose"));
    buttons->addWidget(m_lblSendTip);
    buttons->addStretch(1);
    buttons->addWidget(m_btnSend);
    buttons->addWidget(m_btnClearCurTab);
    buttons->addWidget(m_btnClearAllTab);
    buttons->addWidget(m_btnClose);
    root->addLayout(buttons);

    for (QPushButton* b :
         {m_btnLoadFile, m_btnSend, m_btnReadData, m_btnClearCurTab, m_btnClearAllTab, m_btnClose})
        b->setAutoDefault(false);
    connect(m_btnLoadFile, &QPushButton::clicked, this, [this] { btnLoadFileClick(); });
    connect(m_btnSend, &QPushButton::clicked, this, [this] { btnSendClick(); });
    connect(m_btnReadData, &QPushButton::clicked, this, [this] { btnReadDataClick(); });
    connect(m_btnClearCurTab, &QPushButton::clicked, this, [this] { btnClearCurTabClick(); });
    connect(m_btnClearAllTab, &QPushButton::clicked, this, [this] { btnClearAllTabClick(); });
    connect(m_btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });

    m_timSend = new QTimer(this);
    m_timSend->setObjectName(QStringLiteral("timSend"));
    m_timSend->setTimerType(Qt::PreciseTimer);
    connect(m_timSend, &QTimer::timeout, this, [this] { timSendTimer(); });
    m_timHintTip = new QTimer(this);
    m_timHintTip->setObjectName(QStringLiteral("timHintTip"));
    m_timHintTip->setInterval(kHintTipMs);
    connect(m_timHintTip, &QTimer::timeout, this, [this] { timHintTipTimer(); });
}

void T_frmCommandTest::FormShow() {
    setWindowIcon(QIcon(pellum::files::IconPath()));
    LoopCount = 0;
    InitLanguage();
    pellum::lang::ApplyLanguageFont(this);
    adjustSize();
    setFixedSize(size().expandedTo(QSize(640, 520)));
    PortOpenFlag = false;
    const std::int32_t rc = m_session.Esc().Create(kConsoleLibraryModel);
    m_session.SetLastResult(rc);
    if (rc != 0)
        pellum::lang::ErrorBox(
            pellum::lang::WithCode(Msg(QStringLiteral("_Err_CreatePrinter")), rc));
}

void T_frmCommandTest::InitLanguage() {
    setWindowTitle(LangText(QStringLiteral("FormCommandTest_Caption")));
    m_gpbDataType->setTitle(LangText(QStringLiteral("FormCommandTest_gpbDataType")));
    m_rdoChar->setText(LangText(QStringLiteral("FormCommandTest_rdoChar")));
    m_rdoHex->setText(LangText(QStringLiteral("FormCommandTest_rdoHex")));
    m_btnLoadFile->setText(LangText(QStringLiteral("FormCommandTest_btnLoadFilee")));
    m_btnSend->setText(LangText(QLatin1String(m_timSend->isActive() ? "FormCommandTest_btnSend2"
                                                                    : "FormCommandTest_btnSend1")));
    m_chkRecycle->setText(LangText(QStringLiteral("FormCommandTest_chkRecycle")));
    m_lblRecycleTerTime->setText(LangText(QStringLiteral("FormCommandTest_lblRecycleTerTime")));
    m_lblRecycleTimes->setText(QString::number(LoopCount) +
                               LangText(QStringLiteral("FormCommandTest_lblRecycleTimes")));
    m_chkSendAndRead->setText(LangText(QStringLiteral("FormCommandTest_chkSendAndRead")));
    m_lblReadDataLen->setText(LangText(QStringLiteral("FormCommandTest_lblReadDataLen")));
    m_btnReadData->setText(LangText(QStringLiteral("FormCommandTest_btnReadData")));
    m_lblReadData->setText(LangText(QStringLiteral("FormCommandTest_lblReadData")));
    m_lblSendTip->setText(LangText(QStringLiteral("FormCommandTest_lblSendTip")));
    m_btnClearCurTab->setText(LangText(QStringLiteral("FormCommandTest_btnClearCurTab")));
    m_btnClearAllTab->setText(LangText(QStringLiteral("FormCommandTest_btnClearAllTab")));
    m_btnClose->setText(Msg(QStringLiteral("_Close")));
    m_n1->setText(LangText(QStringLiteral("FormCommandTest_PopMenu_Copy")));
    m_n2->setText(LangText(QStringLiteral("FormCommandTest_PopMenu_Paste")));
}

QTextEdit* T_frmCommandTest::CurrentPage() const {
    const int i = m_tabs->currentIndex();
    return m_pages[std::size_t(i < 0 ? 0 : i)];
}

void T_frmCommandTest::SetCurrentPageText(const QString& text) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    CurrentPage()->setPlainText(t);
    tabCommandPagesChange();
}

void T_frmCommandTest::SetCurrentPageBytes(const QByteArray& bytes) {
    CurrentPage()->setPlainText(ConsoleCommands::EditorTextFromBytes(bytes));
    tabCommandPagesChange();
}

void T_frmCommandTest::tabCommandPagesChange() {
    CurrentPageBytes = ConsoleCommands::PageBytes(CurrentPage()->toPlainText());
}

bool T_frmCommandTest::Looping() const {
    return m_timSend->isActive();
}

void T_frmCommandTest::CommandChange() {
    tabCommandPagesChange();
    if (CurrentPageBytes.isEmpty())
        return;
    if (m_rdoHex->isChecked()) {
        SetCurrentPageText(ConsoleCommands::TextToHexText(CurrentPageBytes));
        return;
    }
    QByteArray bytes;
    QString bad;
    if (!ConsoleCommands::HexTextToText(ConsoleCommands::PageText(CurrentPage()->toPlainText()),
                                        &bytes, &bad)) {
        std::uint8_t lead = 0;
        // A valid byte that is reported is a lead byte without its partner.
        const bool pairMissing = ConsoleCommands::ParseHexByte(bad, &lead);
        pellum::lang::ErrorBox(LangText(QLatin1String(pairMissing ? "FormCommandTest_Err_HexPair"
                                                                  : "FormCommandTest_Err_HexPiece"))
                                   .replace(QStringLiteral("%1"), bad));
        return;
    }
    SetCurrentPageBytes(bytes);
}

bool T_frmCommandTest::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && m_rdoHex->isChecked()) {
        bool isPage = false;
        for (QTextEdit* page : m_pages)
            isPage = isPage || watched == page;
        if (isPage) {
            // CheckImportNumber: keys that type a character are filtered;
            // navigation keys and shortcuts pass.
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!key->text().isEmpty() && !(key->modifiers() & Qt::ControlModifier)) {
                for (const QChar c : key->text())
                    if (!HexKeyAllowed(c))
                        return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void T_frmCommandTest::btnLoadFileClick() {
    const QString path =
        pellum::Dialogs().OpenFileName(LangText(QStringLiteral("FormCommandTest_OpenFile")),
                                       LangText(QStringLiteral("FormCommandTest_FileFilter")));
    if (path.isEmpty())
        return;
    m_txtLoadFileName->setText(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        pellum::lang::ErrorBox(LangText(QStringLiteral("FormCommandTest_Err_ReadFile"))
                                   .replace(QStringLiteral("%1"), file.errorString()));
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        pellum::lang::ErrorBox(LangText(QStringLiteral("FormCommandTest_Err_ReadFile"))
                                   .replace(QStringLiteral("%1"), file.errorString()));
        return;
    }
    if (m_rdoHex->isChecked())
        SetCurrentPageText(HexText(bytes));
    else
        SetCurrentPageText(ConsoleCommands::TextFilePage(bytes));
}

bool T_frmCommandTest::OpenIfNeeded() {
    if (PortOpenFlag)
        return true;
    const std::int32_t rc = m_session.Esc().Open(m_session.Port());
    m_session.SetLastResult(rc);
    if (rc != 0 && rc != 5) {
        pellum::lang::ErrorBox(pellum::lang::WithCode(Msg(QStringLiteral("_Err_OpenPort")), rc));
        return false;
    }
    PortOpenFlag = true;
    return true;
}

bool T_frmCommandTest::TakeNumber(QLineEdit* edit, int minimum, int maximum, int* value) {
    if (ConsoleCommands::ParseDecimal(edit->text(), minimum, maximum, value))
        return true;
    pellum::lang::ErrorBox(LangText(QStringLiteral("FormCommandTest_Err_Number"))
                               .replace(QStringLiteral("%1"), edit->text())
                               .replace(QStringLiteral("%2"), QString::number(minimum))
                               .replace(QStringLiteral("%3"), QString::number(maximum)));
    return false;
}

void T_frmCommandTest::btnSendClick() {
    if (Looping()) {
        m_btnSend->setText(LangText(QStringLiteral("FormCommandTest_btnSend1")));
        m_timSend->stop();
        m_session.Esc().Close();
        PortOpenFlag = false;
        return;
    }
    tabCommandPagesChange();
    if (CurrentPageBytes.isEmpty())
        return;
    if (!OpenIfNeeded())
        return;
    ReadAfterSend = m_chkSendAndRead->isChecked();
    if (!TakeNumber(m_txtReadLen, 1, kMaximumReadLength, &ReadLength))
        return;
    if (m_rdoChar->isChecked()) {
        SendBuffer = CurrentPageBytes;
    } else {
        int badIndex = 0;
        QString badPiece;
        if (!ConsoleCommands::CreateSendByteArray(
                ConsoleCommands::PageText(CurrentPage()->toPlainText()), &SendBuffer, &badIndex,
                &badPiece)) {
            // Nothing is sent: the printer never gets bytes the user did not
            // give (a bad piece is not replaced by zero bytes).
            SendBuffer.clear();
            pellum::lang::ErrorBox(ConsoleCommands::CommandErrorText(badIndex, badPiece));
            return;
        }
    }
    if (SendBuffer.isEmpty())
        return;
    if (m_chkRecycle->isChecked()) {
        int interval = 0;
        if (!TakeNumber(m_txtSleepTime, 1, INT_MAX, &interval))
            return;
        m_btnSend->setText(LangText(QStringLiteral("FormCommandTest_btnSend2")));
        m_timSend->setInterval(interval);
        m_timSend->start();
        return;
    }
    m_session.Esc().Write(SendBuffer);
    m_lblSendTip->show();
    m_timHintTip->start();
    if (ReadAfterSend) {
        pellum::Delay(kReadWaitMs);
        if (!ReadOnce())
            pellum::lang::ErrorBox(Msg(QStringLiteral("_Err_ReadData")));
    }
}

void T_frmCommandTest::AppendReceived(const QByteArray& bytes) {
    m_txtReadData->moveCursor(QTextCursor::End);
    m_txtReadData->insertPlainText(HexText(bytes));
    m_txtReadData->moveCursor(QTextCursor::End);
}

bool T_frmCommandTest::ReadOnce() {
    std::vector<std::uint8_t> buffer(std::size_t(ReadLength), 0);
    std::int32_t count = 0;
    m_session.SetLastResult(m_session.Esc().Read(buffer.data(), ReadLength, &count));
    if (count > ReadLength)
        count = ReadLength;
    if (count <= 0)
        return false;
    AppendReceived(QByteArray(reinterpret_cast<const char*>(buffer.data()), count));
    return true;
}

void T_frmCommandTest::timSendTimer() {
    m_session.Esc().Write(SendBuffer);
    ++LoopCount;
    m_lblRecycleTimes->setText(QString::number(LoopCount) +
                               LangText(QStringLiteral("FormCommandTest_lblRecycleTimes")));
    if (m_chkSendAndRead->isChecked()) {
        pellum::Delay(kReadWaitMs);
        ReadOnce();
    }
}

void T_frmCommandTest::timHintTipTimer() {
    m_lblSendTip->hide();
    m_timHintTip->stop();
}

void T_frmCommandTest::btnReadDataClick() {
    if (!OpenIfNeeded())
        return;
    int length = 0;
    if (!TakeNumber(m_txtReadLen, 1, kMaximumReadLength, &length))
        return;
    std::vector<std::uint8_t> buffer(std::size_t(length), 0);
    std::int32_t count = 0;
    m_session.SetLastResult(
        m_session.Esc().ReadRetry(buffer.data(), length, &count, kReadAttempts, kReadIntervalMs));
    if (count > length)
        count = length;
    if (count > 0)
        AppendReceived(QByteArray(reinterpret_cast<const char*>(buffer.data()), count));
    // A running loop keeps its connection; it is closed when the loop stops.
    if (!Looping()) {
        m_session.Esc().Close();
        PortOpenFlag = false;
    }
}

void T_frmCommandTest::btnClearCurTabClick() {
    CurrentPage()->clear();
    m_txtReadData->clear();
    tabCommandPagesChange();
}

void T_frmCommandTest::btnClearAllTabClick() {
    for (QTextEdit* page : m_pages)
        page->clear();
    m_txtReadData->clear();
    tabCommandPagesChange();
}

void T_frmCommandTest::N1Click() {
    QTextEdit* page = m_menuPage ? m_menuPage : CurrentPage();
    page->copy();
}

void T_frmCommandTest::N2Click() {
    QTextEdit* page = m_menuPage ? m_menuPage : CurrentPage();
    page->paste();
}

void T_frmCommandTest::btnCloseClick() {
    close();
}

void T_frmCommandTest::FormClose() {
    if (m_closed || !FormShown())
        return;
    m_closed = true;
    m_timSend->stop();
    m_timHintTip->stop();
    m_session.Esc().Close();
    PortOpenFlag = false;
}

void T_frmCommandTest::closeEvent(QCloseEvent* event) {
    // Closing is always allowed.
    FormClose();
    event->accept();
    QDialog::closeEvent(event);
}

void T_frmCommandTest::done(int result) {
    FormClose();
    QDialog::done(result);
}
