#include "shell/GuiQtTranslations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace pellum {
namespace {

// The one translator this module installs, so that a second call replaces
// it instead of stacking another.
QPointer<QTranslator>& Installed() {
    static QPointer<QTranslator> translator;
    return translator;
}

void RemoveInstalled() {
    if (QTranslator* old = Installed().data()) {
        QCoreApplication::removeTranslator(old);
        delete old;
    }
    Installed().clear();
}

} // namespace

QString QtLocaleNameForLanguageId(const QString& languageId) {
    struct Entry {
        const char* id;
        const char* locale;
    };
    static const Entry table[] = {{"2052", "zh_CN"}, {"1028", "zh_TW"}, {"1041", "ja"},
                                  {"1049", "ru"},    {"1046", "pt_BR"}, {"1034", "es"}};
    for (const Entry& e : table)
        if (languageId == QLatin1String(e.id))
            return QString::fromLatin1(e.locale);
    return QString();
}

QString QtTranslationsFolder() {
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool InstallQtTranslations(const QString& languageId, const QString& folder) {
    RemoveInstalled();
    QCoreApplication* app = QCoreApplication::instance();
    const QString locale = QtLocaleNameForLanguageId(languageId);
    if (!app || locale.isEmpty() || folder.isEmpty())
        return false;
    auto* translator = new QTranslator(app);
    if (!translator->load(QStringLiteral("qtbase_") + locale, folder) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    Installed() = translator;
    return true;
}

} // namespace pellum
