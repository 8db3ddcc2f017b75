// The option tables: selection fallbacks, code extraction, the speed and
// paper-width classes from the model lists, and the code-page tables.
#include "core/OptionTables.h"
#include "core/ModelLists.h"
#include "core/PrinterSession.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace OptionTables;

namespace {

OptionList ListOf(const QStringList& items) {
    OptionList l;
    l.items = items;
    l.selected = -1;
    return l;
}

} // namespace

TEST(OptionTables, SelectByCodeComparesTheLowerCasedCodeExactly) {
    struct Case {
        const char* value;
        QString expected;
    } cases[] = {
        {"utf-8", QStringLiteral("UTF8(UTF-8)")},
        {"USA", QStringLiteral("USA(USA)")}, // no match: item 0
        {"usa", QStringLiteral("USA(USA)")},
        {"8859-15", QStringLiteral("Latin9(8859-15)")},
        {"1252", QStringLiteral("Latin I(1252)")},
        {"nothing", QStringLiteral("USA(USA)")},
    };
    for (const Case& c : cases) {
        OptionList l;
        FillTsplCodepages(l);
        l.selected = 5;
        SelectByCode(l, QString::fromLatin1(c.value));
        EXPECT_EQ(l.selectedText(), c.expected) << c.value;
    }
    // A code in capitals never matches: the selection falls back to item 0.
    OptionList l;
    FillTsplCodepages(l);
    l.selected = 7;
    SelectByCode(l, QStringLiteral("BRI"));
    EXPECT_EQ(l.selected, 0);
}

TEST(OptionTables, ItemCodeIsInsideTheLastParentheses) {
    EXPECT_EQ(ItemCode(QStringLiteral("Japan (ASCII with Yen symbol)(737)")),
              QStringLiteral("737"));
    EXPECT_EQ(ItemCode(QStringLiteral("English-US[DOS 437](0)")), QStringLiteral("0"));
    EXPECT_EQ(ItemCode(QStringLiteral("no code")), QString());
    EXPECT_EQ(ItemCode(QStringLiteral("x()")), QString());
}

TEST(OptionTables, ZplListSharesSwiAndSelectsTheFirstOfThem) {
    OptionList l;
    FillZplCodepages(l);
    ASSERT_EQ(l.items.size(), 29);
    int swi = 0;
    for (const QString& item : l.items)
        swi += AsciiLower(ItemCode(item)) == QStringLiteral("swi");
    EXPECT_EQ(swi, 3);
    SelectByCode(l, QStringLiteral("swi"));
    EXPECT_EQ(l.selectedText(), QStringLiteral("France 2(SWI)"));
    SelectByCode(l, QStringLiteral("737"));
    EXPECT_EQ(l.selectedText(), QStringLiteral("Japan (ASCII with Yen symbol)(737)"));
}

TEST(OptionTables, EplCodesAreDecimalThenLetters) {
    OptionList l;
    FillEplCodepages(l);
    ASSERT_EQ(l.items.size(), 20);
    QStringList codes;
    for (const QString& item : l.items)
        codes << AsciiLower(ItemCode(item));
    EXPECT_EQ(codes.first(), QStringLiteral("0"));
    EXPECT_EQ(codes.at(13), QStringLiteral("13"));
    EXPECT_EQ(codes.mid(14), (QStringList{"a", "b", "c", "d", "e", "f"}));
    EXPECT_EQ(TsplCodepages().size(), 49);
}

TEST(OptionTables, SelectByTextIgnoresOnlyAsciiCase) {
    const QStringList items{"NONE", "ODD", "EVEN", QStringLiteral("\u00C4x")};
    struct Case {
        QString value;
        int text;  // SelectByText
        int exact; // SelectByTextExact
    } cases[] = {
        {"none", 0, 0},
        {"NONE", 0, 0},
        {"even", 2, 0},
        {"EVEN", 2, 2},
        {"missing", 0, 0},
        {QStringLiteral("\u00E4x"), 0, 0}, // Ä is not ASCII
        {QStringLiteral("\u00C4X"), 3, 0},
    };
    for (const Case& c : cases) {
        OptionList a = ListOf(items);
        SelectByText(a, c.value);
        EXPECT_EQ(a.selected, c.text) << c.value.toStdString();
        OptionList b = ListOf(items);
        SelectByTextExact(b, c.value);
        EXPECT_EQ(b.selected, c.exact) << c.value.toStdString();
    }
    // "none" exact falls back to item 0 although "NONE" is there: check on a
    // list where item 0 is something else.
    OptionList l = ListOf({"ODD", "NONE"});
    SelectByTextExact(l, QStringLiteral("none"));
    EXPECT_EQ(l.selected, 0);
    SelectByText(l, QStringLiteral("none"));
    EXPECT_EQ(l.selected, 1);
    // An empty list has nothing to select.
    OptionList empty;
    SelectByText(empty, QStringLiteral("x"));
    EXPECT_EQ(empty.selected, -1);
}

TEST(OptionTables, KvWordListSelectsOrAnswersTheWord) {
    OptionList l = ListOf({"Gap", "Black mark", "Continuous"});
    l.selected = 1;
    EXPECT_EQ(KvWordList(l, QStringLiteral("continuous"), 0, MediaWords()), QString());
    EXPECT_EQ(l.selected, 2);
    EXPECT_EQ(KvWordList(l, QStringLiteral("Continuous"), 0, MediaWords()), QString());
    EXPECT_EQ(l.selected, 0); // exact comparison: no match
    l.selected = 1;
    EXPECT_EQ(KvWordList(l, QString(), 1, MediaWords()), QStringLiteral("black mark"));
    EXPECT_EQ(l.selected, 1); // selection unchanged
    EXPECT_EQ(KvWordList(l, QString(), -1, MediaWords()), QString());
    EXPECT_EQ(KvWordList(l, QString(), 3, MediaWords()), QString());
    EXPECT_EQ(SwitchWords(), (QStringList{"on", "off"}));
    EXPECT_EQ(PrintModeWords(), (QStringList{"tear", "peel", "cutter"}));
}

TEST(OptionTables, SpeedAndPaperWidthFollowTheModelLists) {
    pellum::PrinterSession session;
    pellum::test::TempProgramFolder folder(false);
    folder.writeFile(QStringLiteral("PrinterTypeList_Label.ini"),
                     "[ParameterSet]\n"
                     "IPS3=A,\nIPS4=B,\nIPS6=C,AB,\nIPS8=D,A,\n"
                     "PaperWidth56=E,\nPaperWidth80=E,F,\nPaperWidth108=G,\n");
    folder.makeCurrent();
    pellum::models::ClearModelListCache();
    struct Case {
        const char* model;
        QStringList speeds;
        const char* width;
    } cases[] = {
        {"A", {"2", "3"}, "48"},      // IPS3 tested before IPS8
        {"B", {"2", "3", "4"}, "48"}, //
        {"AB", {"2", "3", "4", "5", "6"}, "48"},
        {"D", {"2", "3", "4", "5", "6", "7", "8"}, "48"},
        {"Z", {"2", "3"}, "48"}, // in no list
        {"E", {"2", "3"}, "56"}, // PaperWidth56 before PaperWidth80
        {"F", {"2", "3"}, "80"},
        {"G", {"2", "3"}, "108"},
    };
    for (const Case& c : cases) {
        OptionList l = ListOf({"x"});
        FillSpeedList(l, QString::fromLatin1(c.model));
        EXPECT_EQ(l.items, c.speeds) << c.model;
        EXPECT_EQ(l.selected, 0);
        EXPECT_EQ(GetPaperWidth(QString::fromLatin1(c.model)), QString::fromLatin1(c.width))
            << c.model;
    }
}

TEST(OptionTables, FillNumberListHoldsZeroToN) {
    OptionList l;
    FillNumberList(l, 15);
    ASSERT_EQ(l.items.size(), 16);
    EXPECT_EQ(l.items.first(), QStringLiteral("0"));
    EXPECT_EQ(l.items.last(), QStringLiteral("15"));
    EXPECT_EQ(l.selected, 0);
}

TEST(OptionTables, CodepageNumberBothWays) {
    struct Case {
        QString text;
        CodepageDirection direction;
        QString expected;
    } cases[] = {
        {"PC856", CodepageDirection::NameToNumber, "66"},
        {"66", CodepageDirection::NumberToName, "PC856"},
        {"999", CodepageDirection::NumberToName, "0"},
        {"0", CodepageDirection::NumberToName, "Default"},
        {"PC437(USA:Standard Europe)", CodepageDirection::NameToNumber, "0"},
        {"ABICOMP", CodepageDirection::NameToNumber, "0"},
        {"CP790", CodepageDirection::NameToNumber, "67"},
        {"67", CodepageDirection::NumberToName, "CP790"},
        {"pc856", CodepageDirection::NameToNumber, "0"}, // exact names only
        {"059", CodepageDirection::NumberToName, "0"},   // exact number text only
        {"59", CodepageDirection::NumberToName, "ISO-8859-1(West Europe)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CodepageNumber(c.text, c.direction), c.expected) << c.text.toStdString();
}

TEST(OptionTables, BlockCodepageListIsTheWholeNames) {
    OptionList l;
    FillCodepageList(l);
    ASSERT_EQ(l.items.size(), 46);
    EXPECT_EQ(l.items.first(), QStringLiteral("Default"));
    EXPECT_EQ(l.items.at(44), QStringLiteral("PC856"));
    EXPECT_EQ(l.items.last(), QStringLiteral("ABICOMP"));
    EXPECT_FALSE(l.items.contains(QStringLiteral("CP790")));
    // Every offered name except the two sharing 0 and ABICOMP reads back as itself.
    for (const QString& name : l.items) {
        const QString number = CodepageNumber(name, CodepageDirection::NameToNumber);
        if (name == QStringLiteral("PC437(USA:Standard Europe)") ||
            name == QStringLiteral("ABICOMP"))
            continue;
        EXPECT_EQ(CodepageNumber(number, CodepageDirection::NumberToName), name);
    }
}

TEST(OptionTables, CountryNumberNeedsTheRomanNumeralCharacters) {
    EXPECT_EQ(CountryNumber(QStringLiteral("Denmark \u2161")), 10);
    EXPECT_EQ(CountryNumber(QStringLiteral("Denmark II")), 0);
    EXPECT_EQ(CountryNumber(QStringLiteral("Spain \u2160")), 7);
    EXPECT_EQ(CountryNumber(QStringLiteral("China")), 15);
    EXPECT_EQ(CountryNumber(QStringLiteral("china")), 0);
    ASSERT_EQ(CharacterSets().size(), 16);
    for (int i = 0; i < CharacterSets().size(); ++i)
        EXPECT_EQ(CountryNumber(CharacterSets().at(i)), i);
}
