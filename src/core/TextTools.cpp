#include "core/TextTools.h"

#include "core/ProgramFiles.h"
#include "platform/IniFile.h"

namespace pellum::text {
namespace {

bool IsBlankOrControl(QChar c) {
    return c.unicode() <= 0x20 || c.unicode() == 0x7F;
}

} // namespace

QString ReadIniString(const QString& fileName, const QString& section, const QString& key) {
    return pellum::ReadPrivateProfileString(files::FilesFolder + fileName, section, key);
}

QStringList ReadListFile(const QString& path) {
    QStringList result;
    for (const QString& line : pellum::ReadTextFileLines(path)) {
        bool blank = true;
        for (QChar c : line)
            if (!IsBlankOrControl(c)) {
                blank = false;
                break;
            }
        if (!blank)
            result.append(line);
    }
    return result;
}

QStringList SplitText(const QString& text, QChar delimiter) {
    return text.split(delimiter, Qt::KeepEmptyParts);
}

bool TextToBytes(const QString& text, std::uint8_t* buffer) {
    if (text.isEmpty())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i)
        buffer[i] = static_cast<std::uint8_t>(text[i].unicode() & 0xFF);
    return true;
}

QString BytesToText(const std::uint8_t* bytes, int highestIndex) {
    QString text;
    for (int i = 0; i <= highestIndex; ++i) {
        if (bytes[i] <= 0x20)
            break;
        text.append(QChar(static_cast<char16_t>(bytes[i])));
    }
    return text;
}

QString BytesToText(const QByteArray& bytes) {
    return BytesToText(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                       static_cast<int>(bytes.size()) - 1);
}

} // namespace pellum::text
