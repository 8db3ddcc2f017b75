// Text helpers shared by every layer: configuration lookups, list files,
// text splitting and text <-> byte conversion.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace pellum::text {

// Reads `key` of `section` from FilesFolder + `fileName` (private-profile
// rules; "" when missing). The file is read anew at each call.
QString ReadIniString(const QString& fileName, const QString& section, const QString& key);

// Every line of the file whose text, with surrounding blanks and control
// characters removed, is not empty; the lines themselves are kept unchanged.
// A missing file gives an empty list.
QStringList ReadListFile(const QString& path);

// The pieces between `delimiter`s in order, the piece after the last one
// always included: "a|b|" gives "a", "b", ""; "" gives one empty piece.
QStringList SplitText(const QString& text, QChar delimiter);

// Stores the low 8 bits of each character, one byte per character, no
// terminator. False (nothing stored) for an empty text. `buffer` must hold
// text.size() bytes.
bool TextToBytes(const QString& text, std::uint8_t* buffer);

// Each byte as the character of the same code, ending before the first byte
// at or below 0x20 or after bytes[highestIndex].
QString BytesToText(const std::uint8_t* bytes, int highestIndex);
QString BytesToText(const QByteArray& bytes);

} // namespace pellum::text
