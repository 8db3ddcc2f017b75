#include "platform/IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using pellum::ReadPrivateProfileString;
using pellum::ReadTextFileLines;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QString Write(const QByteArray& content) {
        QString path = dir.path() + QStringLiteral("/t.ini");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(IniFileTest, LookupRules) {
    const QString path = Write("; comment line\r\n"
                               "[Map]\r\n"
                               "  Alder 310 =  PL310  \r\n"
                               "quoted=\"  with blanks  \"\r\n"
                               "inner=a \"b\" c\r\n"
                               "dup=first\r\n"
                               "dup=second\r\n"
                               ";hidden=yes\r\n"
                               "empty=\r\n"
                               "[map]\r\n"
                               "later=not seen\r\n"
                               "[Other]\r\n"
                               "key=other\r\n");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"Map", "Alder 310", "PL310"},      // blanks around key and value dropped
        {"MAP", "alder 310", "PL310"},      // section and key without regard to case
        {"Map", "quoted", "  with blanks  "}, // one pair of quotes dropped, inside kept
        {"Map", "inner", "a \"b\" c"},      // quotes inside are text
        {"Map", "dup", "first"},            // first match wins
        {"Map", ";hidden", ""},             // a comment is no key
        {"Map", "hidden", ""},
        {"Map", "empty", ""},
        {"Map", "later", ""},               // a second section of the same name is not read
        {"Other", "key", "other"},
        {"Missing", "key", ""},
        {"Map", "missing", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadPrivateProfileString(path, QString::fromUtf8(c.section),
                                           QString::fromUtf8(c.key)),
                  QString::fromUtf8(c.expected))
            << c.section << "/" << c.key;
}

TEST_F(IniFileTest, MissingFileGivesEmpty) {
    EXPECT_EQ(ReadPrivateProfileString(dir.path() + QStringLiteral("/none.ini"),
                                       QStringLiteral("A"), QStringLiteral("b")),
              QString());
}

TEST_F(IniFileTest, LongValuesAreCutAt2047Characters) {
    QByteArray models;
    for (int i = 0; models.size() < 3000; ++i)
        models += "M" + QByteArray::number(i) + ",";
    const QString path = Write("[ParameterSet]\nGDS=" + models + "\n");
    const QString value = ReadPrivateProfileString(path, QStringLiteral("ParameterSet"),
                                                   QStringLiteral("GDS"));
    EXPECT_EQ(value.size(), 2047);
    EXPECT_EQ(value, QString::fromLatin1(models.left(2047)));
}

TEST_F(IniFileTest, EveryCallReadsTheFileAnew) {
    const QString path = Write("[S]\nk=1\n");
    EXPECT_EQ(ReadPrivateProfileString(path, QStringLiteral("S"), QStringLiteral("k")),
              QStringLiteral("1"));
    Write("[S]\nk=2\n");
    EXPECT_EQ(ReadPrivateProfileString(path, QStringLiteral("S"), QStringLiteral("k")),
              QStringLiteral("2"));
}

TEST_F(IniFileTest, Utf8WithBomAndLegacyBytesAreBothRead) {
    const QString utf8 = Write("\xEF\xBB\xBF[2052]\n_Close=\xE5\x85\xB3\xE9\x97\xAD\n");
    EXPECT_EQ(ReadPrivateProfileString(utf8, QStringLiteral("2052"), QStringLiteral("_Close")),
              QString::fromUtf8("关闭"));
    // Not valid UTF-8: read in the ANSI code page (1252 unless configured).
    qputenv("PELLUM_ANSI_CODEPAGE", "1252");
    const QString legacy = Write("[S]\nname=Caf\xE9\n");
    EXPECT_EQ(ReadPrivateProfileString(legacy, QStringLiteral("S"), QStringLiteral("name")),
              QString::fromUtf8("Café"));
}

TEST_F(IniFileTest, TextLinesKeepTheirSpacingAndDropLineEnds) {
    const QString path = Write("a\r\n  b  \r\n\r\n   \nlast");
    EXPECT_EQ(ReadTextFileLines(path),
              (QStringList{QStringLiteral("a"), QStringLiteral("  b  "), QString(),
                           QStringLiteral("   "), QStringLiteral("last")}));
}

} // namespace
