// The settings of the key-value printer models as data, without widgets.
//
// The two key-value settings windows (T_frmParaSet_Kapok, T_frmParaSet_Larch)
// show the same settings with a few differences. Each setting is one row of a
// table: its control, kind, printer key, fixed items, how a reply becomes the
// control's value and how the control's value becomes the text sent back. One
// loop reads every row with getval and one loop writes every row with setval;
// the window only copies the values between this model and its widgets.
//
// KvSettingsModel holds the values of one window and the window's own rules
// (tear-off limit, the key of the close-and-position setting, the emulation
// and code page the printer reported, the emulation list); it talks to the
// printer only through the getval / setval functions it is given, so tests and
// other callers can drive it without a connection.
#pragma once

#include "core/OptionTables.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace KvSettings {

enum class Variant { Kapok, Larch };

enum class Kind {
    Edit,    // a line edit
    Address, // a row of four edits (control name + "1" ... "4")
    List,    // a drop-down list
    Choice,  // a two-choice group (radio buttons 0 and 1)
};

// Reply -> control value.
enum class ReadRule {
    Text,        // the reply as text
    BtName,      // the Bluetooth name without its "-XXXX" suffix
    Address,     // split at "." into the four edits
    ChoiceMatch, // the reply equal to `match` gives `matchGives`, anything else the other
    ByText,      // SelectByText
    ByCode,      // SelectByCode
    Words,       // KvWordList with `words`
};

// Control value -> value sent.
enum class WriteRule {
    Text,      // the edit's text
    TextExact, // the edit's text, sent without lowering capitals
    Number,    // the edit's text, only when it is a whole number
    Address,   // "a.b.c.d." when the four edits are filled
    Choice,    // words[choice]
    ItemText,  // the selected item's text
    ItemCode,  // the code of the selected item, name(code)
    Word,      // words[selected position]
};

// Characters a key filter accepts besides the editing keys it names.
enum class KeyFilter {
    None,
    BtName,     // Backspace, Enter, codes 33-127
    Digits,     // digits, Backspace, Enter, Delete
    DigitsDash, // digits, "-", Backspace, Enter, Delete
};

struct Field {
    QString control; // control name; for Address the prefix of its four edits
    Kind kind;
    QString key; // printer key without quotes; empty: the platen key
    ReadRule read;
    WriteRule write;
    QStringList items; // fixed list items (texts shown as they are)
    QStringList words; // Words: the printer's words; Choice: the values of 0 and 1
    QString match;     // ChoiceMatch: the reply that gives `matchGives`
    int matchGives = 0;
    int maxLength = 0; // edits: at most this many characters (0: no limit)
    KeyFilter filter = KeyFilter::None;
    // Window texts: the caption of the control's label (or of the group
    // for a Choice) and the texts of its items, as language keys; keys that
    // begin with "_" are message-table keys.
    QString label;
    QString captionKey;
    QStringList itemKeys;
    QString group; // the group box the control sits in ("" for a Choice)
};

// The group boxes that hold rows of controls, with their caption keys.
struct GroupCaption {
    QString name;
    QString captionKey;
};

// Further window texts: the label name and its key.
struct LabelText {
    QString control;
    QString key;
};

struct WindowTable {
    Variant variant;
    QString className;
    std::vector<Field> fields;
    std::vector<GroupCaption> groups;
    std::vector<LabelText> texts; // labels that belong to no single field
    QStringList readOrder;        // control names, in the order of the getval lines
    QStringList writeOrder;       // control names, in the order of the setval lines
};

const WindowTable& KapokTable();
const WindowTable& LarchTable();
const WindowTable& Table(Variant variant);

// The control names whose key depends on the firmware: the close-and-position
// setting.
inline const QString kPlatenControl = QStringLiteral("g5");

// True when a key filter lets the character through (Tab always passes: it
// moves the focus and never reaches the text).
bool KeyAccepted(KeyFilter filter, char16_t c);

// The Bluetooth name as shown: without the last five characters when the name
// has at least 6 characters and its fifth character from the end is "-".
QString ShownBtName(const QString& name);

// The four parts of an address reply longer than 6 characters; an empty list
// when the reply is shorter or has fewer than four parts (the row stays as it
// is).
QStringList AddressParts(const QString& reply);

// The text as a whole number; false when it is none (empty, "-", "12-3").
bool WholeNumber(const QString& text, int* value);

// The value of one control, whatever its kind.
struct Value {
    OptionTables::OptionList list;                                 // List
    int choice = -1;                                               // Choice: 0, 1 or -1 (none)
    QString text;                                                  // Edit
    QStringList parts{QString(), QString(), QString(), QString()}; // Address
};

// One setval line to send.
struct Write {
    QString key;
    QString value;
    bool exact = false; // sent with CmdSetValExact (capitals kept)
};

// A value the user entered outside its range: the control (for an address
// row its prefix, with the part 0-3), the text and the range.
struct RangeError {
    QString control;
    int part = -1;
    QString text;
    int low = 0;
    int high = 0;
};

using GetVal = std::function<QString(const QString& key)>;
using SetVal = std::function<void(const Write& write)>;

class KvSettingsModel {
public:
    // `model` is the printer model (its options lists decide the emulation
    // list, the tear-off limit and the speed list).
    KvSettingsModel(Variant variant, const QString& model);

    const WindowTable& table() const { return m_table; }
    int fieldCount() const { return int(m_table.fields.size()); }
    const Field& field(int i) const { return m_table.fields[std::size_t(i)]; }
    int indexOf(const QString& control) const;
    Value& value(int i) { return m_values[std::size_t(i)]; }
    const Value& value(int i) const { return m_values[std::size_t(i)]; }
    Value& value(const QString& control);
    const Value& value(const QString& control) const;

    // The window state that is no control.
    QString tearOffLimit() const { return m_tearOffLimit; }
    QString tearOffRange() const; // "-120~+120"
    QString platenKey() const { return m_platenKey; }
    QString emulationRead() const { return m_emulationRead; }
    QString codePageRead() const { return m_codePageRead; }
    bool protocolEnabled() const;

    // Reads the firmware version (platen key), the emulation (density list)
    // and then every setting in the window's order.
    void ReadAll(const GetVal& getval);
    // The settings in the window's order (ParaReadGDS).
    void ParaReadGDS(const GetVal& getval);
    // False when the PIN box does not hold exactly 4 characters after
    // trimming; nothing may be sent then.
    // True when the PIN has 4 characters, or the printer has no Bluetooth.
    bool PinLengthOk() const;
    bool haveBt() const { return m_haveBt; }
    // The first value the user changed that would be sent but is no whole
    // number in its range (an address part 0-255, the tear-off within its
    // limit), in the window's order; empty when every value fits. Nothing
    // may be sent then. Values as the printer reported them are not judged:
    // they go back as they came.
    std::optional<RangeError> FirstValueOutOfRange() const;
    // The setval lines of the current values, in the window's order.
    std::vector<Write> Writes() const;
    // Sends Writes() through `setval` (ReplacePrintSetting).
    void ReplacePrintSetting(const SetVal& setval) const;

    // Handlers that change values.
    void cmbProtocolChange();
    void cmbJudgePaperModeChange();
    // Whether the twelve address edits are enabled (cmbDHCPChange).
    bool AddressesEnabled() const;
    // The leave-field check of the tear-off range (Kapok CheckValue, Larch
    // CheckValue_), which Label3 shows. Address parts are not corrected
    // when left: one outside 0-255 is refused at Set.
    void CheckTearOff();

private:
    void ReadField(int i, const QString& reply);
    void RefillCodepages();
    void SetDensityList(int highest, const QString& select);

    const WindowTable& m_table;
    QString m_model;
    std::vector<Value> m_values;
    std::vector<Value> m_read; // the values as the last read left them
    QString m_tearOffLimit = QStringLiteral("120");
    QString m_platenKey = QStringLiteral("platenin_enter_pause");
    QString m_emulationRead;
    // Whether the printer reported Bluetooth ("bt_mac") at the last read; the
    // name and PIN are checked and sent only then. True until a read says
    // otherwise.
    bool m_haveBt = true;
    QString m_codePageRead;
};

} // namespace KvSettings
