// The settings windows as the tests see them: for every window its controls,
// block offsets and encodings (written independently of the program's tables),
// what a control must show for its bytes, and how changing it must change the
// block. Shared by the window tests against the scripted library and against
// the virtual printer.
#pragma once

#include "core/OptionTables.h"
#include "settings/ParameterBlock.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace window_cases {

using namespace ParameterBlockProtocol;

// The application is made by the test program's main() (tests/support).
inline QApplication& App() {
    return *static_cast<QApplication*>(QCoreApplication::instance());
}

// A model with Bluetooth in both Bluetooth lists, speeds 2-5; a model
// without Bluetooth; a model in OnlyChinese.
inline const QByteArray kModelLists = "[ParameterSet]\n"
                                      "JuniperWithBT=,ModelBT,\n"
                                      "Cedar_ParameterSetting_WithBT=,ModelBT,\n"
                                      "IPS5=ModelBT,PlainModel,ChineseModel,Elm,\n"
                                      "OnlyChinese=ChineseModel,\n";

inline ParameterBlock RandomBlock(unsigned seed) {
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

inline std::vector<Entry> Parse(const char* table) {
    std::vector<Entry> out;
    for (const QString& item : QString::fromLatin1(table).split(' ', Qt::SkipEmptyParts)) {
        const auto at = item.indexOf('@');
        const auto colon = item.indexOf(':');
        out.push_back({item.left(at), item.mid(at + 1, colon - at - 1).toInt(),
                       item.at(colon + 1).toLatin1()});
    }
    return out;
}

inline const char* kOctets = " txtIP1@88:o txtIP2@89:o txtIP3@90:o txtIP4@91:o txtSubnet1@92:o "
                             "txtSubnet2@93:o txtSubnet3@94:o txtSubnet4@95:o txtGateway1@96:o "
                             "txtGateway2@97:o txtGateway3@98:o txtGateway4@99:o";

struct WindowCase {
    const char* className;
    std::string table;
};

inline std::vector<WindowCase> Windows() {
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

inline QRadioButton* Radio(QWidget* w, const QString& name, int choice) {
    return w->findChild<QRadioButton*>(name + QStringLiteral("_Item%1").arg(choice));
}

inline int U16(const ParameterBlock& b, int o) {
    return b[std::size_t(o)] | (b[std::size_t(o) + 1] << 8);
}

inline QString TextAt(const ParameterBlock& b, int o, int width) {
    QString s;
    for (int i = 0; i < width && b[std::size_t(o + i)] > 0x20; ++i)
        s += QChar(char16_t(b[std::size_t(o + i)]));
    return s;
}

inline void PutText(ParameterBlock& b, int o, int width, const QString& text) {
    for (int i = 0; i < width; ++i)
        b[std::size_t(o + i)] = i < text.size() ? std::uint8_t(text.at(i).unicode()) : 0;
}

inline std::string CheckShown(QWidget* w, const Entry& e, const ParameterBlock& b) {
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
        expectedText = QString::number(v);
        break;
    case 'm':
        expectedText = QString::number(U16(b, e.offset) / 8);
        break;
    case 'v':
        expectedText =
            QLocale::system().toString(std::round(U16(b, e.offset) * 3.3 / 4096 * 10) / 10, 'g', 6);
        break;
    case 't':
        expectedText = TextAt(b, e.offset, 16);
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
inline void ChangeAndExpect(QWidget* w, const Entry& e, ParameterBlock& expected) {
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

} // namespace window_cases
