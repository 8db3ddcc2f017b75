#include "core/Localization.h"
#include "core/ProgramFiles.h"
#include "platform/IniFile.h"
#include "platform/SystemLanguage.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace pellum::lang;

TEST(Language, CommandLineSwitches) {
    struct Case {
        QStringList args;
        const char* id; // "" = the switch does not decide
    } cases[] = {
        {{"-CN"}, "2052"}, {{"-EN"}, "1033"},  {{"-TW"}, "1028"}, {{"-JP"}, "1041"},
        {{"-RU"}, "1049"}, {{"-PT"}, "1046"},  {{"-ES"}, "1034"}, {{"-cn"}, ""},
        {{"-EN "}, ""},    {{"x", "-EN"}, ""}, {{}, ""},
    };
    for (const Case& c : cases) {
        pellum::lang::LanguageId.clear();
        ApplyCommandLineSwitch(c.args);
        EXPECT_EQ(pellum::lang::LanguageId, QString::fromLatin1(c.id))
            << c.args.join(' ').toStdString();
    }
}

TEST(Language, Decision) {
    struct Case {
        const char* current;
        int system;
        const char* list;
        const char* defaultId;
        const char* expected;
    } cases[] = {
        {"", 2058, "1033,2052,1034", "1033", "1034"}, // Spanish (Mexico) -> 1034
        {"", 0x040A, "1034", "1033", "1034"},         // every Spanish identifier
        {"", 0x500A, "1034", "1033", "1034"},         // ... up to 0x500A
        {"", 0x540A, "1034", "1033", "1033"},         // past the twenty: not Spanish
        {"", 2070, "1046", "1033", "1046"},           // Portuguese (Portugal)
        {"", 3076, "1028", "1033", "1028"},           // Chinese (Hong Kong)
        {"", 5124, "1028", "1033", "1028"},           // Chinese (Macao)
        {"", 1036, "2052,1033", "1033", "1033"},      // French not provided
        {"", 1046, "10466", "1033", "1046"},          // substring test only
        {"1041", 2052, "1033,2052", "2052", "2052"},  // switch -JP not provided
        {"1033", 2052, "1033,2052", "2052", "1033"},  // switch wins over the system
        {"", 1036, "", "", ""},                       // nothing provided: empty
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecideLanguageId(QString::fromLatin1(c.current), c.system,
                                   QString::fromLatin1(c.list), QString::fromLatin1(c.defaultId)),
                  QString::fromLatin1(c.expected))
            << c.current << "/" << c.system << "/" << c.list;
}

TEST(Language, LocalesMapToWindowsIdentifiers) {
    struct Case {
        const char* locale;
        int id;
    } cases[] = {{"en_US.UTF-8", 1033}, {"zh_CN.UTF-8", 2052}, {"zh_TW", 1028}, {"zh_HK", 3076},
                 {"zh_MO", 5124},       {"ja_JP", 1041},       {"ru_RU", 1049}, {"pt_BR", 1046},
                 {"pt_PT", 2070},       {"es_ES", 3082},       {"es_MX", 2058}, {"fr_FR", 1036},
                 {"de_DE", 1031},       {"C", 1033},           {"de_LI", 1031}};
    for (const Case& c : cases)
        EXPECT_EQ(pellum::LanguageIdForLocale(QString::fromLatin1(c.locale)), c.id) << c.locale;
}

TEST(Language, ChoiceFromTheLanguageFileAndMessageTable) {
    pellum::test::TempProgramFolder folder(false);
    folder.makeCurrent();
    folder.writeFile(pellum::files::kLanguageFile,
                     "[LanguageCollect]\nList=1033,2052\nDefaultLanguageID=2052\n"
                     "[2052]\n_Close=关闭\n_FontSize=abc\n_FontCharset=134\n_FontName=X\n"
                     "[1033]\n_Close=Close\n");
    qputenv("PELLUM_LANGID", "1036");
    pellum::lang::LanguageId.clear();
    ChooseLanguage();
    EXPECT_EQ(pellum::lang::LanguageId, QStringLiteral("2052"));
    LoadMessageTable();
    EXPECT_EQ(Msg(QStringLiteral("_Close")), QString::fromUtf8("关闭"));
    EXPECT_EQ(Msg(QStringLiteral("_Set")), QString()); // missing key: empty
    ReadLanguageFont();
    EXPECT_EQ(CurrentLanguageFont().name, QStringLiteral("X"));
    EXPECT_EQ(CurrentLanguageFont().pointSize, -1); // not a number: keep the default
    EXPECT_EQ(CurrentLanguageFont().charset, 134);
    qunsetenv("PELLUM_LANGID");
}

TEST(Language, MessageBoxesUseTheirTitlesAndTheCodeForms) {
    pellum::test::TempProgramFolder folder(false);
    folder.makeCurrent();
    folder.writeFile(pellum::files::kLanguageFile,
                     "[1033]\n_MSG_Title_Error=Error\n_MSG_Title_Message=Info\n"
                     "_MSG_Title_Warn=Warn\n_Err_OpenPort=Open failed\n");
    pellum::lang::LanguageId = QStringLiteral("1033");
    LoadMessageTable();
    pellum::test::RecordingDialogs dialogs;
    dialogs.confirmAnswers = {false};
    ErrorBox(WithCode(Msg(QStringLiteral("_Err_OpenPort")), 3));
    InfoBox(CodeFirst(3, Msg(QStringLiteral("_Err_OpenPort"))));
    EXPECT_FALSE(ConfirmBox(QStringLiteral("Delete?")));
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].kind, pellum::MessageKind::Error);
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Error"));
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("Open failed:3"));
    EXPECT_EQ(dialogs.messages[1].title, QStringLiteral("Info"));
    EXPECT_EQ(dialogs.messages[1].text, QStringLiteral("3:Open failed"));
    EXPECT_EQ(dialogs.confirmations, std::vector<QString>{QStringLiteral("Delete?")});
}

// The choice against the shipped language file: every switch and the system
// languages that map onto its seven sections, one table read in order.
TEST(Language, ChoiceAgainstTheShippedLanguageFile) {
    const QString file =
        pellum::test::BuildBinFolder() + QStringLiteral("files/PellumLanguage.ini");
    const QString list = pellum::ReadPrivateProfileString(file, QStringLiteral("LanguageCollect"),
                                                          QStringLiteral("List"));
    const QString def = pellum::ReadPrivateProfileString(file, QStringLiteral("LanguageCollect"),
                                                         QStringLiteral("DefaultLanguageID"));
    ASSERT_EQ(def, QStringLiteral("1033"));
    struct Case {
        const char* sw; // "" = no switch
        int system;
        const char* list; // nullptr = the shipped List
        const char* expected;
    };
    std::vector<Case> cases = {
        {"-CN", 1033, nullptr, "2052"},
        {"-EN", 2052, nullptr, "1033"},
        {"-TW", 1033, nullptr, "1028"},
        {"-JP", 1033, nullptr, "1041"},
        {"-RU", 1033, nullptr, "1049"},
        {"-PT", 1033, nullptr, "1046"},
        {"-ES", 1033, nullptr, "1034"},
        {"", 1041, nullptr, "1041"},
        {"", 1049, nullptr, "1049"},
        {"", 1046, nullptr, "1046"},
        {"", 2070, nullptr, "1046"},
        {"", 3076, nullptr, "1028"},
        {"", 5124, nullptr, "1028"},
        {"", 2052, nullptr, "2052"},
        {"", 1036, nullptr, "1033"},
        {"", 0x540A, nullptr, "1033"},
        // A List that lacks the chosen language: the default, for a switch too.
        {"-JP", 1033, "1033,2052,1028", "1033"},
        {"", 1049, "1033,2052", "1033"},
        {"-ES", 1033, "1033,1046", "1033"},
        {"", 2070, "1033,1034", "1033"},
    };
    // The twenty Spanish identifiers, 0x040A to 0x500A.
    for (int k = 0; k < 20; ++k)
        cases.push_back({"", 0x040A + k * 0x0400, nullptr, "1034"});
    for (const Case& c : cases) {
        pellum::lang::LanguageId.clear();
        ApplyCommandLineSwitch(*c.sw ? QStringList{QString::fromLatin1(c.sw)} : QStringList{});
        EXPECT_EQ(DecideLanguageId(pellum::lang::LanguageId, c.system,
                                   c.list ? QString::fromLatin1(c.list) : list, def),
                  QString::fromLatin1(c.expected))
            << c.sw << "/" << c.system << "/" << (c.list ? c.list : "shipped");
    }
}
