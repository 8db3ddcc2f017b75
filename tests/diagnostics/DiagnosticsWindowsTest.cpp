// The diagnostics windows under the offscreen platform against scripted
// printer libraries: the command console, printer information and the two
// test-print windows.
#include "diagnostics/FormCommandTest.h"
#include "diagnostics/FormPrintText.h"
#include "diagnostics/FormPrintText_Label.h"
#include "diagnostics/FormPrinterInformation.h"
#include "diagnostics/TestPrintJobs.h"
#include "gui/GuiWindowRegistry.h"

#include "DiagnosticsFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>

namespace pellum {
void RegisterDiagnosticsWindows();
}

using namespace diagtest;

namespace {

template <typename T> T* Child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QLatin1String(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

void Type(QWidget* target, const QString& text) {
    for (const QChar c : text) {
        const int key = c == QLatin1Char('\r') ? int(Qt::Key_Return) : 0;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
    }
}

void Leave(QWidget* box) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(box, &out);
}

} // namespace

TEST(DiagnosticsRegistry, TheFourWindowsAreRegistered) {
    pellum::RegisterDiagnosticsWindows();
    for (const char* name :
         {"T_frmCommandTest", "T_frmPrinterInformation", "T_frmPrintTextLabel", "T_frmPrintText"})
        EXPECT_TRUE(pellum::IsWindowRegistered(QLatin1String(name))) << name;
}

class RegisteredWindows : public DiagnosticsTest {};

TEST_F(RegisteredWindows, OpenModallyWithTheSelectedModelsPaperWidth) {
    pellum::RegisterDiagnosticsWindows();
    Select(kVectorModel, pellum::FamilyTSPL); // paper width 56
    const struct {
        const char* name;
        const char* hintLabel; // a label whose text is checked, or nullptr
        const char* hint;
    } cases[] = {
        {"T_frmCommandTest", nullptr, nullptr},
        {"T_frmPrinterInformation", nullptr, nullptr},
        {"T_frmPrintTextLabel", "lblMultiple1", "(10-56)mm"},
        {"T_frmPrintText", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString seen;
        QString hint;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            seen = modal->objectName();
            if (c.hintLabel)
                if (auto* l = modal->findChild<QLabel*>(QLatin1String(c.hintLabel)))
                    hint = l->text();
            modal->close();
        });
        ASSERT_TRUE(pellum::OpenRegisteredWindow(QLatin1String(c.name), nullptr, session.Target()));
        EXPECT_EQ(seen, QLatin1String(c.name));
        if (c.hint) {
            EXPECT_EQ(hint, QLatin1String(c.hint));
        }
    }
}

// --- Command console -----------------------------------------------------------

class CommandConsole : public DiagnosticsTest {
protected:
    void SetUp() override {
        DiagnosticsTest::SetUp();
        Open();
    }
    void TearDown() override {
        windowSession = nullptr;
        w.reset();
        DiagnosticsTest::TearDown();
    }
    void Open() {
        w = std::make_unique<T_frmCommandTest>(session.Target());
        windowSession = &w->Session();
        w->show();
        page1 = w->Page(0);
        rdoChar = Child<QRadioButton>(w.get(), "rdoChar");
        rdoHex = Child<QRadioButton>(w.get(), "rdoHex");
        btnSend = Child<QPushButton>(w.get(), "btnSend");
        chkRecycle = Child<QCheckBox>(w.get(), "chkRecycle");
        chkSendAndRead = Child<QCheckBox>(w.get(), "chkSendAndRead");
        txtReadData = Child<QTextEdit>(w.get(), "txtReadData");
        txtSleepTime = Child<QLineEdit>(w.get(), "txtSleepTime");
        txtReadLen = Child<QLineEdit>(w.get(), "txtReadLen");
        lblRecycleTimes = Child<QLabel>(w.get(), "lblRecycleTimes");
        tabs = Child<QTabWidget>(w.get(), "tabCommandPages");
    }
    std::unique_ptr<T_frmCommandTest> w;
    QTextEdit* page1 = nullptr;
    QRadioButton* rdoChar = nullptr;
    QRadioButton* rdoHex = nullptr;
    QPushButton* btnSend = nullptr;
    QCheckBox* chkRecycle = nullptr;
    QCheckBox* chkSendAndRead = nullptr;
    QTextEdit* txtReadData = nullptr;
    QLineEdit* txtSleepTime = nullptr;
    QLineEdit* txtReadLen = nullptr;
    QLabel* lblRecycleTimes = nullptr;
    QTabWidget* tabs = nullptr;
};

TEST_F(CommandConsole, ShowCreatesTheEscPrinterWithoutConnecting) {
    EXPECT_EQ(esc->ops(), (std::vector<std::string>{"create"}));
    EXPECT_EQ(esc->callsOf("create")[0].text, QStringLiteral("Linden"));
    EXPECT_FALSE(w->PortOpenFlag);
    EXPECT_TRUE(rdoHex->isChecked());
    EXPECT_EQ(tabs->count(), 5);
    EXPECT_EQ(tabs->tabText(4), QStringLiteral("5"));
    EXPECT_EQ(txtSleepTime->text(), QStringLiteral("1000"));
    EXPECT_EQ(txtReadLen->text(), QStringLiteral("256"));
    EXPECT_EQ(btnSend->text(), Lang("FormCommandTest_btnSend1"));
    EXPECT_FALSE(Child<QLabel>(w.get(), "lblSendTip")->isVisible());
    EXPECT_TRUE(dialogs->messages.empty());

    // A failed create is shown with its code; the window stays open.
    windowSession = nullptr;
    w.reset();
    esc->clear();
    esc->createResults = {4};
    Open();
    EXPECT_EQ(Messages(), std::vector<QString>{Msg("_Err_CreatePrinter") + QStringLiteral(":4")});
    EXPECT_TRUE(w->isVisible());
}

TEST_F(CommandConsole, SingleSendWithReadShowsTheReplyInHex) {
    page1->setPlainText(QStringLiteral("1B 40 0x0A,0d\nff"));
    chkSendAndRead->setChecked(true);
    txtReadData->setPlainText(QStringLiteral("AA "));
    esc->clear();
    esc->replies = {Hex("010203")};
    btnSend->click();
    EXPECT_EQ(esc->writes(), std::vector<QByteArray>{Hex("1B400A0DFF")});
    EXPECT_EQ(esc->ops(), (std::vector<std::string>{"open", "write", "read"}));
    EXPECT_EQ(esc->callsOf("read")[0].size, 256);
    EXPECT_EQ(delays->waits(), std::vector<int>{100});
    EXPECT_EQ(txtReadData->toPlainText(), QStringLiteral("AA 01 02 03 "));
    EXPECT_TRUE(dialogs->messages.empty());
    EXPECT_TRUE(w->PortOpenFlag);
    EXPECT_TRUE(Child<QLabel>(w.get(), "lblSendTip")->isVisible());
    EXPECT_TRUE(w->timHintTip()->isActive());
    EXPECT_EQ(w->timHintTip()->interval(), 3000);
    w->timHintTipTimer();
    EXPECT_FALSE(Child<QLabel>(w.get(), "lblSendTip")->isVisible());
    EXPECT_FALSE(w->timHintTip()->isActive());

    // The connection stays open; nothing received is an error after a single send.
    esc->clear();
    txtReadLen->setText(QStringLiteral("16"));
    btnSend->click();
    EXPECT_EQ(esc->ops(), (std::vector<std::string>{"write", "read"}));
    EXPECT_EQ(esc->callsOf("read")[0].size, 16);
    EXPECT_EQ(Messages(), std::vector<QString>{Msg("_Err_ReadData")});
    EXPECT_EQ(txtReadData->toPlainText(), QStringLiteral("AA 01 02 03 "));
}

TEST_F(CommandConsole, BadInputSendsNothing) {
    const struct {
        const char* name;
        const char* page;
        const char* readLength;
        std::deque<std::int32_t> openResults;
        QString message;
    } cases[] = {
        {"open refused", "1B 40", "256", {3}, Msg("_Err_OpenPort") + QStringLiteral(":3")},
        {"upper-case X", "1B 0X41 40", "256", {}, QStringLiteral("Command Error!1|0X41")},
        {"read length", "1B 40", "many", {}, QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        page1->setPlainText(QString::fromLatin1(c.page));
        txtReadLen->setText(QString::fromLatin1(c.readLength));
        esc->clear();
        esc->openResults = c.openResults;
        dialogs->messages.clear();
        btnSend->click();
        EXPECT_TRUE(esc->writes().empty());
        ASSERT_EQ(dialogs->messages.size(), 1u);
        if (!c.message.isEmpty()) {
            EXPECT_EQ(dialogs->messages[0].text, c.message);
        } else {
            EXPECT_TRUE(dialogs->messages[0].text.contains(QLatin1String("many")));
        }
        EXPECT_EQ(dialogs->messages[0].title, Msg("_MSG_Title_Error"));
    }
    EXPECT_FALSE(w->timSend()->isActive());
    // An empty page sends nothing and says nothing.
    page1->clear();
    dialogs->messages.clear();
    esc->clear();
    btnSend->click();
    EXPECT_TRUE(esc->calls().empty());
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(CommandConsole, TextModeSendsThePageBytesInTheAnsiCodePage) {
    rdoChar->click(); // an empty page: nothing to convert
    EXPECT_TRUE(rdoChar->isChecked());
    page1->setPlainText(QStringLiteral(u"SIZE 40 mm\n\u554A"));
    esc->clear();
    btnSend->click();
    EXPECT_EQ(esc->written(), QByteArray("SIZE 40 mm\r\n\xB0\xA1"));
}

TEST_F(CommandConsole, SwitchingTheDataTypeConvertsTheCurrentPage) {
    QTextEdit* page2 = w->Page(1);
    page2->setPlainText(QStringLiteral("41"));
    page1->setPlainText(QStringLiteral("41 42"));
    rdoChar->click();
    EXPECT_EQ(page1->toPlainText(), QStringLiteral("AB"));
    EXPECT_EQ(page2->toPlainText(), QStringLiteral("41")); // other pages stay
    rdoHex->click();
    EXPECT_EQ(page1->toPlainText(), QStringLiteral("41 42 "));

    page1->setPlainText(QStringLiteral("B0 A1"));
    rdoChar->click();
    EXPECT_EQ(page1->toPlainText(), QStringLiteral(u"\u554A"));
    rdoHex->click();
    EXPECT_EQ(page1->toPlainText(), QStringLiteral("B0 A1 "));

    // Text with a line break goes to hex with its CR LF.
    rdoChar->click();
    page1->setPlainText(QStringLiteral("A\nB"));
    rdoHex->click();
    EXPECT_EQ(page1->toPlainText(), QStringLiteral("41 0D 0A 42 "));

    // A lead byte without its partner: message, page unchanged.
    page1->setPlainText(QStringLiteral("41 B0"));
    rdoChar->click();
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].text,
              Lang("FormCommandTest_Err_HexPair").replace(QStringLiteral("%1"), "B0"));
    EXPECT_EQ(page1->toPlainText(), QStringLiteral("41 B0"));
}

TEST_F(CommandConsole, HexPagesTakeOnlyHexKeys) {
    page1->setFocus();
    Type(page1, QStringLiteral("1bG x4\r"));
    EXPECT_EQ(page1->toPlainText(), QStringLiteral("1b 4\n"));
    rdoChar->click();
    page1->clear();
    Type(page1, QStringLiteral("Gx"));
    EXPECT_EQ(page1->toPlainText(), QStringLiteral("Gx"));
}

TEST_F(CommandConsole, LoopSendsOnTheTimerAndCountsOn) {
    page1->setPlainText(QStringLiteral("1B 40"));
    chkRecycle->setChecked(true);
    txtSleepTime->setText(QStringLiteral("500"));
    esc->clear();
    btnSend->click();
    EXPECT_TRUE(esc->writes().empty()); // nothing at once
    EXPECT_TRUE(w->timSend()->isActive());
    EXPECT_EQ(w->timSend()->interval(), 500);
    EXPECT_EQ(btnSend->text(), Lang("FormCommandTest_btnSend2"));
    w->timSendTimer();
    w->timSendTimer();
    EXPECT_EQ(esc->writes(), (std::vector<QByteArray>{Hex("1B40"), Hex("1B40")}));
    EXPECT_EQ(lblRecycleTimes->text(),
              QStringLiteral("2") + Lang("FormCommandTest_lblRecycleTimes"));

    // The bytes were taken when the loop started.
    page1->setPlainText(QStringLiteral("FF"));
    w->timSendTimer();
    EXPECT_EQ(esc->writes().back(), Hex("1B40"));

    // Read after send inside the loop: appended, and silent when nothing came.
    chkSendAndRead->setChecked(true);
    esc->replies = {Hex("7F")};
    delays->clear();
    w->timSendTimer();
    w->timSendTimer();
    EXPECT_EQ(txtReadData->toPlainText(), QStringLiteral("7F "));
    EXPECT_EQ(delays->waits(), (std::vector<int>{100, 100}));
    EXPECT_TRUE(dialogs->messages.empty());

    // Stop: idle caption, timer off, port closed.
    btnSend->click();
    EXPECT_FALSE(w->timSend()->isActive());
    EXPECT_EQ(btnSend->text(), Lang("FormCommandTest_btnSend1"));
    EXPECT_EQ(esc->ops().back(), "close");
    EXPECT_FALSE(w->PortOpenFlag);

    // A new loop opens again and counts on from the last total.
    chkSendAndRead->setChecked(false);
    esc->clear();
    btnSend->click();
    w->timSendTimer();
    EXPECT_EQ(esc->ops(), (std::vector<std::string>{"open", "write"}));
    EXPECT_EQ(esc->writes(), std::vector<QByteArray>{Hex("FF")});
    EXPECT_EQ(lblRecycleTimes->text(),
              QStringLiteral("6") + Lang("FormCommandTest_lblRecycleTimes"));
    btnSend->click();

    // An interval that is no positive number starts nothing.
    txtSleepTime->setText(QStringLiteral("0"));
    esc->clear();
    btnSend->click();
    EXPECT_FALSE(w->timSend()->isActive());
    EXPECT_EQ(dialogs->messages.size(), 1u);
}

TEST_F(CommandConsole, LoopRunsOnTheEventLoop) {
    page1->setPlainText(QStringLiteral("1B 40"));
    chkRecycle->setChecked(true);
    txtSleepTime->setText(QStringLiteral("20"));
    esc->clear();
    btnSend->click();
    QElapsedTimer clock;
    clock.start();
    while (esc->writes().size() < 3 && clock.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_GE(esc->writes().size(), 3u);
    btnSend->click();
    const auto sent = esc->writes().size();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(esc->writes().size(), sent);
}

TEST_F(CommandConsole, ReadButtonRetriesOnceAndCloses) {
    esc->clear();
    esc->replies = {Hex("0102")};
    Child<QPushButton>(w.get(), "btnReadData")->click();
    EXPECT_EQ(esc->ops(), (std::vector<std::string>{"open", "read", "read", "close"}));
    EXPECT_EQ(delays->waits(), (std::vector<int>{100, 100}));
    EXPECT_EQ(txtReadData->toPlainText(), QStringLiteral("01 02 "));
    EXPECT_FALSE(w->PortOpenFlag);
    // Nothing at all: no message either.
    esc->clear();
    Child<QPushButton>(w.get(), "btnReadData")->click();
    EXPECT_TRUE(dialogs->messages.empty());
    EXPECT_EQ(txtReadData->toPlainText(), QStringLiteral("01 02 "));

    // During a loop the read leaves the loop's connection open.
    page1->setPlainText(QStringLiteral("1B"));
    chkRecycle->setChecked(true);
    btnSend->click();
    esc->clear();
    Child<QPushButton>(w.get(), "btnReadData")->click();
    EXPECT_EQ(esc->ops(), (std::vector<std::string>{"read", "read"}));
    EXPECT_TRUE(w->PortOpenFlag);
    btnSend->click();
}

TEST_F(CommandConsole, LoadFileAsHexOrText) {
    folder->writeFile(QStringLiteral("cmd.bin"), QByteArray("A\r\nB\r\n"));
    const QString path = folder->filesFolder() + QStringLiteral("cmd.bin");
    dialogs->fileNames = {path, path, folder->filesFolder() + QStringLiteral("missing.bin"),
                          QString()};
    w->btnLoadFileClick();
    EXPECT_EQ(Child<QLineEdit>(w.get(), "txtLoadFileName")->text(), path);
    EXPECT_EQ(page1->toPlainText(), QStringLiteral("41 0D 0A 42 0D 0A "));
    rdoChar->click(); // converts the page back to its text
    w->btnLoadFileClick();
    EXPECT_EQ(page1->toPlainText(), QStringLiteral("A\nB\n"));
    EXPECT_TRUE(dialogs->messages.empty());
    w->btnLoadFileClick();
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_TRUE(dialogs->messages[0].text.startsWith(
        Lang("FormCommandTest_Err_ReadFile").section(QLatin1Char('%'), 0, 0)));
    EXPECT_EQ(page1->toPlainText(), QStringLiteral("A\nB\n"));
    w->btnLoadFileClick(); // cancelled
    EXPECT_EQ(page1->toPlainText(), QStringLiteral("A\nB\n"));
}

TEST_F(CommandConsole, ClearCopyPasteAndClose) {
    for (int i = 0; i < 5; ++i)
        w->Page(i)->setPlainText(QString::number(i));
    txtReadData->setPlainText(QStringLiteral("01 "));
    tabs->setCurrentIndex(1);
    Child<QPushButton>(w.get(), "btnClearCurTab")->click();
    EXPECT_TRUE(w->Page(1)->toPlainText().isEmpty());
    EXPECT_EQ(w->Page(0)->toPlainText(), QStringLiteral("0"));
    EXPECT_TRUE(txtReadData->toPlainText().isEmpty());
    Child<QPushButton>(w.get(), "btnClearAllTab")->click();
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(w->Page(i)->toPlainText().isEmpty()) << i;

    // Copy and paste go through the clipboard of the page.
    tabs->setCurrentIndex(0);
    page1->setPlainText(QStringLiteral("1B 40"));
    page1->selectAll();
    w->N1Click();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("1B 40"));
    tabs->setCurrentIndex(2);
    w->N2Click();
    EXPECT_EQ(w->Page(2)->toPlainText(), QStringLiteral("1B 40"));
    EXPECT_EQ(w->PopMenu()->actions().size(), 2);

    // Closing closes the connection and stops a running loop.
    chkRecycle->setChecked(true);
    btnSend->click();
    ASSERT_TRUE(w->timSend()->isActive());
    esc->clear();
    Child<QPushButton>(w.get(), "btnClose")->click();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->timSend()->isActive());
    EXPECT_EQ(esc->ops(), std::vector<std::string>{"close"});
}

// --- Printer information -------------------------------------------------------

class InformationWindow : public DiagnosticsTest {};

TEST_F(InformationWindow, ShowsTheThreeFacts) {
    Select(kBrisaModel, pellum::FamilyTSPL);
    tspl->serial = QByteArray("5851ABC");
    tspl->replies = {Hex("00003039"), Hex("010205")};
    T_frmPrinterInformation w(session.Target());
    w.show();
    EXPECT_EQ(w.windowTitle(), Lang("FormPrinterInformation_Caption"));
    EXPECT_EQ(Child<QLabel>(&w, "lblProduceDate")->text(),
              Lang("FormPrinterInformation_lblProduceDate"));
    EXPECT_EQ(Child<QLabel>(&w, "lblProduceDateV")->text(),
              QLocale::system().toString(QDate(2018, 3, 12), QLocale::ShortFormat));
    EXPECT_EQ(Child<QLabel>(&w, "lblPrintLengthV")->text(),
              QLocale::system().toString(37.035, 'g', 15) + QStringLiteral(" (m)"));
    EXPECT_EQ(Child<QLabel>(&w, "lblFirmwareVerV")->text(), QStringLiteral("V 1.2.5"));
    EXPECT_EQ(Child<QPushButton>(&w, "btnClose")->text(), Msg("_Close"));
    EXPECT_EQ(tspl->ops().back(), "close");
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(InformationWindow, OpenFailureLeavesTheValuesEmpty) {
    tspl->openResults = {3};
    T_frmPrinterInformation w(session.Target());
    w.show();
    EXPECT_EQ(Messages(), std::vector<QString>{Msg("_Err_OpenPort") + QStringLiteral(":3")});
    for (const char* name : {"lblProduceDateV", "lblPrintLengthV", "lblFirmwareVerV"})
        EXPECT_TRUE(Child<QLabel>(&w, name)->text().isEmpty()) << name;
    EXPECT_TRUE(tspl->writes().empty());
}

// --- Test printing -------------------------------------------------------------

class LabelWindow : public DiagnosticsTest {
protected:
    void SetUp() override {
        DiagnosticsTest::SetUp();
        w = std::make_unique<T_frmPrintTextLabel>(session.Target(), QStringLiteral("56"));
        windowSession = &w->Session();
        w->show();
        text = Child<QTextEdit>(w.get(), "txtPrintText");
        width = Child<QLineEdit>(w.get(), "txtPrintableWidth");
        height = Child<QLineEdit>(w.get(), "txtPrintableHeigh");
        print = Child<QPushButton>(w.get(), "btnPrint");
    }
    void TearDown() override {
        windowSession = nullptr;
        w.reset();
        DiagnosticsTest::TearDown();
    }
    std::unique_ptr<T_frmPrintTextLabel> w;
    QTextEdit* text = nullptr;
    QLineEdit* width = nullptr;
    QLineEdit* height = nullptr;
    QPushButton* print = nullptr;
};

TEST_F(LabelWindow, PrintsTheWorkedExample) {
    EXPECT_EQ(width->text(), QStringLiteral("30"));
    EXPECT_EQ(height->text(), QStringLiteral("30"));
    EXPECT_EQ(Child<QLabel>(w.get(), "lblMultiple1")->text(), QStringLiteral("(10-56)mm"));
    EXPECT_EQ(Child<QLabel>(w.get(), "Label2")->text(), QStringLiteral("(10-210)mm"));
    EXPECT_EQ(print->text(), Msg("_Print"));
    text->setPlainText(QStringLiteral("AB\nCD"));
    width->setText(QStringLiteral("40"));
    print->click();
    EXPECT_EQ(tspl->writes(),
              (std::vector<QByteArray>{"CLS\r\n", "SIZE 40 mm,30 mm\r\n",
                                       "TEXT 10,10,\"9\",0,1,1,\"AB\"\r\n",
                                       "TEXT 10,64,\"9\",0,1,1,\"CD\"\r\n", "PRINT 1\r\n"}));
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(LabelWindow, SizeBoxesTakeDigitsAndStayInRange) {
    width->clear();
    Type(width, QStringLiteral("1a2.34"));
    EXPECT_EQ(width->text(), QStringLiteral("123")); // digits only, at most three
    Leave(width);
    EXPECT_EQ(width->text(), QStringLiteral("56"));
    height->setText(QStringLiteral("5"));
    Leave(height);
    EXPECT_EQ(height->text(), QStringLiteral("10"));
    height->setText(QStringLiteral("999"));
    Leave(height);
    EXPECT_EQ(height->text(), QStringLiteral("210"));

    // A box never left is checked when printing.
    text->setPlainText(QStringLiteral("X"));
    width->setText(QStringLiteral("5"));
    print->click();
    ASSERT_GE(tspl->writes().size(), 2u);
    EXPECT_EQ(tspl->writes()[1], QByteArray("SIZE 10 mm,210 mm\r\n"));

    // An empty box: the conversion message, nothing sent.
    tspl->clear();
    width->clear();
    print->click();
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].text,
              Lang("FormPrintTextLabel_Err_NotANumber").replace(QStringLiteral("%1"), QString()));
    EXPECT_TRUE(tspl->calls().empty());
}

TEST_F(LabelWindow, Failures) {
    const struct {
        const char* name;
        std::deque<std::int32_t> openResults;
        std::deque<std::int32_t> writeResults;
        const char* text;
        QString message;
    } cases[] = {
        {"open", {3}, {}, "AB", Msg("_Err_OpenPort") + QStringLiteral(":3")},
        {"empty text", {}, {}, "  ", Msg("_Err_ImportNull")},
        {"CLS", {}, {7}, "AB", Msg("_Err_WriteData")},
        {"PRINT 1", {}, {0, 0, 0, 7}, "AB", Msg("_Err_WriteData")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tspl->clear();
        tspl->openResults = c.openResults;
        tspl->writeResults = c.writeResults;
        dialogs->messages.clear();
        text->setPlainText(QString::fromLatin1(c.text));
        print->click();
        EXPECT_EQ(Messages(), std::vector<QString>{c.message});
    }
}

class TextWindow : public DiagnosticsTest {
protected:
    void SetUp() override {
        DiagnosticsTest::SetUp();
        w = std::make_unique<T_frmPrintText>(session.Target());
        windowSession = &w->Session();
        w->show();
        text = Child<QTextEdit>(w.get(), "txtPrintText");
        check = Child<QCheckBox>(w.get(), "CheckBox1");
        combo = Child<QComboBox>(w.get(), "cmbInternationalCharacter");
        print = Child<QPushButton>(w.get(), "btnPrint");
    }
    void TearDown() override {
        windowSession = nullptr;
        w.reset();
        DiagnosticsTest::TearDown();
    }
    std::unique_ptr<T_frmPrintText> w;
    QTextEdit* text = nullptr;
    QCheckBox* check = nullptr;
    QComboBox* combo = nullptr;
    QPushButton* print = nullptr;
};

TEST_F(TextWindow, SendsTheFamilysJob) {
    EXPECT_EQ(Child<QGroupBox>(w.get(), "gpbLanguage")->title(),
              QStringLiteral("     ") + Lang("FormPrintText_chkLanguage"));
    EXPECT_FALSE(combo->isEnabled());
    const struct {
        int family;
        int library; // 0 TSPL, 1 CPCL, 2 ESC
        QByteArray job;
    } cases[] = {
        {pellum::FamilyZPL, 0, "^XA\r\n^FO0,0^CI14^A@N,24,24,SIMSUN.TTF^FDHello^FS\r\n^XZ\r\n"},
        {pellum::FamilyEPL, 0, "N\r\nA300,10,0,1,2,2,N,\"Hello\"\r\nP1\r\n"},
        {pellum::FamilyCPCL, 1, "Hello\r\n"},
        {pellum::FamilyESC, 2, "Hello\n"},
    };
    text->setPlainText(QStringLiteral("Hello"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family);
        Select(kPlainModel, c.family);
        pellum::test::FakePrinterLibrary* libraries[] = {tspl.get(), cpcl.get(), esc.get()};
        libraries[c.library]->clear();
        print->click();
        EXPECT_EQ(libraries[c.library]->writes(), std::vector<QByteArray>{c.job});
        EXPECT_EQ(libraries[c.library]->ops().back(), "close");
    }
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(TextWindow, CodePageChoice) {
    Select(kPlainModel, pellum::FamilyESC);
    text->setPlainText(QStringLiteral(u"\u554A"));
    check->click();
    EXPECT_TRUE(combo->isEnabled());
    EXPECT_EQ(combo->currentIndex(), 0);
    const QStringList codes = Lang("FormPrintText_cmbLanguage_ItemCode").split(QLatin1Char(','));
    EXPECT_EQ(combo->count(), codes.size());
    combo->setCurrentIndex(int(codes.indexOf(QStringLiteral("65001"))));
    esc->clear();
    print->click();
    EXPECT_EQ(esc->written(), Hex("E5958A0A"));
    combo->setCurrentIndex(int(codes.indexOf(QStringLiteral("950"))));
    esc->clear();
    print->click();
    EXPECT_EQ(esc->written(), Hex("B0DA0A"));
    // Unticked: the ANSI code page (GBK here).
    check->click();
    EXPECT_FALSE(combo->isEnabled());
    esc->clear();
    print->click();
    EXPECT_EQ(esc->written(), Hex("B0A10A"));
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(TextWindow, TextTheCodePageCannotHoldIsNotPrinted) {
    Select(kPlainModel, pellum::FamilyESC);
    text->setPlainText(QStringLiteral(u"Stra\u00dfe \u4E2D"));
    check->click();
    const QStringList codes = Lang("FormPrintText_cmbLanguage_ItemCode").split(QLatin1Char(','));
    ASSERT_TRUE(codes.contains(QStringLiteral("1252")));
    combo->setCurrentIndex(int(codes.indexOf(QStringLiteral("1252"))));
    esc->clear();
    print->click();
    EXPECT_TRUE(esc->writes().empty());
    EXPECT_EQ(Messages(), (std::vector<QString>{Lang("FormPrintText_Err_Unprintable")
                                                    .replace("%1", "1252")
                                                    .replace("%2", QStringLiteral(u"\u4E2D"))}));
}

TEST_F(TextWindow, Failures) {
    Select(kPrefixModel, pellum::FamilyZPL);
    text->setPlainText(QStringLiteral("Hi"));
    tspl->openResults = {3};
    print->click();
    tspl->writeResults = {0, 6};
    print->click();
    text->clear();
    print->click();
    EXPECT_EQ(Messages(), (std::vector<QString>{Msg("_Err_OpenPort"), Msg("_Err_WriteData"),
                                                Msg("_Err_ImportNull")}));
}
