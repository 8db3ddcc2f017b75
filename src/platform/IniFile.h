// Reading INI and list files with the rules of Windows private-profile files.
#pragma once

#include <QString>
#include <QStringList>

namespace pellum {

// The longest value a lookup returns; longer values are cut.
constexpr int kIniValueMaxLength = 2047;

// Reads `key` of `section` from the INI file at `path`, anew at each call:
// section and key names match without regard to ASCII case, the first match
// wins, lines starting with ';' are comments, the value loses surrounding
// blanks and one pair of surrounding double quotes, and at most 2047
// characters are returned. A missing file, section or key gives "".
QString ReadPrivateProfileString(const QString& path, const QString& section, const QString& key);

// Every line of a text file (UTF-8, else the ANSI code page), without line
// ends, unchanged otherwise. A missing or unreadable file gives no lines.
QStringList ReadTextFileLines(const QString& path);

} // namespace pellum
