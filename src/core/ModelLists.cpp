#include "core/ModelLists.h"

#include "core/PrinterSession.h"
#include "core/ProgramFiles.h"
#include "core/TextTools.h"

#include <QHash>
#include <mutex>

namespace pellum::models {
namespace {

std::mutex g_cacheMutex;
QHash<QString, QString> g_cache;
bool g_cached = false;

} // namespace

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
                      text::ReadIniString(files::kModelListFile, files::kModelListSection, key));
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
    return text::ReadIniString(files::kModelListFile, files::kModelListSection, listKey);
}

bool ModelIn(const QString& listKey, const QString& model) {
    return ListContainsModel(ModelListValue(listKey), model);
}

} // namespace pellum::models
