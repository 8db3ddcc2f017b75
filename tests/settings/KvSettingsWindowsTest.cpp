// The key-value settings windows under offscreen Qt against a scripted printer
// library: the getval lines asked when shown, what the controls show, the
// exact setval lines sent by Set and the restart, the refusals, the key
// filters, the leave-field checks and the window's own geometry rules.
#include "core/Family.h"
#include "core/Localization.h"
#include "core/ModelLists.h"
#include "core/PrinterSession.h"
#include "gui/GuiWindowRegistry.h"
#include "settings/KvSettings.h"
#include "settings/PrinterCMD.h"
#include "settings/windows/FormParaSet_Kapok.h"
#include "settings/windows/FormParaSet_Larch.h"

#include "TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace pellum {
void RegisterSettingsWindows();
}

using pellum::test::DelayRecorder;
using pellum::test::FakePrinterLibrary;
using pellum::test::RecordingDialogs;
using pellum::test::TempProgramFolder;
using Ops = std::vector<std::string>;

namespace {

const QByteArray kPrefix = QByteArray::fromHex("1B1C2620563120");

QByteArray GetLine(const char* key) {
    return kPrefix + "getval \"" + key + "\"\r\n";
}
QByteArray SetLine(const QByteArray& key, const QByteArray& value) {
    return kPrefix + "setval \"" + key + "\" \"" + value + "\"\r\n";
}

// The keys a window asks for, in the order asked, with the printer's
// replies.
using Script = std::vector<std::pair<const char*, const char*>>;

Script KapokPrinter() {
    return {{"version", "1.00.12"},
            {"ppl", "tsc"},
            {"bt_mac", "00:1B:35:42:00:31"},
            {"bt_name", "Label-1A2B"},
            {"bt_pwd", "0000"},
            {"media_power_up", "calibation"},
            {"reprint_after_error", "on"},
            {"media_sensor", "black mark"},
            {"density", "8"},
            {"eth_dhcp", "off"},
            {"eth_ip", "192.168.1.20"},
            {"eth_mask", "255.255.255.0"},
            {"eth_gateway", "192.168.1.1"},
            {"heat_adj", "-10"},
            {"speed", "5"},
            {"ppl", "tsc"},
            {"code_page", "850"},
            {"com_baud", "115200"},
            {"com_wordlength", "8"},
            {"com_parity", "even"},
            {"com_stopbits", "1"},
            {"print_mode", "peel"},
            {"tear_off", "-12"},
            {"sensor_select", "reflective"},
            {"platenin_locat", "on"}};
}

class KvWindows : public ::testing::Test {
protected:
    pellum::PrinterSession session;
    void SetUp() override {
        folder.writeFile(QStringLiteral("PrinterTypeList_Label.ini"),
                         "[ParameterSet]\n"
                         "GDS=KvPlain,KvEpl,KvTeal,KvLocked,KvChinese,\n"
                         "Kapok_ParameterSetting=KvPlain,KvTeal,KvChinese,\n"
                         "Larch_ParameterSetting=KvEpl,KvLocked,\n"
                         "IPS7=KvPlain,KvEpl,KvLocked,KvChinese,\n"
                         "IsTealOff90=KvTeal,\n"
                         "HaveEPL=KvEpl,\n"
                         "ProtocolDisable=KvLocked,\n"
                         "OnlyChinese=KvChinese,KvTeal,\n"
                         "LarchParaSetProList=TSC,ZPL,\n");
        folder.makeCurrent();
        pellum::models::ClearModelListCache();
        pellum::lang::LanguageId = QStringLiteral("1033");
        pellum::lang::LoadMessageTable();
        session.SetLibraryModel(QStringLiteral("PL"));
        ASSERT_EQ(session.Tspl().Create(QStringLiteral("PL")), 0);
        fake.clear();
        session.SetPort(QStringLiteral("NET,127.0.0.1:9"));
        session.SetFamily(pellum::FamilyTSPL);
        session.SetModel(QStringLiteral("KvPlain"));
        session.portHeld = false;
    }
    void TearDown() override {
        session.SetModel(QString());
        pellum::models::ClearModelListCache();
    }

    template <typename Window> std::unique_ptr<Window> Open(const Script& script) {
        fake.replies.clear();
        for (const auto& [key, reply] : script)
            fake.replies.push_back(QByteArray(reply) + '\0');
        auto w = std::make_unique<Window>(session.Target());
        w->show();
        return w;
    }
    // The getval lines of a script, in its order.
    static std::vector<QByteArray> Asked(const Script& script) {
        std::vector<QByteArray> out;
        for (const auto& [key, reply] : script)
            out.push_back(GetLine(key));
        return out;
    }

    template <typename T> static T* Find(QWidget* w, const char* name) {
        T* found = w->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static QString Shown(QWidget* w, const char* combo) {
        return Find<QComboBox>(w, combo)->currentText();
    }
    static int Checked(QWidget* w, const char* group) {
        for (int k = 0; k < 2; ++k)
            if (Find<QRadioButton>(w, (QByteArray(group) + "_Item" + QByteArray::number(k)).data())
                    ->isChecked())
                return k;
        return -1;
    }
    static void Choose(QWidget* w, const char* group, int k) {
        Find<QRadioButton>(w, (QByteArray(group) + "_Item" + QByteArray::number(k)).data())
            ->setChecked(true);
    }
    // A key typed into an edit (through the window's key filter).
    static void Type(QLineEdit* edit, const QString& text) {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(edit, &press);
        }
    }
    static void Leave(QLineEdit* edit) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(edit, &out);
    }

    TempProgramFolder folder;
    FakePrinterLibrary fake;
    DelayRecorder delays;
    RecordingDialogs dialogs;
};

TEST_F(KvWindows, KapokShowsEverySettingAndSetSendsThemBackAndRestarts) {
    const Script script = KapokPrinter();
    auto w = Open<T_frmParaSet_Kapok>(script);
    ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages[0].text.toStdString();
    EXPECT_EQ(fake.writes(), Asked(script));
    // The window's own printer object, one connection for the whole read,
    // closed and released at its end.
    Ops ops = fake.ops();
    ASSERT_GE(ops.size(), 4u);
    EXPECT_EQ(Ops(ops.begin(), ops.begin() + 2), (Ops{"create", "open"}));
    EXPECT_EQ(ops.back(), "close");
    // Each getval waits 50 ms before its read.
    EXPECT_EQ(delays.waits(), std::vector<int>(script.size(), 50));

    QWidget* win = w.get();
    EXPECT_EQ(Find<QLineEdit>(win, "txtBTName")->text(), QStringLiteral("Label"));
    EXPECT_EQ(Find<QLineEdit>(win, "txtBTPWD")->text(), QStringLiteral("0000"));
    EXPECT_EQ(Checked(win, "gpbAutoPosition"), 1);
    EXPECT_EQ(Checked(win, "gpbReprintWhenError"), 1);
    EXPECT_EQ(Shown(win, "cmbJudgePaperMode"), QStringLiteral("Black mark"));
    EXPECT_EQ(Shown(win, "cmbDensity"), QStringLiteral("8"));
    EXPECT_EQ(Find<QComboBox>(win, "cmbDensity")->count(), 16);
    EXPECT_EQ(Shown(win, "cmbDHCP"), QStringLiteral("OFF"));
    const char* octets[] = {"192", "168", "1", "20"};
    for (int k = 0; k < 4; ++k) {
        QLineEdit* e = Find<QLineEdit>(win, ("txtIP" + QByteArray::number(k + 1)).data());
        EXPECT_EQ(e->text(), QString::fromLatin1(octets[k]));
        EXPECT_TRUE(e->isEnabled());
    }
    EXPECT_EQ(Find<QLineEdit>(win, "txtGateway4")->text(), QStringLiteral("1"));
    EXPECT_EQ(Shown(win, "cmbHeatAdj"), QStringLiteral("-10"));
    EXPECT_EQ(Shown(win, "cmbPrintSpeed"), QStringLiteral("5"));
    EXPECT_EQ(Shown(win, "cmbProtocol"), QStringLiteral("TSC"));
    EXPECT_EQ(Shown(win, "cmbCodepage"), QStringLiteral("Multilingual(850)"));
    EXPECT_EQ(Shown(win, "cmbBaudrate"), QStringLiteral("115200"));
    EXPECT_EQ(Shown(win, "cmbDataBits"), QStringLiteral("8"));
    EXPECT_EQ(Shown(win, "cmbParity"), QStringLiteral("EVEN"));
    EXPECT_EQ(Shown(win, "cmbStopBits"), QStringLiteral("1"));
    EXPECT_EQ(Shown(win, "cmbPrintMode"), QStringLiteral("Peel off"));
    EXPECT_EQ(Find<QLineEdit>(win, "txtTearOff")->text(), QStringLiteral("-12"));
    EXPECT_EQ(Checked(win, "RadioGroup1"), 0);
    EXPECT_EQ(Checked(win, "g5"), 1);
    EXPECT_EQ(Find<QLabel>(win, "Label3")->text(), QStringLiteral("-120~+120"));
    EXPECT_TRUE(Find<QComboBox>(win, "cmbProtocol")->isEnabled());
    EXPECT_EQ(w->windowTitle(), pellum::lang::Msg(QStringLiteral("_ParaSet")));

    // The user changes some settings; the name keeps its capitals, the rest
    // goes lower-cased.
    Find<QLineEdit>(win, "txtBTName")->setText(QStringLiteral("Shop A"));
    Find<QLineEdit>(win, "txtBTPWD")->setText(QStringLiteral("4321"));
    Find<QComboBox>(win, "cmbDensity")->setCurrentText(QStringLiteral("12"));
    Find<QComboBox>(win, "cmbParity")->setCurrentText(QStringLiteral("NONE"));
    Find<QComboBox>(win, "cmbPrintMode")->setCurrentIndex(2);
    Choose(win, "g5", 0);
    Choose(win, "gpbAutoPosition", 0);
    fake.clear();
    Find<QPushButton>(win, "btnSet")->click();

    const std::vector<QByteArray> expected = {
        SetLine("bt_name", "Shop A"),
        SetLine("bt_pwd", "4321"),
        SetLine("media_power_up", "none"),
        SetLine("reprint_after_error", "on"),
        SetLine("code_page", "850"),
        SetLine("media_sensor", "black mark"),
        SetLine("density", "12"),
        SetLine("eth_dhcp", "off"),
        SetLine("eth_ip", "192.168.1.20."),
        SetLine("eth_mask", "255.255.255.0."),
        SetLine("eth_gateway", "192.168.1.1."),
        SetLine("heat_adj", "-10"),
        SetLine("speed", "5"),
        SetLine("ppl", "tsc"),
        SetLine("com_baud", "115200"),
        SetLine("com_wordlength", "8"),
        SetLine("com_parity", "none"),
        SetLine("com_stopbits", "1"),
        SetLine("sensor_select", "reflective"),
        SetLine("platenin_locat", "off"),
        SetLine("print_mode", "cutter"),
        SetLine("tear_off", "-12"),
        kPrefix + "do \"reset_printer\"\r\n",
    };
    EXPECT_EQ(fake.writes(), expected);
    Ops setOps = {"open"};
    setOps.insert(setOps.end(), expected.size() - 1, "write");
    setOps.insert(setOps.end(), {"close", "open", "write", "close"});
    EXPECT_EQ(fake.ops(), setOps);
    EXPECT_TRUE(dialogs.messages.empty()); // no success message
    EXPECT_FALSE(w->isVisible());
}

TEST_F(KvWindows, LarchReadsTheRibbonSwitchAndWritesTheEmulationFirst) {
    session.SetModel(QStringLiteral("KvEpl"));
    Script script = KapokPrinter();
    script[0].second = "1.02.04"; // not 1.00: the other platen key
    script[1].second = "epl";
    script[2].second = ""; // no Bluetooth
    script.erase(script.begin() + 3, script.begin() + 5);
    script.insert(script.begin() + 4, {"sw_ribbon", "on"});
    for (auto& entry : script) {
        if (QByteArray(entry.first) == "ppl")
            entry.second = "epl";
        if (QByteArray(entry.first) == "code_page")
            entry.second = "a";
        if (QByteArray(entry.first) == "platenin_locat")
            entry = {"platenin_enter_pause", "off"};
    }
    auto w = Open<T_frmParaSet_Larch>(script);
    QWidget* win = w.get();
    EXPECT_EQ(fake.writes(), Asked(script));
    EXPECT_EQ(Checked(win, "gpbPrintType"), 1);
    EXPECT_EQ(Shown(win, "cmbProtocol"), QStringLiteral("EPL"));
    EXPECT_EQ(Find<QComboBox>(win, "cmbDensity")->count(), 31);
    EXPECT_EQ(Shown(win, "cmbCodepage"), QStringLiteral("Latin 1[Windows 1252](A)"));
    EXPECT_TRUE(Find<QLineEdit>(win, "txtBTName")->text().isEmpty());
    EXPECT_EQ(Checked(win, "g5"), 0);

    // Without Bluetooth the PIN box is empty: Set neither asks for a PIN nor
    // sends the Bluetooth pair.
    fake.clear();
    Choose(win, "gpbPrintType", 0);
    Find<QPushButton>(win, "btnSet")->click();
    EXPECT_TRUE(dialogs.messages.empty());
    const auto writes = fake.writes();
    ASSERT_GE(writes.size(), 6u);
    EXPECT_EQ(writes[0], SetLine("ppl", "epl"));
    EXPECT_EQ(writes[1], SetLine("media_power_up", "calibation"));
    EXPECT_EQ(writes[2], SetLine("sw_ribbon", "off"));
    for (const QByteArray& line : writes)
        EXPECT_FALSE(line.contains("\"bt_name\"") || line.contains("\"bt_pwd\""))
            << line.constData();
    EXPECT_EQ(writes[4], SetLine("code_page", "a"));
    int ppl = 0;
    for (const QByteArray& line : writes)
        ppl += line.contains("\"ppl\"") ? 1 : 0;
    EXPECT_EQ(ppl, 1);
    EXPECT_EQ(writes[writes.size() - 4], SetLine("platenin_enter_pause", "off"));
    EXPECT_EQ(writes.back(), kPrefix + "do \"reset_printer\"\r\n");
    EXPECT_FALSE(w->isVisible());
}

TEST_F(KvWindows, OpenFailureShowsTheMessageReadsNothingAndSetOnlyCloses) {
    fake.openResults = {-6};
    auto w = Open<T_frmParaSet_Kapok>({});
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              pellum::lang::Msg(QStringLiteral("_Err_OpenPort")) + QStringLiteral(":-6"));
    EXPECT_EQ(fake.ops(), (Ops{"create", "open"}));
    EXPECT_FALSE(w->settingsRead());
    // Texts and defaults are shown all the same.
    EXPECT_EQ(Find<QPushButton>(w.get(), "btnSet")->text(),
              pellum::lang::Msg(QStringLiteral("_Set")));
    Find<QLineEdit>(w.get(), "txtBTPWD")->setText(QStringLiteral("1234"));
    fake.clear();
    Find<QPushButton>(w.get(), "btnSet")->click();
    EXPECT_TRUE(fake.ops().empty());
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(KvWindows, OpenFailureAtSetClosesWithoutWritingOrRestarting) {
    auto w = Open<T_frmParaSet_Kapok>(KapokPrinter());
    fake.clear();
    fake.openResults = {3};
    dialogs.messages.clear();
    Find<QPushButton>(w.get(), "btnSet")->click();
    EXPECT_EQ(fake.ops(), (Ops{"open"}));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              pellum::lang::Msg(QStringLiteral("_Err_OpenPort")) + QStringLiteral(":3"));
    EXPECT_FALSE(w->isVisible());
}

TEST_F(KvWindows, WriteFailuresAreNotReportedAndThePrinterIsRestarted) {
    auto w = Open<T_frmParaSet_Kapok>(KapokPrinter());
    fake.clear();
    fake.writeResults = std::deque<std::int32_t>(22, 10);
    Find<QPushButton>(w.get(), "btnSet")->click();
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_FALSE(fake.writes().empty());
    EXPECT_EQ(fake.writes().back(), kPrefix + "do \"reset_printer\"\r\n");
}

TEST_F(KvWindows, LayoutRulesOfTheModelLists) {
    struct Case {
        bool larch;
        const char* model;
        bool language;
        int buttonTop;
        int height;
        const char* range;
        bool protocol;
    } cases[] = {
        {false, "KvPlain", true, 380, 414, "-120~+120", true},
        {false, "KvChinese", false, 333, 367, "-120~+120", true},
        {false, "KvTeal", false, 333, 367, "-90~+90", true},
        {true, "KvLocked", true, 380, 414, "-120~+120", false},
        {true, "KvChinese", false, 360, 414, "-120~+120", true},
        {true, "KvTeal", false, 360, 414, "-120~+120", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + (c.larch ? " Larch" : " Kapok"));
        session.SetModel(QString::fromLatin1(c.model));
        std::unique_ptr<QWidget> w;
        if (c.larch)
            w = Open<T_frmParaSet_Larch>({});
        else
            w = Open<T_frmParaSet_Kapok>({});
        EXPECT_EQ(Find<QGroupBox>(w.get(), "gpbLanguage")->isVisible(), c.language);
        EXPECT_EQ(Find<QPushButton>(w.get(), "btnSet")->y(), c.buttonTop);
        EXPECT_EQ(Find<QPushButton>(w.get(), "btnClose")->y(), c.buttonTop);
        EXPECT_EQ(w->height(), c.height);
        EXPECT_EQ(Find<QLabel>(w.get(), "Label3")->text(), QString::fromLatin1(c.range));
        EXPECT_EQ(Find<QComboBox>(w.get(), "cmbProtocol")->isEnabled(), c.protocol);
        EXPECT_EQ(w->findChild<QGroupBox*>(QStringLiteral("gpbPrintType")) != nullptr, c.larch);
        // Every control lies inside the window.
        for (QWidget* child : w->findChildren<QWidget*>()) {
            if (child->isVisible() && child->parentWidget() == w.get()) {
                EXPECT_TRUE(w->rect().contains(child->geometry()))
                    << child->objectName().toStdString();
            }
        }
    }
}

TEST_F(KvWindows, KeyFiltersAndLengthLimits) {
    struct Case {
        bool larch;
        const char* edit;
        const char* typed;
        const char* shown;
    } cases[] = {
        {false, "txtBTName", "My Printer12", "MyPrinter1"}, // no space, 10 at most
        {false, "txtBTPWD", "12a345", "1234"},
        {false, "txtTearOff", "-1x2345", "-123"},
        {false, "txtIP1", "1-2.3", "1-23"},
        {true, "txtIP1", "1-2.345", "123"},
        {true, "txtTearOff", "-1x2345", "-123"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.edit) + (c.larch ? " Larch" : " Kapok"));
        std::unique_ptr<QWidget> w;
        if (c.larch)
            w = Open<T_frmParaSet_Larch>({});
        else
            w = Open<T_frmParaSet_Kapok>({});
        QLineEdit* e = Find<QLineEdit>(w.get(), c.edit);
        e->clear();
        Type(e, QString::fromLatin1(c.typed));
        EXPECT_EQ(e->text(), QString::fromLatin1(c.shown));
    }
    // A longer name read from the printer is shown whole and sent back whole.
    Script script = KapokPrinter();
    script[3].second = "WAREHOUSE-PRINTER";
    auto w = Open<T_frmParaSet_Kapok>(script);
    EXPECT_EQ(Find<QLineEdit>(w.get(), "txtBTName")->text(), QStringLiteral("WAREHOUSE-PRINTER"));
    fake.clear();
    Find<QPushButton>(w.get(), "btnSet")->click();
    ASSERT_FALSE(fake.writes().empty());
    EXPECT_EQ(fake.writes()[0], SetLine("bt_name", "WAREHOUSE-PRINTER"));
}

TEST_F(KvWindows, LeavingAFieldChecksItsRange) {
    // Kapok: leaving the tear-off or an address edit checks the tear-off.
    auto kapok = Open<T_frmParaSet_Kapok>(KapokPrinter());
    QLineEdit* tear = Find<QLineEdit>(kapok.get(), "txtTearOff");
    QLineEdit* ip = Find<QLineEdit>(kapok.get(), "txtIP1");
    tear->setText(QStringLiteral("150"));
    ip->setText(QStringLiteral("300"));
    Leave(ip);
    EXPECT_EQ(tear->text(), QStringLiteral("120"));
    EXPECT_EQ(ip->text(), QStringLiteral("300"));
    tear->setText(QStringLiteral("-150"));
    Leave(tear);
    EXPECT_EQ(tear->text(), QStringLiteral("-120"));
    tear->setText(QStringLiteral("-"));
    Leave(tear);
    EXPECT_EQ(tear->text(), QStringLiteral("-"));
    // A message box taking the focus is no leaving.
    tear->setText(QStringLiteral("999"));
    QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(tear, &away);
    EXPECT_EQ(tear->text(), QStringLiteral("999"));

    // Larch: the tear-off its fixed range; an address edit is not changed
    // when left (Set refuses a part outside 0-255).
    session.SetModel(QStringLiteral("KvEpl"));
    auto larch = Open<T_frmParaSet_Larch>(KapokPrinter());
    QLineEdit* mask = Find<QLineEdit>(larch.get(), "txtSubnet4");
    QLineEdit* tear2 = Find<QLineEdit>(larch.get(), "txtTearOff");
    mask->setText(QStringLiteral("256"));
    tear2->setText(QStringLiteral("150"));
    Leave(mask);
    EXPECT_EQ(mask->text(), QStringLiteral("256"));
    EXPECT_EQ(tear2->text(), QStringLiteral("150"));
    Leave(tear2);
    EXPECT_EQ(tear2->text(), QStringLiteral("120"));
}

// Set with a value outside its range names the field and the range, sends
// nothing and keeps the window open.
TEST_F(KvWindows, SetRefusesAValueOutsideItsRange) {
    const struct {
        bool larch;
        const char* edit;
        const char* typed;
        const char* captionKey;
        const char* low;
        const char* high;
    } cases[] = {
        {false, "txtIP1", "300", "FormParaSet_Nutmeg_lblIPAddress", "0", "255"},
        {true, "txtGateway4", "999", "FormParaSet_Nutmeg_lblDefautGateway", "0", "255"},
        {false, "txtSubnet2", "-4", "FormParaSet_Nutmeg_lblSubnet", "0", "255"},
        {false, "txtTearOff", "12-3", "FormParaSet_Larch_lblTearOff", "-120", "120"},
        {true, "txtTearOff", "-", "FormParaSet_Larch_lblTearOff", "-120", "120"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.edit) + "=" + c.typed);
        dialogs.messages.clear();
        session.SetModel(QStringLiteral("KvEpl"));
        std::unique_ptr<T_frmParaSet_Kapok> w;
        if (c.larch) {
            Script larch = KapokPrinter(); // the Larch window also reads the ribbon switch
            for (std::size_t i = 0; i < larch.size(); ++i)
                if (QByteArray(larch[i].first) == "media_power_up") {
                    larch.insert(larch.begin() + std::ptrdiff_t(i) + 1, {"sw_ribbon", "on"});
                    break;
                }
            w = Open<T_frmParaSet_Larch>(larch);
        } else
            w = Open<T_frmParaSet_Kapok>(KapokPrinter());
        Find<QLineEdit>(w.get(), c.edit)->setText(QString::fromLatin1(c.typed));
        fake.clear();
        Find<QPushButton>(w.get(), "btnSet")->click();
        EXPECT_TRUE(fake.calls().empty());
        EXPECT_TRUE(w->isVisible());
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].kind, pellum::MessageKind::Error);
        const QString expected =
            pellum::lang::LangText(QStringLiteral("FormParaSet_Err_OutOfRange"))
                .replace("%1", pellum::lang::LangText(QString::fromLatin1(c.captionKey)))
                .replace("%2", c.low)
                .replace("%3", c.high)
                .replace("%4", c.typed);
        EXPECT_EQ(dialogs.messages[0].text, expected);
    }
}

TEST_F(KvWindows, ListChangesByTheUser) {
    auto w = Open<T_frmParaSet_Kapok>(KapokPrinter());
    QWidget* win = w.get();
    // DHCP on disables the twelve address edits, off enables them.
    Find<QComboBox>(win, "cmbDHCP")->setCurrentIndex(0);
    for (const char* name : {"txtIP1", "txtSubnet3", "txtGateway4"})
        EXPECT_FALSE(Find<QLineEdit>(win, name)->isEnabled()) << name;
    Find<QComboBox>(win, "cmbDHCP")->setCurrentIndex(1);
    EXPECT_TRUE(Find<QLineEdit>(win, "txtGateway4")->isEnabled());
    // The paper type chooses the sensor.
    Find<QComboBox>(win, "cmbJudgePaperMode")->setCurrentIndex(0);
    EXPECT_EQ(Checked(win, "RadioGroup1"), 1);
    Find<QComboBox>(win, "cmbJudgePaperMode")->setCurrentIndex(2);
    EXPECT_EQ(Checked(win, "RadioGroup1"), 0);
    // Another emulation: its density range and code pages; back to the
    // printer's own: its code page again.
    Find<QComboBox>(win, "cmbProtocol")->setCurrentIndex(1);
    EXPECT_EQ(Find<QComboBox>(win, "cmbDensity")->count(), 31);
    EXPECT_EQ(Shown(win, "cmbDensity"), QStringLiteral("15"));
    EXPECT_EQ(Shown(win, "cmbCodepage"), QStringLiteral("U.S.A. 1(USA)"));
    Find<QComboBox>(win, "cmbProtocol")->setCurrentIndex(0);
    EXPECT_EQ(Shown(win, "cmbDensity"), QStringLiteral("7"));
    EXPECT_EQ(Shown(win, "cmbCodepage"), QStringLiteral("Multilingual(850)"));

    // With DHCP on, Set sends no address.
    Find<QComboBox>(win, "cmbDHCP")->setCurrentIndex(0);
    fake.clear();
    Find<QPushButton>(win, "btnSet")->click();
    for (const QByteArray& line : fake.writes())
        EXPECT_FALSE(line.contains("eth_ip") || line.contains("eth_mask") ||
                     line.contains("eth_gateway"))
            << line.toStdString();
    EXPECT_TRUE(fake.written().contains(SetLine("eth_dhcp", "on")));
}

TEST_F(KvWindows, RegisteredUnderTheirNamesAndEveryTextExists) {
    pellum::RegisterSettingsWindows();
    EXPECT_TRUE(pellum::IsWindowRegistered(QStringLiteral("T_frmParaSet_Kapok")));
    EXPECT_TRUE(pellum::IsWindowRegistered(QStringLiteral("T_frmParaSet_Larch")));

    // Every caption and item key of both windows, in every language.
    QStringList keys;
    for (const KvSettings::WindowTable* table :
         {&KvSettings::KapokTable(), &KvSettings::LarchTable()}) {
        for (const KvSettings::Field& f : table->fields)
            keys << f.captionKey << f.itemKeys;
        for (const KvSettings::GroupCaption& g : table->groups)
            keys << g.captionKey;
        for (const KvSettings::LabelText& t : table->texts)
            keys << t.key;
    }
    keys.removeAll(QString());
    keys.removeDuplicates();
    for (const char* language : {"1033", "2052", "1028"}) {
        pellum::lang::LanguageId = QString::fromLatin1(language);
        pellum::lang::LoadMessageTable();
        for (const QString& key : keys) {
            const QString text = key.startsWith(QLatin1Char('_')) ? pellum::lang::Msg(key)
                                                                  : pellum::lang::LangText(key);
            EXPECT_FALSE(text.isEmpty()) << language << " " << key.toStdString();
        }
    }
}

} // namespace
