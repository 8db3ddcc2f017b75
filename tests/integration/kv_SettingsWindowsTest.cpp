// The key-value settings windows against the virtual printer on 127.0.0.1,
// through the real printer library, for catalogue models of both windows:
// every control must show the printer's key store when the window opens; the
// test changes every control, presses Set, and the key store must then hold
// what the controls show, with every line accepted and the printer restarted.
#include "connection/PrinterLibraries.h"
#include "core/Localization.h"
#include "core/OptionTables.h"
#include "core/PrinterSession.h"
#include "settings/PrinterCMD.h"
#include "settings/windows/FormParaSet_Kapok.h"
#include "settings/windows/FormParaSet_Larch.h"
#include "shell/StartUp.h"

#include "core/Family.h"

#include "TestSupport.h"
#include "VirtualPrinterProcess.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using pellum::testing::VirtualPrinterProcess;

namespace {

// The printer's value of a key, through the control channel.
QString Stored(VirtualPrinterProcess& vp, const char* key) {
    const std::string reply = vp.control(std::string("get ") + key);
    EXPECT_EQ(reply.rfind("OK", 0), 0u) << key << ": " << reply;
    return QString::fromStdString(reply.size() > 3 ? reply.substr(3) : std::string());
}

int Checked(QWidget* w, const QString& group) {
    for (int k = 0; k < 2; ++k) {
        auto* r = w->findChild<QRadioButton*>(group + QStringLiteral("_Item%1").arg(k));
        if (r && r->isChecked())
            return k;
    }
    return -1;
}

QComboBox* Combo(QWidget* w, const char* name) {
    return w->findChild<QComboBox*>(QString::fromLatin1(name));
}
QLineEdit* Edit(QWidget* w, const QString& name) {
    return w->findChild<QLineEdit*>(name);
}

QString AddressShown(QWidget* w, const char* row) {
    QStringList parts;
    for (int k = 1; k <= 4; ++k)
        parts << Edit(w, QString::fromLatin1(row) + QString::number(k))->text();
    return parts.join('.');
}

// Every control against the key store: "" when all match, else the first
// mismatches.
QStringList Mismatches(QWidget* w, VirtualPrinterProcess& vp, bool larch, bool bluetooth,
                       const char* platenKey) {
    QStringList out;
    auto expect = [&](bool ok, const QString& what) {
        if (!ok)
            out << what;
    };
    const struct {
        const char* combo;
        const char* key;
    } lists[] = {{"cmbDensity", "density"},   {"cmbHeatAdj", "heat_adj"},
                 {"cmbPrintSpeed", "speed"},  {"cmbProtocol", "ppl"},
                 {"cmbBaudrate", "com_baud"}, {"cmbDataBits", "com_wordlength"},
                 {"cmbParity", "com_parity"}, {"cmbStopBits", "com_stopbits"},
                 {"cmbDHCP", "eth_dhcp"}};
    for (const auto& l : lists) {
        const QString shown = Combo(w, l.combo)->currentText();
        const QString stored = Stored(vp, l.key);
        expect(OptionTables::EqualsIgnoringAsciiCase(shown, stored),
               QStringLiteral("%1 shows %2, printer %3").arg(l.combo, shown, stored));
    }
    const QString page =
        OptionTables::AsciiLower(OptionTables::ItemCode(Combo(w, "cmbCodepage")->currentText()));
    expect(page == Stored(vp, "code_page"), QStringLiteral("code page ") + page);
    const struct {
        const char* combo;
        const char* key;
        QStringList words;
    } words[] = {{"cmbJudgePaperMode", "media_sensor", {"gap", "black mark", "continuous"}},
                 {"cmbPrintMode", "print_mode", {"tear", "peel", "cutter"}}};
    for (const auto& l : words)
        expect(Combo(w, l.combo)->currentIndex() == l.words.indexOf(Stored(vp, l.key)),
               QString::fromLatin1(l.combo));
    const struct {
        const char* group;
        const char* key;
        const char* one; // the stored word of choice 1 ("!" + word: anything but it)
    } choices[] = {{"gpbAutoPosition", "media_power_up", "!none"},
                   {"gpbReprintWhenError", "reprint_after_error", "on"},
                   {"RadioGroup1", "sensor_select", "!reflective"},
                   {"g5", platenKey, "!off"},
                   {"gpbPrintType", "sw_ribbon", "on"}};
    for (const auto& c : choices) {
        if (!larch && QByteArray(c.group) == "gpbPrintType")
            continue;
        const QString stored = Stored(vp, c.key);
        const QString one = QString::fromLatin1(c.one);
        const int expected =
            one.startsWith('!') ? (stored != one.mid(1) ? 1 : 0) : (stored == one ? 1 : 0);
        expect(Checked(w, QString::fromLatin1(c.group)) == expected,
               QStringLiteral("%1 for %2").arg(c.group, stored));
    }
    expect(Edit(w, QStringLiteral("txtTearOff"))->text() == Stored(vp, "tear_off"),
           QStringLiteral("tear-off"));
    for (const auto& [row, key] : {std::pair{"txtIP", "eth_ip"}, std::pair{"txtSubnet", "eth_mask"},
                                   std::pair{"txtGateway", "eth_gateway"}})
        expect(AddressShown(w, row) == Stored(vp, key), QString::fromLatin1(row));
    if (bluetooth) {
        const QString name = Stored(vp, "bt_name");
        const QString shown = Edit(w, QStringLiteral("txtBTName"))->text();
        // The name is shown without its "-XXXX" suffix.
        expect(name == shown || name.startsWith(shown + QLatin1Char('-')),
               QStringLiteral("name ") + shown);
        expect(Edit(w, QStringLiteral("txtBTPWD"))->text() == Stored(vp, "bt_pwd"),
               QStringLiteral("PIN"));
    } else {
        // Nothing read, nothing sent: both edits stay empty.
        const QString pin = Edit(w, QStringLiteral("txtBTPWD"))->text();
        expect(Edit(w, QStringLiteral("txtBTName"))->text().isEmpty(), QStringLiteral("name"));
        expect(pin.isEmpty() || pin == Stored(vp, "bt_pwd"), QStringLiteral("PIN"));
    }
    return out;
}

class KvWindowsOnVirtualPrinter : public ::testing::Test {
protected:
    pellum::PrinterSession session;
    void SetUp() override { ASSERT_TRUE(pellum::test::UseBuiltProgram()); }
    void TearDown() override { session.SetModel(QString()); }
    pellum::test::RecordingDialogs dialogs;
};

TEST_F(KvWindowsOnVirtualPrinter, CatalogueModelsRoundTrip) {
    struct Case {
        const char* model;
        bool larch;
        bool bluetooth;
        const char* platenKey;
        const char* range;     // Label3
        bool languageShown;    // OnlyChinese hides the code page
        bool protocolEnabled;  // ProtocolDisable
        int emulation;         // position chosen, -1: keep the printer's
        const char* storedPpl; // after Set
    } cases[] = {
        {"PL-Kapok 420", false, true, "platenin_locat", "-120~+120", true, true, 1, "zpl"},
        {"PL-Teal 300", false, false, "platenin_locat", "-90~+90", false, true, -1, "tsc"},
        {"PL-Larch 620", true, false, "platenin_enter_pause", "-120~+120", true, false, -1, "tsc"},
        {"PL-Larch 630P", true, true, "platenin_enter_pause", "-120~+120", true, true, 2, "epl"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        VirtualPrinterProcess vp(
            (pellum::test::BuildBinFolder() + QStringLiteral("pellum-virtual-printer"))
                .toStdString(),
            {"--model", c.model, "--listen", "127.0.0.1:0"});
        ASSERT_TRUE(vp.start()) << vp.error();
        session.SetModel(QString::fromLatin1(c.model));
        session.SetPort(QStringLiteral("NET,127.0.0.1:%1").arg(vp.port()));
        session.SetFamily(pellum::FamilyTSPL);
        session.SetLibraryModel(QStringLiteral("Spruce"));
        ASSERT_EQ(session.Tspl().Create(QStringLiteral("Spruce")), 0);
        dialogs.messages.clear();

        std::unique_ptr<T_frmParaSet_Kapok> w;
        if (c.larch)
            w = std::make_unique<T_frmParaSet_Larch>(session.Target());
        else
            w = std::make_unique<T_frmParaSet_Kapok>(session.Target());
        w->show();
        ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages[0].text.toStdString();
        ASSERT_TRUE(w->settingsRead());
        QWidget* win = w.get();
        EXPECT_EQ(Mismatches(win, vp, c.larch, c.bluetooth, c.platenKey).join("; ").toStdString(),
                  "");
        EXPECT_EQ(win->findChild<QLabel*>(QStringLiteral("Label3"))->text(),
                  QString::fromLatin1(c.range));
        EXPECT_EQ(win->findChild<QGroupBox*>(QStringLiteral("gpbLanguage"))->isVisible(),
                  c.languageShown);
        EXPECT_EQ(Combo(win, "cmbProtocol")->isEnabled(), c.protocolEnabled);

        // Change every control the way a user would.
        if (c.emulation >= 0) {
            Combo(win, "cmbProtocol")->setCurrentIndex(c.emulation);
            Combo(win, "cmbCodepage")->setCurrentIndex(3);
        }
        for (const char* name :
             {"cmbDensity", "cmbHeatAdj", "cmbPrintSpeed", "cmbBaudrate", "cmbDataBits",
              "cmbParity", "cmbStopBits", "cmbJudgePaperMode", "cmbPrintMode"}) {
            QComboBox* combo = Combo(win, name);
            combo->setCurrentIndex((combo->currentIndex() + 1) % combo->count());
        }
        Combo(win, "cmbDHCP")->setCurrentIndex(1); // a static address
        const char* rows[] = {"txtIP", "txtSubnet", "txtGateway"};
        const char* addresses[][4] = {
            {"10", "0", "0", "42"}, {"255", "255", "0", "0"}, {"10", "0", "0", "1"}};
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 4; ++k)
                Edit(win, QString::fromLatin1(rows[r]) + QString::number(k + 1))
                    ->setText(QString::fromLatin1(addresses[r][k]));
        for (const char* group :
             {"gpbAutoPosition", "gpbReprintWhenError", "RadioGroup1", "g5", "gpbPrintType"}) {
            const int now = Checked(win, QString::fromLatin1(group));
            if (auto* r = win->findChild<QRadioButton*>(
                    QString::fromLatin1(group) + QStringLiteral("_Item%1").arg(now == 1 ? 0 : 1)))
                r->setChecked(true);
        }
        Edit(win, QStringLiteral("txtTearOff"))->setText(QStringLiteral("-20"));
        if (c.bluetooth) {
            Edit(win, QStringLiteral("txtBTPWD"))->setText(QStringLiteral("4321"));
            Edit(win, QStringLiteral("txtBTName"))->setText(QStringLiteral("Shop1"));
        }

        const std::size_t before = vp.journalLines().size();
        win->findChild<QPushButton*>(QStringLiteral("btnSet"))->click();
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_FALSE(win->isVisible());
        std::string restart;
        ASSERT_TRUE(vp.waitForLine(
            [](const std::string& l) {
                return VirtualPrinterProcess::field(l, "kind") == "do" &&
                       VirtualPrinterProcess::field(l, "key") == "reset_printer";
            },
            3000, &restart, before));
        EXPECT_EQ(VirtualPrinterProcess::field(restart, "restarted"), "true");
        // Every setting was taken; a printer without Bluetooth is sent no
        // Bluetooth name or PIN.
        int setvals = 0;
        QString firstKey;
        for (std::size_t i = before; i < vp.journalLines().size(); ++i) {
            const std::string& l = vp.journalLines()[i];
            if (VirtualPrinterProcess::field(l, "kind") != "setval")
                continue;
            const std::string key = VirtualPrinterProcess::field(l, "key");
            if (firstKey.isEmpty())
                firstKey = QString::fromStdString(key);
            ++setvals;
            EXPECT_EQ(VirtualPrinterProcess::field(l, "accepted"), "true") << l;
            EXPECT_TRUE(c.bluetooth || (key != "bt_name" && key != "bt_pwd")) << l;
        }
        EXPECT_EQ(setvals, (c.larch ? 23 : 22) - (c.bluetooth ? 0 : 2));
        EXPECT_EQ(firstKey, c.larch       ? QStringLiteral("ppl")
                            : c.bluetooth ? QStringLiteral("bt_name")
                                          : QStringLiteral("media_power_up"));

        EXPECT_EQ(Mismatches(win, vp, c.larch, c.bluetooth, c.platenKey).join("; ").toStdString(),
                  "");
        EXPECT_EQ(Stored(vp, "ppl"), QString::fromLatin1(c.storedPpl));
        EXPECT_EQ(Stored(vp, "eth_ip"), QStringLiteral("10.0.0.42"));
        if (c.bluetooth) {
            EXPECT_EQ(Stored(vp, "bt_pwd"), QStringLiteral("4321"));
            EXPECT_EQ(Stored(vp, "bt_name"), QStringLiteral("Shop1"));
        }
    }
}

} // namespace
