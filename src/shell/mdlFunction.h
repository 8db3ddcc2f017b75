// Helpers shared by every window: configuration lookups, list files, text
// splitting, text <-> byte conversion and the model-list membership test.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace mdlFunction {

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

// True when `model` followed by "," occurs in `listValue` (case-sensitive
// substring test, nothing split or trimmed). An empty model is in no list.
bool ListContainsModel(const QString& listValue, const QString& model);

// The value of a model list of "PrinterTypeList_Label.ini". The lists that the
// main window caches (CacheModelLists) come from the cache, the others are
// read from the file at this moment.
QString ModelListValue(const QString& listKey);

// True when CurrentModel is in the model list `listKey`.
bool ModelIn(const QString& listKey);

// Reads the cached model lists once (the main window does this when first
// shown); later edits of the file are not seen for them.
void CacheModelLists();
// Forgets the cache (for tests that change the model-list file).
void ClearModelListCache();

// The keys whose values CacheModelLists keeps.
const QStringList& CachedModelListKeys();

} // namespace mdlFunction
