#include "platform/IniFile.h"

#include "platform/AnsiCodec.h"

#include <QFile>

namespace pellum {
namespace {

bool IsBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

QStringView TrimBlanks(QStringView s) {
    qsizetype b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

} // namespace

QStringList ReadTextFileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = DecodeTextFile(file.readAll());
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == QLatin1Char('\n')) {
            qsizetype end = i;
            if (end > start && text[end - 1] == QLatin1Char('\r'))
                --end;
            if (!(i == text.size() && start == i))
                lines.append(text.mid(start, end - start));
            start = i + 1;
        }
    }
    return lines;
}

QString ReadPrivateProfileString(const QString& path, const QString& section, const QString& key) {
    const QStringList lines = ReadTextFileLines(path);
    bool inSection = false;
    for (const QString& raw : lines) {
        QStringView line = TrimBlanks(raw);
        if (line.isEmpty() || line.front() == QLatin1Char(';'))
            continue;
        if (line.front() == QLatin1Char('[')) {
            qsizetype close = line.indexOf(QLatin1Char(']'));
            QStringView name = TrimBlanks(close < 0 ? line.mid(1) : line.mid(1, close - 1));
            // A later section of the same name is not read: the first match wins.
            if (inSection)
                return QString();
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (TrimBlanks(line.left(eq)).compare(key, Qt::CaseInsensitive) != 0)
            continue;
        QStringView value = TrimBlanks(line.mid(eq + 1));
        if (value.size() >= 2 && value.front() == QLatin1Char('"') &&
            value.back() == QLatin1Char('"'))
            value = value.mid(1, value.size() - 2);
        return value.left(kIniValueMaxLength).toString();
    }
    return QString();
}

} // namespace pellum
