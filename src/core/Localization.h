// The user-interface language: which section of "PellumLanguage.ini" is used,
// the shared message table, window texts, the language font and the three
// forms of message box.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace pellum::lang {

// The language section in use, e.g. "2052".
inline QString LanguageId;

// LanguageId for a command-line switch ("-CN" -> "2052", ...), "" when the
// text is no switch (the comparison is case-sensitive).
QString LanguageIdForSwitch(const QString& argument);

// Applies the switch of the first argument (arguments without the program
// name); later arguments are never looked at.
void ApplyCommandLineSwitch(const QStringList& arguments);

// Maps a system language identifier the way the language file expects:
// every Spanish identifier becomes 1034, Portuguese (Portugal) 1046, Chinese
// (Hong Kong, Macao) 1028; others stay.
int MapSystemLanguageId(int languageId);

// The language decision as a pure function: `current` (from the switch, may be
// empty) or else the mapped system identifier; when the result does not occur
// in `listText` (substring test) it becomes `defaultId`.
QString DecideLanguageId(const QString& current, int systemLanguageId, const QString& listText,
                         const QString& defaultId);

// Sets pellum::lang::LanguageId from the switch already applied, the system
// language and the language file's LanguageCollect section.
void ChooseLanguage();

// Every key of the message table.
const QStringList& MessageKeys();
// Reads the message table from the section LanguageId (once, at start-up).
void LoadMessageTable();
// A message text ("" for a key that is missing or not in the table).
QString Msg(const QString& key);

// A window text: ReadIniString("PellumLanguage.ini", LanguageId, key), read
// anew at each call.
QString LangText(const QString& key);

// "text:code", the usual form of a connection failure.
QString WithCode(const QString& text, std::int32_t code);
// "code:text", the form a few callers use.
QString CodeFirst(std::int32_t code, const QString& text);

// The three message boxes, titled from the message table.
void ErrorBox(const QString& text);
void InfoBox(const QString& text);
bool ConfirmBox(const QString& text); // true only for OK

// The language font of the section in use; size and charset are -1 when
// missing or not a decimal number (the window keeps its default then).
struct LanguageFont {
    QString name;
    int pointSize = -1;
    int charset = -1;
};
void ReadLanguageFont();
const LanguageFont& CurrentLanguageFont();

} // namespace pellum::lang
