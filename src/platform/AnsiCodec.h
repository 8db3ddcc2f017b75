// Conversion between the program's Unicode text and the byte encodings that
// printers and old text files use.
//
// The "ANSI code page" is one process-wide Windows code-page number:
// PELLUM_ANSI_CODEPAGE when that is set, otherwise derived from the system
// locale the way Windows picks it (zh_CN 936, zh_TW/zh_HK 950, ja 932, ...,
// 1252 for everything else). 65001 means UTF-8.
#pragma once

#include <QByteArray>
#include <QString>

namespace pellum {

// The process-wide ANSI code page (read once).
int AnsiCodePage();

// The ANSI code page Windows uses for a POSIX locale name such as
// "zh_CN.UTF-8" or "de_DE"; 1252 when nothing specific applies.
int CodePageForLocale(const QString& locale);

// Text to bytes in the given code page. Characters the code page cannot hold
// become '?'. Code page 65001 is UTF-8.
QByteArray ToCodePage(const QString& text, int codePage);
// The characters of `text` that the code page cannot hold, each once, in the
// order they first occur; empty when the whole text converts (always for
// 65001) and when the code page is unknown to the system.
QString UnconvertibleCharacters(const QString& text, int codePage);
// Bytes in the given code page to text. Invalid sequences become U+FFFD.
QString FromCodePage(const QByteArray& bytes, int codePage);

inline QByteArray ToAnsi(const QString& text) {
    return ToCodePage(text, AnsiCodePage());
}
inline QString FromAnsi(const QByteArray& bytes) {
    return FromCodePage(bytes, AnsiCodePage());
}

// Decodes the bytes of a text file: UTF-8 when they are valid UTF-8 (a
// leading byte-order mark is dropped), otherwise the ANSI code page.
QString DecodeTextFile(const QByteArray& bytes);

} // namespace pellum
