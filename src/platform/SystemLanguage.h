// The system's default language as a Windows language identifier.
#pragma once

#include <QString>

namespace pellum {

// The Windows language identifier of a POSIX locale name ("zh_CN.UTF-8" ->
// 2052, "es_MX" -> 2058, "de" -> 1031, "C" -> 1033). 1033 when unknown.
int LanguageIdForLocale(const QString& locale);

// PELLUM_LANGID when set to a number, else the identifier of LC_ALL,
// LC_MESSAGES or LANG (the first one set).
int SystemLanguageId();

} // namespace pellum
