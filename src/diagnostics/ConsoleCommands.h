// The command console's conversions between page text and command bytes.
//
// A console page holds either text (sent as its bytes in the ANSI code page,
// line breaks as CR LF) or hexadecimal bytes ("1B 40 0x0A,0d"). These
// functions turn one form into the other and into the bytes that are sent;
// the window and the tests use them without any widget.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace ConsoleCommands {

// The value of a loose hexadecimal token: surrounding blanks removed, upper
// case, each character from the right adding digit * 16^k, where a character
// that is no hexadecimal digit counts as 0. 32-bit arithmetic that wraps.
std::int32_t HexTokenValue(const QString& token);

// True when `piece` is a non-empty run of hexadecimal digits; `value` gets
// its low 8 bits.
bool ParseHexByte(const QString& piece, std::uint8_t* value);

// The bytes as two upper-case hex digits and a space each.
QString TextToHexText(const QByteArray& bytes);

// A hexadecimal page read back as the bytes of text. Pieces are separated by
// spaces (empty pieces skipped). A piece whose token value is 0..126 is the
// character of that code; any other piece is the first byte of a two-byte
// character of the ANSI code page, read as a hexadecimal number together with
// the next piece. False, with `badPiece` naming the offending piece (empty
// when the second byte is missing), when that pair cannot be read.
bool HexTextToText(const QString& text, QByteArray* bytes, QString* badPiece);

// The bytes a hexadecimal page sends: every "0x" (lower-case x) removed,
// CR LF and "," taken as spaces, one byte per piece (low 8 bits of the
// piece's value). On a piece that is not a hexadecimal number it returns
// false with the piece's zero-based position and text.
bool CreateSendByteArray(const QString& pageText, QByteArray* bytes, int* badIndex,
                         QString* badPiece);

// The error text for a bad piece: "Command Error!", the position, "|" and the
// piece.
QString CommandErrorText(int index, const QString& piece);

// A page's text in the form the printer gets it: the editor's line breaks as
// CR LF, converted to the ANSI code page.
QByteArray PageBytes(const QString& editorText);
// The editor's text for page bytes in the ANSI code page.
QString EditorTextFromBytes(const QByteArray& bytes);
// The editor's text with its line breaks as CR LF (the form the hexadecimal
// reading of a page expects).
QString PageText(const QString& editorText);

// A text file as a text page: every line followed by CR LF (UTF-8 files are
// read as UTF-8, others in the ANSI code page).
QString TextFilePage(const QByteArray& fileBytes);

// A decimal number in [minimum, maximum] (surrounding blanks allowed).
bool ParseDecimal(const QString& text, int minimum, int maximum, int* value);

} // namespace ConsoleCommands
