// The shipped language file against the code: every text the code looks up
// must exist, and not be empty, in every language the file says it provides.
#include "core/Localization.h"
#include "platform/IniFile.h"

#include "TestSupport.h"

#include <QDirIterator>
#include <QFile>
#include <QMap>
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

// The keys of every section of the shipped file, in the file's order.
QMap<QString, QStringList> KeysBySection() {
    QMap<QString, QStringList> sections;
    QString current;
    for (const QString& raw : pellum::ReadTextFileLines(ShippedLanguageFile())) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            current = line.mid(1, line.size() - 2).trimmed();
            sections[current];
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            sections[current].append(line.left(eq).trimmed());
    }
    return sections;
}

// The placeholders of a text ({1}, %1), sorted, so that a translation that
// drops, adds or renumbers one is seen.
QStringList Placeholders(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("\\{[0-9]+\\}|%[0-9]+"));
    QStringList found;
    for (auto m = pattern.globalMatch(text); m.hasNext();)
        found.append(m.next().captured(0));
    found.sort();
    return found;
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

TEST(LanguageFile, ProvidesTheSevenLanguagesAndAValidDefault) {
    const QStringList ids = ListedLanguages();
    for (const char* id : {"1033", "2052", "1028", "1041", "1049", "1046", "1034"})
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

// Every language carries exactly the keys of the English section, each with
// the same placeholders and, for item lists, the same number of items.
TEST(LanguageFile, EveryListedLanguageHasTheEnglishKeysAndPlaceholders) {
    const QMap<QString, QStringList> sections = KeysBySection();
    const QStringList english = sections.value(QStringLiteral("1033"));
    ASSERT_FALSE(english.isEmpty());
    const QString file = ShippedLanguageFile();
    for (const QString& id : ListedLanguages()) {
        const QSet<QString> have(sections.value(id).cbegin(), sections.value(id).cend());
        const QSet<QString> want(english.cbegin(), english.cend());
        QStringList missing = QStringList(want.cbegin(), want.cend()), extra;
        missing.removeIf([&](const QString& k) { return have.contains(k); });
        for (const QString& k : have)
            if (!want.contains(k))
                extra.append(k);
        missing.sort();
        extra.sort();
        EXPECT_TRUE(missing.isEmpty())
            << "section " << id.toStdString() << " lacks: " << missing.join(", ").toStdString();
        EXPECT_TRUE(extra.isEmpty())
            << "section " << id.toStdString()
            << " has keys English lacks: " << extra.join(", ").toStdString();
        for (const QString& key : english) {
            const QString en = pellum::ReadPrivateProfileString(file, QStringLiteral("1033"), key);
            const QString tr = pellum::ReadPrivateProfileString(file, id, key);
            if (tr.isEmpty())
                continue; // reported above
            EXPECT_EQ(Placeholders(tr).join(QLatin1Char(' ')).toStdString(),
                      Placeholders(en).join(QLatin1Char(' ')).toStdString())
                << id.toStdString() << " " << key.toStdString() << ": " << tr.toStdString();
            if (key.endsWith(QLatin1String("_Item")) || key.endsWith(QLatin1String("_ItemCode"))) {
                EXPECT_EQ(tr.count(QLatin1Char(',')), en.count(QLatin1Char(',')))
                    << id.toStdString() << " " << key.toStdString();
            }
        }
    }
}
