#include "diagnostics/ConsoleCommands.h"

#include "diagnostics/HexText.h"
#include "platform/AnsiCodec.h"

#include <QStringList>

namespace ConsoleCommands {

namespace {

// Blanks in the sense of the console: every character at or below the space.
bool IsBlank(QChar c) {
    return c.unicode() <= 0x20;
}

QString TrimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

// The pieces of a hexadecimal page, separated by spaces and line breaks;
// empty pieces are dropped.
QStringList Pieces(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

std::int32_t HexTokenValue(const QString& token) {
    const QString t = TrimBlanks(token).toUpper();
    std::uint32_t value = 0;
    std::uint32_t weight = 1;
    for (qsizetype i = t.size() - 1; i >= 0; --i) {
        const int d = HexDigit(t[i]);
        value += static_cast<std::uint32_t>(d < 0 ? 0 : d) * weight;
        weight *= 16;
    }
    return static_cast<std::int32_t>(value);
}

bool ParseHexByte(const QString& piece, std::uint8_t* value) {
    if (piece.isEmpty())
        return false;
    std::uint32_t v = 0;
    for (const QChar c : piece) {
        const int d = HexDigit(c);
        if (d < 0)
            return false;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    *value = static_cast<std::uint8_t>(v & 0xFF);
    return true;
}

QString TextToHexText(const QByteArray& bytes) {
    return HexText(bytes);
}

bool HexTextToText(const QString& text, QByteArray* bytes, QString* badPiece) {
    const QStringList pieces = Pieces(text);
    QByteArray out;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const QString& p = pieces[i];
        const std::int32_t v = HexTokenValue(p);
        if (v >= 0 && v <= 126) {
            out.append(static_cast<char>(v));
            continue;
        }
        // A byte above 126 leads a two-byte character of the ANSI code page.
        std::uint8_t lead = 0;
        if (!ParseHexByte(p, &lead)) {
            *badPiece = p;
            return false;
        }
        if (i + 1 >= pieces.size()) {
            *badPiece = p;
            return false;
        }
        std::uint8_t trail = 0;
        if (!ParseHexByte(pieces[++i], &trail)) {
            *badPiece = pieces[i];
            return false;
        }
        out.append(static_cast<char>(lead));
        out.append(static_cast<char>(trail));
    }
    *bytes = out;
    return true;
}

bool CreateSendByteArray(const QString& pageText, QByteArray* bytes, int* badIndex,
                         QString* badPiece) {
    QString t = pageText;
    t.remove(QLatin1String("0x"));
    t.replace(QLatin1String("\r\n"), QLatin1String(" "));
    t.replace(QLatin1Char(','), QLatin1Char(' '));
    const QStringList pieces = TrimBlanks(t).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QByteArray out;
    out.reserve(pieces.size());
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        std::uint8_t b = 0;
        if (!ParseHexByte(pieces[i], &b)) {
            *badIndex = static_cast<int>(i);
            *badPiece = pieces[i];
            return false;
        }
        out.append(static_cast<char>(b));
    }
    *bytes = out;
    return true;
}

QString CommandErrorText(int index, const QString& piece) {
    return QStringLiteral("Command Error!") + QString::number(index) + QLatin1Char('|') + piece;
}

QString PageText(const QString& editorText) {
    QString t = editorText;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return t;
}

QByteArray PageBytes(const QString& editorText) {
    return pellum::ToAnsi(PageText(editorText));
}

QString EditorTextFromBytes(const QByteArray& bytes) {
    QString t = pellum::FromAnsi(bytes);
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return t;
}

QString TextFilePage(const QByteArray& fileBytes) {
    QString text = pellum::DecodeTextFile(fileBytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.isEmpty())
        return QString();
    QStringList lines = text.split(QLatin1Char('\n'));
    // A final line break ends the last line; it starts no new one.
    if (text.endsWith(QLatin1Char('\n')))
        lines.removeLast();
    QString page;
    for (const QString& line : lines)
        page += line + QLatin1String("\r\n");
    return page;
}

bool ParseDecimal(const QString& text, int minimum, int maximum, int* value) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok || v < minimum || v > maximum)
        return false;
    *value = v;
    return true;
}

} // namespace ConsoleCommands
