#include "platform/SystemLanguage.h"

#include <cstdlib>

namespace pellum {

int LanguageIdForLocale(const QString& locale) {
    const QString l = locale.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    const QString lang = l.section(QLatin1Char('_'), 0, 0).toLower();
    const QString country = l.section(QLatin1Char('_'), 1, 1).toUpper();
    struct Entry {
        const char* lang;
        const char* country; // "" = the language's primary identifier
        int id;
    };
    static const Entry table[] = {
        {"en", "US", 1033}, {"en", "GB", 2057}, {"en", "AU", 3081}, {"en", "CA", 4105},
        {"en", "NZ", 5129}, {"en", "IE", 6153}, {"en", "", 1033},   {"zh", "CN", 2052},
        {"zh", "SG", 4100}, {"zh", "TW", 1028}, {"zh", "HK", 3076}, {"zh", "MO", 5124},
        {"zh", "", 2052},   {"ja", "", 1041},   {"ko", "", 1042},   {"ru", "", 1049},
        {"pt", "BR", 1046}, {"pt", "PT", 2070}, {"pt", "", 2070},   {"es", "ES", 3082},
        {"es", "MX", 2058}, {"es", "GT", 4106}, {"es", "CR", 5130}, {"es", "PA", 6154},
        {"es", "DO", 7178}, {"es", "VE", 8202}, {"es", "CO", 9226}, {"es", "PE", 10250},
        {"es", "AR", 11274}, {"es", "EC", 12298}, {"es", "CL", 13322}, {"es", "UY", 14346},
        {"es", "PY", 15370}, {"es", "BO", 16394}, {"es", "SV", 17418}, {"es", "HN", 18442},
        {"es", "NI", 19466}, {"es", "PR", 20490}, {"es", "US", 21514}, {"es", "", 3082},
        {"fr", "CA", 3084}, {"fr", "BE", 2060}, {"fr", "CH", 4108}, {"fr", "", 1036},
        {"de", "AT", 3079}, {"de", "CH", 2055}, {"de", "", 1031},   {"it", "", 1040},
        {"nl", "BE", 2067}, {"nl", "", 1043},   {"pl", "", 1045},   {"cs", "", 1029},
        {"sk", "", 1051},   {"hu", "", 1038},   {"tr", "", 1055},   {"el", "", 1032},
        {"he", "", 1037},   {"ar", "", 1025},   {"th", "", 1054},   {"vi", "", 1066},
        {"uk", "", 1058},   {"bg", "", 1026},   {"ro", "", 1048},   {"sv", "", 1053},
        {"fi", "", 1035},   {"da", "", 1030},   {"nb", "", 1044},   {"no", "", 1044},
        {"id", "", 1057},   {"ms", "", 1086},   {"fa", "", 1065},   {"hr", "", 1050},
        {"sl", "", 1060},   {"sr", "", 3098},   {"lt", "", 1063},   {"lv", "", 1062},
        {"et", "", 1061},
    };
    for (const Entry& e : table)
        if (lang == QLatin1String(e.lang) && country == QLatin1String(e.country))
            return e.id;
    for (const Entry& e : table)
        if (lang == QLatin1String(e.lang) && *e.country == '\0')
            return e.id;
    return 1033;
}

int SystemLanguageId() {
    bool ok = false;
    int v = qEnvironmentVariable("PELLUM_LANGID").toInt(&ok);
    if (ok && v > 0)
        return v;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return LanguageIdForLocale(QString::fromLocal8Bit(value));
    }
    return 1033;
}

} // namespace pellum
