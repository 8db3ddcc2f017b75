// The block-protocol settings windows under offscreen Qt against a scripted
// printer library.
//
// The end-to-end test opens every window on a block of random bytes, checks
// that each control shows what its bytes say, changes every control, presses
// Set and compares the block the printer received with the expected one. The
// expectations come from this file's own table of controls, offsets and
// encodings per window, written independently of the program's tables.
#include "connection/mdlPrinterLib_TSPL.h"
#include "settings/OptionTables.h"
#include "settings/ParameterBlock.h"
#include "settings/windows/FormParaSetWindows.h"
#include "shell/Localization.h"
#include "shell/mdlFunction.h"
#include "shell/mdlGlobal.h"

#include "TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
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

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "settings_windows_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// A model with Bluetooth in both Bluetooth lists, speeds 2-5; a model
// without Bluetooth; a model in OnlyChinese.
const QByteArray kModelLists = "[ParameterSet]\n"
                               "JuniperWithBT=,ModelBT,\n"
                               "Cedar_ParameterSetting_WithBT=,ModelBT,\n"
                               "IPS5=ModelBT,PlainModel,ChineseModel,Elm,\n"
                               "OnlyChinese=ChineseModel,\n";

ParameterBlock RandomBlock(unsigned seed) {
    std::mt19937 rng(seed);
    ParameterBlock b{};
    b[0] = kMarker;
    for (int i = 1; i < kChecksumOffset; ++i)
        b[std::size_t(i)] = std::uint8_t(rng() & 0xFF);
    SealBlock(b);
    return b;
}

// Encodings, as letters in the tables below.
//   i index list   s switch       n number      o IPv4 octet   m millimetres (2 bytes)
//   p speed list   h heat (2)     c code page   x character set
//   v volts (2)    t name (16)    q PIN (4)     b pairing box
//   M Maple paper type (and 58)   Q Quince paper type (and 58)
struct Entry {
    QString control;
    int offset;
    char code;
};

std::vector<Entry> Parse(const char* table) {
    std::vector<Entry> out;
    for (const QString& item : QString::fromLatin1(table).split(' ', Qt::SkipEmptyParts)) {
        const auto at = item.indexOf('@');
        const auto colon = item.indexOf(':');
        out.push_back({item.left(at), item.mid(at + 1, colon - at - 1).toInt(),
                       item.at(colon + 1).toLatin1()});
    }
    return out;
}

const char* kOctets = " txtIP1@88:o txtIP2@89:o txtIP3@90:o txtIP4@91:o txtSubnet1@92:o "
                      "txtSubnet2@93:o txtSubnet3@94:o txtSubnet4@95:o txtGateway1@96:o "
                      "txtGateway2@97:o txtGateway3@98:o txtGateway4@99:o";

struct WindowCase {
    const char* className;
    std::string table;
};

std::vector<WindowCase> Windows() {
    const std::string octets = kOctets;
    return {
        {"T_frmParaSet_Nutmeg",
         "cmbBaudRate@4:i cmbParity@105:i cmbStopBits@107:i cmbInternationalCharacter@56:x "
         "cmbCodepage@55:c cmbJudgePaperMode@58:i txtMarkMaxLength@68:m txtLabelMinLength@134:m "
         "txtLabelMaxLength@70:m cmbHeatAdj@130:h cmbPrintSpeed@132:p cmbDensity@34:i "
         "cmbDHCP@84:i gpbAutoPosition@83:s gpbSmallLabel@101:s gpbReprintWhenError@100:s "
         "gpbPrintReprint@113:s txtStopPrint@114:n" +
             octets},
        {"T_frmParaSet_Alder",
         "txtBTName@9:t txtBTPWD@25:q chkSimplePairing@31:b cmbCodepage@55:c cmbDensity@34:i "
         "gpbAutoPosition@83:s cmbJudgePaperMode@58:i gpbReprintWhenError@100:s "
         "gpbPrintReprint@113:s txtStopPrint@114:n cmbPrintSpeed@132:p cmbHeatAdj@130:h"},
        {"T_frmParaSet_Birch",
         "cmbInternationalCharacter@56:x cmbCodepage@55:c cmbJudgePaperMode@58:i "
         "gpbAutoPosition@83:s txtLabelMinLength@134:m txtLabelMaxLength@70:m "
         "txtMarkMaxLength@68:m gpbReprintWhenError@100:s gpbSmallLabel@101:s "
         "gpbPrintReprint@113:s txtStopPrint@114:n cmbDensity@34:i cmbPrintSpeed@132:p "
         "cmbHeatAdj@130:h"},
        {"T_frmParaSet_Cedar",
         "txtBTName@10:t txtBTPWD@20:q cmbInternationalCharacter@56:x cmbCodepage@55:c "
         "ComboBox1@67:i gpbAutoPosition@82:s cmbJudgePaperMode@58:i cmbDensity@34:i "
         "cmbHeatAdj@90:h cmbPrintSpeed@92:p"},
        {"T_frmParaSet_Dogwood",
         "cmbJudgePaperMode@58:i gpbAutoPosition@83:s gpbReprintWhenError@100:s "
         "gpbPrintReprint@113:s txtStopPrint@114:n cmbDensity@34:i cmbPrintSpeed@132:p "
         "cmbHeatAdj@130:h"},
        {"T_frmParaSet_Ginkgo",
         "txtBTName@199:t txtBTPWD@20:q chkSimplePairing@162:b cmbInternationalCharacter@56:x "
         "cmbCodepage@55:c gpbAutoPosition@83:s cmbJudgePaperMode@58:i gpbReprintWhenError@100:s "
         "gpbPrintReprint@113:s txtStopPrint@114:n cmbDensity@34:i cmbPrintSpeed@132:p "
         "cmbHeatAdj@130:h"},
        {"T_frmParaSet_Hazel",
         "cmbJudgePaperMode@58:i gpbAutoPosition@83:s txtLabelMinLength@134:m "
         "txtLabelMaxLength@70:m txtMarkMaxLength@68:m gpbReprintWhenError@100:s "
         "gpbSmallLabel@101:s gpbPrintReprint@113:s txtStopPrint@114:n cmbDensity@34:i "
         "cmbPrintSpeed@132:p cmbHeatAdj@130:h"},
        {"T_frmParaSet_Ilex",
         "cmbInternationalCharacter@56:x cmbCodepage@55:c cmbJudgePaperMode@58:i "
         "gpbAutoPosition@83:s gpbReprintWhenError@100:s gpbPrintReprint@113:s "
         "txtStopPrint@114:n cmbDensity@34:i cmbPrintSpeed@132:p cmbHeatAdj@130:h"},
        {"T_frmParaSet_Juniper",
         "txtBTName@215:t txtBTPWD@231:q chkSimplePairing@236:b cmbCodepage@58:c "
         "cmbDensity@57:i cmbDetectMode@60:i txtPrintToStop@8:n txtHOrigin@12:n txtVOrigin@14:n "
         "gpbReprintWhenError@76:s gpbPrintReprint@80:s cmbPrintSpeed@78:p cmbHeatAdj@84:h"},
        {"T_frmParaSet_Maple",
         "cmbBaudRate@4:i cmbInternationalCharacter@56:x gpbAutoPosition@82:s cmbCodepage@55:c "
         "cmbDensity@34:i cmbJudgePaperMode@59:M cmbProtocolType@61:i txtMarkMaxLength@68:m "
         "txtLabelMinLength@64:m txtLabelMaxLength@70:m txtValleyThresholdRate@66:n "
         "txtVoltageBetweenLabelGap@62:v cmbHeatAdj@90:h cmbPrintSpeed@92:p"},
        {"T_frmParaSet_Poplar",
         "cmbBaudRate@4:i cmbParity@105:i cmbStopBits@107:i cmbInternationalCharacter@56:x "
         "cmbCodepage@55:c cmbJudgePaperMode@58:i gpbPrintType@76:s gpbAutoPosition@83:s "
         "txtLabelMinLength@134:m txtLabelMaxLength@70:m txtMarkMaxLength@68:m "
         "gpbReprintWhenError@100:s gpbSmallLabel@101:s gpbPrintReprint@113:s "
         "txtStopPrint@114:n cmbDensity@34:i cmbDHCP@84:i" +
             octets},
        {"T_frmParaSet_Poplar_Varro",
         "cmbBaudRate@4:i cmbParity@105:i cmbStopBits@107:i cmbInternationalCharacter@56:x "
         "cmbCodepage@55:c cmbJudgePaperMode@58:i gpbPrintType@76:s gpbAutoPosition@83:s "
         "gpbReprintWhenError@100:s gpbSmallLabel@101:s gpbPrintReprint@113:s "
         "txtStopPrint@114:n cmbDensity@34:i cmbDHCP@84:i cmbPrintSpeed@132:p cmbHeatAdj@130:h" +
             octets},
        {"T_frmParaSet_Quince",
         "cmbDensity@34:i gpbPrintType@76:s gpbAutoPosition@83:s txtLabelMaxLength@70:m "
         "cmbCodepage@55:c cmbJudgePaperMode@59:Q gpbReprintWhenError@100:s gpbSmallLabel@101:s "
         "txtStopPrint@104:n cmbDHCP@84:i" +
             octets},
        {"T_frmParaSet_Quince_Varro",
         "cmbDensity@34:i gpbPrintType@76:s gpbAutoPosition@83:s cmbCodepage@55:c "
         "cmbJudgePaperMode@59:Q gpbReprintWhenError@100:s gpbSmallLabel@101:s "
         "txtStopPrint@104:n cmbDHCP@84:i cmbPrintSpeed@126:p cmbHeatAdj@128:h" +
             octets},
        {"T_frmParaSet_Quince_Rowan",
         "cmbDensity@34:i gpbPrintType@76:s gpbAutoPosition@83:s txtLabelMaxLength@70:m "
         "cmbCodepage@55:c cmbJudgePaperMode@59:Q gpbReprintWhenError@100:s gpbSmallLabel@101:s "
         "txtStopPrint@104:n cmbPrintSpeed@126:p cmbHeatAdj@128:h"},
        {"T_frmParaSet_Sumac",
         "cmbBaudRate@52:i cmbCodepage@58:c cmbDensity@57:i cmbBuzzerSound@68:i "
         "cmbBackLight@69:i cmbSenserLoaction@79:i txtPrintToStop@8:n txtHOrigin@12:n "
         "txtVOrigin@14:n gpbReprintWhenError@76:s gpbPrintReprint@80:s txtStopPrint@82:n"},
        {"T_frmParaSet_Sumac_Varro",
         "cmbBaudRate@52:i cmbCodepage@58:c cmbDensity@57:i cmbBuzzerSound@68:i "
         "cmbBackLight@69:i cmbSenserLoaction@79:i txtPrintToStop@8:n txtHOrigin@12:n "
         "txtVOrigin@14:n gpbReprintWhenError@76:s gpbPrintReprint@80:s txtStopPrint@82:n "
         "RadioGroup1@81:s cmbPrintSpeed@78:p cmbHeatAdj@84:h"},
    };
}

QRadioButton* Radio(QWidget* w, const QString& name, int choice) {
    return w->findChild<QRadioButton*>(name + QStringLiteral("_Item%1").arg(choice));
}

int U16(const ParameterBlock& b, int o) {
    return b[std::size_t(o)] | (b[std::size_t(o) + 1] << 8);
}

QString TextAt(const ParameterBlock& b, int o, int width) {
    QString s;
    for (int i = 0; i < width && b[std::size_t(o + i)] > 0x20; ++i)
        s += QChar(char16_t(b[std::size_t(o + i)]));
    return s;
}

void PutText(ParameterBlock& b, int o, int width, const QString& text) {
    for (int i = 0; i < width; ++i)
        b[std::size_t(o + i)] = i < text.size() ? std::uint8_t(text.at(i).unicode()) : 0;
}

class SettingsWindows : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        folder.writeFile(QStringLiteral("PrinterTypeList_Label.ini"), kModelLists);
        folder.makeCurrent();
        mdlFunction::ClearModelListCache();
        mdlGlobal::LanguageId = QStringLiteral("1033");
        Localization::LoadMessageTable();
        ASSERT_EQ(TsplCreatePrinter(QStringLiteral("PL")), 0);
        fake.clear();
        mdlGlobal::CurrentPort = QStringLiteral("NET,127.0.0.1:9");
        mdlGlobal::CurrentFamily = mdlGlobal::FamilyTSPL;
        mdlGlobal::CurrentModel = QStringLiteral("ModelBT");
    }
    void TearDown() override {
        mdlGlobal::CurrentFamily = mdlGlobal::FamilyTSPL;
        mdlGlobal::CurrentModel.clear();
    }

    // Opens the window on `block` (Maple first answers the emulation query).
    std::unique_ptr<pellum::FormParaSetEngine> Open(const QString& className,
                                                    const ParameterBlock& block) {
        fake.replies.clear();
        if (className == QLatin1String("T_frmParaSet_Maple"))
            fake.replies.push_back(QByteArray(1, '\0')); // emulation 0: ESC commands
        fake.replies.push_back(ToBytes(block));
        auto w = pellum::CreateSettingsWindow(className);
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
std::string CheckShown(QWidget* w, const Entry& e, const ParameterBlock& b) {
    const int v = b[std::size_t(e.offset)];
    auto combo = w->findChild<QComboBox*>(e.control);
    auto edit = w->findChild<QLineEdit*>(e.control);
    auto firstUnless = [&](int index) { return index >= 0 && index < combo->count() ? index : 0; };
    int expectedIndex = -1;
    QString expectedText;
    switch (e.code) {
    case 'i':
    case 'x':
    case 'M':
        expectedIndex = firstUnless(v);
        break;
    case 'Q':
        expectedIndex = firstUnless(v - 1);
        break;
    case 'p':
        expectedIndex = firstUnless(v - 2);
        break;
    case 'h': {
        const int heat = b[std::size_t(e.offset) + 1] ? v - 256 : v;
        expectedIndex = firstUnless(combo->findText(QString::number(heat)));
        break;
    }
    case 'c': {
        const QString name = OptionTables::CodepageNumber(
            QString::number(v), OptionTables::CodepageDirection::NumberToName);
        expectedIndex = firstUnless(combo->findText(name));
        break;
    }
    case 's': {
        const bool on = Radio(w, e.control, 1)->isChecked();
        const bool off = Radio(w, e.control, 0)->isChecked();
        return (on == (v != 0) && off == (v == 0)) ? "" : "switch";
    }
    case 'b':
        return w->findChild<QCheckBox*>(e.control)->isChecked() == (v == 1) ? "" : "pairing";
    case 'n':
    case 'o':
        expectedText = QString::number(v).left(edit->maxLength());
        break;
    case 'm':
        expectedText = QString::number(U16(b, e.offset) / 8).left(3);
        break;
    case 'v':
        expectedText = QLocale::system()
                           .toString(std::round(U16(b, e.offset) * 3.3 / 4096 * 10) / 10, 'g', 6)
                           .left(3);
        break;
    case 't':
        expectedText = TextAt(b, e.offset, 16).left(edit->maxLength());
        break;
    case 'q':
        expectedText = TextAt(b, e.offset, 4);
        break;
    }
    if (expectedIndex >= 0) {
        if (!combo)
            return "no list";
        return combo->currentIndex() == expectedIndex
                   ? ""
                   : "index " + std::to_string(combo->currentIndex()) + " expected " +
                         std::to_string(expectedIndex);
    }
    if (!edit)
        return "no field";
    return edit->text() == expectedText ? ""
                                        : "text '" + edit->text().toStdString() + "' expected '" +
                                              expectedText.toStdString() + "'";
}

// Changes the control to another valid value and applies it to `expected`.
void ChangeAndExpect(QWidget* w, const Entry& e, ParameterBlock& expected) {
    auto combo = w->findChild<QComboBox*>(e.control);
    const std::size_t o = std::size_t(e.offset);
    if (combo) {
        const int next = (combo->currentIndex() + 1) % combo->count();
        combo->setCurrentIndex(next);
        const QString text = combo->currentText();
        switch (e.code) {
        case 'i':
        case 'x':
            expected[o] = std::uint8_t(next);
            break;
        case 'p':
            expected[o] = std::uint8_t(text.toInt());
            break;
        case 'h':
            expected[o] = std::uint8_t(text.toInt() & 0xFF);
            expected[o + 1] = text.toInt() < 0 ? 0xFF : 0x00;
            break;
        case 'c':
            expected[o] = std::uint8_t(
                OptionTables::CodepageNumber(text, OptionTables::CodepageDirection::NameToNumber)
                    .toInt());
            break;
        case 'M':
            expected[o] = std::uint8_t(next);
            expected[58] = std::uint8_t(std::array<int, 4>{0, 1, 0, 2}[std::size_t(next)]);
            break;
        case 'Q':
            expected[o] = std::uint8_t(next + 1);
            expected[58] = std::uint8_t(std::array<int, 3>{1, 0, 2}[std::size_t(next)]);
            break;
        }
        return;
    }
    if (e.code == 's') {
        const bool on = Radio(w, e.control, 1)->isChecked();
        Radio(w, e.control, on ? 0 : 1)->setChecked(true);
        expected[o] = on ? 0 : 1;
        return;
    }
    if (e.code == 'b') {
        auto box = w->findChild<QCheckBox*>(e.control);
        box->setChecked(!box->isChecked());
        expected[o] = box->isChecked() ? 1 : 0;
        return;
    }
    auto edit = w->findChild<QLineEdit*>(e.control);
    switch (e.code) {
    case 'n':
        edit->setText(QStringLiteral("42"));
        expected[o] = 42;
        break;
    case 'o':
        edit->setText(QString::number(200 + e.offset % 50));
        expected[o] = std::uint8_t(200 + e.offset % 50);
        break;
    case 'm':
        edit->setText(QStringLiteral("100"));
        expected[o] = 0x20;
        expected[o + 1] = 0x03;
        break;
    case 'v':
        edit->setText(QStringLiteral("1.5"));
        expected[o] = 0x46;
        expected[o + 1] = 0x07;
        break;
    case 't':
        edit->setText(QStringLiteral(" Pellum9 ")); // surrounding spaces are dropped
        PutText(expected, e.offset, 16, QStringLiteral("Pellum9"));
        break;
    case 'q':
        edit->setText(QStringLiteral("4321"));
        PutText(expected, e.offset, 4, QStringLiteral("4321"));
        break;
    }
}

} // namespace

TEST_F(SettingsWindows, EveryWindowShowsAndStoresItsFields) {
    unsigned seed = 100;
    for (const WindowCase& wc : Windows()) {
        SCOPED_TRACE(wc.className);
        fake.clear();
        dialogs.messages.clear();
        mdlGlobal::CurrentFamily = mdlGlobal::FamilyTSPL;
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
        EXPECT_EQ(dialogs.messages[0].text, Localization::Msg(QStringLiteral("_ParaSet_OK")));
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
    EXPECT_EQ(mdlGlobal::CurrentFamily.load(), 0);
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
    ip1->setText(QStringLiteral("300"));

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
    labelMin->setText(QStringLiteral("999")); // no check
    w->CheckValue(labelMin);
    EXPECT_EQ(labelMin->text(), QStringLiteral("999"));

    heat->setCurrentText(QStringLiteral("-5"));
    speed->setCurrentText(QStringLiteral("3"));
    fake.clear();
    Find<QPushButton>(w.get(), QStringLiteral("btnSet"))->click();
    const ParameterBlock r = Received();
    EXPECT_EQ(r[130], 0xFB);
    EXPECT_EQ(r[131], 0xFF);
    EXPECT_EQ(r[132], 3);
    EXPECT_EQ(r[88], 44);
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

TEST_F(SettingsWindows, FailedReadShowsTheMessageAndClosesAfterTheTimer) {
    for (const char* cls : {"T_frmParaSet_Nutmeg", "T_frmParaSet_Maple"}) {
        fake.clear();
        dialogs.messages.clear();
        ParameterBlock bad = RandomBlock(4);
        bad[254] ^= 1;
        auto w = Open(QString::fromLatin1(cls), bad);
        ASSERT_EQ(dialogs.messages.size(), 1u) << cls;
        EXPECT_EQ(dialogs.messages[0].text, Localization::Msg(QStringLiteral("_Err_CheckSum")));
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
    EXPECT_EQ(dialogs.messages[0].text, Localization::Msg(QStringLiteral("_Err_ParaSet")));
    EXPECT_FALSE(w->isVisible());
}

TEST_F(SettingsWindows, BluetoothAbsentCarriesTheBytesThrough) {
    mdlGlobal::CurrentModel = QStringLiteral("PlainModel");
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
        EXPECT_EQ(dialogs.messages[0].text, Localization::Msg(QStringLiteral("_ParaSet_OK")));
        const ParameterBlock r = Received();
        for (int i : c.btBytes)
            EXPECT_EQ(r[std::size_t(i)], b[std::size_t(i)]) << i;
    }
    // Alder without Bluetooth is shorter than with it.
    auto without = Open(QStringLiteral("T_frmParaSet_Alder"), RandomBlock(6));
    mdlGlobal::CurrentModel = QStringLiteral("ModelBT");
    auto with = Open(QStringLiteral("T_frmParaSet_Alder"), RandomBlock(6));
    EXPECT_TRUE(with->HaveBT());
    EXPECT_LT(without->height(), with->height());
}

TEST_F(SettingsWindows, BluetoothListNeedsCommasOnBothSides) {
    folder.writeFile(QStringLiteral("PrinterTypeList_Label.ini"),
                     "[ParameterSet]\nJuniperWithBT=ModelBT,Other,\n"
                     "Cedar_ParameterSetting_WithBT=,ModelBT,\n");
    mdlFunction::ClearModelListCache();
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
        EXPECT_EQ(dialogs.messages[0].text, Localization::Msg(QStringLiteral("_Err_BTPWD_Len")));
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

TEST_F(SettingsWindows, PaperTypeEncodings) {
    ParameterBlock maple = RandomBlock(11);
    maple[59] = 3;
    SealBlock(maple);
    auto m = Open(QStringLiteral("T_frmParaSet_Maple"), maple);
    EXPECT_EQ(Find<QComboBox>(m.get(), QStringLiteral("cmbJudgePaperMode"))->currentText(),
              Localization::Msg(QStringLiteral("_PaperType_BlackMark")));
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
    mdlGlobal::CurrentModel = QStringLiteral("Elm");
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
    mdlGlobal::CurrentModel = QStringLiteral("Willow");
    auto ilex = Open(QStringLiteral("T_frmParaSet_Ilex"), b);
    EXPECT_FALSE(Find<QGroupBox>(ilex.get(), QStringLiteral("gpbLanguage"))->isEnabled());
    EXPECT_FALSE(Find<QComboBox>(ilex.get(), QStringLiteral("cmbCodepage"))->isEnabled());
    mdlGlobal::CurrentModel = QStringLiteral("ModelBT");
    auto other = Open(QStringLiteral("T_frmParaSet_Ilex"), b);
    EXPECT_TRUE(Find<QGroupBox>(other.get(), QStringLiteral("gpbLanguage"))->isEnabled());
}

TEST_F(SettingsWindows, SumacEmptyDensityEntryAndCaption) {
    ParameterBlock b = RandomBlock(15);
    b[57] = 5;
    SealBlock(b);
    auto w = Open(QStringLiteral("T_frmParaSet_Sumac"), b);
    auto density = Find<QComboBox>(w.get(), QStringLiteral("cmbDensity"));
    EXPECT_EQ(density->count(), 6);
    EXPECT_EQ(density->currentIndex(), 5);
    EXPECT_TRUE(density->currentText().isEmpty());
    EXPECT_EQ(w->windowTitle(), Localization::LangText(QStringLiteral("ORVIX_ParaSet")));
    EXPECT_EQ(Find<QWidget>(w.get(), QStringLiteral("lblStopPrint1"))->width(), 108);
    auto stop = Find<QWidget>(w.get(), QStringLiteral("txtStopPrint"));
    EXPECT_EQ(stop->x(),
              Find<QWidget>(w.get(), QStringLiteral("lblStopPrint1"))->geometry().right() + 1 + 5);
    EXPECT_EQ(Find<QLineEdit>(w.get(), QStringLiteral("txtHOrigin"))->maxLength(), 3);
    fake.clear();
    Find<QPushButton>(w.get(), QStringLiteral("btnSet"))->click();
    EXPECT_EQ(Received()[57], 5);

    auto varro = Open(QStringLiteral("T_frmParaSet_Sumac_Varro"), b);
    EXPECT_EQ(varro->windowTitle(), Localization::Msg(QStringLiteral("_ParaSet")));
    EXPECT_EQ(Find<QLineEdit>(varro.get(), QStringLiteral("txtHOrigin"))->maxLength(), 2);
}

TEST_F(SettingsWindows, OnlyChineseHidesTheLanguageGroup) {
    const ParameterBlock b = RandomBlock(16);
    auto normal = Open(QStringLiteral("T_frmParaSet_Nutmeg"), b);
    const auto setNormal = Find<QPushButton>(normal.get(), QStringLiteral("btnSet"))->geometry();
    mdlGlobal::CurrentModel = QStringLiteral("ChineseModel");
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
    keys << QStringLiteral("FormParaSet_Err_NotANumber");
    keys.removeDuplicates();
    for (const char* language : {"1033", "2052", "1028"}) {
        mdlGlobal::LanguageId = QString::fromLatin1(language);
        Localization::LoadMessageTable();
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
    mdlGlobal::LanguageId = QStringLiteral("1033");
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
    mdlFunction::ClearModelListCache();
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
        {"PL-Elm 460", false, "T_frmParaSet_Poplar_Varro"},
        {"PL-Wattle 58", true, "T_frmParaSet_Maple"},
        {"PL-Kapok 420", true, "T_frmParaSet_Kapok"},
        {"PL-Willow 410", true, "T_frmParaSet_Ilex"},
        {"No Such Model", true, "T_frmParaSet_Maple"},
    };
    for (const Case& c : cases) {
        mdlGlobal::CurrentModel = QString::fromLatin1(c.model);
        QStringList asked;
        const QString window = SettingsTables::WindowClassForModel([&](const QString& v) {
            asked << v;
            return c.firmwareNew;
        });
        EXPECT_EQ(window, QString::fromLatin1(c.window)) << c.model;
    }
    // Every block window opens by its registered name.
    for (const auto& spec : SettingsTables::AllWindows())
        EXPECT_NE(pellum::CreateSettingsWindow(spec.className), nullptr);
    EXPECT_EQ(pellum::CreateSettingsWindow(QStringLiteral("T_frmParaSet_Kapok")), nullptr);
}
