#include "settings/KvSettings.h"

#include "core/ModelLists.h"
#include "core/TextTools.h"

namespace KvSettings {

using namespace OptionTables;

namespace {

// The model's options lists (section ParameterSet of the model-list file).
bool InList(const QString& listKey, const QString& model) {
    return pellum::models::ListContainsModel(pellum::models::ModelListValue(listKey), model);
}

QStringList HeatItems() {
    QStringList items;
    for (int v = -50; v <= 50; v += 5)
        items << QString::number(v);
    return items;
}

Field Edit(const QString& control, const QString& key, ReadRule read, WriteRule write,
           int maxLength, KeyFilter filter, const QString& label, const QString& captionKey,
           const QString& group) {
    Field f{control, Kind::Edit, key,    read,  write,      {}, {},   {},
            0,       maxLength,  filter, label, captionKey, {}, group};
    return f;
}

Field Address(const QString& control, const QString& key, const QString& label,
              const QString& captionKey, int maxLength, KeyFilter filter) {
    Field f{control,
            Kind::Address,
            key,
            ReadRule::Address,
            WriteRule::Address,
            {},
            {},
            {},
            0,
            maxLength,
            filter,
            label,
            captionKey,
            {},
            QStringLiteral("gpbEthernetSetting")};
    return f;
}

Field List(const QString& control, const QString& key, ReadRule read, WriteRule write,
           const QStringList& items, const QStringList& words, const QString& label,
           const QString& captionKey, const QStringList& itemKeys, const QString& group) {
    Field f{control, Kind::List,      key,   read,       write,    items, words, {}, 0,
            0,       KeyFilter::None, label, captionKey, itemKeys, group};
    return f;
}

// A two-choice group: `words` are the values sent for 0 and 1; the reply
// `match` reads as `matchGives`, every other reply as the other choice.
Field Choice(const QString& control, const QString& key, const QStringList& words,
             const QString& match, int matchGives, const QString& captionKey,
             const QStringList& itemKeys) {
    Field f{control,
            Kind::Choice,
            key,
            ReadRule::ChoiceMatch,
            WriteRule::Choice,
            {},
            words,
            match,
            matchGives,
            0,
            KeyFilter::None,
            {},
            captionKey,
            itemKeys,
            {}};
    return f;
}

const QString kGroupOther = QStringLiteral("gpbOther");
const QString kGroupCom = QStringLiteral("gpbCOM");
const QString kGroupBt = QStringLiteral("gpbBT");
const QString kGroupEthernet = QStringLiteral("gpbEthernetSetting");
const QString kGroupLanguage = QStringLiteral("gpbLanguage");

std::vector<Field> CommonFields(Variant variant) {
    const bool larch = variant == Variant::Larch;
    // The Larch window's address edits take three digits; the Kapok ones also
    // accept "-", like its tear-off edit.
    const int addressLength = larch ? 3 : 0;
    const KeyFilter addressFilter = larch ? KeyFilter::Digits : KeyFilter::DigitsDash;
    return {
        Edit(QStringLiteral("txtBTName"), QStringLiteral("bt_name"), ReadRule::BtName,
             WriteRule::TextExact, 10, KeyFilter::BtName, QStringLiteral("lblBTName"),
             QStringLiteral("_BTName"), kGroupBt),
        Edit(QStringLiteral("txtBTPWD"), QStringLiteral("bt_pwd"), ReadRule::Text, WriteRule::Text,
             4, KeyFilter::Digits, QStringLiteral("lblBTPWD"), QStringLiteral("_BTPWD"), kGroupBt),
        Choice(QStringLiteral("gpbAutoPosition"), QStringLiteral("media_power_up"),
               {QStringLiteral("none"), QStringLiteral("calibation")}, QStringLiteral("none"), 0,
               QStringLiteral("FormParaSet_Nutmeg_gpbAutoPosition"),
               {QStringLiteral("_Off"), QStringLiteral("_On")}),
        Choice(QStringLiteral("gpbReprintWhenError"), QStringLiteral("reprint_after_error"),
               {QStringLiteral("off"), QStringLiteral("on")}, QStringLiteral("on"), 1,
               QStringLiteral("FormParaSet_Nutmeg_gpbReprintWhenError"),
               {QStringLiteral("_Disable"), QStringLiteral("_Enable")}),
        // The code-page items depend on the emulation; they are filled at
        // reading.
        List(QStringLiteral("cmbCodepage"), QStringLiteral("code_page"), ReadRule::ByCode,
             WriteRule::ItemCode, {}, {}, QStringLiteral("lblCodepage"),
             QStringLiteral("FormParaSet_Larch_lblCodepage"), {}, kGroupLanguage),
        List(QStringLiteral("cmbJudgePaperMode"), QStringLiteral("media_sensor"), ReadRule::Words,
             WriteRule::Word, {}, MediaWords(), QStringLiteral("lblJudgePaperMode"),
             QStringLiteral("FormParaSet_Nutmeg_lblJudgePaperMode"),
             {QStringLiteral("_PaperType_Label"), QStringLiteral("_PaperType_BlackMark"),
              QStringLiteral("_PaperType_Receipt")},
             kGroupOther),
        List(QStringLiteral("cmbDensity"), QStringLiteral("density"), ReadRule::ByText,
             WriteRule::ItemText, {}, {}, QStringLiteral("lblDensity"),
             QStringLiteral("FormParaSet_Nutmeg_lblDensity"), {}, kGroupOther),
        List(QStringLiteral("cmbDHCP"), QStringLiteral("eth_dhcp"), ReadRule::Words,
             WriteRule::ItemText, {QStringLiteral("ON"), QStringLiteral("OFF")}, SwitchWords(),
             QStringLiteral("lblDHCP"), QStringLiteral("FormParaSet_Nutmeg_lblDHCP"), {},
             kGroupEthernet),
        Address(QStringLiteral("txtIP"), QStringLiteral("eth_ip"), QStringLiteral("lblIPAddress"),
                QStringLiteral("FormParaSet_Nutmeg_lblIPAddress"), addressLength, addressFilter),
        Address(QStringLiteral("txtSubnet"), QStringLiteral("eth_mask"),
                QStringLiteral("lblSubnet"), QStringLiteral("FormParaSet_Nutmeg_lblSubnet"),
                addressLength, addressFilter),
        Address(QStringLiteral("txtGateway"), QStringLiteral("eth_gateway"),
                QStringLiteral("lblDefautGateway"),
                QStringLiteral("FormParaSet_Nutmeg_lblDefautGateway"), addressLength,
                addressFilter),
        List(QStringLiteral("cmbHeatAdj"), QStringLiteral("heat_adj"), ReadRule::ByText,
             WriteRule::ItemText, HeatItems(), {}, QStringLiteral("lblHeatAdj"),
             QStringLiteral("FormParaSet_Quince_lblHeatAdj"), {}, kGroupOther),
        // The speeds depend on the model; they are filled when the window is
        // prepared.
        List(QStringLiteral("cmbPrintSpeed"), QStringLiteral("speed"), ReadRule::ByText,
             WriteRule::ItemText, {}, {}, QStringLiteral("lblPrintSpeed"),
             QStringLiteral("FormParaSet_Quince_lblPrintSpeed"), {}, kGroupOther),
        List(QStringLiteral("cmbProtocol"), QStringLiteral("ppl"), ReadRule::ByText,
             WriteRule::ItemText, {QStringLiteral("TSC"), QStringLiteral("ZPL")}, {},
             QStringLiteral("lblProtocol"), QStringLiteral("FormParaSet_Larch_lblProtocol"), {},
             kGroupOther),
        List(QStringLiteral("cmbBaudrate"), QStringLiteral("com_baud"), ReadRule::ByText,
             WriteRule::ItemText,
             {QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200"),
              QStringLiteral("38400"), QStringLiteral("57600"), QStringLiteral("115200")},
             {}, QStringLiteral("lblBaudrate"), QStringLiteral("FormParaSet_Larch_lblBaudRate"), {},
             kGroupCom),
        List(QStringLiteral("cmbDataBits"), QStringLiteral("com_wordlength"), ReadRule::ByText,
             WriteRule::ItemText, {QStringLiteral("7"), QStringLiteral("8")}, {},
             QStringLiteral("lblDataBits"), QStringLiteral("FormParaSet_Larch_lblDataBits"), {},
             kGroupCom),
        List(QStringLiteral("cmbParity"), QStringLiteral("com_parity"), ReadRule::ByText,
             WriteRule::ItemText,
             {QStringLiteral("NONE"), QStringLiteral("ODD"), QStringLiteral("EVEN")}, {},
             QStringLiteral("lblParity"), QStringLiteral("FormParaSet_Larch_lblParity"), {},
             kGroupCom),
        List(QStringLiteral("cmbStopBits"), QStringLiteral("com_stopbits"), ReadRule::ByText,
             WriteRule::ItemText, {QStringLiteral("1"), QStringLiteral("2")}, {},
             QStringLiteral("lblStopBits"), QStringLiteral("FormParaSet_Larch_lblStopBits"), {},
             kGroupCom),
        Choice(
            QStringLiteral("RadioGroup1"), QStringLiteral("sensor_select"),
            {QStringLiteral("reflective"), QStringLiteral("transmissive")},
            QStringLiteral("reflective"), 0, QStringLiteral("FormParaSet_Kapok_SST"),
            {QStringLiteral("FormParaSet_Kapok_SST_1"), QStringLiteral("FormParaSet_Kapok_SST_2")}),
        // The key of the close-and-position setting follows the firmware.
        Choice(kPlatenControl, QString(), {QStringLiteral("off"), QStringLiteral("on")},
               QStringLiteral("off"), 0, QStringLiteral("FormParaSet_Larch_i9"),
               {QStringLiteral("_Disable"), QStringLiteral("_Enable")}),
        List(QStringLiteral("cmbPrintMode"), QStringLiteral("print_mode"), ReadRule::Words,
             WriteRule::Word, {}, PrintModeWords(), QStringLiteral("lblPrintMode"),
             QStringLiteral("FormParaSet_Larch_lblPrintMode"),
             {QStringLiteral("FormParaSet_Larch_cmbPrintMode_Item1"),
              QStringLiteral("FormParaSet_Larch_cmbPrintMode_Item2"),
              QStringLiteral("FormParaSet_Larch_cmbPrintMode_Item3")},
             kGroupOther),
        Edit(QStringLiteral("txtTearOff"), QStringLiteral("tear_off"), ReadRule::Text,
             WriteRule::Number, 4, KeyFilter::DigitsDash, QStringLiteral("lblTearOff"),
             QStringLiteral("FormParaSet_Larch_lblTearOff"), kGroupOther),
    };
}

std::vector<GroupCaption> CommonGroups() {
    return {{kGroupBt, QStringLiteral("_BTSet")},
            {kGroupEthernet, QStringLiteral("FormParaSet_Nutmeg_gpbEthernetSetting")},
            {kGroupCom, QStringLiteral("FormParaSet_Nutmeg_gpbCOMPortSet")},
            {kGroupOther, QStringLiteral("FormParaSet_Nutmeg_gpbOther")},
            {kGroupLanguage, QStringLiteral("FormParaSet_Nutmeg_gpbLanguage")}};
}

std::vector<LabelText> CommonTexts() {
    return {{QStringLiteral("lblBTNameLen"), QStringLiteral("FormParaSet_Larch_lblBTNameLen")},
            {QStringLiteral("lblBTPWDLen"), QStringLiteral("FormParaSet_Nutmeg_lblBTPWDLen")}};
}

// The order of the getval lines after "bt_mac" (the Bluetooth pair only when
// it answered).
const QStringList kKapokRead = {
    QStringLiteral("txtBTName"),         QStringLiteral("txtBTPWD"),
    QStringLiteral("gpbAutoPosition"),   QStringLiteral("gpbReprintWhenError"),
    QStringLiteral("cmbJudgePaperMode"), QStringLiteral("cmbDensity"),
    QStringLiteral("cmbDHCP"),           QStringLiteral("txtIP"),
    QStringLiteral("txtSubnet"),         QStringLiteral("txtGateway"),
    QStringLiteral("cmbHeatAdj"),        QStringLiteral("cmbPrintSpeed"),
    QStringLiteral("cmbProtocol"),       QStringLiteral("cmbCodepage"),
    QStringLiteral("cmbBaudrate"),       QStringLiteral("cmbDataBits"),
    QStringLiteral("cmbParity"),         QStringLiteral("cmbStopBits"),
    QStringLiteral("cmbPrintMode"),      QStringLiteral("txtTearOff"),
    QStringLiteral("RadioGroup1"),       kPlatenControl};

const QStringList kKapokWrite = {
    QStringLiteral("txtBTName"),       QStringLiteral("txtBTPWD"),
    QStringLiteral("gpbAutoPosition"), QStringLiteral("gpbReprintWhenError"),
    QStringLiteral("cmbCodepage"),     QStringLiteral("cmbJudgePaperMode"),
    QStringLiteral("cmbDensity"),      QStringLiteral("cmbDHCP"),
    QStringLiteral("txtIP"),           QStringLiteral("txtSubnet"),
    QStringLiteral("txtGateway"),      QStringLiteral("cmbHeatAdj"),
    QStringLiteral("cmbPrintSpeed"),   QStringLiteral("cmbProtocol"),
    QStringLiteral("cmbBaudrate"),     QStringLiteral("cmbDataBits"),
    QStringLiteral("cmbParity"),       QStringLiteral("cmbStopBits"),
    QStringLiteral("RadioGroup1"),     kPlatenControl,
    QStringLiteral("cmbPrintMode"),    QStringLiteral("txtTearOff")};

WindowTable MakeKapok() {
    WindowTable s{Variant::Kapok,
                  QStringLiteral("T_frmParaSet_Kapok"),
                  CommonFields(Variant::Kapok),
                  CommonGroups(),
                  CommonTexts(),
                  kKapokRead,
                  kKapokWrite};
    return s;
}

WindowTable MakeLarch() {
    WindowTable s{Variant::Larch,
                  QStringLiteral("T_frmParaSet_Larch"),
                  CommonFields(Variant::Larch),
                  CommonGroups(),
                  CommonTexts(),
                  kKapokRead,
                  kKapokWrite};
    // The print method (ribbon switch), read and written right after the
    // power-up positioning.
    s.fields.push_back(Choice(QStringLiteral("gpbPrintType"), QStringLiteral("sw_ribbon"),
                              {QStringLiteral("off"), QStringLiteral("on")}, QStringLiteral("on"),
                              1, QStringLiteral("FormParaSet_Nutmeg_gpbPrintType"),
                              {QStringLiteral("_PrintType1"), QStringLiteral("_PrintType2")}));
    const QString after = QStringLiteral("gpbAutoPosition");
    s.readOrder.insert(s.readOrder.indexOf(after) + 1, QStringLiteral("gpbPrintType"));
    s.writeOrder.insert(s.writeOrder.indexOf(after) + 1, QStringLiteral("gpbPrintType"));
    // The emulation is written first, before the Bluetooth name.
    s.writeOrder.removeAll(QStringLiteral("cmbProtocol"));
    s.writeOrder.prepend(QStringLiteral("cmbProtocol"));
    return s;
}

} // namespace

const WindowTable& KapokTable() {
    static const WindowTable table = MakeKapok();
    return table;
}

const WindowTable& LarchTable() {
    static const WindowTable table = MakeLarch();
    return table;
}

const WindowTable& Table(Variant variant) {
    return variant == Variant::Larch ? LarchTable() : KapokTable();
}

bool KeyAccepted(KeyFilter filter, char16_t c) {
    if (c == 9) // Tab
        return true;
    const bool digit = c >= u'0' && c <= u'9';
    switch (filter) {
    case KeyFilter::None:
        return true;
    case KeyFilter::BtName:
        return c == 8 || c == 13 || (c >= 33 && c <= 127);
    case KeyFilter::Digits:
        return digit || c == 8 || c == 13 || c == 127;
    case KeyFilter::DigitsDash:
        return digit || c == u'-' || c == 8 || c == 13 || c == 127;
    }
    return false;
}

QString ShownBtName(const QString& name) {
    if (name.size() >= 6 && name.at(name.size() - 5) == QLatin1Char('-'))
        return name.left(name.size() - 5);
    return name;
}

QStringList AddressParts(const QString& reply) {
    if (reply.size() <= 6)
        return {};
    const QStringList parts = pellum::text::SplitText(reply, QLatin1Char('.'));
    // A reply such as "1234567" or "1.2.3456" names no address: the row
    // keeps what it shows.
    if (parts.size() < 4)
        return {};
    return parts.mid(0, 4);
}

bool WholeNumber(const QString& text, int* value) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    // Only an optional "-" and decimal digits: toInt() alone would also take
    // "+5" and surrounding blanks inside the text.
    for (int i = 0; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (!(c.isDigit() && c.unicode() < 128) && !(i == 0 && c == QLatin1Char('-')))
            return false;
    }
    bool ok = false;
    const int v = t.toInt(&ok, 10);
    if (ok && value)
        *value = v;
    return ok;
}

KvSettingsModel::KvSettingsModel(Variant variant, const QString& model)
    : m_table(Table(variant)), m_model(model), m_values(m_table.fields.size()) {
    for (std::size_t i = 0; i < m_table.fields.size(); ++i) {
        const Field& f = m_table.fields[i];
        m_values[i].list.items = f.items;
        m_values[i].list.selected = -1;
    }
    // The emulation list: the catalogue's list when it names one (empty
    // pieces of its comma-terminated form are no emulation), then EPL for the
    // models that have it.
    Value& protocol = value(QStringLiteral("cmbProtocol"));
    const QString proList = pellum::models::ModelListValue(QStringLiteral("LarchParaSetProList"));
    if (!proList.isEmpty()) {
        protocol.list.items.clear();
        for (const QString& piece : pellum::text::SplitText(proList, QLatin1Char(',')))
            if (!piece.isEmpty())
                protocol.list.items << piece;
    }
    if (InList(QStringLiteral("HaveEPL"), model))
        protocol.list.items << QStringLiteral("EPL");

    if (variant == Variant::Kapok && InList(QStringLiteral("IsTealOff90"), model))
        m_tearOffLimit = QStringLiteral("90");
    FillSpeedList(value(QStringLiteral("cmbPrintSpeed")).list, model);
}

int KvSettingsModel::indexOf(const QString& control) const {
    for (int i = 0; i < fieldCount(); ++i)
        if (field(i).control == control)
            return i;
    return -1;
}

Value& KvSettingsModel::value(const QString& control) {
    return m_values[std::size_t(indexOf(control))];
}

const Value& KvSettingsModel::value(const QString& control) const {
    return m_values[std::size_t(indexOf(control))];
}

QString KvSettingsModel::tearOffRange() const {
    return QLatin1Char('-') + m_tearOffLimit + QStringLiteral("~+") + m_tearOffLimit;
}

bool KvSettingsModel::protocolEnabled() const {
    return m_table.variant == Variant::Kapok || !InList(QStringLiteral("ProtocolDisable"), m_model);
}

void KvSettingsModel::SetDensityList(int highest, const QString& select) {
    OptionList& density = value(QStringLiteral("cmbDensity")).list;
    FillNumberList(density, highest);
    if (!select.isEmpty())
        SelectByText(density, select);
}

void KvSettingsModel::ReadAll(const GetVal& getval) {
    const QString version = getval(QStringLiteral("version"));
    m_platenKey = version.left(4) == QLatin1String("1.00") ? QStringLiteral("platenin_locat")
                                                           : QStringLiteral("platenin_enter_pause");
    const QString ppl = getval(QStringLiteral("ppl"));
    const bool wide = ppl == QLatin1String("zpl") ||
                      (m_table.variant == Variant::Larch && ppl == QLatin1String("epl"));
    SetDensityList(wide ? 30 : 15, QString());
    ParaReadGDS(getval);
}

void KvSettingsModel::ParaReadGDS(const GetVal& getval) {
    m_haveBt = !getval(QStringLiteral("bt_mac")).isEmpty();
    for (const QString& control : m_table.readOrder) {
        const int i = indexOf(control);
        const Field& f = field(i);
        if (f.group == QLatin1String("gpbBT") && !m_haveBt)
            continue; // no Bluetooth: both edits stay empty
        ReadField(i, getval(f.key.isEmpty() ? m_platenKey : f.key));
    }
    m_read = m_values;
}

void KvSettingsModel::RefillCodepages() {
    OptionList& codepage = value(QStringLiteral("cmbCodepage")).list;
    const QString emulation = value(QStringLiteral("cmbProtocol")).list.selectedText();
    if (emulation == QLatin1String("TSC"))
        FillTsplCodepages(codepage);
    else if (emulation == QLatin1String("ZPL"))
        FillZplCodepages(codepage);
    else
        FillEplCodepages(codepage);
}

void KvSettingsModel::ReadField(int i, const QString& reply) {
    const Field& f = field(i);
    Value& v = value(i);
    switch (f.read) {
    case ReadRule::Text:
        v.text = reply;
        break;
    case ReadRule::BtName:
        v.text = ShownBtName(reply);
        break;
    case ReadRule::Address: {
        const QStringList parts = AddressParts(reply);
        if (!parts.isEmpty())
            v.parts = parts;
        break;
    }
    case ReadRule::ChoiceMatch:
        v.choice = reply == f.match ? f.matchGives : 1 - f.matchGives;
        break;
    case ReadRule::ByText:
        SelectByText(v.list, reply);
        break;
    case ReadRule::ByCode:
        SelectByCode(v.list, reply);
        break;
    case ReadRule::Words:
        KvWordList(v.list, reply, -1, f.words);
        break;
    }
    // The emulation decides the code pages offered; both replies are kept so
    // that switching back to the printer's own emulation restores its code
    // page.
    if (f.control == QLatin1String("cmbProtocol")) {
        m_emulationRead = reply;
        RefillCodepages();
    } else if (f.control == QLatin1String("cmbCodepage")) {
        m_codePageRead = reply;
    }
}

bool KvSettingsModel::PinLengthOk() const {
    // A printer without Bluetooth has no PIN to check: demanding one would
    // make its settings impossible to save.
    return !m_haveBt || value(QStringLiteral("txtBTPWD")).text.trimmed().size() == 4;
}

std::optional<RangeError> KvSettingsModel::FirstValueOutOfRange() const {
    const bool staticAddress = value(QStringLiteral("cmbDHCP")).list.selected == 1;
    const int limit = m_tearOffLimit.toInt();
    for (const QString& control : m_table.writeOrder) {
        const int i = indexOf(control);
        const Field& f = field(i);
        const Value& v = value(i);
        const Value* read = m_read.empty() ? nullptr : &m_read[std::size_t(i)];
        if (f.write == WriteRule::Address) {
            // Only a row that is sent: DHCP off and all four parts filled.
            bool sent = staticAddress;
            for (const QString& part : v.parts)
                sent = sent && !part.trimmed().isEmpty();
            for (int k = 0; sent && k < 4; ++k) {
                if (read && v.parts[k] == read->parts[k])
                    continue;
                int n = 0;
                if (!WholeNumber(v.parts[k], &n) || n < 0 || n > 255)
                    return RangeError{f.control, k, v.parts[k].trimmed(), 0, 255};
            }
        } else if (f.write == WriteRule::Number) {
            if (read && v.text == read->text)
                continue;
            int n = 0;
            if (!WholeNumber(v.text, &n) || n < -limit || n > limit)
                return RangeError{f.control, -1, v.text.trimmed(), -limit, limit};
        }
    }
    return std::nullopt;
}

std::vector<Write> KvSettingsModel::Writes() const {
    std::vector<Write> out;
    const bool staticAddress = value(QStringLiteral("cmbDHCP")).list.selected == 1;
    for (const QString& control : m_table.writeOrder) {
        const int i = indexOf(control);
        const Field& f = field(i);
        const Value& v = value(i);
        // Without Bluetooth the name and PIN are not sent: an empty name is
        // no setting the printer can take.
        if (f.group == QLatin1String("gpbBT") && !m_haveBt)
            continue;
        const QString key = f.key.isEmpty() ? m_platenKey : f.key;
        QString text;
        bool send = true;
        switch (f.write) {
        case WriteRule::Text:
        case WriteRule::TextExact:
            text = v.text;
            break;
        case WriteRule::Number: {
            // Only a whole number: an empty, lone "-" or garbled entry would
            // be taken by the printer as a setting it cannot hold.
            int n = 0;
            send = WholeNumber(v.text, &n);
            text = QString::number(n);
            break;
        }
        case WriteRule::Address:
            send = staticAddress;
            for (const QString& part : v.parts)
                send = send && !part.trimmed().isEmpty();
            for (const QString& part : v.parts)
                text += part + QLatin1Char('.');
            break;
        case WriteRule::Choice:
            send = v.choice == 0 || v.choice == 1;
            if (send)
                text = f.words.at(v.choice);
            break;
        case WriteRule::ItemText:
            send = v.list.selected >= 0;
            text = v.list.selectedText();
            break;
        case WriteRule::ItemCode:
            send = v.list.selected >= 0;
            text = ItemCode(v.list.selectedText());
            break;
        case WriteRule::Word: {
            // A list that the printer left without a selection has no word:
            // the printer keeps its own value.
            OptionList list = v.list;
            text = KvWordList(list, QString(), list.selected, f.words);
            send = !text.isEmpty();
            break;
        }
        }
        if (send)
            out.push_back({key, text, f.write == WriteRule::TextExact});
    }
    return out;
}

void KvSettingsModel::ReplacePrintSetting(const SetVal& setval) const {
    for (const Write& w : Writes())
        setval(w);
}

void KvSettingsModel::cmbProtocolChange() {
    const int position = value(QStringLiteral("cmbProtocol")).list.selected;
    OptionList& codepage = value(QStringLiteral("cmbCodepage")).list;
    const bool larch = m_table.variant == Variant::Larch;
    QString own;
    if (position == 0) {
        SetDensityList(15, QStringLiteral("7"));
        FillTsplCodepages(codepage);
        own = QStringLiteral("TSC");
    } else if (position == 1) {
        SetDensityList(30, QStringLiteral("15"));
        FillZplCodepages(codepage);
        own = QStringLiteral("ZPL");
    } else if (position == 2) {
        if (larch)
            SetDensityList(15, QStringLiteral("7"));
        else
            SetDensityList(30, QStringLiteral("15"));
        FillEplCodepages(codepage);
        own = QStringLiteral("EPL");
    }
    // Another emulation than the printer's: its code pages start at the
    // first. The printer's own: the code page it reported. Printers report
    // their emulation in small letters ("tsc"), so case is ignored here.
    if (!own.isEmpty() && !EqualsIgnoringAsciiCase(m_emulationRead, own)) {
        codepage.selected = codepage.items.isEmpty() ? -1 : 0;
        return;
    }
    SelectByCode(codepage, m_codePageRead);
}

void KvSettingsModel::cmbJudgePaperModeChange() {
    // Labels with gaps are seen through the paper; black marks and
    // continuous paper by reflection.
    value(QStringLiteral("RadioGroup1")).choice =
        value(QStringLiteral("cmbJudgePaperMode")).list.selected == 0 ? 1 : 0;
}

bool KvSettingsModel::AddressesEnabled() const {
    return value(QStringLiteral("cmbDHCP")).list.selected != 0;
}

void KvSettingsModel::CheckTearOff() {
    QString& text = value(QStringLiteral("txtTearOff")).text;
    if (text.trimmed() == QLatin1String("-"))
        return; // a minus sign on its way to a number
    int n = 0;
    if (!WholeNumber(text, &n))
        return; // nothing to compare; such a text is not sent
    const int limit = m_tearOffLimit.toInt();
    if (n > limit)
        text = m_tearOffLimit;
    else if (n < -limit)
        text = QLatin1Char('-') + m_tearOffLimit;
}

} // namespace KvSettings
