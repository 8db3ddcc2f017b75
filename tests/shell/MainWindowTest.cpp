// The main window under the offscreen platform: layout, list handling, the
// settings-window table and the bytes every service function sends.
#include "shell/FormMain_Label_Dealer.h"

#include "core/Localization.h"
#include "gui/GuiWindowRegistry.h"
#include "settings/PrinterCMD.h"
#include "shell/FormPrinterManage_Label.h"

#include "GuiTestApp.h"
#include "ShellFixture.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QPushButton>
#include <QThread>
#include <QTreeWidget>

#include <memory>

using namespace shelltest;
using Ops = std::vector<std::string>;

namespace {

const char* const kFunctionButtons[] = {"btnPrinterInformation",
                                        "btnPrintText",
                                        "btnPrintConfigInfo",
                                        "btnParameterSetting",
                                        "btnModelTest",
                                        "btnFactorySetting",
                                        "btnStartLearn",
                                        "Button3",
                                        "Button1",
                                        "Button2",
                                        "btnLabelSensorPrintImage",
                                        "btnCommandTest",
                                        "btnDFU"};

class MainWindow : public ShellTest {
protected:
    void SetUp() override {
        GuiApp();
        ShellTest::SetUp();
    }
    void TearDown() override {
        window.reset();
        ShellTest::TearDown();
    }
    // Writes the printer list and shows the window (its start-up runs).
    void Open(const QByteArray& printerList) {
        if (!printerList.isNull())
            folder->writeFile(pellum::files::kPrinterListFile, printerList);
        window = std::make_unique<T_frmMain_Label_Dealer>(QStringList{}, folder->programFolder());
        window->show();
        tspl->clear();
    }
    template <typename W = QWidget> W* Find(const char* name) const {
        W* w = window->findChild<W*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QPushButton* Button(const char* name) const { return Find<QPushButton>(name); }
    QTreeWidget* List() const { return Find<QTreeWidget>("lvPrinterList"); }
    // Selects a row the way a click does.
    void Click(int row) {
        List()->setCurrentItem(List()->topLevelItem(row));
        ASSERT_EQ(window->SelectedRow(), row);
        ASSERT_EQ(window->Session().Model(), List()->topLevelItem(row)->text(0));
        tspl->clear();
    }
    QStringList Rows() const {
        QStringList rows;
        for (int i = 0; i < List()->topLevelItemCount(); ++i)
            rows << List()->topLevelItem(i)->text(0);
        return rows;
    }

    std::unique_ptr<T_frmMain_Label_Dealer> window;
};

TEST_F(MainWindow, NineButtonsInFiveRows) {
    Open("PL-Nutmeg 200|NET|NET,127.0.0.1:9100\r\n");
    QGroupBox* group = Find<QGroupBox>("gpbFunction");
    QPushButton* quit = Button("btnQuit");
    const QStringList shown = {"btnPrinterInformation", "btnPrintText",   "btnPrintConfigInfo",
                               "btnParameterSetting",   "btnModelTest",   "btnFactorySetting",
                               "btnStartLearn",         "btnCommandTest", "btnDFU"};
    int k = 0;
    for (const char* name : kFunctionButtons) {
        QPushButton* b = Button(name);
        if (!shown.contains(QLatin1String(name))) {
            EXPECT_TRUE(b->isHidden()) << name;
            continue;
        }
        EXPECT_FALSE(b->isHidden()) << name;
        EXPECT_EQ(b->pos(), QPoint(k % 2 == 0 ? 33 : 257, (k / 2) * 60 + 25)) << name;
        EXPECT_EQ(b->size(), QSize(192, 41)) << name;
        ++k;
    }
    EXPECT_EQ(group->height(), 330);
    EXPECT_EQ(quit->y() - group->y(), 340);
    EXPECT_EQ(window->height(), group->y() + 300 + quit->height() + 80);
    EXPECT_EQ(window->width(), 503);
}

TEST_F(MainWindow, ThirteenButtonsInSevenRowsAndTheHeightFollowsTheSelection) {
    Open("PL-Kapok 420T|USB|USB\r\nPL-Cedar 58|USB|USB\r\n");
    QGroupBox* group = Find<QGroupBox>("gpbFunction");
    for (const char* name : kFunctionButtons)
        EXPECT_FALSE(Button(name)->isHidden()) << name;
    EXPECT_EQ(Button("btnDFU")->pos(), QPoint(33, 6 * 60 + 25));
    EXPECT_EQ(group->height(), 7 * 60 + 30);
    EXPECT_EQ(Button("btnQuit")->y() - group->y(), 7 * 60 + 40);
    const int tall = window->height();

    // PL-Cedar 58 has no learning button: eight buttons, four rows.
    Click(1);
    EXPECT_TRUE(Button("btnStartLearn")->isHidden());
    EXPECT_EQ(Button("btnCommandTest")->pos(), QPoint(33, 3 * 60 + 25));
    EXPECT_EQ(group->height(), 4 * 60 + 30);
    EXPECT_EQ(tall - window->height(), 3 * 60);
}

TEST_F(MainWindow, SelectingARowSetsThePrinterAndCreatesItsObject) {
    Open("PL-Nutmeg 200|USB|USB\r\nPL-Unmapped|NET|NET,127.0.0.1:9\r\n");
    List()->setCurrentItem(List()->topLevelItem(1));
    EXPECT_EQ(window->Session().Model(), QStringLiteral("PL-Unmapped"));
    EXPECT_EQ(window->Session().LibraryModel(), QStringLiteral("Spruce"));
    EXPECT_EQ(window->Session().Port(), QStringLiteral("NET,127.0.0.1:9"));
    ASSERT_EQ(tspl->callsOf("create").size(), 1u);
    EXPECT_EQ(tspl->callsOf("create")[0].text, QStringLiteral("Spruce"));

    // A failed create is reported with its code.
    tspl->createResults = {4};
    List()->setCurrentItem(List()->topLevelItem(0));
    EXPECT_NE(window->Session().LibraryModel(), QStringLiteral("Spruce"));
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].text, Msg("_Err_CreatePrinter") + QStringLiteral(":4"));

    // Clicking where no row is: the last row stays selected.
    List()->clearSelection();
    EXPECT_EQ(window->SelectedRow(), 0);
    EXPECT_EQ(window->Session().Model(), QStringLiteral("PL-Nutmeg 200"));
}

TEST_F(MainWindow, RowsAreDrawnWhiteOnNavyWhenSelectedBlackOnWhiteOtherwise) {
    Open("PL-Nutmeg 200|USB|USB\r\nPL-Birch 220|USB|USB\r\n");
    EXPECT_EQ(T_frmMain_Label_Dealer::RowBackgroundColour(true), QColor(0, 0, 128));
    EXPECT_EQ(T_frmMain_Label_Dealer::RowTextColour(true), QColor(255, 255, 255));
    EXPECT_EQ(T_frmMain_Label_Dealer::RowBackgroundColour(false), QColor(255, 255, 255));
    EXPECT_EQ(T_frmMain_Label_Dealer::RowTextColour(false), QColor(0, 0, 0));
    const QImage image = List()->viewport()->grab().toImage();
    const QRect row0 = List()->visualItemRect(List()->topLevelItem(0));
    const QRect row1 = List()->visualItemRect(List()->topLevelItem(1));
    // The right end of the port column holds no text.
    const QPoint blank0(row0.left() + 120 + 80 + 135, row0.center().y());
    const QPoint blank1(row1.left() + 120 + 80 + 135, row1.center().y());
    EXPECT_EQ(image.pixelColor(blank0), QColor(0, 0, 128));
    EXPECT_EQ(image.pixelColor(blank1), QColor(255, 255, 255));
    // Each column's text starts at its column's left edge.
    EXPECT_EQ(List()->columnWidth(0), 120);
    EXPECT_EQ(List()->columnWidth(1), 80);
    EXPECT_EQ(List()->columnWidth(2), 141);
    bool whiteInSelected = false;
    for (int x = row0.left() + 120; x < row0.left() + 200; ++x)
        for (int y = row0.top(); y <= row0.bottom(); ++y)
            if (image.pixelColor(x, y).lightness() > 200)
                whiteInSelected = true;
    EXPECT_TRUE(whiteInSelected) << "the port type of the selected row is drawn in white";
}

TEST_F(MainWindow, DeleteIsEnabledOnlyWithMoreThanOneRow) {
    Open("PL-Nutmeg 200|USB|USB\r\n");
    EXPECT_FALSE(Button("btnDeletePrinter")->isEnabled());
    window.reset();
    Open("PL-Nutmeg 200|USB|USB\r\nPL-Birch 220|USB|USB\r\n");
    EXPECT_TRUE(Button("btnDeletePrinter")->isEnabled());
    Button("btnDeletePrinter")->click();
    EXPECT_EQ(dialogs->confirmations.size(), 1u);
    EXPECT_FALSE(Button("btnDeletePrinter")->isEnabled());
    EXPECT_EQ(Rows(), QStringList{"PL-Birch 220"});
}

TEST_F(MainWindow, DeletingSelectsTheRowThatMovedUpOrTheNewLastRow) {
    Open("PL-Nutmeg 200|USB|USB\r\nPL-Birch 220|USB|USB\r\nPL-Hazel 240|USB|USB\r\n"
         "PL-Oak 50|USB|USB\r\n");
    // A middle row: the next row moves into its place and is selected.
    Click(1);
    window->btnDeletePrinterClick();
    EXPECT_EQ(dialogs->confirmations[0], pellum::lang::LangText("FormMain_Label_MSGDeletePrinter"));
    EXPECT_EQ(Rows(), (QStringList{"PL-Nutmeg 200", "PL-Hazel 240", "PL-Oak 50"}));
    EXPECT_EQ(window->SelectedRow(), 1);
    EXPECT_EQ(window->Session().Model(), QStringLiteral("PL-Hazel 240"));
    EXPECT_EQ(
        folder->readFile(pellum::files::kPrinterListFile),
        QByteArray("\r\nPL-Nutmeg 200|USB|USB\r\nPL-Hazel 240|USB|USB\r\nPL-Oak 50|USB|USB\r\n"));
    // The last row: the new last row is selected.
    Click(2);
    window->btnDeletePrinterClick();
    EXPECT_EQ(window->SelectedRow(), 1);
    EXPECT_EQ(window->Session().Model(), QStringLiteral("PL-Hazel 240"));
    // Cancel deletes nothing.
    dialogs->confirmAnswers = {false};
    window->btnDeletePrinterClick();
    EXPECT_EQ(Rows().size(), 2);
    // The file loads the same rows after a restart.
    window.reset();
    Open(QByteArray());
    EXPECT_EQ(Rows(), (QStringList{"PL-Nutmeg 200", "PL-Hazel 240"}));
}

TEST_F(MainWindow, AFailedDeletionKeepsTheRowAndTheFile) {
    const QByteArray old =
        "PL-Nutmeg 200|USB|USB\r\nPL-Birch 220|USB|USB\r\nPL-Hazel 240|USB|USB\r\n";
    Open(old);
    Click(0);
    {
        FileSizeLimit limit(16);
        window->btnDeletePrinterClick();
    }
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].kind, pellum::MessageKind::Error);
    EXPECT_EQ(dialogs->messages[0].text, QString::fromLocal8Bit(strerror(EFBIG)));
    EXPECT_EQ(folder->readFile(pellum::files::kPrinterListFile), old);
    EXPECT_EQ(Rows(), (QStringList{"PL-Nutmeg 200", "PL-Birch 220", "PL-Hazel 240"}));
    EXPECT_EQ(window->SelectedRow(), 0);
}

TEST_F(MainWindow, AddAndModifyReloadAndSelect) {
    Open("PL-Nutmeg 200|USB|USB\r\nPL-Birch 220|USB|USB\r\n");
    window->SetEditorRunner([](T_frmPrinterManage_Label& editor) {
        editor.FormShow();
        if (editor.mode == QLatin1String("Modify")) {
            EXPECT_EQ(editor.entryIndex, 1);
            EXPECT_EQ(editor.model, QStringLiteral("PL-Birch 220"));
        }
        editor.findChild<QComboBox*>("cmbPrinterName")->setCurrentText("PL-Oak 50");
        editor.btnOKClick();
        return editor.saved;
    });
    Button("btnAddPrinter")->click();
    EXPECT_EQ(Rows(), (QStringList{"PL-Nutmeg 200", "PL-Birch 220", "PL-Oak 50"}));
    EXPECT_EQ(window->SelectedRow(), 2);
    EXPECT_EQ(window->Session().Model(), QStringLiteral("PL-Oak 50"));
    EXPECT_TRUE(Button("btnDeletePrinter")->isEnabled());

    Click(1);
    Button("btnModifyPrinter")->click();
    EXPECT_EQ(Rows(), (QStringList{"PL-Nutmeg 200", "PL-Oak 50", "PL-Oak 50"}));
    EXPECT_EQ(window->SelectedRow(), 1);

    // An editor closed without saving changes nothing.
    window->SetEditorRunner([](T_frmPrinterManage_Label&) { return false; });
    Button("btnAddPrinter")->click();
    EXPECT_EQ(Rows().size(), 3);
}

TEST_F(MainWindow, ConnectionTestReportsEveryNonZeroResult) {
    Open("PL-Nutmeg 200|NET|NET,127.0.0.1:9100\r\n");
    struct Case {
        std::deque<std::int32_t> open;
        pellum::MessageKind kind;
        QString text;
    } cases[] = {
        {{0}, pellum::MessageKind::Information, Msg("_ConnectOK")},
        {{5, 5}, pellum::MessageKind::Error, Msg("_Err_OpenPort") + ":5"},
        {{11}, pellum::MessageKind::Error, Msg("_Err_OpenPort") + ":11"},
    };
    for (const Case& c : cases) {
        tspl->clear();
        dialogs->messages.clear();
        tspl->openResults = c.open;
        Button("btnConnectTest")->click();
        ASSERT_EQ(dialogs->messages.size(), 1u);
        EXPECT_EQ(dialogs->messages[0].kind, c.kind);
        EXPECT_EQ(dialogs->messages[0].text, c.text);
        EXPECT_EQ(tspl->callsOf("open")[0].text, QStringLiteral("NET,127.0.0.1:9100"));
        EXPECT_EQ(tspl->ops().back(), "close");
    }
}

// The settings-window table, one model per rule.
class SettingsWindowTable : public ShellTest {};

TEST_F(SettingsWindowTable, FirstMatchingRuleWins) {
    const char* const rules[][3] = {
        {"Tupelo_NoNetParameterSetting", "T_frmParaSet_Quince_Rowan", "T_frmParaSet_Quince_Rowan"},
        {"Juniper_ParameterSetting", "T_frmParaSet_Juniper", "T_frmParaSet_Juniper"},
        {"Dogwood_ParameterSetting", "T_frmParaSet_Dogwood", "T_frmParaSet_Dogwood"},
        {"Ilex_ParameterSetting", "T_frmParaSet_Ilex", "T_frmParaSet_Ilex"},
        {"Hazel_ParameterSetting", "T_frmParaSet_Hazel", "T_frmParaSet_Hazel"},
        {"Ginkgo_ParameterSetting", "T_frmParaSet_Ginkgo", "T_frmParaSet_Ginkgo"},
        {"Alder_ParameterSetting", "T_frmParaSet_Alder", "T_frmParaSet_Alder"},
        {"Cedar_ParameterSetting", "T_frmParaSet_Cedar", "T_frmParaSet_Cedar"},
        {"Kapok_ParameterSetting", "T_frmParaSet_Kapok", "T_frmParaSet_Kapok"},
        {"Sumac_ParameterSetting", "T_frmParaSet_Sumac", "T_frmParaSet_Sumac_Varro"},
        {"Maple_ParameterSetting", "T_frmParaSet_Maple", "T_frmParaSet_Maple"},
        {"Wattle_ParameterSetting", "T_frmParaSet_Maple", "T_frmParaSet_Maple"},
        {"Nutmeg_ParameterSetting", "T_frmParaSet_Nutmeg", "T_frmParaSet_Nutmeg"},
        {"Birch_ParameterSetting", "T_frmParaSet_Birch", "T_frmParaSet_Birch"},
        {"Tupelo_ParameterSetting", "T_frmParaSet_Quince", "T_frmParaSet_Quince_Varro"},
        {"Poplar_ParameterSetting", "T_frmParaSet_Poplar", "T_frmParaSet_Poplar_Varro"},
        {"Larch_ParameterSetting", "T_frmParaSet_Larch", "T_frmParaSet_Larch"},
    };
    // Each rule's list holds its own model ("M3," ...) and, to show that the
    // order decides, every later rule's list holds all earlier models too.
    QString ini = QStringLiteral("[ParameterSet]\n");
    for (int r = 0; r < 17; ++r) {
        QString value;
        for (int m = 0; m <= r; ++m)
            value += QStringLiteral("M%1,").arg(m);
        ini += QLatin1String(rules[r][0]) + QLatin1Char('=') + value + QLatin1Char('\n');
    }
    folder->writeFile(pellum::files::kModelListFile, ini.toUtf8());
    pellum::models::ClearModelListCache();
    pellum::models::CacheModelLists();
    for (int r = 0; r < 17; ++r) {
        for (bool newFirmware : {true, false}) {
            session.SetModel(QStringLiteral("M%1").arg(r));
            QStringList asked;
            const QString chosen = ChooseSettingsWindow(session.Model(), [&](const QString& v) {
                asked << v;
                return newFirmware;
            });
            EXPECT_EQ(chosen, QLatin1String(rules[r][newFirmware ? 1 : 2])) << rules[r][0];
            const QString expectedVersion = r == 14 ? "1.03.0" : (r == 9 || r == 15) ? "1.0.0" : "";
            EXPECT_EQ(asked,
                      expectedVersion.isEmpty() ? QStringList{} : QStringList{expectedVersion})
                << rules[r][0];
        }
    }
    session.SetModel(QStringLiteral("M99"));
    EXPECT_EQ(ChooseSettingsWindow(session.Model(), [](const QString&) { return true; }),
              QStringLiteral("T_frmParaSet_Maple"));
}

TEST_F(SettingsWindowTable, ShippedCatalogueJuniperBeforeSumacAndUnknownGetsMaple) {
    session.SetModel(QStringLiteral("PL-Juniper 350BT")); // in both lists
    bool asked = false;
    EXPECT_EQ(ChooseSettingsWindow(session.Model(), [&](const QString&) { return asked = true; }),
              QStringLiteral("T_frmParaSet_Juniper"));
    EXPECT_FALSE(asked);
    session.SetModel(QStringLiteral("PL-Oak 50"));
    EXPECT_EQ(ChooseSettingsWindow(session.Model(), [](const QString&) { return true; }),
              QStringLiteral("T_frmParaSet_Maple"));
    // Alder and Cedar are read from the file at the moment of the choice:
    // an edit after the lists were cached is seen.
    session.SetModel(QStringLiteral("PL-New 1"));
    folder->writeFile(pellum::files::kModelListFile,
                      folder->readFile(pellum::files::kModelListFile)
                          .replace("Alder_ParameterSetting=PL-Alder 310BT,",
                                   "Alder_ParameterSetting=PL-Alder 310BT,PL-New 1,"));
    EXPECT_EQ(ChooseSettingsWindow(session.Model(), [](const QString&) { return true; }),
              QStringLiteral("T_frmParaSet_Alder"));
}

TEST_F(MainWindow, ParameterSettingOpensTheChosenWindowOrSaysItIsNotAvailable) {
    Open("PL-Sumac 330|USB|USB\r\nPL-Juniper 350|USB|USB\r\n");
    QStringList opened;
    pellum::RegisterWindow(QStringLiteral("T_frmParaSet_Sumac"),
                           [&](QWidget*, const pellum::PrinterTarget&) {
                               opened << QStringLiteral("T_frmParaSet_Sumac");
                           });
    tspl->replies = {Hex("010203")}; // firmware 1.2.3: the standard window
    Button("btnParameterSetting")->click();
    EXPECT_EQ(opened, QStringList{"T_frmParaSet_Sumac"});
    EXPECT_EQ(tspl->written(), QByteArray("ZZZGETVERSION\r\n"));
    EXPECT_EQ(tspl->ops().back(), "close"); // nothing stays connected while it runs
    EXPECT_TRUE(dialogs->messages.empty());

    Click(1);
    Button("btnParameterSetting")->click(); // no Juniper window in this program
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].kind, pellum::MessageKind::Information);
    EXPECT_EQ(dialogs->messages[0].text, pellum::lang::LangText("FormMain_Label_MSGNotAvailable"));
    EXPECT_FALSE(dialogs->messages[0].text.isEmpty());

    dialogs->messages.clear();
    tspl->clear();
    tspl->openResults = {3};
    Button("btnParameterSetting")->click();
    EXPECT_EQ(tspl->ops(), (Ops{"open"}));
    EXPECT_EQ(dialogs->messages[0].text, Msg("_Err_OpenPort") + ":3");
    pellum::RegisterWindow(QStringLiteral("T_frmParaSet_Sumac"), nullptr);
}

// The service functions: the exact bytes for each family and for a
// key-value model. The family of HaveTwoProtocol models comes from the
// printer's answer to 1B 1B 08.
TEST_F(MainWindow, ServiceFunctionsSendTheBytesOfTheModelAndFamily) {
    Open("PL-Maple 80|USB|USB\r\nPL-Cedar 80BT|USB|USB\r\nPL-Maple 112|USB|USB\r\n"
         "PL-Nutmeg 200|USB|USB\r\nPL-Kapok 420|USB|USB\r\n");
    const QByteArray kv = Hex("1B1C2620563120");
    const QByteArray ask = Hex("1B1B08");
    struct Case {
        int row;
        const char* button;
        int family; // the printer's answer; -1: not asked
        QByteArray expected;
        bool confirm = true;
    } cases[] = {
        {0, "btnPrintConfigInfo", 0,
         ask + Hex("1D2841020000"
                   "01")},
        {1, "btnPrintConfigInfo", 0,
         ask + Hex("1D2841020000"
                   "02")},
        {0, "btnPrintConfigInfo", 1, ask}, // self-test through the library
        {4, "btnPrintConfigInfo", -1, kv + "do \"configguration_page\"\r\n"},
        {0, "btnStartLearn", 0, ask + "ZZZLEARN\r\n"},
        {3, "btnStartLearn", -1, "ZZZLEARN\r\n"},
        {4, "btnStartLearn", -1, kv + "do \"calibrate_sensor\"\r\n"},
        {3, "btnModelTest", -1, "ZZZDENSITYTST\r\n"},
        {0, "btnModelTest", 1, ask + "ZZZDENSITYTST\r\n"},
        {0, "btnModelTest", 0, ask + Hex("1256")},
        {2, "btnModelTest", 0, ask + Hex("1B1B04")},
        {4, "btnModelTest", -1, kv + "do \"tph_test_page\"\r\n"},
        {0, "btnFactorySetting", 0, ask + Hex("1B1B20")},
        {0, "btnFactorySetting", 1, ask + Hex("1B2152")},
        {3, "btnFactorySetting", -1, Hex("1B2152")},
        {1, "btnFactorySetting", 0, ask + Hex("1B2152")}, // not Maple-listed
        {0, "btnFactorySetting", 0, ask, false},          // Cancel: nothing more
        {4, "btnFactorySetting", -1, QByteArray(), false},
        {4, "btnFactorySetting", -1, kv + "do \"factory_default\"\r\n"},
        {4, "btnLabelSensorPrintImage", -1, kv + "do \"graph_sensor\"\r\n"},
    };
    for (const Case& c : cases) {
        Click(c.row);
        SCOPED_TRACE(std::string(c.button) + " on " + Rows()[c.row].toStdString() + " family " +
                     std::to_string(c.family) + (c.confirm ? "" : " cancelled"));
        tspl->replies.clear();
        if (c.family >= 0)
            tspl->replies = {QByteArray(1, static_cast<char>(c.family))};
        dialogs->confirmAnswers = {c.confirm};
        dialogs->confirmations.clear();
        dialogs->messages.clear();
        Button(c.button)->click();
        EXPECT_EQ(tspl->written().toHex(' '), c.expected.toHex(' '));
        EXPECT_TRUE(dialogs->messages.empty());
        if (QLatin1String(c.button) == QLatin1String("btnFactorySetting")) {
            ASSERT_EQ(dialogs->confirmations.size(), 1u);
            EXPECT_EQ(dialogs->confirmations[0],
                      pellum::lang::LangText("FormMain_Label_MSGRestore"));
        }
        EXPECT_EQ(tspl->callsOf("selfTest").size(),
                  QLatin1String(c.button) == QLatin1String("btnPrintConfigInfo") && c.family == 1
                      ? 1u
                      : 0u);
        // Every function leaves the port closed.
        ASSERT_FALSE(tspl->ops().empty());
        EXPECT_EQ(tspl->ops().back(), "close");
        EXPECT_EQ(window->Session().Family(), c.family >= 0 ? c.family : 1);
    }
}

TEST_F(MainWindow, FunctionOpenFailureStopsBeforeAnyByte) {
    Open("PL-Nutmeg 200|USB|USB\r\n");
    tspl->openResults = {9};
    Button("btnStartLearn")->click();
    EXPECT_EQ(tspl->ops(), (Ops{"open"}));
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].text, Msg("_Err_OpenPort") + ":9");
    // 5 is usable.
    tspl->clear();
    tspl->openResults = {5, 5};
    Button("btnStartLearn")->click();
    EXPECT_EQ(tspl->written(), QByteArray("ZZZLEARN\r\n"));
}

TEST_F(MainWindow, WindowButtonsOpenTheirWindowsByName) {
    Open("PL-Maple 80|USB|USB\r\nPL-Kapok 420T|USB|USB\r\n");
    QStringList opened;
    for (const char* name : {"T_frmPrinterInformation", "T_frmPrintTextLabel", "T_frmPrintText",
                             "TfrmDLUF", "TfrmDLFile", "TfrmDLF", "T_frmCommandTest"})
        pellum::RegisterWindow(QLatin1String(name),
                               [&opened, name](QWidget*, const pellum::PrinterTarget&) {
                                   opened << QLatin1String(name);
                               });
    struct Case {
        int row;
        const char* button;
        int family;
        QString window; // empty: refused
    } cases[] = {
        {0, "btnPrinterInformation", 1, "T_frmPrinterInformation"},
        {0, "btnPrinterInformation", 0, ""},
        {0, "btnPrintText", 1, "T_frmPrintTextLabel"},
        {0, "btnPrintText", 3, "T_frmPrintText"},
        {1, "Button1", -1, "TfrmDLUF"},
        {1, "Button2", -1, "TfrmDLFile"},
        {1, "Button3", -1, "TfrmDLF"},
        {0, "btnCommandTest", -1, "T_frmCommandTest"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        Click(c.row);
        opened.clear();
        dialogs->messages.clear();
        tspl->replies.clear();
        if (c.family >= 0)
            tspl->replies = {QByteArray(1, static_cast<char>(c.family))};
        if (c.row == 1) // a key-value model: its emulation is asked by key
            tspl->replies = {QByteArray("TSC", 4)};
        Button(c.button)->click();
        EXPECT_EQ(opened, c.window.isEmpty() ? QStringList{} : QStringList{c.window});
        if (c.window.isEmpty()) {
            ASSERT_EQ(dialogs->messages.size(), 1u);
            EXPECT_EQ(dialogs->messages[0].text, Msg("_Err_ProtocolFunction"));
        }
        const bool recreates = QLatin1String(c.button) == QLatin1String("btnPrintText") ||
                               QLatin1String(c.button) == QLatin1String("btnCommandTest");
        EXPECT_EQ(tspl->callsOf("create").size(), recreates ? 1u : 0u);
    }
    for (const char* name : {"T_frmPrinterInformation", "T_frmPrintTextLabel", "T_frmPrintText",
                             "TfrmDLUF", "TfrmDLFile", "TfrmDLF", "T_frmCommandTest"})
        pellum::RegisterWindow(QLatin1String(name), nullptr);
}

TEST_F(MainWindow, FirmwareUpdateSendsTheModeCommandThenStartsTheTool) {
    Open("PL-Nutmeg 200|USB|USB\r\nPL-Oak 50|USB|USB\r\nPL-Larch 620|USB|USB\r\n");
    const QString toolFolder = folder->programFolder() + QStringLiteral("FWUpdate/");
    const QString toolPath = toolFolder + QStringLiteral("Dfu Update Tool");
    auto Lang = [](const char* key) { return pellum::lang::LangText(QLatin1String(key)); };

    // No tool: the user is told where it was looked for, and the printer is
    // not put into update mode (nothing would bring it out again).
    dialogs->messages.clear();
    Button("btnDFU")->click();
    EXPECT_TRUE(tspl->ops().empty());
    EXPECT_TRUE(dialogs->confirmations.empty());
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].kind, pellum::MessageKind::Error);
    EXPECT_EQ(dialogs->messages[0].text,
              Lang("FormMain_Label_MSGDFUToolMissing").replace("%1", toolPath));
    EXPECT_EQ(StartFirmwareTool(), FirmwareToolStart::Missing);

    // A tool that leaves a mark when it runs (started without a shell, so
    // the space in its name needs no quoting).
    QDir().mkpath(toolFolder);
    const QString mark = folder->programFolder() + QStringLiteral("tool-ran");
    QFile tool(toolPath);
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.write(("#!/bin/sh\ntouch '" + mark + "'\n").toUtf8());
    tool.close();
    tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(FindFirmwareTool(), toolPath);

    // Cancel at the confirmation: nothing is sent, the tool does not run.
    dialogs->messages.clear();
    dialogs->confirmAnswers = {false};
    Button("btnDFU")->click();
    EXPECT_EQ(dialogs->confirmations, std::vector<QString>{Lang("FormMain_Label_MSGDFU")});
    EXPECT_TRUE(tspl->ops().empty());
    EXPECT_TRUE(dialogs->messages.empty());

    // OK: the mode command, then the tool.
    dialogs->confirmations.clear();
    Button("btnDFU")->click();
    EXPECT_EQ(dialogs->confirmations.size(), 1u);
    EXPECT_EQ(tspl->written(), QByteArray("ZZZDFUMODE\r\n"));
    EXPECT_EQ(tspl->ops(), (Ops{"open", "write", "close"}));
    for (int i = 0; i < 100 && !QFile::exists(mark); ++i)
        QThread::msleep(20);
    EXPECT_TRUE(QFile::exists(mark));
    EXPECT_TRUE(dialogs->messages.empty());

    // DFUWithoutCMD: after the confirmation, only the tool.
    Click(1);
    dialogs->confirmations.clear();
    Button("btnDFU")->click();
    EXPECT_EQ(dialogs->confirmations.size(), 1u);
    EXPECT_TRUE(tspl->ops().empty());
    // IsbtnGDL: the firmware window, which this program does not have yet.
    Click(2);
    dialogs->messages.clear();
    dialogs->confirmations.clear();
    Button("btnDFU")->click();
    EXPECT_TRUE(tspl->ops().empty());
    EXPECT_TRUE(dialogs->confirmations.empty());
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].kind, pellum::MessageKind::Information);
    QFile::remove(toolPath);
}

} // namespace
