#include "shell/mdlFunction.h"

#include "platform/IniFile.h"
#include "shell/mdlGlobal.h"

#include <QHash>
#include <mutex>

namespace mdlFunction {
namespace {

std::mutex g_cacheMutex;
QHash<QString, QString> g_cache;
bool g_cached = false;

bool IsBlankOrControl(QChar c) {
    return c.unicode() <= 0x20 || c.unicode() == 0x7F;
}

} // namespace

QString ReadIniString(const QString& fileName, const QString& section, const QString& key) {
    return pellum::ReadPrivateProfileString(mdlGlobal::FilesFolder + fileName, section, key);
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

bool ListContainsModel(const QString& listValue, const QString& model) {
    // An empty model name would match every comma of every list.
    return !model.isEmpty() && listValue.contains(model + QLatin1Char(','), Qt::CaseSensitive);
}

const QStringList& CachedModelListKeys() {
    static const QStringList keys = {
        // the settings-window table, but for the Alder and Cedar lists
        QStringLiteral("Tupelo_NoNetParameterSetting"), QStringLiteral("Juniper_ParameterSetting"),
        QStringLiteral("Dogwood_ParameterSetting"), QStringLiteral("Ilex_ParameterSetting"),
        QStringLiteral("Hazel_ParameterSetting"), QStringLiteral("Ginkgo_ParameterSetting"),
        QStringLiteral("Kapok_ParameterSetting"), QStringLiteral("Sumac_ParameterSetting"),
        QStringLiteral("Maple_ParameterSetting"), QStringLiteral("Wattle_ParameterSetting"),
        QStringLiteral("Nutmeg_ParameterSetting"), QStringLiteral("Birch_ParameterSetting"),
        QStringLiteral("Tupelo_ParameterSetting"), QStringLiteral("Poplar_ParameterSetting"),
        QStringLiteral("Larch_ParameterSetting"),
        // options of the settings windows and the identity replies
        QStringLiteral("OnlyChinese"), QStringLiteral("ProtocolDisable"),
        QStringLiteral("IsTealOff90"), QStringLiteral("IPS3"), QStringLiteral("IPS4"),
        QStringLiteral("IPS5"), QStringLiteral("IPS6"), QStringLiteral("IPS7"),
        QStringLiteral("IPS8"), QStringLiteral("VersionLength4"), QStringLiteral("Brisa_Serial"),
        QStringLiteral("UseVectorFont")};
    return keys;
}

void CacheModelLists() {
    QHash<QString, QString> values;
    for (const QString& key : CachedModelListKeys())
        values.insert(key,
                      ReadIniString(mdlGlobal::kModelListFile, mdlGlobal::kModelListSection, key));
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    g_cache = std::move(values);
    g_cached = true;
}

void ClearModelListCache() {
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    g_cache.clear();
    g_cached = false;
}

QString ModelListValue(const QString& listKey) {
    {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        if (g_cached) {
            auto it = g_cache.constFind(listKey);
            if (it != g_cache.constEnd())
                return it.value();
        }
    }
    return ReadIniString(mdlGlobal::kModelListFile, mdlGlobal::kModelListSection, listKey);
}

bool ModelIn(const QString& listKey) {
    return ListContainsModel(ModelListValue(listKey), mdlGlobal::CurrentModel);
}

} // namespace mdlFunction
