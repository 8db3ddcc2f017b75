// The option tables of the settings windows and the routines over them.
//
// Printers understand words and numbers that are not the texts a user
// should see. These tables fill the drop-down lists of the settings windows
// and translate in both directions: from a value read from the printer to the
// list item to select, and from the selected item back to the value to send.
// Nothing here talks to a printer or uses widgets: the routines work on an
// OptionList (items plus the selected position), which the windows copy to
// and from their drop-down lists (see windows/GuiOptionLists.h), and which
// pellumctl uses directly.
#pragma once

#include <QString>
#include <QStringList>

namespace OptionTables {

// A drop-down list: ordered item texts and the selected position (-1: none).
struct OptionList {
    QStringList items;
    int selected = -1;

    QString selectedText() const {
        return selected >= 0 && selected < items.size() ? items.at(selected) : QString();
    }
};

// ASCII-only case folding: only A-Z and a-z are affected.
QString AsciiLower(const QString& text);
bool EqualsIgnoringAsciiCase(const QString& a, const QString& b);

// Position of the first item equal to `value` ignoring ASCII case (-1: none).
int IndexByText(const QStringList& items, const QString& value);
// Position of the first item equal to `value` exactly (-1: none).
int IndexByTextExact(const QStringList& items, const QString& value);

// The code of a key-value code-page item "name(code)": the text after the
// last "(" up to, not including, the item's final character. "" when the
// item has no "(".
QString ItemCode(const QString& item);

// Selects the first item whose code, lower-cased, equals `value` exactly;
// none found: item 0 (an empty list keeps no selection).
void SelectByCode(OptionList& list, const QString& value);
// Selects the first item equal to `value` ignoring ASCII case; none: item 0.
void SelectByText(OptionList& list, const QString& value);
// Selects the first item equal to `value` exactly; none: item 0.
void SelectByTextExact(OptionList& list, const QString& value);

// The word lists of the key-value settings (lower-case, as the printer uses
// them).
const QStringList& SwitchWords();    // "on", "off"
const QStringList& MediaWords();     // "gap", "black mark", "continuous"
const QStringList& PrintModeWords(); // "tear", "peel", "cutter"

// `value` not empty: selects the item at the position of the first word equal
// to it (exactly), item 0 when none is; returns "". `value` empty: returns the
// word at `index` and leaves the selection alone; an index outside the words
// (-1 when the list has no selection) gives "" so that the caller sends no
// value.
QString KvWordList(OptionList& list, const QString& value, int index, const QStringList& words);

// The speed class N of a model: 3 in IPS3, 4 in IPS4, ... 8 in IPS8, tested
// in that order; 3 when the model is in none of them.
int SpeedClass(const QString& model);
// Refills the list with "2" ... N of the model's speed class; selects item 0.
void FillSpeedList(OptionList& list, const QString& model);
// Refills the list with "0" ... n (n + 1 items); selects item 0.
void FillNumberList(OptionList& list, int n);

// Paper width of the selected model (CurrentModel): "56" in PaperWidth56,
// else "80" in PaperWidth80, else "108" in PaperWidth108, else "48".
QString GetPaperWidth(const QString& model);

// Code pages of the key-value models' three emulations, items "name(code)".
const QStringList& TsplCodepages(); // 49 items
const QStringList& ZplCodepages();  // 29 items
const QStringList& EplCodepages();  // 20 items
void FillTsplCodepages(OptionList& list);
void FillZplCodepages(OptionList& list);
void FillEplCodepages(OptionList& list);

// Code pages of the block-protocol models (46 whole names).
const QStringList& BlockCodepages();
void FillCodepageList(OptionList& list);

// The code-page number table of the block-protocol models.
enum class CodepageDirection { NameToNumber, NumberToName };
// NameToNumber: the number (decimal text) of the first row whose name equals
// `text` exactly, "0" when none does. NumberToName: the name of the first row
// whose number equals `text` exactly, "0" when none does (so "0" gives
// "Default").
QString CodepageNumber(const QString& text, CodepageDirection direction);

// The international character sets, in their order 0-15.
const QStringList& CharacterSets();
// The number of an international character set (exact name); 0 when unknown.
int CountryNumber(const QString& name);

} // namespace OptionTables
