// The shipped language file against the code: every text the code looks up
// must exist, and not be empty, in every language the file says it provides.
#include "core/Localization.h"
#include "platform/IniFile.h"

#include "TestSupport.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

QString ShippedLanguageFile() {
    return pellum::test::BuildBinFolder() + QStringLiteral("files/PellumLanguage.ini");
}

// Literal keys in the sources: message keys passed to Msg(...) and window
// keys, which all begin with the window prefix "Form".
QSet<QString> KeysInSources(QSet<QString>* messageKeysUsed) {
    QSet<QString> keys;
    const QRegularExpression windowKey(QStringLiteral("\"(Form[A-Za-z0-9]*_[A-Za-z0-9_]+)\""));
    const QRegularExpression msgKey(
        QStringLiteral("Msg\\((?:QStringLiteral\\()?\"(_[A-Za-z0-9_]+)\""));
    QDirIterator it(QStringLiteral(PELLUM_SOURCE_DIR "/src"),
                    {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(f.readAll());
        for (auto m = windowKey.globalMatch(text); m.hasNext();) {
            const QString key = m.next().captured(1);
            // A key that ends in "_" is a prefix the code completes with a
            // control name; the completed keys are checked where they are made.
            if (!key.endsWith(QLatin1Char('_')))
                keys.insert(key);
        }
        for (auto m = msgKey.globalMatch(text); m.hasNext();)
            messageKeysUsed->insert(m.next().captured(1));
    }
    return keys;
}

QStringList ListedLanguages() {
    const QString list = pellum::ReadPrivateProfileString(
        ShippedLanguageFile(), QStringLiteral("LanguageCollect"), QStringLiteral("List"));
    QStringList ids;
    for (const QString& id :
         list.split(QRegularExpression(QStringLiteral("[^0-9]+")), Qt::SkipEmptyParts))
        ids.append(id);
    return ids;
}

} // namespace

TEST(LanguageFile, ProvidesTheThreeLanguagesAndAValidDefault) {
    const QStringList ids = ListedLanguages();
    for (const char* id : {"1033", "2052", "1028"})
        EXPECT_TRUE(ids.contains(QString::fromLatin1(id))) << id;
    const QString def =
        pellum::ReadPrivateProfileString(ShippedLanguageFile(), QStringLiteral("LanguageCollect"),
                                         QStringLiteral("DefaultLanguageID"));
    EXPECT_TRUE(ids.contains(def)) << def.toStdString();
    EXPECT_FALSE(pellum::ReadPrivateProfileString(ShippedLanguageFile(), QStringLiteral("Global"),
                                                  QStringLiteral("_Version"))
                     .isEmpty());
}

TEST(LanguageFile, EveryKeyTheCodeLooksUpIsPresentInEveryListedLanguage) {
    QSet<QString> messageKeysUsed;
    QSet<QString> keys = KeysInSources(&messageKeysUsed);
    for (const QString& k : pellum::lang::MessageKeys())
        keys.insert(k);
    for (const char* k : {"_FontName", "_FontSize", "_FontCharset"})
        keys.insert(QString::fromLatin1(k));
    ASSERT_FALSE(ListedLanguages().isEmpty());
    for (const QString& id : ListedLanguages()) {
        QStringList missing;
        for (const QString& key : keys)
            if (pellum::ReadPrivateProfileString(ShippedLanguageFile(), id, key).isEmpty())
                missing.append(key);
        missing.sort();
        EXPECT_TRUE(missing.isEmpty())
            << "section " << id.toStdString() << " lacks: " << missing.join(", ").toStdString();
    }
    // A message looked up with Msg() must be one the message table loads.
    QStringList unknown;
    for (const QString& key : messageKeysUsed)
        if (!pellum::lang::MessageKeys().contains(key))
            unknown.append(key);
    EXPECT_TRUE(unknown.isEmpty())
        << "not in the message table: " << unknown.join(", ").toStdString();
}
