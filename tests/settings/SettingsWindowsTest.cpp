// The block-protocol settings windows under offscreen Qt against a scripted
// printer library.
//
// The end-to-end test opens every window on a block of random bytes, checks
// that each control shows what its bytes say, changes every control, presses
// Set and compares the block the printer received with the expected one. The
// expectations come from this file's own table of controls, offsets and
// encodings per window, written independently of the program's tables.
#include "core/Family.h"
#include "core/Localization.h"
#include "core/ModelLists.h"
#include "core/OptionTables.h"
#include "core/PrinterSession.h"
#include "settings/ParameterBlock.h"
#include "settings/windows/FormParaSetWindows.h"

#include "TestSupport.h"
#include "WindowCases.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace ParameterBlockProtocol;
using pellum::test::DelayRecorder;
using pellum::test::FakePrinterLibrary;
using pellum::test::RecordingDialogs;
using pellum::test::TempProgramFolder;

using namespace window_cases;

namespace {

class SettingsWindows : public ::testing::Test {
protected:
    pellum::PrinterSession session;
    void SetUp() override {
        App();
        folder.writeFile(QStringLiteral("PrinterTypeList_Label.ini"), kModelLists);
        folder.makeCurrent();
        pellum::models::ClearModelListCache();
        pellum::lang::LanguageId = QStringLiteral("1033");
        pellum::lang::LoadMessageTable();
        session.SetLibraryModel(QStringLiteral("PL"));
        ASSERT_EQ(session.Tspl().Create(QStringLiteral("PL")), 0);
        fake.clear();
        session.SetPort(QStringLiteral("NET,127.0.0.1:9"));
        session.SetFamily(pellum::FamilyTSPL);
        session.SetModel(QStringLiteral("ModelBT"));
    }
    void TearDown() override {
        session.SetFamily(pellum::FamilyTSPL);
        session.SetModel(QString());
    }

    // Opens the window on `block` (Maple first answers the emulation query).
    std::unique_ptr<pellum::FormParaSetEngine> Open(const QString& className,
                                                    const ParameterBlock& block) {
        fake.replies.clear();
        if (className == QLatin1String("T_frmParaSet_Maple"))
            fake.replies.push_back(QByteArray(1, '\0')); // emulation 0: ESC commands
        fake.replies.push_back(ToBytes(block));
        auto w = pellum::CreateSettingsWindow(className, session.Target());
        EXPECT_NE(w, nullptr) << className.toStdString();
        if (w)
            w->show();
        return w;
    }

    // The block received by the printer at Set (the second write after
    // `from`).
    ParameterBlock Received(std::size_t from = 0) {
        const auto writes = fake.writes();
        ParameterBlock b{};
        EXPECT_GT(writes.size(), from + 1);
        if (writes.size() > from + 1) {
            EXPECT_TRUE(FromBytes(writes[from + 1], b));
        }
        return b;
    }

    template <typename T> static T* Find(QWidget* w, const QString& name) {
        return w->findChild<T*>(name);
    }
    TempProgramFolder folder;
    FakePrinterLibrary fake;
    DelayRecorder delays;
    RecordingDialogs dialogs;
};

// What the control should show for its bytes; "" when it matches, else why.
} // namespace

TEST_F(SettingsWindows, EveryWindowShowsAndStoresItsFields) {
    unsigned seed = 100;
    for (const WindowCase& wc : Windows()) {
        SCOPED_TRACE(wc.className);
        fake.clear();
        dialogs.messages.clear();
        session.SetFamily(pellum::FamilyTSPL);
        const ParameterBlock initial = RandomBlock(++seed);
        auto w = Open(QString::fromLatin1(wc.className), initial);
        ASSERT_TRUE(w);
        ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages[0].text.toStdString();
        const auto entries = Parse(wc.table.c_str());
        for (const Entry& e : entries) {
            ASSERT_TRUE(w->findChild<QWidget*>(e.control)) << e.control.toStdString();
            EXPECT_EQ(CheckShown(w.get(), e, initial), "") << e.control.toStdString();
        }
        ParameterBlock expected = initial;
        for (const Entry& e : entries)
            ChangeAndExpect(w.get(), e, expected);
        SealBlock(expected);
        fake.clear();
        Find<QPushButton>(w.get(), QStringLiteral("btnSet"))->click();
        const ParameterBlock received = Received();
        for (int i = 0; i < kBlockSize; ++i)
            EXPECT_EQ(received[std::size_t(i)], expected[std::size_t(i)]) << "offset " << i;
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, pellum::lang::Msg(QStringLiteral("_ParaSet_OK")));
        EXPECT_FALSE(w->isVisible());
        const bool resets = QString::fromLatin1(wc.className).contains(QLatin1String("Cedar")) ||
                            QString::fromLatin1(wc.className).contains(QLatin1String("Ginkgo"));
        const auto writes = fake.writes();
        EXPECT_EQ(writes.size() > 2 && writes[2].contains("\"reset_printer\""), resets);
    }
}

TEST_F(SettingsWindows, MapleFollowsThePrinterEmulation) {
    const ParameterBlock initial = RandomBlock(9);
    auto w = Open(QStringLiteral("T_frmParaSet_Maple"), initial);
    EXPECT_EQ(w->Session().Family(), 0);
    const auto writes = fake.writes();
    ASSERT_GE(writes.size(), 2u);
    EXPECT_EQ(writes.back(), QByteArray::fromHex("1262")); // the block read in ESC form
    fake.clear();
    Find<QPushButton>(w.get(), QStringLiteral("btnSet"))->click();
    ASSERT_FALSE(fake.writes().empty());
    EXPECT_EQ(fake.writes().front(), QByteArray::fromHex("1263"));
}

TEST_F(SettingsWindows, NutmegEdgeCases) {
    ParameterBlock b = RandomBlock(1);
    b[34] = 16;    // one past the density list
    b[132] = 1;    // below the speed list
    b[130] = 0xE2; // heat -30
    b[131] = 0xFF;
    b[84] = 1; // assigned automatically
    SealBlock(b);
    auto w = Open(QStringLiteral("T_frmParaSet_Nutmeg"), b);
    auto density = Find<QComboBox>(w.get(), QStringLiteral("cmbDensity"));
    EXPECT_EQ(density->currentText(), QStringLiteral("0"));
    auto speed = Find<QComboBox>(w.get(), QStringLiteral("cmbPrintSpeed"));
    EXPECT_EQ(speed->currentIndex(), 0);
    auto heat = Find<QComboBox>(w.get(), QStringLiteral("cmbHeatAdj"));
    EXPECT_EQ(heat->currentText(), QStringLiteral("-30"));
    // DHCP: the octets are disabled but still stored.
    auto ip1 = Find<QLineEdit>(w.get(), QStringLiteral("txtIP1"));
    EXPECT_FALSE(ip1->isEnabled());
    EXPECT_FALSE(Find<QLineEdit>(w.get(), QStringLiteral("txtGateway4"))->isEnabled());
    Find<QComboBox>(w.get(), QStringLiteral("cmbDHCP"))->setCurrentIndex(0);
    EXPECT_TRUE(ip1->isEnabled());
    Find<QComboBox>(w.get(), QStringLiteral("cmbDHCP"))->setCurrentIndex(1);
    ip1->setText(QStringLiteral("255"));

    // Leave-field checks.
    auto labelMax = Find<QLineEdit>(w.get(), QStringLiteral("txtLabelMaxLength"));
    struct Check {
        const char* typed;
        const char* after;
    } checks[] = {{"401", "400"}, {"5", "38"}, {"100", "100"}, {" 7", "38"}};
    for (const Check& c : checks) {
        labelMax->setText(QString::fromLatin1(c.typed));
        EXPECT_TRUE(w->CheckValue(labelMax));
        EXPECT_EQ(labelMax->text(), QString::fromLatin1(c.after)) << c.typed;
    }
    labelMax->setText(QStringLiteral("100"));
    auto stop = Find<QLineEdit>(w.get(), QStringLiteral("txtStopPrint"));
    stop->setText(QStringLiteral("256"));
    w->CheckValue(stop);
    EXPECT_EQ(stop->text(), QStringLiteral("255"));
    auto labelMin = Find<QLineEdit>(w.get(), QStringLiteral("txtLabelMinLength"));
    labelMin->setText(QStringLiteral("999")); // not corrected when left (refused at Set)
    w->CheckValue(labelMin);
    EXPECT_EQ(labelMin->text(), QStringLiteral("999"));
    labelMin->setText(QStringLiteral("20"));

    heat->setCurrentText(QStringLiteral("-5"));
    speed->setCurrentText(QStringLiteral("3"));
    fake.clear();
    Find<QPushButton>(w.get(), QStringLiteral("btnSet"))->click();
    const ParameterBlock r = Received();
    EXPECT_EQ(r[130], 0xFB);
    EXPECT_EQ(r[131], 0xFF);
    EXPECT_EQ(r[132], 3);
    EXPECT_EQ(r[88], 255);
    EXPECT_EQ(r[134], 160); // 20 mm
    EXPECT_EQ(r[135], 0);
    EXPECT_EQ(r[84], 1);
    EXPECT_EQ(r[70], 0x20);
    EXPECT_EQ(r[71], 0x03);
    EXPECT_EQ(r[34], 0); // written back as the first entry
    // Bytes no control covers are written back as read.
    for (int i : {0, 1, 2, 3, 5, 20, 33, 57, 59, 60, 85, 200, 253})
        EXPECT_EQ(r[std::size_t(i)], b[std::size_t(i)]) << i;
}

TEST_F(SettingsWindows, SpeedListShowsTheMatchingEntry) {
    ParameterBlock b = RandomBlock(2);
    b[132] = 3;
    SealBlock(b);
    auto w = Open(QStringLiteral("T_frmParaSet_Nutmeg"), b);
    EXPECT_EQ(Find<QComboBox>(w.get(), QStringLiteral("cmbPrintSpeed"))->currentText(),
              QStringLiteral("3"));
    auto heat = Find<QComboBox>(w.get(), QStringLiteral("cmbHeatAdj"));
    heat->setCurrentText(QStringLiteral("15"));
    fake.clear();
    Find<QPushButton>(w.get(), QStringLiteral("btnSet"))->click();
    EXPECT_EQ(Received()[130], 0x0F);
    EXPECT_EQ(Received()[131], 0x00);
}

TEST_F(SettingsWindows, EmptyOrNonNumericFieldStopsSet) {
    for (const char* text : {"", "abc"}) {
        fake.clear();
        dialogs.messages.clear();
        auto w = Open(QStringLiteral("T_frmParaSet_Nutmeg"), RandomBlock(3));
        Find<QLineEdit>(w.get(), QStringLiteral("txtLabelMinLength"))
            ->setText(QString::fromLatin1(text));
        fake.clear();
        Find<QPushButton>(w.get(), QStringLiteral("btnSet"))->click();
        EXPECT_TRUE(fake.writes().empty()) << text;
        EXPECT_TRUE(w->isVisible()) << text;
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].kind, pellum::MessageKind::Error);
        EXPECT_TRUE(dialogs.messages[0].text.contains(QLatin1String("not a valid number")))
            << dialogs.messages[0].text.toStdString();
    }
}

// A value the user enters outside its field's range is refused at Set with
// a message that names the field and the range; nothing goes to the printer
// and the window stays open. Fields that are corrected when left are
// refused too when Set comes before leaving (Enter presses Set).
TEST_F(SettingsWindows, SetRefusesValuesOutsideTheirRange) {
    const struct {
        const char* cls;
        const char* field;
        const char* typed;
        const char* captionKey;
        const char* low;
        const char* high;
    } cases[] = {
        {"T_frmParaSet_Nutmeg", "txtIP1", "300", "FormParaSet_Nutmeg_lblIPAddress", "0", "255"},
        {"T_frmParaSet_Poplar", "txtSubnet3", "256", "FormParaSet_Nutmeg_lblSubnet", "0", "255"},
        {"T_frmParaSet_Quince", "txtGateway4", "999", "FormParaSet_Quince_lblDefautGateway", "0",
         "255"},
        {"T_frmParaSet_Nutmeg", "txtLabelMinLength", "501", "FormParaSet_Nutmeg_lblLabelMinLength",
         "0", "500"},
        {"T_frmParaSet_Nutmeg", "txtLabelMaxLength", "401", "FormParaSet_Nutmeg_lblLabelMaxLength",
         "38", "400"},
        {"T_frmParaSet_Maple", "txtLabelMinLength", "37", "FormParaSet_Maple_lblLabelMinLength",
         "38", "400"},
        {"T_frmParaSet_Birch", "txtMarkMaxLength", "501", "FormParaSet_Nutmeg_lblMarkMaxLength",
         "0", "500"},
        {"T_frmParaSet_Dogwood", "txtStopPrint", "256", "FormParaSet_Nutmeg_lblStopPrint1", "0",
         "255"},
        {"T_frmParaSet_Juniper", "txtHOrigin", "90", "FormParaSet_Sumac_lblHOrigin", "0", "89"},
        {"T_frmParaSet_Maple", "txtValleyThresholdRate", "101",
         "FormParaSet_Maple_lblValleyThresholdRate", "0", "100"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.cls) + " " + c.field + "=" + c.typed);
        fake.clear();
        dialogs.messages.clear();
        auto w = Open(QString::fromLatin1(c.cls), RandomBlock(30));
        ASSERT_TRUE(dialogs.messages.empty());
        if (auto dhcp = Find<QComboBox>(w.get(), QStringLiteral("cmbDHCP")))
            dhcp->setCurrentIndex(0);
        auto edit = Find<QLineEdit>(w.get(), QString::fromLatin1(c.field));
        ASSERT_TRUE(edit);
        edit->setText(QString::fromLatin1(c.typed));
        fake.clear();
        Find<QPushButton>(w.get(), QStringLiteral("btnSet"))->click();
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
    // The voltage has a decimal range.
    dialogs.messages.clear();
    auto maple = Open(QStringLiteral("T_frmParaSet_Maple"), RandomBlock(31));
    Find<QLineEdit>(maple.get(), QStringLiteral("txtVoltageBetweenLabelGap"))
        ->setText(QLocale::system().toString(3.4));
    fake.clear();
    Find<QPushButton>(maple.get(), QStringLiteral("btnSet"))->click();
    EXPECT_TRUE(fake.calls().empty());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.contains(QLocale::system().toString(3.3)));
    // The ends of a range are taken.
    dialogs.messages.clear();
    auto nutmeg = Open(QStringLiteral("T_frmParaSet_Nutmeg"), RandomBlock(32));
    Find<QLineEdit>(nutmeg.get(), QStringLiteral("txtIP4"))->setText(QStringLiteral("255"));
    Find<QLineEdit>(nutmeg.get(), QStringLiteral("txtLabelMinLength"))->setText("500");
    Find<QLineEdit>(nutmeg.get(), QStringLiteral("txtLabelMaxLength"))->setText("38");
    fake.clear();
    Find<QPushButton>(nutmeg.get(), QStringLiteral("btnSet"))->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, pellum::lang::Msg(QStringLiteral("_ParaSet_OK")));
    const ParameterBlock r = Received();
    EXPECT_EQ(r[91], 255);
    EXPECT_EQ(U16(r, 134), 4000);
    EXPECT_EQ(U16(r, 70), 304);
}

// Every hint beside a range-checked field states the range the field is
// held to, and every field that is corrected when left has such a hint.
TEST_F(SettingsWindows, HintsStateTheRangeOfTheirField) {
    for (const char* language : {"1033", "2052", "1028"}) {
        pellum::lang::LanguageId = QString::fromLatin1(language);
        pellum::lang::LoadMessageTable();
        for (const SettingsTables::WindowSpec& w : SettingsTables::AllWindows()) {
            for (const SettingsTables::Field& f : w.fields) {
                if (!f.check.active)
                    continue;
                SCOPED_TRACE(language + (" " + w.className + " " + f.control).toStdString());
                if (f.check.clamp) {
                    EXPECT_FALSE(f.trailingText.isEmpty());
                }
                if (!f.trailingText.isEmpty()) {
                    EXPECT_TRUE(SettingsTables::ResolveText(f.trailingText)
                                    .contains(SettingsTables::RangeText(f)))
                        << SettingsTables::ResolveText(f.trailingText).toStdString();
                }
            }
        }
    }
    pellum::lang::LanguageId = QStringLiteral("1033");
    pellum::lang::LoadMessageTable();
}

TEST_F(SettingsWindows, FailedReadShowsTheMessageAndClosesAfterTheTimer) {
    for (const char* cls : {"T_frmParaSet_Nutmeg", "T_frmParaSet_Maple"}) {
        fake.clear();
        dialogs.messages.clear();
        ParameterBlock bad = RandomBlock(4);
        bad[254] ^= 1;
        auto w = Open(QString::fromLatin1(cls), bad);
        ASSERT_EQ(dialogs.messages.size(), 1u) << cls;
        EXPECT_EQ(dialogs.messages[0].text, pellum::lang::Msg(QStringLiteral("_Err_CheckSum")));
        EXPECT_TRUE(w->isVisible());
        EXPECT_TRUE(w->Timer1()->isActive());
        EXPECT_EQ(w->Timer1()->interval(), 100);
        QElapsedTimer t;
        t.start();
        while (w->isVisible() && t.elapsed() < 2000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_FALSE(w->isVisible()) << cls;
        EXPECT_GE(t.elapsed(), 80);
    }
}

TEST_F(SettingsWindows, SetFailureShowsTheSetError) {
    auto w = Open(QStringLiteral("T_frmParaSet_Dogwood"), RandomBlock(5));
    fake.clear();
    fake.writeResults = {0, 7};
    Find<QPushButton>(w.get(), QStringLiteral("btnSet"))->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, pellum::lang::Msg(QStringLiteral("_Err_ParaSet")));
    EXPECT_FALSE(w->isVisible());
}

TEST_F(SettingsWindows, BluetoothAbsentCarriesTheBytesThrough) {
    session.SetModel(QStringLiteral("PlainModel"));
    struct Case {
        const char* cls;
        std::vector<int> btBytes;
        bool hidden;
    } cases[] = {
        {"T_frmParaSet_Alder", {9, 15, 24, 25, 28, 31}, true},
        {"T_frmParaSet_Ginkgo", {20, 23, 162, 199, 214}, false},
        {"T_frmParaSet_Juniper", {215, 230, 231, 234, 236}, false},
        {"T_frmParaSet_Cedar", {10, 19, 20, 23, 25}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cls);
        fake.clear();
        dialogs.messages.clear();
        const ParameterBlock b = RandomBlock(6);
        auto w = Open(QString::fromLatin1(c.cls), b);
        EXPECT_FALSE(w->HaveBT());
        auto name = Find<QLineEdit>(w.get(), QStringLiteral("txtBTName"));
        if (c.hidden)
            EXPECT_TRUE(Find<QGroupBox>(w.get(), QStringLiteral("gpbBT"))->isHidden());
        else
            EXPECT_FALSE(name->isEnabled());
        EXPECT_TRUE(name->text().isEmpty());
        fake.clear();
        Find<QPushButton>(w.get(), QStringLiteral("btnSet"))->click(); // empty PIN is fine
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, pellum::lang::Msg(QStringLiteral("_ParaSet_OK")));
        const ParameterBlock r = Received();
        for (int i : c.btBytes)
            EXPECT_EQ(r[std::size_t(i)], b[std::size_t(i)]) << i;
    }
    // Alder without Bluetooth is shorter than with it.
    auto without = Open(QStringLiteral("T_frmParaSet_Alder"), RandomBlock(6));
    session.SetModel(QStringLiteral("ModelBT"));
    auto with = Open(QStringLiteral("T_frmParaSet_Alder"), RandomBlock(6));
    EXPECT_TRUE(with->HaveBT());
    EXPECT_LT(without->height(), with->height());
}

TEST_F(SettingsWindows, BluetoothListNeedsCommasOnBothSides) {
    folder.writeFile(QStringLiteral("PrinterTypeList_Label.ini"),
                     "[ParameterSet]\nJuniperWithBT=ModelBT,Other,\n"
                     "Cedar_ParameterSetting_WithBT=,ModelBT,\n");
    pellum::models::ClearModelListCache();
    auto alder = Open(QStringLiteral("T_frmParaSet_Alder"), RandomBlock(7));
    EXPECT_FALSE(alder->HaveBT()); // at the very start, without a leading comma
    auto cedar = Open(QStringLiteral("T_frmParaSet_Cedar"), RandomBlock(7));
    EXPECT_TRUE(cedar->HaveBT());
}

TEST_F(SettingsWindows, CedarAndGinkgoRefuseAPinOfTheWrongLength) {
    for (const char* cls : {"T_frmParaSet_Cedar", "T_frmParaSet_Ginkgo"}) {
        SCOPED_TRACE(cls);
        fake.clear();
        dialogs.messages.clear();
        auto w = Open(QString::fromLatin1(cls), RandomBlock(8));
        Find<QLineEdit>(w.get(), QStringLiteral("txtBTPWD"))->setText(QStringLiteral("12"));
        fake.clear();
        Find<QPushButton>(w.get(), QStringLiteral("btnSet"))->click();
        EXPECT_TRUE(fake.writes().empty());
        EXPECT_TRUE(w->isVisible());
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, pellum::lang::Msg(QStringLiteral("_Err_BTPWD_Len")));
    }
}

TEST_F(SettingsWindows, CedarPinLiesInsideTheName) {
    auto w = Open(QStringLiteral("T_frmParaSet_Cedar"), RandomBlock(10));
    Find<QLineEdit>(w.get(), QStringLiteral("txtBTName"))->setText(QStringLiteral("Abcd"));
    Find<QLineEdit>(w.get(), QStringLiteral("txtBTPWD"))->setText(QStringLiteral("1234"));
    EXPECT_EQ(Find<QLineEdit>(w.get(), QStringLiteral("txtBTName"))->maxLength(), 9);
    auto heat = Find<QComboBox>(w.get(), QStringLiteral("cmbHeatAdj"));
    heat->setCurrentText(QStringLiteral("-10"));
    fake.clear();
    Find<QPushButton>(w.get(), QStringLiteral("btnSet"))->click();
    const ParameterBlock r = Received();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&r[10]), 16), QByteArray("Abcd\0\0\0\0\0\0"
                                                                                "1234\0\0",
                                                                                16));
    EXPECT_EQ(r[90], 0xF6);
    EXPECT_EQ(r[91], 0xFF);
}

// A value the printer holds may be longer than the field lets the user type
// (a Bluetooth name set elsewhere, a position or length out of range), or a
// name may begin or end with a byte above 0x7F that some text routines take
// for a blank (0x85, 0xA0): it is shown whole and Set writes its bytes back
// as read.
TEST_F(SettingsWindows, UntouchedValuesTravelUnchanged) {
    struct Case {
        const char* cls;
        const char* field;
        int offset;
        QByteArray bytes;
        QString shown;
    } cases[] = {
        {"T_frmParaSet_Alder", "txtBTName", 9, "Printer-ABCD1234", "Printer-ABCD1234"},
        {"T_frmParaSet_Juniper", "txtBTName", 215,
         QByteArray("\xA0Label\x85\0\0\0\0\0\0\0\0\0", 16),
         QString(QChar(0xA0)) + "Label" + QChar(0x85)},
        {"T_frmParaSet_Juniper", "txtBTName", 215, QByteArray("Label-12345\0\0\0\0\0", 16),
         "Label-12345"},
        {"T_frmParaSet_Juniper", "txtPrintToStop", 8, QByteArray(1, char(100)), "100"},
        {"T_frmParaSet_Sumac_Varro", "txtHOrigin", 12, QByteArray(1, char(200)), "200"},
        {"T_frmParaSet_Nutmeg", "txtLabelMaxLength", 70, QByteArray::fromHex("401F"), "1000"},
        {"T_frmParaSet_Maple", "txtVoltageBetweenLabelGap", 62, QByteArray::fromHex("FFFF"),
         QLocale::system().toString(52.8, 'g', 6)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.cls) + " " + c.field);
        fake.clear();
        dialogs.messages.clear();
        ParameterBlock b = RandomBlock(21);
        for (int i = 0; i < c.bytes.size(); ++i)
            b[std::size_t(c.offset + i)] = std::uint8_t(c.bytes[i]);
        SealBlock(b);
        auto w = Open(QString::fromLatin1(c.cls), b);
        auto edit = Find<QLineEdit>(w.get(), QString::fromLatin1(c.field));
        ASSERT_TRUE(edit);
        EXPECT_EQ(edit->text(), c.shown);
        fake.clear();
        Find<QPushButton>(w.get(), QStringLiteral("btnSet"))->click();
        const ParameterBlock r = Received();
        for (int i = 0; i < c.bytes.size(); ++i)
            EXPECT_EQ(r[std::size_t(c.offset + i)], b[std::size_t(c.offset + i)]) << c.offset + i;
    }
}

TEST_F(SettingsWindows, PaperTypeEncodings) {
    ParameterBlock maple = RandomBlock(11);
    maple[59] = 3;
    SealBlock(maple);
    auto m = Open(QStringLiteral("T_frmParaSet_Maple"), maple);
    EXPECT_EQ(Find<QComboBox>(m.get(), QStringLiteral("cmbJudgePaperMode"))->currentText(),
              pellum::lang::Msg(QStringLiteral("_PaperType_BlackMark")));
    // Every character set stores its own position.
    auto charset = Find<QComboBox>(m.get(), QStringLiteral("cmbInternationalCharacter"));
    charset->setCurrentText(QStringLiteral("Denmark \u2161"));
    Find<QLineEdit>(m.get(), QStringLiteral("txtVoltageBetweenLabelGap"))
        ->setText(QStringLiteral("1.5"));
    fake.clear();
    Find<QPushButton>(m.get(), QStringLiteral("btnSet"))->click();
    ParameterBlock r = Received();
    EXPECT_EQ(r[59], 3);
    EXPECT_EQ(r[58], 2);
    EXPECT_EQ(r[56], 10);
    EXPECT_EQ(r[62], 0x46);
    EXPECT_EQ(r[63], 0x07);

    ParameterBlock quince = RandomBlock(12);
    quince[59] = 0;
    SealBlock(quince);
    fake.clear();
    auto q = Open(QStringLiteral("T_frmParaSet_Quince"), quince);
    EXPECT_EQ(Find<QComboBox>(q.get(), QStringLiteral("cmbJudgePaperMode"))->currentIndex(), 0);
    fake.clear();
    Find<QPushButton>(q.get(), QStringLiteral("btnSet"))->click();
    r = Received();
    EXPECT_EQ(r[59], 1);
    EXPECT_EQ(r[58], 1);
}

TEST_F(SettingsWindows, JuniperDetectModeEnablesTheReprintSwitches) {
    ParameterBlock b = RandomBlock(13);
    b[60] = 0;
    SealBlock(b);
    auto w = Open(QStringLiteral("T_frmParaSet_Juniper"), b);
    auto reprint = Find<QGroupBox>(w.get(), QStringLiteral("gpbReprintWhenError"));
    auto notice = Find<QGroupBox>(w.get(), QStringLiteral("gpbPrintReprint"));
    EXPECT_FALSE(reprint->isEnabled());
    EXPECT_FALSE(notice->isEnabled());
    Find<QComboBox>(w.get(), QStringLiteral("cmbDetectMode"))->setCurrentIndex(2);
    EXPECT_TRUE(reprint->isEnabled());
    EXPECT_TRUE(notice->isEnabled());
    Find<QComboBox>(w.get(), QStringLiteral("cmbDetectMode"))->setCurrentIndex(0);
    EXPECT_FALSE(reprint->isEnabled());
    // Empty position fields become "0" when left.
    auto pos = Find<QLineEdit>(w.get(), QStringLiteral("txtHOrigin"));
    pos->setText(QString());
    EXPECT_TRUE(w->CheckValue(pos));
    EXPECT_EQ(pos->text(), QStringLiteral("0"));
    pos->setText(QStringLiteral("95"));
    w->CheckValue(pos);
    EXPECT_EQ(pos->text(), QStringLiteral("89"));
    fake.clear();
    Find<QPushButton>(w.get(), QStringLiteral("btnSet"))->click();
    const ParameterBlock r = Received();
    EXPECT_EQ(r[76], b[76] ? 1 : 0); // disabled, still stored
    EXPECT_EQ(r[80], b[80] ? 1 : 0);
    EXPECT_EQ(r[12], 89);
}

TEST_F(SettingsWindows, ModelSpecificDisabling) {
    session.SetModel(QStringLiteral("Elm"));
    ParameterBlock b = RandomBlock(14);
    b[76] = 1;
    SealBlock(b);
    for (const char* cls : {"T_frmParaSet_Poplar", "T_frmParaSet_Poplar_Varro"}) {
        fake.clear();
        auto w = Open(QString::fromLatin1(cls), b);
        EXPECT_FALSE(Find<QGroupBox>(w.get(), QStringLiteral("gpbPrintType"))->isEnabled());
        fake.clear();
        Find<QPushButton>(w.get(), QStringLiteral("btnSet"))->click();
        EXPECT_EQ(Received()[76], 1) << cls;
    }
    session.SetModel(QStringLiteral("Willow"));
    auto ilex = Open(QStringLiteral("T_frmParaSet_Ilex"), b);
    EXPECT_FALSE(Find<QGroupBox>(ilex.get(), QStringLiteral("gpbLanguage"))->isEnabled());
    EXPECT_FALSE(Find<QComboBox>(ilex.get(), QStringLiteral("cmbCodepage"))->isEnabled());
    session.SetModel(QStringLiteral("ModelBT"));
    auto other = Open(QStringLiteral("T_frmParaSet_Ilex"), b);
    EXPECT_TRUE(Find<QGroupBox>(other.get(), QStringLiteral("gpbLanguage"))->isEnabled());
}

TEST_F(SettingsWindows, SumacEmptyDensityEntryAndCaption) {
    ParameterBlock b = RandomBlock(15);
    b[57] = 5;
    b[12] = 42; // a horizontal origin that fits the fields' digits
    SealBlock(b);
    auto w = Open(QStringLiteral("T_frmParaSet_Sumac"), b);
    auto density = Find<QComboBox>(w.get(), QStringLiteral("cmbDensity"));
    EXPECT_EQ(density->count(), 6);
    EXPECT_EQ(density->currentIndex(), 5);
    EXPECT_TRUE(density->currentText().isEmpty());
    EXPECT_EQ(w->windowTitle(), pellum::lang::LangText(QStringLiteral("ORVIX_ParaSet")));
    EXPECT_EQ(Find<QWidget>(w.get(), QStringLiteral("lblStopPrint1"))->width(), 108);
    auto stop = Find<QWidget>(w.get(), QStringLiteral("txtStopPrint"));
    EXPECT_EQ(stop->x(),
              Find<QWidget>(w.get(), QStringLiteral("lblStopPrint1"))->geometry().right() + 1 + 5);
    EXPECT_EQ(Find<QLineEdit>(w.get(), QStringLiteral("txtHOrigin"))->maxLength(), 3);
    fake.clear();
    Find<QPushButton>(w.get(), QStringLiteral("btnSet"))->click();
    EXPECT_EQ(Received()[57], 5);

    auto varro = Open(QStringLiteral("T_frmParaSet_Sumac_Varro"), b);
    EXPECT_EQ(varro->windowTitle(), pellum::lang::Msg(QStringLiteral("_ParaSet")));
    EXPECT_EQ(Find<QLineEdit>(varro.get(), QStringLiteral("txtHOrigin"))->maxLength(), 2);
}

TEST_F(SettingsWindows, OnlyChineseHidesTheLanguageGroup) {
    const ParameterBlock b = RandomBlock(16);
    auto normal = Open(QStringLiteral("T_frmParaSet_Nutmeg"), b);
    const auto setNormal = Find<QPushButton>(normal.get(), QStringLiteral("btnSet"))->geometry();
    session.SetModel(QStringLiteral("ChineseModel"));
    auto chinese = Open(QStringLiteral("T_frmParaSet_Nutmeg"), b);
    EXPECT_TRUE(Find<QGroupBox>(chinese.get(), QStringLiteral("gpbLanguage"))->isHidden());
    const auto set = Find<QPushButton>(chinese.get(), QStringLiteral("btnSet"))->geometry();
    const auto close = Find<QPushButton>(chinese.get(), QStringLiteral("btnClose"))->geometry();
    EXPECT_EQ(set.y(), setNormal.y() - setNormal.height());
    EXPECT_EQ(close.y(), set.y());
    // The values of the hidden group are still stored.
    fake.clear();
    Find<QPushButton>(chinese.get(), QStringLiteral("btnSet"))->click();
    EXPECT_EQ(Received()[56], b[56] < 16 ? b[56] : 0);

    // Stop-print placement: 3 pixels after the label, the second label 3 after the field.
    auto l1 = Find<QWidget>(normal.get(), QStringLiteral("lblStopPrint1"))->geometry();
    auto f = Find<QWidget>(normal.get(), QStringLiteral("txtStopPrint"))->geometry();
    auto l2 = Find<QWidget>(normal.get(), QStringLiteral("lblStopPrint2"))->geometry();
    EXPECT_EQ(f.x(), l1.right() + 1 + 3);
    EXPECT_EQ(l2.x(), f.right() + 1 + 3);
}

TEST_F(SettingsWindows, EveryTextKeyIsInEveryLanguage) {
    QStringList keys;
    for (const SettingsTables::WindowSpec& w : SettingsTables::AllWindows()) {
        keys << w.captionKey;
        for (const auto& g : w.groups)
            keys << g.captionKey;
        for (const auto& f : w.fields)
            keys << f.captionKey << f.trailingText << f.entries;
    }
    keys << QStringLiteral("FormParaSet_Err_NotANumber")
         << QStringLiteral("FormParaSet_Err_OutOfRange");
    keys.removeDuplicates();
    for (const char* language : {"1033", "2052", "1028"}) {
        pellum::lang::LanguageId = QString::fromLatin1(language);
        pellum::lang::LoadMessageTable();
        for (const QString& key : keys) {
            const bool isKey = key.startsWith('_') ||
                               key.startsWith(QLatin1String("FormParaSet_")) ||
                               key.startsWith(QLatin1String("ORVIX_"));
            if (!isKey)
                continue;
            EXPECT_FALSE(SettingsTables::ResolveText(key).isEmpty())
                << language << " " << key.toStdString();
        }
    }
    pellum::lang::LanguageId = QStringLiteral("1033");
}

TEST_F(SettingsWindows, KeyFiltersAndLeavingAField) {
    auto press = [](QWidget* target, const QString& text) {
        QKeyEvent down(QEvent::KeyPress, 0, Qt::NoModifier, text);
        QApplication::sendEvent(target, &down);
    };
    auto w = Open(QStringLiteral("T_frmParaSet_Cedar"), RandomBlock(17));
    struct Case {
        const char* field;
        const char* typed;
        const char* kept; // what the filter let through
    } cases[] = {
        {"txtBTPWD", "1a2 -3", "123"},    // CheckImportBTP: digits only
        {"txtBTName", "ab c!~", "abc!~"}, // CheckImportBTN: no space
    };
    for (const Case& c : cases) {
        auto edit = Find<QLineEdit>(w.get(), QString::fromLatin1(c.field));
        edit->clear();
        for (const QChar ch : QString::fromLatin1(c.typed))
            press(edit, QString(ch));
        EXPECT_EQ(edit->text(), QString::fromLatin1(c.kept)) << c.field;
    }
    auto nutmeg = Open(QStringLiteral("T_frmParaSet_Nutmeg"), RandomBlock(18));
    auto stop = Find<QLineEdit>(nutmeg.get(), QStringLiteral("txtStopPrint"));
    stop->clear();
    for (const QChar ch : QStringLiteral("4x0.0"))
        press(stop, QString(ch));
    EXPECT_EQ(stop->text(), QStringLiteral("400")); // CheckImportNumber
    // Leaving the field applies its check.
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(stop, &out);
    EXPECT_EQ(stop->text(), QStringLiteral("255"));
    dialogs.messages.clear();
    stop->clear();
    QApplication::sendEvent(stop, &out);
    ASSERT_EQ(dialogs.messages.size(), 1u); // an empty checked field: the conversion message
    EXPECT_EQ(dialogs.messages[0].kind, pellum::MessageKind::Error);
}

TEST_F(SettingsWindows, WindowForEachModel) {
    TempProgramFolder shipped; // the shipped model lists
    shipped.makeCurrent();
    pellum::models::ClearModelListCache();
    struct Case {
        const char* model;
        bool firmwareNew;
        const char* window;
    } cases[] = {
        {"PL-Juniper 350BT", true, "T_frmParaSet_Juniper"}, // rule 2 before the Sumac rule
        {"PL-Sumac 330", true, "T_frmParaSet_Sumac"},
        {"PL-Sumac 330", false, "T_frmParaSet_Sumac_Varro"},
        {"PL-Rowan 720", false, "T_frmParaSet_Quince_Rowan"},
        {"PL-Quince 720", true, "T_frmParaSet_Quince"},
        {"PL-Quince 720", false, "T_frmParaSet_Quince_Varro"},
        {"Elm", false, "T_frmParaSet_Poplar_Varro"},
        {"PL-Wattle 58", true, "T_frmParaSet_Maple"},
        {"PL-Kapok 420", true, "T_frmParaSet_Kapok"},
        {"Willow", true, "T_frmParaSet_Ilex"},
        {"No Such Model", true, "T_frmParaSet_Maple"},
    };
    for (const Case& c : cases) {
        session.SetModel(QString::fromLatin1(c.model));
        QStringList asked;
        const QString window =
            SettingsTables::WindowClassForModel(session.Model(), [&](const QString& v) {
                asked << v;
                return c.firmwareNew;
            });
        EXPECT_EQ(window, QString::fromLatin1(c.window)) << c.model;
    }
    // Every block window opens by its registered name.
    for (const auto& spec : SettingsTables::AllWindows())
        EXPECT_NE(pellum::CreateSettingsWindow(spec.className, session.Target()), nullptr);
    EXPECT_EQ(pellum::CreateSettingsWindow(QStringLiteral("T_frmParaSet_Kapok"), session.Target()),
              nullptr);
}
