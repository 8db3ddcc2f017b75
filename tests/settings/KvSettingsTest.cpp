// The key-value settings as data: read rules, write rules, the order of the
// getval and setval lines and the window rules, against a printer that is a
// key store in memory.
#include "settings/KvSettings.h"
#include "core/ModelLists.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>

using namespace KvSettings;

QT_BEGIN_NAMESPACE
// Texts in failure messages as text, not as UTF-16 code units.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

// Model lists of made-up models, one per window rule.
class KvFixture : public ::testing::Test {
protected:
    void SetUp() override {
        WriteLists("TSC,ZPL,");
        folder.makeCurrent();
    }
    void TearDown() override { pellum::models::ClearModelListCache(); }
    void WriteLists(const char* proList) {
        folder.writeFile(QStringLiteral("PrinterTypeList_Label.ini"),
                         QByteArray("[ParameterSet]\n"
                                    "GDS=KvPlain,KvEpl,KvTeal,KvLocked,\n"
                                    "IPS7=KvPlain,KvEpl,KvLocked,\n"
                                    "IsTealOff90=KvTeal,\n"
                                    "HaveEPL=KvEpl,\n"
                                    "ProtocolDisable=KvLocked,\n"
                                    "LarchParaSetProList=") +
                             proList + "\n");
        pellum::models::ClearModelListCache();
    }
    pellum::test::TempProgramFolder folder;
};

// A printer that answers getval from its key store and records the keys.
struct Store {
    std::map<QString, QString> values;
    QStringList asked;
    GetVal getval() {
        return [this](const QString& key) {
            asked << key;
            const auto it = values.find(key);
            return it == values.end() ? QString() : it->second;
        };
    }
};

// Every setting of a Kapok printer with Bluetooth, static address, TSC.
std::map<QString, QString> FullPrinter() {
    return {{"version", "1.00.12"},
            {"ppl", "tsc"},
            {"bt_mac", "00:1B:35:42:00:31"},
            {"bt_name", "Label-1A2B"},
            {"bt_pwd", "0000"},
            {"media_power_up", "calibation"},
            {"sw_ribbon", "on"},
            {"reprint_after_error", "on"},
            {"media_sensor", "black mark"},
            {"density", "8"},
            {"eth_dhcp", "off"},
            {"eth_ip", "192.168.1.20"},
            {"eth_mask", "255.255.255.0"},
            {"eth_gateway", "192.168.1.1"},
            {"heat_adj", "-10"},
            {"speed", "5"},
            {"code_page", "850"},
            {"com_baud", "115200"},
            {"com_wordlength", "7"},
            {"com_parity", "even"},
            {"com_stopbits", "2"},
            {"print_mode", "peel"},
            {"tear_off", "-12"},
            {"sensor_select", "reflective"},
            {"platenin_locat", "on"},
            {"platenin_enter_pause", "off"}};
}

QStringList Lines(const std::vector<Write>& writes) {
    QStringList out;
    for (const Write& w : writes)
        out << w.key + (w.exact ? QStringLiteral(" =") : QStringLiteral(" ")) + w.value;
    return out;
}

class KvModel : public KvFixture {};

TEST_F(KvModel, ReadsEveryKeyInTheWindowOrder) {
    const QStringList head = {"version", "ppl", "bt_mac", "bt_name", "bt_pwd", "media_power_up"};
    const QStringList tail = {"reprint_after_error",
                              "media_sensor",
                              "density",
                              "eth_dhcp",
                              "eth_ip",
                              "eth_mask",
                              "eth_gateway",
                              "heat_adj",
                              "speed",
                              "ppl",
                              "code_page",
                              "com_baud",
                              "com_wordlength",
                              "com_parity",
                              "com_stopbits",
                              "print_mode",
                              "tear_off",
                              "sensor_select"};
    struct Case {
        Variant variant;
        const char* version;
        QStringList expected;
    } cases[] = {
        {Variant::Kapok, "1.00.12", head + tail + QStringList{"platenin_locat"}},
        {Variant::Kapok, "1.01", head + tail + QStringList{"platenin_enter_pause"}},
        {Variant::Kapok, "1.0", head + tail + QStringList{"platenin_enter_pause"}},
        {Variant::Larch, "1.00",
         head + QStringList{"sw_ribbon"} + tail + QStringList{"platenin_locat"}},
        {Variant::Larch, "",
         head + QStringList{"sw_ribbon"} + tail + QStringList{"platenin_enter_pause"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        Store store{FullPrinter(), {}};
        store.values["version"] = QString::fromLatin1(c.version);
        KvSettingsModel m(c.variant, QStringLiteral("KvPlain"));
        m.ReadAll(store.getval());
        EXPECT_EQ(store.asked, c.expected);
    }
    // No Bluetooth: neither the name nor the PIN is asked for.
    Store store{FullPrinter(), {}};
    store.values["bt_mac"] = QString();
    KvSettingsModel m(Variant::Kapok, QStringLiteral("KvPlain"));
    m.ReadAll(store.getval());
    EXPECT_FALSE(store.asked.contains(QStringLiteral("bt_name")));
    EXPECT_FALSE(store.asked.contains(QStringLiteral("bt_pwd")));
    EXPECT_TRUE(m.value(QStringLiteral("txtBTName")).text.isEmpty());
    EXPECT_TRUE(m.value(QStringLiteral("txtBTPWD")).text.isEmpty());
}

TEST_F(KvModel, RepliesBecomeControlValues) {
    Store store{FullPrinter(), {}};
    KvSettingsModel m(Variant::Larch, QStringLiteral("KvPlain"));
    m.ReadAll(store.getval());
    auto selected = [&](const char* control) {
        return m.value(QString::fromLatin1(control)).list.selectedText();
    };
    auto position = [&](const char* control) {
        return m.value(QString::fromLatin1(control)).list.selected;
    };
    auto choice = [&](const char* control) { return m.value(QString::fromLatin1(control)).choice; };
    EXPECT_EQ(m.value(QStringLiteral("txtBTName")).text, QStringLiteral("Label"));
    EXPECT_EQ(m.value(QStringLiteral("txtBTPWD")).text, QStringLiteral("0000"));
    EXPECT_EQ(choice("gpbAutoPosition"), 1);
    EXPECT_EQ(choice("gpbPrintType"), 1);
    EXPECT_EQ(choice("gpbReprintWhenError"), 1);
    EXPECT_EQ(position("cmbJudgePaperMode"), 1);
    EXPECT_EQ(selected("cmbDensity"), QStringLiteral("8"));
    EXPECT_EQ(m.value(QStringLiteral("cmbDensity")).list.items.size(), 16);
    EXPECT_EQ(position("cmbDHCP"), 1);
    EXPECT_EQ(m.value(QStringLiteral("txtIP")).parts, QStringList({"192", "168", "1", "20"}));
    EXPECT_EQ(m.value(QStringLiteral("txtSubnet")).parts, QStringList({"255", "255", "255", "0"}));
    EXPECT_EQ(m.value(QStringLiteral("txtGateway")).parts, QStringList({"192", "168", "1", "1"}));
    EXPECT_EQ(selected("cmbHeatAdj"), QStringLiteral("-10"));
    EXPECT_EQ(selected("cmbPrintSpeed"), QStringLiteral("5"));
    EXPECT_EQ(selected("cmbProtocol"), QStringLiteral("TSC"));
    EXPECT_EQ(selected("cmbCodepage"), QStringLiteral("Multilingual(850)"));
    EXPECT_EQ(m.value(QStringLiteral("cmbCodepage")).list.items.size(), 49);
    EXPECT_EQ(selected("cmbBaudrate"), QStringLiteral("115200"));
    EXPECT_EQ(selected("cmbDataBits"), QStringLiteral("7"));
    EXPECT_EQ(selected("cmbParity"), QStringLiteral("EVEN"));
    EXPECT_EQ(selected("cmbStopBits"), QStringLiteral("2"));
    EXPECT_EQ(position("cmbPrintMode"), 1);
    EXPECT_EQ(m.value(QStringLiteral("txtTearOff")).text, QStringLiteral("-12"));
    EXPECT_EQ(choice("RadioGroup1"), 0);
    EXPECT_EQ(choice("g5"), 1);
    EXPECT_EQ(m.platenKey(), QStringLiteral("platenin_locat"));
    EXPECT_EQ(m.emulationRead(), QStringLiteral("tsc"));
    EXPECT_EQ(m.codePageRead(), QStringLiteral("850"));
}

TEST_F(KvModel, EmptyRepliesLeaveListsAtTheFirstItemOrUnselectedAndAreNotWrittenBack) {
    Store store{{{"bt_mac", "x"}}, {}}; // a printer that answers nothing else
    KvSettingsModel m(Variant::Kapok, QStringLiteral("KvPlain"));
    m.ReadAll(store.getval());
    for (const char* c : {"cmbDensity", "cmbHeatAdj", "cmbPrintSpeed", "cmbProtocol", "cmbCodepage",
                          "cmbBaudrate", "cmbDataBits", "cmbParity", "cmbStopBits"})
        EXPECT_EQ(m.value(QString::fromLatin1(c)).list.selected, 0) << c;
    for (const char* c : {"cmbJudgePaperMode", "cmbDHCP", "cmbPrintMode"})
        EXPECT_EQ(m.value(QString::fromLatin1(c)).list.selected, -1) << c;
    // The two-choice groups read "anything else" for an empty reply.
    EXPECT_EQ(m.value(QStringLiteral("gpbAutoPosition")).choice, 1);
    EXPECT_EQ(m.value(QStringLiteral("gpbReprintWhenError")).choice, 0);
    EXPECT_EQ(m.value(QStringLiteral("RadioGroup1")).choice, 1);
    EXPECT_EQ(m.value(QStringLiteral("g5")).choice, 1);
    EXPECT_TRUE(m.value(QStringLiteral("txtTearOff")).text.isEmpty());
    EXPECT_EQ(m.value(QStringLiteral("txtIP")).parts, QStringList({"", "", "", ""}));

    m.value(QStringLiteral("txtBTPWD")).text = QStringLiteral("1234");
    const QStringList lines = Lines(m.Writes());
    // Lists without a selection and an empty tear-off have nothing to send;
    // no address either, as the DHCP list shows no choice.
    for (const char* key : {"media_sensor", "eth_dhcp", "print_mode", "tear_off", "eth_ip"})
        EXPECT_FALSE(lines.join('|').contains(QString::fromLatin1(key))) << key;
    EXPECT_TRUE(lines.contains(QStringLiteral("density 0")));
    EXPECT_TRUE(lines.contains(QStringLiteral("code_page USA"))); // lowered when sent
}

TEST_F(KvModel, BluetoothNameAndAddressReplies) {
    const struct {
        const char* reply;
        const char* shown;
    } names[] = {{"Printer-0A1B", "Printer"},
                 {"ABCDE", "ABCDE"},
                 {"A-BCDEFG", "A-BCDEFG"},
                 {"AB-CDEF", "AB"},
                 {"X-ABCD", "X"},
                 {"-ABCD", "-ABCD"},
                 {"", ""}};
    for (const auto& n : names)
        EXPECT_EQ(ShownBtName(QString::fromLatin1(n.reply)), QString::fromLatin1(n.shown))
            << n.reply;

    const struct {
        const char* reply;
        QStringList parts; // empty: the row stays as it was
    } addresses[] = {{"0.0.0.0", {"0", "0", "0", "0"}},
                     {"1.2.3", {}},
                     {"1234567", {}},
                     {"1.2.3456", {}},
                     {"10.0.0.1.5", {"10", "0", "0", "1"}}};
    for (const auto& a : addresses) {
        SCOPED_TRACE(a.reply);
        Store store{FullPrinter(), {}};
        store.values["eth_ip"] = QString::fromLatin1(a.reply);
        KvSettingsModel m(Variant::Kapok, QStringLiteral("KvPlain"));
        m.value(QStringLiteral("txtIP")).parts = {"9", "9", "9", "9"};
        m.ReadAll(store.getval());
        EXPECT_EQ(m.value(QStringLiteral("txtIP")).parts,
                  a.parts.isEmpty() ? QStringList({"9", "9", "9", "9"}) : a.parts);
    }
}

TEST_F(KvModel, WritesEverySettingInTheWindowOrder) {
    Store store{FullPrinter(), {}};
    KvSettingsModel kapok(Variant::Kapok, QStringLiteral("KvPlain"));
    kapok.ReadAll(store.getval());
    kapok.value(QStringLiteral("txtBTName")).text = QStringLiteral("Shop A");
    const QStringList kapokLines = {"bt_name =Shop A",
                                    "bt_pwd 0000",
                                    "media_power_up calibation",
                                    "reprint_after_error on",
                                    "code_page 850",
                                    "media_sensor black mark",
                                    "density 8",
                                    "eth_dhcp OFF",
                                    "eth_ip 192.168.1.20.",
                                    "eth_mask 255.255.255.0.",
                                    "eth_gateway 192.168.1.1.",
                                    "heat_adj -10",
                                    "speed 5",
                                    "ppl TSC",
                                    "com_baud 115200",
                                    "com_wordlength 7",
                                    "com_parity EVEN",
                                    "com_stopbits 2",
                                    "sensor_select reflective",
                                    "platenin_locat on",
                                    "print_mode peel",
                                    "tear_off -12"};
    EXPECT_EQ(Lines(kapok.Writes()), kapokLines);

    store.values["version"] = QStringLiteral("1.02.01");
    KvSettingsModel larch(Variant::Larch, QStringLiteral("KvPlain"));
    larch.ReadAll(store.getval());
    QStringList larchLines = kapokLines;
    larchLines[0] = QStringLiteral("bt_name =Label");
    larchLines.removeAll(QStringLiteral("ppl TSC"));
    larchLines.prepend(QStringLiteral("ppl TSC"));
    larchLines.insert(larchLines.indexOf(QStringLiteral("media_power_up calibation")) + 1,
                      QStringLiteral("sw_ribbon on"));
    larchLines.replaceInStrings(QStringLiteral("platenin_locat on"),
                                QStringLiteral("platenin_enter_pause off"));
    EXPECT_EQ(Lines(larch.Writes()), larchLines);
}

TEST_F(KvModel, AddressesAreSentOnlyForAStaticAddressAndWhenComplete) {
    Store store{FullPrinter(), {}};
    KvSettingsModel m(Variant::Kapok, QStringLiteral("KvPlain"));
    m.ReadAll(store.getval());
    auto addressLines = [&] {
        QStringList out;
        for (const Write& w : m.Writes())
            if (w.key.startsWith(QLatin1String("eth_")) && w.key != QLatin1String("eth_dhcp"))
                out << w.key + ' ' + w.value;
        return out;
    };
    m.value(QStringLiteral("txtIP")).parts[2] = QStringLiteral("  ");
    m.value(QStringLiteral("txtGateway")).parts[0] = QStringLiteral(" 10");
    EXPECT_EQ(addressLines(), QStringList({"eth_mask 255.255.255.0.", "eth_gateway  10.168.1.1."}));
    m.value(QStringLiteral("cmbDHCP")).list.selected = 0; // ON
    EXPECT_TRUE(addressLines().isEmpty());
}

TEST_F(KvModel, TearOffIsSentOnlyAsAWholeNumber) {
    const struct {
        const char* text;
        const char* sent; // nullptr: not sent
    } cases[] = {{"-12", "-12"}, {" 7 ", "7"},      {"", nullptr},
                 {"-", nullptr}, {"12-3", nullptr}, {"+5", nullptr}};
    for (const auto& c : cases) {
        KvSettingsModel m(Variant::Kapok, QStringLiteral("KvPlain"));
        m.value(QStringLiteral("txtTearOff")).text = QString::fromLatin1(c.text);
        QString sent;
        bool found = false;
        for (const Write& w : m.Writes())
            if (w.key == QLatin1String("tear_off")) {
                found = true;
                sent = w.value;
            }
        EXPECT_EQ(found, c.sent != nullptr) << c.text;
        if (c.sent) {
            EXPECT_EQ(sent, QString::fromLatin1(c.sent)) << c.text;
        }
    }
}

TEST_F(KvModel, LeaveFieldChecks) {
    const struct {
        Variant variant;
        const char* model;
        const char* typed;
        const char* after;
    } tearOff[] = {
        {Variant::Kapok, "KvPlain", "150", "120"},   {Variant::Kapok, "KvPlain", "-150", "-120"},
        {Variant::Kapok, "KvPlain", "120", "120"},   {Variant::Kapok, "KvPlain", "-", "-"},
        {Variant::Kapok, "KvTeal", "150", "90"},     {Variant::Kapok, "KvTeal", "-91", "-90"},
        {Variant::Kapok, "KvTeal", "-90", "-90"},    {Variant::Kapok, "KvPlain", "12-3", "12-3"},
        {Variant::Kapok, "KvPlain", "", ""},         {Variant::Larch, "KvTeal", "150", "120"},
        {Variant::Larch, "KvPlain", "-999", "-120"},
    };
    for (const auto& c : tearOff) {
        KvSettingsModel m(c.variant, QString::fromLatin1(c.model));
        m.value(QStringLiteral("txtTearOff")).text = QString::fromLatin1(c.typed);
        m.CheckTearOff();
        EXPECT_EQ(m.value(QStringLiteral("txtTearOff")).text, QString::fromLatin1(c.after))
            << c.model << " " << c.typed;
    }
}

// A value the user changed that would go out but is no whole number in its
// range is refused (reported, nothing sent); what the printer reported and
// nobody changed is not judged.
TEST_F(KvModel, ChangedValuesOutsideTheirRangeAreRefused) {
    const struct {
        Variant variant;
        const char* model;
        const char* control; // an address part is "txtSubnet4"
        const char* typed;
        bool refused;
        int low, high;
    } cases[] = {
        {Variant::Kapok, "KvPlain", "txtSubnet4", "256", true, 0, 255},
        {Variant::Larch, "KvPlain", "txtIP1", "999", true, 0, 255},
        {Variant::Kapok, "KvPlain", "txtGateway2", "-1", true, 0, 255},
        {Variant::Kapok, "KvPlain", "txtIP3", "1-2", true, 0, 255},
        {Variant::Kapok, "KvPlain", "txtIP3", "255", false, 0, 0},
        {Variant::Kapok, "KvPlain", "txtIP3", "0", false, 0, 0},
        {Variant::Kapok, "KvPlain", "txtIP3", "", false, 0, 0}, // the row is not sent
        {Variant::Kapok, "KvPlain", "txtTearOff", "121", true, -120, 120},
        {Variant::Kapok, "KvTeal", "txtTearOff", "-91", true, -90, 90},
        {Variant::Kapok, "KvTeal", "txtTearOff", "-90", false, 0, 0},
        {Variant::Larch, "KvTeal", "txtTearOff", "120", false, 0, 0},
        {Variant::Kapok, "KvPlain", "txtTearOff", "-", true, -120, 120},
        {Variant::Kapok, "KvPlain", "txtTearOff", "12-3", true, -120, 120},
        {Variant::Larch, "KvPlain", "txtTearOff", "", true, -120, 120},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + c.control + "=" + c.typed);
        Store store{FullPrinter(), {}};
        KvSettingsModel m(c.variant, QString::fromLatin1(c.model));
        m.ReadAll(store.getval());
        ASSERT_FALSE(m.FirstValueOutOfRange());
        const QString control = QString::fromLatin1(c.control);
        const bool address = control != QLatin1String("txtTearOff");
        const QString row = address ? control.left(control.size() - 1) : control;
        const int part = address ? control.right(1).toInt() - 1 : -1;
        if (address)
            m.value(row).parts[part] = QString::fromLatin1(c.typed);
        else
            m.value(row).text = QString::fromLatin1(c.typed);
        const auto refused = m.FirstValueOutOfRange();
        ASSERT_EQ(bool(refused), c.refused);
        if (refused) {
            EXPECT_EQ(refused->control, row);
            EXPECT_EQ(refused->part, part);
            EXPECT_EQ(refused->text, QString::fromLatin1(c.typed));
            EXPECT_EQ(refused->low, c.low);
            EXPECT_EQ(refused->high, c.high);
        }
    }
    // With DHCP on no address is sent, so none is judged.
    Store store{FullPrinter(), {}};
    KvSettingsModel m(Variant::Kapok, QStringLiteral("KvPlain"));
    m.ReadAll(store.getval());
    m.value(QStringLiteral("txtIP")).parts[0] = QStringLiteral("300");
    EXPECT_TRUE(m.FirstValueOutOfRange());
    m.value(QStringLiteral("cmbDHCP")).list.selected = 0;
    EXPECT_FALSE(m.FirstValueOutOfRange());
    // A value the printer reported out of range travels back untouched.
    store.values["eth_ip"] = QStringLiteral("300.1.1.1");
    store.values["tear_off"] = QStringLiteral("500");
    KvSettingsModel odd(Variant::Kapok, QStringLiteral("KvPlain"));
    odd.ReadAll(store.getval());
    EXPECT_FALSE(odd.FirstValueOutOfRange());
}

TEST_F(KvModel, WindowRulesFromTheModelLists) {
    const struct {
        Variant variant;
        const char* model;
        const char* proList;
        QStringList emulations;
        const char* range;
        bool protocolEnabled;
    } cases[] = {
        // The catalogue's comma-terminated list gives no empty emulation.
        {Variant::Kapok, "KvPlain", "TSC,ZPL,", {"TSC", "ZPL"}, "-120~+120", true},
        {Variant::Kapok, "KvEpl", "TSC,ZPL,", {"TSC", "ZPL", "EPL"}, "-120~+120", true},
        {Variant::Kapok, "KvTeal", "", {"TSC", "ZPL"}, "-90~+90", true},
        {Variant::Kapok, "KvLocked", "TSC,ZPL,", {"TSC", "ZPL"}, "-120~+120", true},
        {Variant::Larch, "KvLocked", "TSC,", {"TSC"}, "-120~+120", false},
        {Variant::Larch, "KvTeal", "TSC,ZPL,", {"TSC", "ZPL"}, "-120~+120", true},
        {Variant::Larch, "KvEpl", "", {"TSC", "ZPL", "EPL"}, "-120~+120", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        WriteLists(c.proList);
        KvSettingsModel m(c.variant, QString::fromLatin1(c.model));
        EXPECT_EQ(m.value(QStringLiteral("cmbProtocol")).list.items, c.emulations);
        EXPECT_EQ(m.tearOffRange(), QString::fromLatin1(c.range));
        EXPECT_EQ(m.protocolEnabled(), c.protocolEnabled);
    }
    // The speed list follows the model's speed class.
    KvSettingsModel plain(Variant::Kapok, QStringLiteral("KvPlain"));
    EXPECT_EQ(plain.value(QStringLiteral("cmbPrintSpeed")).list.items,
              QStringList({"2", "3", "4", "5", "6", "7"}));
    KvSettingsModel other(Variant::Kapok, QStringLiteral("KvTeal"));
    EXPECT_EQ(other.value(QStringLiteral("cmbPrintSpeed")).list.items, QStringList({"2", "3"}));
}

TEST_F(KvModel, DensityRangeFollowsTheEmulationRead) {
    const struct {
        Variant variant;
        const char* ppl;
        int items;
    } cases[] = {{Variant::Kapok, "zpl", 31}, {Variant::Kapok, "epl", 16},
                 {Variant::Kapok, "tsc", 16}, {Variant::Kapok, "ZPL", 16},
                 {Variant::Larch, "zpl", 31}, {Variant::Larch, "epl", 31},
                 {Variant::Larch, "", 16}};
    for (const auto& c : cases) {
        Store store{FullPrinter(), {}};
        store.values["ppl"] = QString::fromLatin1(c.ppl);
        KvSettingsModel m(c.variant, QStringLiteral("KvEpl"));
        m.ReadAll(store.getval());
        EXPECT_EQ(m.value(QStringLiteral("cmbDensity")).list.items.size(), c.items) << c.ppl;
    }
}

TEST_F(KvModel, CodePagesFollowTheEmulation) {
    // Read: the emulation picks the code-page list; ZPL's swi names three
    // items, the first is selected.
    Store zpl{FullPrinter(), {}};
    zpl.values["ppl"] = QStringLiteral("zpl");
    zpl.values["code_page"] = QStringLiteral("swi");
    KvSettingsModel m(Variant::Kapok, QStringLiteral("KvEpl"));
    m.ReadAll(zpl.getval());
    EXPECT_EQ(m.value(QStringLiteral("cmbCodepage")).list.items.size(), 29);
    EXPECT_EQ(m.value(QStringLiteral("cmbCodepage")).list.selectedText(),
              QStringLiteral("France 2(SWI)"));

    struct Step {
        int position;
        int densityItems;
        const char* density;
        int codepages;
        const char* codepage;
    };
    const struct {
        Variant variant;
        std::vector<Step> steps;
    } cases[] = {
        {Variant::Kapok,
         {{0, 16, "7", 49, "USA(USA)"},
          {2, 31, "15", 20, "English-US[DOS 437](0)"},
          {1, 31, "15", 29, "France 2(SWI)"}}},
        {Variant::Larch,
         {{2, 16, "7", 20, "English-US[DOS 437](0)"},
          {0, 16, "7", 49, "USA(USA)"},
          {1, 31, "15", 29, "France 2(SWI)"}}},
    };
    for (const auto& c : cases) {
        KvSettingsModel w(c.variant, QStringLiteral("KvEpl"));
        zpl.asked.clear();
        w.ReadAll(zpl.getval());
        for (const Step& s : c.steps) {
            SCOPED_TRACE(s.position);
            w.value(QStringLiteral("cmbProtocol")).list.selected = s.position;
            w.cmbProtocolChange();
            const OptionTables::OptionList& density = w.value(QStringLiteral("cmbDensity")).list;
            const OptionTables::OptionList& pages = w.value(QStringLiteral("cmbCodepage")).list;
            EXPECT_EQ(density.items.size(), s.densityItems);
            EXPECT_EQ(density.selectedText(), QString::fromLatin1(s.density));
            EXPECT_EQ(pages.items.size(), s.codepages);
            EXPECT_EQ(pages.selectedText(), QString::fromLatin1(s.codepage));
        }
    }
    // The printer reports its emulation in small letters; switching back
    // to it still restores its code page.
    Store tsc{FullPrinter(), {}};
    KvSettingsModel back(Variant::Kapok, QStringLiteral("KvEpl"));
    back.ReadAll(tsc.getval());
    back.value(QStringLiteral("cmbProtocol")).list.selected = 1;
    back.cmbProtocolChange();
    back.value(QStringLiteral("cmbProtocol")).list.selected = 0;
    back.cmbProtocolChange();
    EXPECT_EQ(back.value(QStringLiteral("cmbCodepage")).list.selectedText(),
              QStringLiteral("Multilingual(850)"));
}

TEST_F(KvModel, PaperTypeChoosesTheSensorAndThePinNeedsFourCharacters) {
    KvSettingsModel m(Variant::Kapok, QStringLiteral("KvPlain"));
    const int expected[] = {1, 0, 0};
    for (int position = 0; position < 3; ++position) {
        m.value(QStringLiteral("cmbJudgePaperMode")).list.selected = position;
        m.cmbJudgePaperModeChange();
        EXPECT_EQ(m.value(QStringLiteral("RadioGroup1")).choice, expected[position]);
    }
    const struct {
        const char* pin;
        bool ok;
    } pins[] = {{"1234", true}, {" 1234 ", true}, {"123", false}, {"", false}, {"12345", false}};
    for (const auto& p : pins) {
        m.value(QStringLiteral("txtBTPWD")).text = QString::fromLatin1(p.pin);
        EXPECT_EQ(m.PinLengthOk(), p.ok) << p.pin;
    }
}

TEST(KvKeyFilters, AcceptTheirCharacters) {
    const struct {
        KeyFilter filter;
        const char16_t* accepted;
        const char16_t* dropped;
    } cases[] = {
        {KeyFilter::BtName, u"aZ09!~\x7f\b\r-", u" \x1f\xe9"},
        {KeyFilter::Digits, u"0123456789\b\r\x7f", u"-a .+"},
        {KeyFilter::DigitsDash, u"0129-\b\r\x7f", u"a .+"},
    };
    for (const auto& c : cases) {
        for (const char16_t* p = c.accepted; *p; ++p)
            EXPECT_TRUE(KeyAccepted(c.filter, *p)) << int(*p);
        for (const char16_t* p = c.dropped; *p; ++p)
            EXPECT_FALSE(KeyAccepted(c.filter, *p)) << int(*p);
    }
}

} // namespace
