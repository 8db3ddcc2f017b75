// The printer editor under the offscreen platform, on real files.
#include "shell/FormPrinterManage_Label.h"
#include "shell/PrinterList.h"

#include "GuiTestApp.h"
#include "ShellFixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <memory>

using namespace shelltest;
using Ops = std::vector<std::string>;

namespace {

class PrinterEditor : public ShellTest {
protected:
    void SetUp() override {
        GuiApp();
        ShellTest::SetUp();
        folder->writeFile(QStringLiteral("CompanyPrinterList_Label.txt"),
                          "Alder\r\nBirch\r\n  \r\nPL-Nutmeg 200\r\n");
        folder->writeFile(QStringLiteral("PortMap.ini"),
                          "[Ports]\nCOM1=/tmp/pellum-test-com1\nCOM3=/tmp/pellum-test-com3\n"
                          "LPT1=/tmp/pellum-test-lp1\nLPT2=/tmp/pellum-test-lp2\n");
        StartUp::InitialiseFolders(folder->programFolder());
        editor = std::make_unique<T_frmPrinterManage_Label>();
    }
    void TearDown() override {
        editor.reset();
        ShellTest::TearDown();
    }
    template <typename W> W* Find(const char* name) const {
        W* w = editor->findChild<W*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QComboBox* Combo(const char* name) const { return Find<QComboBox>(name); }
    QString VisiblePanel() const {
        QString visible;
        for (const char* p : {"pnlUSB", "pnlSerial", "pnlParallel", "pnlTCPIP"})
            if (!Find<QWidget>(p)->isHidden())
                visible += QLatin1String(p);
        return visible;
    }
    void ShowModify(int index, const QString& line) {
        const QStringList f = line.split('|');
        editor->mode = QStringLiteral("Modify");
        editor->entryIndex = index;
        editor->model = f.value(0);
        editor->portType = f.value(1);
        editor->portString = f.value(2);
        editor->FormShow();
    }
    QByteArray ListFile() const { return folder->readFile(pellum::files::kPrinterListFile); }

    std::unique_ptr<T_frmPrinterManage_Label> editor;
};

TEST_F(PrinterEditor, AddingASerialPrinterTakesTheFirstPortAndTheHighestRate) {
    folder->writeFile(pellum::files::kPrinterListFile, "Alder|USB|USB\r\n");
    editor->mode = QStringLiteral("Add");
    editor->FormShow();
    EXPECT_FALSE(editor->saved);
    EXPECT_EQ(VisiblePanel(), QStringLiteral("pnlUSB"));
    EXPECT_EQ(Combo("cmbPrinterName")->count(), 3);
    Combo("cmbPortType")->setCurrentText(QStringLiteral("COM"));
    EXPECT_EQ(VisiblePanel(), QStringLiteral("pnlSerial"));
    EXPECT_EQ(Combo("cmbSerialList")->currentText(), QStringLiteral("COM1:"));
    EXPECT_EQ(Combo("cmbBaudrate")->currentText(), QStringLiteral("115200"));
    editor->btnOKClick();
    EXPECT_TRUE(editor->saved);
    EXPECT_EQ(ListFile(), QByteArray("Alder|USB|USB\r\nAlder|COM|COM1,BAUDRATE_115200\r\n"));
}

TEST_F(PrinterEditor, PortStringsOfEachType) {
    editor->mode = QStringLiteral("Add");
    editor->FormShow();
    struct Case {
        const char* type;
        std::function<void()> choose;
        QString port;
        const char* panel;
    } cases[] = {
        {"USB", [] {}, "USB", "pnlUSB"},
        {"LPT", [this] { Combo("cmbParallel")->setCurrentText("LPT2:"); }, "LPT2", "pnlParallel"},
        {"COM",
         [this] {
             Combo("cmbSerialList")->setCurrentText("COM3:");
             Combo("cmbBaudrate")->setCurrentText("9600");
         },
         "COM3,BAUDRATE_9600", "pnlSerial"},
        {"NET", [] {}, "NET,192.168.0.33", "pnlTCPIP"},
        {"NET", [this] { Find<QLineEdit>("txtIPAddress")->setText("not checked"); },
         "NET,not checked", "pnlTCPIP"},
    };
    for (const Case& c : cases) {
        Combo("cmbPortType")->setCurrentText(QLatin1String(c.type));
        c.choose();
        EXPECT_EQ(editor->BuildPortString(), c.port) << c.type;
        EXPECT_EQ(VisiblePanel(), QLatin1String(c.panel)) << c.type;
    }
}

TEST_F(PrinterEditor, ModifyingTheSecondEntryReplacesTheThirdLineAndDropsTheBlankOne) {
    folder->writeFile(pellum::files::kPrinterListFile, "Alder|USB|USB\r\n\r\nBirch|LPT|LPT1\r\n");
    ShowModify(1, QStringLiteral("Birch|LPT|LPT1"));
    EXPECT_EQ(Combo("cmbPrinterName")->currentText(), QStringLiteral("Birch"));
    EXPECT_EQ(Combo("cmbPortType")->currentText(), QStringLiteral("LPT"));
    EXPECT_EQ(VisiblePanel(), QStringLiteral("pnlParallel"));
    EXPECT_EQ(Combo("cmbParallel")->currentText(), QStringLiteral("LPT1:"));
    Combo("cmbParallel")->setCurrentText(QStringLiteral("LPT2:"));
    editor->btnOKClick();
    EXPECT_TRUE(editor->saved);
    EXPECT_EQ(ListFile(), QByteArray("Alder|USB|USB\r\nBirch|LPT|LPT2\r\n"));
}

TEST_F(PrinterEditor, ModifyShowsTheStoredPortOfEachType) {
    folder->writeFile(pellum::files::kPrinterListFile, "Alder|USB|USB\r\n");
    struct Case {
        const char* line;
        const char* panel;
        const char* shown; // the control that shows the stored port, and its text
        const char* text;
    } cases[] = {
        {"Alder|NET|NET,192.168.0.33", "pnlTCPIP", "txtIPAddress", "192.168.0.33"},
        {"Alder|COM|com3,BAUDRATE_19200", "pnlSerial", "cmbSerialList", "COM3:"},
        {"Alder|COM|COM3,BAUDRATE_19200", "pnlSerial", "cmbBaudrate", "19200"},
        {"Alder|LPT|lpt2", "pnlParallel", "cmbParallel", "LPT2:"},
        {"Alder|usb|USB", "pnlUSB", "cmbPortType", "USB"},
        {"Birch|NET|NET,127.0.0.1:9100", "pnlTCPIP", "cmbPrinterName", "Birch"},
        {"Unknown|NET|NET,1", "pnlTCPIP", "cmbPrinterName", "Alder"}, // no match: item 0
        {"Alder", "pnlUSB", "cmbPortType", "USB"},                    // a line of one field
    };
    for (const Case& c : cases) {
        ShowModify(0, QLatin1String(c.line));
        EXPECT_EQ(VisiblePanel(), QLatin1String(c.panel)) << c.line;
        QWidget* w = Find<QWidget>(c.shown);
        const QString text = qobject_cast<QComboBox*>(w)
                                 ? qobject_cast<QComboBox*>(w)->currentText()
                                 : qobject_cast<QLineEdit*>(w)->text();
        EXPECT_EQ(text, QLatin1String(c.text)) << c.line;
    }
    // OK writes the network port back unchanged.
    ShowModify(0, QStringLiteral("Alder|NET|NET,192.168.0.33"));
    editor->btnOKClick();
    EXPECT_EQ(ListFile(), QByteArray("Alder|NET|NET,192.168.0.33\r\n"));
}

TEST_F(PrinterEditor, AFailedWriteKeepsTheEditorOpenAndTheOldFile) {
    const QByteArray old = "Alder|USB|USB\r\n";
    folder->writeFile(pellum::files::kPrinterListFile, old);
    editor->mode = QStringLiteral("Add");
    editor->FormShow();
    Combo("cmbPortType")->setCurrentText(QStringLiteral("NET"));
    Find<QLineEdit>("txtIPAddress")->setText(QString(200, QLatin1Char('9')));
    {
        FileSizeLimit limit(32);
        editor->btnOKClick();
    }
    EXPECT_FALSE(editor->saved);
    EXPECT_EQ(ListFile(), old);
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].kind, pellum::MessageKind::Error);
    EXPECT_EQ(dialogs->messages[0].text, QString::fromLocal8Bit(strerror(EFBIG)));
}

TEST_F(PrinterEditor, ConnectionTest) {
    folder->writeFile(QStringLiteral("PrinterMap.ini"), "[Map]\nBirch=LIB-B\n");
    editor->mode = QStringLiteral("Add");
    editor->FormShow();
    Combo("cmbPrinterName")->setCurrentText(QStringLiteral("Birch"));
    Combo("cmbPortType")->setCurrentText(QStringLiteral("NET"));
    Find<QLineEdit>("txtIPAddress")->setText(QStringLiteral("127.0.0.1:9100"));
    struct Case {
        std::deque<std::int32_t> create, open;
        QString text;
        Ops ops;
    } cases[] = {
        {{}, {0}, Msg("_ConnectOK"), {"create", "open", "close", "destroy"}},
        {{},
         {5, 5},
         Msg("_Err_OpenPort") + ":5",
         {"create", "open", "close", "open", "close", "destroy"}},
        {{}, {2}, Msg("_Err_OpenPort") + ":2", {"create", "open", "close", "destroy"}},
        {{3}, {}, Msg("_Err_CreatePrinter") + ":3", {"create"}},
    };
    for (const Case& c : cases) {
        tspl->clear();
        dialogs->messages.clear();
        tspl->createResults = c.create;
        tspl->openResults = c.open;
        editor->btnConnectTestClick();
        EXPECT_EQ(tspl->ops(), c.ops) << qPrintable(c.text);
        EXPECT_EQ(tspl->callsOf("create")[0].text, QStringLiteral("LIB-B"));
        if (c.create.empty()) {
            EXPECT_EQ(tspl->callsOf("open")[0].text, QStringLiteral("NET,127.0.0.1:9100"));
        }
        ASSERT_EQ(dialogs->messages.size(), 1u);
        EXPECT_EQ(dialogs->messages[0].text, c.text);
    }
    // An unmapped model uses the default library name.
    tspl->clear();
    Combo("cmbPrinterName")->setCurrentText(QStringLiteral("Alder"));
    editor->btnConnectTestClick();
    EXPECT_EQ(tspl->callsOf("create")[0].text, QStringLiteral("Spruce"));
    EXPECT_FALSE(QFile::exists(PrinterList::FilePath())); // a test saves nothing
}

TEST_F(PrinterEditor, TextsComeFromTheLanguageFile) {
    editor->FormShow();
    EXPECT_EQ(editor->windowTitle(), pellum::lang::LangText("FormPrinterManage_Caption"));
    EXPECT_FALSE(editor->windowTitle().isEmpty());
    EXPECT_EQ(Find<QPushButton>("btnClose")->text(), Msg("_Close"));
    EXPECT_EQ(Find<QPushButton>("btnOK")->text(),
              pellum::lang::LangText("FormPrinterManage_btnOK"));
    QWidget* label = Find<QWidget>("lblPrinterName");
    EXPECT_EQ(Combo("cmbPrinterName")->x(), label->x() + label->width());
}

} // namespace
