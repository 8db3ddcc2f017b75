#include "core/ModelLists.h"
#include "core/PrinterSession.h"
#include "core/ProgramFiles.h"
#include "core/TextTools.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace pellum::text;
using namespace pellum::models;

TEST(SplitText, PiecesAroundEveryDelimiter) {
    struct Case {
        const char* text;
        QStringList pieces;
    } cases[] = {
        {"Alder|USB|USB", {"Alder", "USB", "USB"}},
        {"a|b|", {"a", "b", ""}},
        {"", {""}},
        {"|", {"", ""}},
        {"one", {"one"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitText(QString::fromUtf8(c.text), QLatin1Char('|')), c.pieces) << c.text;
}

TEST(TextBytes, LowEightBitsInAndStopAtControlOut) {
    std::uint8_t buffer[8] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_FALSE(TextToBytes(QString(), buffer));
    EXPECT_EQ(buffer[0], 0xAA); // nothing stored for an empty text
    ASSERT_TRUE(TextToBytes(QString::fromUtf8("Ab\u0141"), buffer)); // U+0141 -> 0x41
    EXPECT_EQ(buffer[0], 'A');
    EXPECT_EQ(buffer[1], 'b');
    EXPECT_EQ(buffer[2], 0x41);
    EXPECT_EQ(buffer[3], 0xAA); // no terminator

    const std::uint8_t reply[] = {'S', 'N', 0xE9, '1', ' ', 'x'};
    EXPECT_EQ(BytesToText(reply, 5), QString::fromUtf8("SN\u00E91"));
    EXPECT_EQ(BytesToText(reply, 1), QStringLiteral("SN")); // ends after the highest index
    const std::uint8_t blank[] = {0x00, 'A'};
    EXPECT_EQ(BytesToText(blank, 1), QString());
}

TEST(ModelLists, MembershipIsASubstringTestOfNameAndComma) {
    struct Case {
        const char* list;
        const char* model;
        bool member;
    } cases[] = {
        {"PL-Alder,PL-Birch,", "PL-Birch", true},
        {"XPL-Birch,", "PL-Birch", true},         // another name ending in the model counts
        {"PL-Alder,PL-Birch", "PL-Birch", false}, // no trailing comma: not a member
        {"pl-birch,", "PL-Birch", false},         // case-sensitive
        {"PL-Birch 2,", "PL-Birch", false},
        {"", "PL-Birch", false},
        {" PL-Birch ,", "PL-Birch", false}, // nothing trimmed
        {"PL-Birch,", "", false},           // no model: in no list, though "," occurs
    };
    for (const Case& c : cases)
        EXPECT_EQ(ListContainsModel(QString::fromUtf8(c.list), QString::fromUtf8(c.model)),
                  c.member)
            << c.list << " / " << c.model;
}

TEST(ModelLists, CachedListsKeepTheirValueOthersAreReadAnew) {
    pellum::test::TempProgramFolder folder(false);
    folder.makeCurrent();
    folder.writeFile(pellum::files::kModelListFile,
                     "[ParameterSet]\nNutmeg_ParameterSetting=A,\nGDS=A,\n");
    ClearModelListCache();
    CacheModelLists();
    folder.writeFile(pellum::files::kModelListFile,
                     "[ParameterSet]\nNutmeg_ParameterSetting=B,\nGDS=B,\n");
    const QString a = QStringLiteral("A");
    EXPECT_TRUE(ModelIn(QStringLiteral("Nutmeg_ParameterSetting"), a)); // cached at start
    EXPECT_FALSE(ModelIn(QStringLiteral("GDS"), a));                    // read now
    EXPECT_TRUE(ModelIn(QStringLiteral("GDS"), QStringLiteral("B")));
    ClearModelListCache();
}

TEST(ListFile, BlankAndWhitespaceOnlyLinesAreSkippedOthersKeptAsTheyAre) {
    pellum::test::TempProgramFolder folder(false);
    folder.writeFile(QStringLiteral("models.txt"), "PL-A\r\n\r\n   \r\n\t\r\n  PL-B  \r\nPL-C");
    EXPECT_EQ(
        ReadListFile(folder.filesFolder() + QStringLiteral("models.txt")),
        (QStringList{QStringLiteral("PL-A"), QStringLiteral("  PL-B  "), QStringLiteral("PL-C")}));
    EXPECT_TRUE(ReadListFile(folder.filesFolder() + QStringLiteral("missing.txt")).isEmpty());
}
