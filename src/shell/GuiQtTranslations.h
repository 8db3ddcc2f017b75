// Qt's own texts (the standard buttons of message boxes, the file dialog) in
// the language of the program's texts.
#pragma once

#include <QString>

namespace pellum {

// The Qt locale name of a language-file section ("2052" -> "zh_CN",
// "1046" -> "pt_BR", ...); "" for English and for sections Qt has no
// translation of.
QString QtLocaleNameForLanguageId(const QString& languageId);

// The folder of Qt's translation files on this system.
QString QtTranslationsFolder();

// Installs qtbase_<locale>.qm from `folder` for the section `languageId`,
// replacing a translation installed by an earlier call. English, an unknown
// section or a missing or unreadable file leave Qt's built-in English texts;
// the result says whether a translation is now installed.
bool InstallQtTranslations(const QString& languageId,
                           const QString& folder = QtTranslationsFolder());

} // namespace pellum
