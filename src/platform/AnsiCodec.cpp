#include "platform/AnsiCodec.h"

#include <QList>
#include <QStringDecoder>

#include <cerrno>
#include <cstdlib>
#include <iconv.h>
#include <mutex>
#include <vector>

namespace pellum {
namespace {

QString LocaleFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* v = std::getenv(name);
        if (v && *v)
            return QString::fromLocal8Bit(v);
    }
    return QString();
}

QByteArray IconvName(int codePage) {
    if (codePage == 65001)
        return "UTF-8";
    return "CP" + QByteArray::number(codePage);
}

// Runs iconv over the whole input; unconvertible input is replaced by
// `replacement` and conversion goes on, so no text is silently cut short.
QByteArray Convert(const QByteArray& input, const QByteArray& from, const QByteArray& to,
                   const QByteArray& replacement, int inputUnit) {
    iconv_t cd = iconv_open(to.constData(), from.constData());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return QByteArray();
    QByteArray out;
    std::vector<char> buffer(4096);
    char* in = const_cast<char*>(input.constData());
    size_t inLeft = static_cast<size_t>(input.size());
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), static_cast<qsizetype>(buffer.size() - outLeft));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL: skip one input unit and put the replacement.
            size_t skip = std::min<size_t>(static_cast<size_t>(inputUnit), inLeft);
            in += skip;
            inLeft -= skip;
            out.append(replacement);
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer.data(), static_cast<qsizetype>(buffer.size() - outLeft));
    iconv_close(cd);
    return out;
}

} // namespace

int CodePageForLocale(const QString& locale) {
    QString l = locale.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    QString lang = l.section(QLatin1Char('_'), 0, 0).toLower();
    QString country = l.section(QLatin1Char('_'), 1, 1).toUpper();
    if (lang == QLatin1String("zh"))
        return (country == QLatin1String("TW") || country == QLatin1String("HK") ||
                country == QLatin1String("MO"))
                   ? 950
                   : 936;
    struct Entry {
        const char* lang;
        int codePage;
    };
    static const Entry table[] = {
        {"ja", 932},  {"ko", 949},  {"ru", 1251}, {"uk", 1251}, {"bg", 1251}, {"be", 1251},
        {"sr", 1251}, {"mk", 1251}, {"el", 1253}, {"tr", 1254}, {"he", 1255}, {"ar", 1256},
        {"fa", 1256}, {"ur", 1256}, {"vi", 1258}, {"th", 874},  {"pl", 1250}, {"cs", 1250},
        {"sk", 1250}, {"hu", 1250}, {"sl", 1250}, {"hr", 1250}, {"ro", 1250}, {"sq", 1250},
        {"bs", 1250}, {"et", 1257}, {"lv", 1257}, {"lt", 1257},
    };
    for (const Entry& e : table)
        if (lang == QLatin1String(e.lang))
            return e.codePage;
    return 1252;
}

int AnsiCodePage() {
    static int codePage = [] {
        bool ok = false;
        int v = qEnvironmentVariable("PELLUM_ANSI_CODEPAGE").toInt(&ok);
        if (ok && v > 0)
            return v;
        return CodePageForLocale(LocaleFromEnvironment());
    }();
    return codePage;
}

QByteArray ToCodePage(const QString& text, int codePage) {
    if (text.isEmpty())
        return QByteArray();
    if (codePage == 65001)
        return text.toUtf8();
    QByteArray utf32;
    const QList<uint> ucs4 = text.toUcs4();
    utf32.resize(ucs4.size() * 4);
    for (qsizetype i = 0; i < ucs4.size(); ++i) {
        uint c = ucs4[i];
        utf32[i * 4 + 0] = static_cast<char>(c & 0xFF);
        utf32[i * 4 + 1] = static_cast<char>((c >> 8) & 0xFF);
        utf32[i * 4 + 2] = static_cast<char>((c >> 16) & 0xFF);
        utf32[i * 4 + 3] = static_cast<char>((c >> 24) & 0xFF);
    }
    return Convert(utf32, "UTF-32LE", IconvName(codePage), "?", 4);
}

QString UnconvertibleCharacters(const QString& text, int codePage) {
    if (text.isEmpty() || codePage == 65001)
        return QString();
    iconv_t cd = iconv_open(IconvName(codePage).constData(), "UTF-32LE");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return QString();
    QList<uint> missing;
    for (const uint c : text.toUcs4()) {
        if (missing.contains(c))
            continue;
        char in[4] = {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF),
                      static_cast<char>((c >> 16) & 0xFF), static_cast<char>((c >> 24) & 0xFF)};
        char out[16];
        char* inPtr = in;
        size_t inLeft = sizeof in;
        char* outPtr = out;
        size_t outLeft = sizeof out;
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1))
            missing.append(c);
        // Each character on its own: no shift state carries over.
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    QString result;
    for (const uint c : missing)
        result += QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
    return result;
}

QString FromCodePage(const QByteArray& bytes, int codePage) {
    if (bytes.isEmpty())
        return QString();
    if (codePage == 65001)
        return QString::fromUtf8(bytes);
    QByteArray utf8 = Convert(bytes, IconvName(codePage), "UTF-8", "\xEF\xBF\xBD", 1);
    return QString::fromUtf8(utf8);
}

QString DecodeTextFile(const QByteArray& bytes) {
    QByteArray b = bytes;
    if (b.startsWith("\xEF\xBB\xBF"))
        b.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(b);
    if (!utf8.hasError())
        return text;
    return FromAnsi(b);
}

} // namespace pellum
