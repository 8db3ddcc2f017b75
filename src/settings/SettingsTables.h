// The settings windows of the block-protocol models as data.
//
// Each window is a WindowSpec: its groups, its fields (control name, kind,
// block offset, list entries, caption key, field check) in the order the
// window shows them, and the few switches for behaviour that only some
// windows have. One engine (FormParaSetEngine) builds the dialog from a spec;
// WindowModel holds the values of the controls without widgets and moves them
// between the parameter block and the controls, so that the windows and
// pellumctl show and store settings by the same rules.
#pragma once

#include "settings/ParameterBlock.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace SettingsTables {

using ParameterBlockProtocol::ParameterBlock;

enum class Kind {
    IndexList,   // drop-down list, the byte is the entry's position
    Switch,      // two-choice radio group, 0 or 1
    Number,      // digits, one byte
    Octet,       // digits, one byte of an IPv4 address
    Length,      // digits, millimetres, stored as dots (x 8) in 16 bits
    Speed,       // speed list "2" ... N, the byte is the speed itself
    Heat,        // "-50" ... "50" in steps of 5, two bytes
    Codepage,    // block-protocol code-page list, the printer's number
    Charset,     // international character set, its number 0-15
    PaperMaple,  // auto/label/receipt/black mark at offset, printer form at 58
    PaperQuince, // label/receipt/black mark as 1-3 at offset, printer form at 58
    Volts,       // decimal volts 0-3.3, stored as a 16-bit sensor reading
    BtName,      // Bluetooth name, 16 bytes
    BtPin,       // Bluetooth PIN, 4 bytes
    BtPairing,   // check box, 1 or 0
};

// The range of a numeric text field. A value the user enters outside
// `low`..`high` is refused at Set. With `clamp`, leaving the field also
// corrects the trimmed value: above `high` becomes `high`, below `low`
// becomes `low` (the field's hint states the same range);
// `emptyBecomesZero` turns an empty field into "0".
struct Check {
    bool active = false;
    double low = 0;
    double high = 0;
    bool emptyBecomesZero = false;
    bool clamp = true;
};

// Where a group sits in the dialog.
enum class Place {
    Left,   // left column
    Right,  // right column
    Top,    // full width above the columns
    Bottom, // full width below the columns
};

struct Group {
    QString name;       // gpbOther
    QString captionKey; // its language key
    Place place = Place::Left;
};

struct Field {
    QString control; // cmbDensity; the control's objectName
    Kind kind = Kind::IndexList;
    int offset = 0;
    // List entries, each resolved by ResolveText: message-table keys begin
    // with "_", language keys with "FormParaSet_", anything else is shown as
    // written. Empty for kinds whose entries come from elsewhere (speed
    // lists fall back to FillSpeedList of the selected model).
    QStringList entries;
    QString label;      // lblDensity; the caption beside the control ("" none)
    QString captionKey; // key of the label (or of the switch group itself)
    QString group;      // the group that holds the control ("" at the window's foot)
    int maxLength = 0;  // characters of a text field (0: the kind's default)
    Check check;
    QString trailing;     // a label after the control (lblStopPrint2, a range hint)
    QString trailingText; // its text, resolved like the entries
};

// What happens to the language group when the model is in OnlyChinese.
struct OnlyChineseRule {
    enum Action {
        None,            // the window has no such rule
        HideGroup,       // hide gpbLanguage
        DisableCodepage, // disable cmbCodepage and lblCodepage
    } action = None;
    enum Rise {
        ButtonHeight, // btnSet rises by its own height
        GroupHeight,  // buttons rise by the hidden group's height
        TenPixels,    // buttons rise by 10 pixels
        ToStopRow,    // buttons move up to the anti-stick row
    } rise = ButtonHeight;
    bool stopRowRises = false; // the anti-stick row rises with the buttons
    bool shrinkByGroup = false;
    int shrinkPixels = 0;
};

struct Bluetooth {
    QString listKey;              // model list that names the models with Bluetooth
    bool hideWhenAbsent = false;  // hide the group (else disable the fields)
    bool pinRule = false;         // 4-character PIN enforced, reset after Set, key filters
    bool toggleAfterRead = false; // enabled or disabled only after a successful read
};

enum class DhcpRule {
    None,
    StaticIsEntry0, // octets enabled when entry 0 is selected
    StaticIsEntry1, // octets enabled when entry 1 is selected
};

struct WindowSpec {
    QString className;  // T_frmParaSet_Nutmeg
    QString captionKey; // "_ParaSet" (message table) or a language key
    std::vector<Group> groups;
    std::vector<Field> fields; // in the order the window shows them
    OnlyChineseRule onlyChinese;
    std::optional<Bluetooth> bluetooth;
    DhcpRule dhcp = DhcpRule::None;
    bool queryEmulation = false;    // the family follows the printer's emulation
    bool juniperDetectMode = false; // reprint switches follow cmbDetectMode
    QString languageDisabledFor;    // text whose "model," disables the language group
    QString printTypeDisabledFor;   // model name that disables gpbPrintType
    bool sumacStopPrintRow = false; // label widths and gaps of the Sumac windows
};

// Every block-protocol settings window, in a fixed order.
const std::vector<WindowSpec>& AllWindows();
// The window description of a class name; nullptr when there is none.
const WindowSpec* FindWindow(const QString& className);

// The window class that the main window opens for the selected model (the
// first of the seventeen rules that matches), with the firmware check given
// as a function so pellumctl and tests can decide it.
QString WindowClassForModel(const QString& model,
                            const std::function<bool(const QString&)>& firmwareAtLeast);

// A list entry or caption text: "_..." from the message table,
// "FormParaSet_..." / "ORVIX_..." from the language file, else the text.
QString ResolveText(const QString& text);

// The heat entries "-50" ... "50".
const QStringList& HeatEntries();

// The digits a text field takes by default for its kind.
int DefaultMaxLength(Kind kind);
bool IsTextKind(Kind kind);
bool IsDigitKind(Kind kind); // fields with the digits-only key filter

// The leave-field check on a text: the corrected text; `conversionError`
// set when the field clamps and its text is empty or no number.
QString ApplyCheck(const Field& field, const QString& text, bool* conversionError);

// The field's range as the user reads it: "0-255", "0-3.3".
QString RangeText(const Field& field);
// A number as the windows show it, with the user's decimal separator.
QString ShownNumber(double value);

// What the user sees of one control.
struct FieldValue {
    int index = -1; // lists, switches, check boxes
    QString text;   // text fields
};

enum class StoreError {
    None,
    Conversion, // a numeric field is empty or holds no number
    PinLength,  // the Bluetooth PIN is not 4 characters
    Range,      // a value the user entered is outside the field's range
};

// The controls of one window without widgets.
class WindowModel {
public:
    // Resolves the list entries from the language file and the selected model
    // (CurrentModel), and HaveBT from the model lists.
    WindowModel(const WindowSpec& spec, const QString& model);

    const WindowSpec& spec() const { return *m_spec; }
    bool haveBt() const { return m_haveBt; }
    int fieldCount() const { return int(m_spec->fields.size()); }
    int fieldIndex(const QString& control) const; // -1 when unknown
    const Field& field(int i) const { return m_spec->fields[std::size_t(i)]; }
    const QStringList& entries(int i) const { return m_entries[std::size_t(i)]; }
    FieldValue& value(int i) { return m_values[std::size_t(i)]; }
    const FieldValue& value(int i) const { return m_values[std::size_t(i)]; }

    // False for the Bluetooth fields of a model without Bluetooth: they are
    // neither shown nor stored.
    bool fieldActive(int i) const;

    // Block -> values.
    void Split(const ParameterBlock& block);
    // Values -> block; other bytes stay. On an error the block is unchanged
    // and `errorField` names the field at fault. A value outside its range
    // is refused only when it differs from what Split showed: a setting the
    // printer holds and nobody touched is written back as it was read.
    StoreError Replace(ParameterBlock& block, int* errorField = nullptr) const;

    // The value as the window shows it: entry text, number, name...
    QString DisplayText(int i) const;
    // The caption that names the field to the user: the text of its label,
    // for the further octets of an address row the row's label.
    QString Caption(int i) const;
    // Sets a value the way a user would: an entry's text (exact, else
    // ignoring ASCII case) for lists, switches and the check box ("1"/"0"
    // too), otherwise the typed text, which must pass the field's key filter
    // and length and lie in the field's range (an empty field that becomes
    // "0" when left becomes "0"). False with a reason when the value cannot
    // be entered; nothing is corrected silently.
    bool SetFromText(int i, const QString& text, QString* error);

private:
    const WindowSpec* m_spec;
    bool m_haveBt = false;
    std::vector<QStringList> m_entries;
    std::vector<FieldValue> m_values;
    std::vector<QString> m_shown; // the texts Split showed
};

} // namespace SettingsTables
