// The widget-free parts of the diagnostics: the console's hexadecimal
// parsing, the test-print jobs and their sending sequences, and the
// production date read from a serial number.
#include "diagnostics/ConsoleCommands.h"
#include "diagnostics/PrinterInformation.h"
#include "diagnostics/TestPrintJobs.h"

#include "DiagnosticsFixture.h"

#include <QLocale>

using namespace diagtest;

// --- Console: hexadecimal pages ---------------------------------------------

TEST(ConsoleHex, TokenValueCountsNonDigitsAsZeroAndWraps) {
    const struct {
        const char* token;
        std::int32_t value;
    } cases[] = {
        {"41", 0x41},   {" 1b ", 0x1B}, {"7E", 126},      {"7f", 127},
        {"1FF", 0x1FF}, {"ZZ", 0},      {"G1", 1},        {"", 0},
        {"0X41", 0x41}, {"1G0", 0x100}, {"FFFFFFFF", -1}, {"100000041", 0x41},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConsoleCommands::HexTokenValue(QString::fromLatin1(c.token)), c.value) << c.token;
}

TEST(ConsoleHex, SendBytesOfAHexadecimalPage) {
    const struct {
        const char* page;
        const char* bytes; // hex, or nullptr when the page has a bad piece
        int badIndex;
        const char* badPiece;
    } cases[] = {
        {"1B 40 0x0A,0d\r\nff", "1B400A0DFF", 0, ""},
        {"1FF", "FF", 0, ""},           // low 8 bits of the piece
        {"  1b   40  ", "1B40", 0, ""}, // blanks and runs of spaces
        {"0x1B0x40", "40", 0, ""},      // one piece 1B40 once "0x" is gone
        {",, 0x ,", "", 0, ""},         // nothing left
        {"0X41", nullptr, 0, "0X41"},   // upper-case X is not removed
        {"1B 4G 40", nullptr, 1, "4G"},
        {"1B\r\n40 -1", nullptr, 2, "-1"},
    };
    for (const auto& c : cases) {
        QByteArray bytes = "unchanged";
        int index = -1;
        QString piece;
        const bool ok = ConsoleCommands::CreateSendByteArray(QString::fromLatin1(c.page), &bytes,
                                                             &index, &piece);
        SCOPED_TRACE(c.page);
        if (c.bytes) {
            ASSERT_TRUE(ok);
            EXPECT_EQ(bytes, Hex(c.bytes));
        } else {
            ASSERT_FALSE(ok);
            EXPECT_EQ(index, c.badIndex);
            EXPECT_EQ(piece, QString::fromLatin1(c.badPiece));
        }
    }
    EXPECT_EQ(ConsoleCommands::CommandErrorText(0, QStringLiteral("0X41")),
              QStringLiteral("Command Error!0|0X41"));
}

TEST(ConsoleHex, HexadecimalPageReadBackAsText) {
    const struct {
        const char* text;
        const char* bytes; // hex, or nullptr when the conversion fails
        const char* badPiece;
    } cases[] = {
        {"41 42 ", "4142", ""},
        {"41  42", "4142", ""},
        {"B0 A1", "B0A1", ""}, // one double-byte character
        {"41 B0 A1 42", "41B0A142", ""},
        {"1FF 41", "FF41", ""},   // above 126: read with the next piece
        {"41\r\n42", "4142", ""}, // line breaks separate pieces too
        {"ZZ", "00", ""},         // no digits: the value 0
        {"B0", nullptr, "B0"},    // lead byte without its partner
        {"B0 ZZ", nullptr, "ZZ"}, // partner is no hexadecimal number
        {"FG 41", nullptr, "FG"}, // a lead piece that is no hexadecimal number
    };
    for (const auto& c : cases) {
        QByteArray bytes = "unchanged";
        QString bad;
        const bool ok = ConsoleCommands::HexTextToText(QString::fromLatin1(c.text), &bytes, &bad);
        SCOPED_TRACE(c.text);
        if (c.bytes) {
            ASSERT_TRUE(ok);
            EXPECT_EQ(bytes, Hex(c.bytes));
        } else {
            ASSERT_FALSE(ok);
            EXPECT_EQ(bad, QString::fromLatin1(c.badPiece));
            EXPECT_EQ(bytes, QByteArray("unchanged"));
        }
    }
}

TEST(ConsoleHex, PageTextAndBytesInTheAnsiCodePage) {
    EXPECT_EQ(ConsoleCommands::TextToHexText(QByteArrayLiteral("AB")), QStringLiteral("41 42 "));
    EXPECT_EQ(ConsoleCommands::TextToHexText(Hex("1B40")), QStringLiteral("1B 40 "));
    // The editor's line breaks travel as CR LF.
    EXPECT_EQ(ConsoleCommands::PageBytes(QStringLiteral("A\nB")), QByteArray("A\r\nB"));
    EXPECT_EQ(ConsoleCommands::PageBytes(QStringLiteral("A\r\nB")), QByteArray("A\r\nB"));
    // GBK: U+554A is B0 A1, and back.
    EXPECT_EQ(ConsoleCommands::PageBytes(QStringLiteral(u"\u554A")), Hex("B0A1"));
    EXPECT_EQ(ConsoleCommands::EditorTextFromBytes(Hex("B0A10D0A41")),
              QStringLiteral(u"\u554A\nA"));
}

TEST(ConsoleHex, TextFileBecomesLinesEndingInCrLf) {
    const struct {
        QByteArray file;
        const char* page;
    } cases[] = {
        {"SIZE 40 mm\nCLS", "SIZE 40 mm\r\nCLS\r\n"},
        {"A\r\nB\r\n", "A\r\nB\r\n"},
        {"A\rB", "A\r\nB\r\n"},
        {"A\n\nB\n", "A\r\n\r\nB\r\n"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConsoleCommands::TextFilePage(c.file), QString::fromLatin1(c.page))
            << c.file.constData();
    // Not UTF-8: read in the ANSI code page.
    EXPECT_EQ(ConsoleCommands::TextFilePage(Hex("B0A1")), QStringLiteral(u"\u554A\r\n"));
}

TEST(ConsoleHex, DecimalFields) {
    int v = -1;
    EXPECT_TRUE(ConsoleCommands::ParseDecimal(QStringLiteral(" 500 "), 1, 1000, &v));
    EXPECT_EQ(v, 500);
    for (const char* bad : {"", "abc", "0", "1001", "12x", "-5", "0x10"})
        EXPECT_FALSE(ConsoleCommands::ParseDecimal(QString::fromLatin1(bad), 1, 1000, &v)) << bad;
}

// --- Test-print jobs ---------------------------------------------------------

TEST(TestPrintJobs, LabelJobWritesInOrder) {
    const struct {
        const char* name;
        const char* text;
        const char* width;
        const char* height;
        bool vectorFont;
        std::vector<QByteArray> writes;
    } cases[] = {
        {"two lines",
         "AB\r\nCD",
         "40",
         "30",
         false,
         {"CLS\r\n", "SIZE 40 mm,30 mm\r\n", "TEXT 10,10,\"9\",0,1,1,\"AB\"\r\n",
          "TEXT 10,64,\"9\",0,1,1,\"CD\"\r\n", "PRINT 1\r\n"}},
        {"vector font",
         "AB\nCD",
         "40",
         "30",
         true,
         {"CLS\r\n", "SIZE 40 mm,30 mm\r\n", "TEXT 10,10,\"9\",0,50,50,\"AB\"\r\n",
          "TEXT 10,64,\"9\",0,50,50,\"CD\"\r\n", "PRINT 1\r\n"}},
        {"final line break prints an empty line",
         "AB\n",
         " 56 ",
         "210 ",
         false,
         {"CLS\r\n", "SIZE 56 mm,210 mm\r\n", "TEXT 10,10,\"9\",0,1,1,\"AB\"\r\n",
          "TEXT 10,64,\"9\",0,1,1,\"\"\r\n", "PRINT 1\r\n"}},
        {"placeholders in the text stay as typed",
         "{0} {1} {2}",
         "30",
         "30",
         false,
         {"CLS\r\n", "SIZE 30 mm,30 mm\r\n", "TEXT 10,10,\"9\",0,1,1,\"{0} {1} {2}\"\r\n",
          "PRINT 1\r\n"}},
        {"a double quote is escaped, not the end of the string",
         "say \"hi\" \\ ok",
         "30",
         "30",
         false,
         {"CLS\r\n", "SIZE 30 mm,30 mm\r\n",
          "TEXT 10,10,\"9\",0,1,1,\"say \\[\"]hi\\[\"] \\ ok\"\r\n", "PRINT 1\r\n"}},
        {"double-byte text in the ANSI code page",
         "\xE5\x95\x8A",
         "30",
         "30",
         false,
         {"CLS\r\n", "SIZE 30 mm,30 mm\r\n", "TEXT 10,10,\"9\",0,1,1,\"\xB0\xA1\"\r\n",
          "PRINT 1\r\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QList<QByteArray> writes =
            TestPrintJobs::LabelJob(QString::fromUtf8(c.text), QString::fromLatin1(c.width),
                                    QString::fromLatin1(c.height), c.vectorFont);
        EXPECT_EQ(std::vector<QByteArray>(writes.begin(), writes.end()), c.writes);
    }
    // y steps by 54 dots per line.
    const QList<QByteArray> many =
        TestPrintJobs::LabelJob(QStringLiteral("a\nb\nc\nd"), "30", "30", false);
    EXPECT_TRUE(many[5].startsWith("TEXT 10,172,")) << many[5].constData();
}

TEST(TestPrintJobs, TextJobOfEachFamily) {
    const struct {
        int family;
        const char* job;
    } cases[] = {
        {3, "Hello\r\n"},
        {4, "^XA\r\n^FO0,0^CI14^A@N,24,24,SIMSUN.TTF^FDHello^FS\r\n^XZ\r\n"},
        {5, "N\r\nA300,10,0,1,2,2,N,\"Hello\"\r\nP1\r\n"},
        {0, "Hello\n"},
        {1, "Hello\n"},
        {9, "Hello\n"}, // a family the printer reports without a name
    };
    for (const auto& c : cases)
        EXPECT_EQ(TestPrintJobs::TextJob(QStringLiteral("Hello"), c.family),
                  QString::fromLatin1(c.job))
            << c.family;
    // Characters that would end the text or start a command are escaped in
    // the family's own form; the plain families take the text as it is.
    const struct {
        int family;
        const char* text;
        const char* job;
    } escaped[] = {
        {5, "a\"b\\c", "N\r\nA300,10,0,1,2,2,N,\"a\\\"b\\\\c\"\r\nP1\r\n"},
        {4, "x^FSy~JA_z",
         "^XA\r\n^FO0,0^CI14^A@N,24,24,SIMSUN.TTF^FH^FDx_5EFSy_7EJA_5Fz^FS\r\n^XZ\r\n"},
        {4, "a_b\"c", "^XA\r\n^FO0,0^CI14^A@N,24,24,SIMSUN.TTF^FDa_b\"c^FS\r\n^XZ\r\n"},
        {3, "a\"b^c", "a\"b^c\r\n"},
        {0, "a\"b", "a\"b\n"},
    };
    for (const auto& c : escaped)
        EXPECT_EQ(TestPrintJobs::TextJob(QString::fromLatin1(c.text), c.family),
                  QString::fromLatin1(c.job))
            << c.family << " " << c.text;
}

TEST(TestPrintJobs, CodePageListAndSizeBoxes) {
    const QString list = QStringLiteral("936,950, 65001,x");
    EXPECT_EQ(TestPrintJobs::CodePageAt(list, 0), 936);
    EXPECT_EQ(TestPrintJobs::CodePageAt(list, 2), 65001);
    EXPECT_EQ(TestPrintJobs::CodePageAt(list, 3), 0);
    EXPECT_EQ(TestPrintJobs::CodePageAt(list, 4), 0);
    EXPECT_EQ(TestPrintJobs::CodePageAt(list, -1), 0);

    const struct {
        bool width;
        const char* text;
        const char* result; // nullptr: not a number
    } cases[] = {
        {true, "100", "56"}, {true, "5", "10"},      {true, "40", "40"},    {true, "56", "56"},
        {true, "", nullptr}, {false, "5", "10"},     {false, "300", "210"}, {false, "210", "210"},
        {false, "99", "99"}, {false, "ab", nullptr},
    };
    for (const auto& c : cases) {
        QString out = QStringLiteral("unchanged");
        const bool ok = c.width ? TestPrintJobs::ClampWidth(QString::fromLatin1(c.text), 56, &out)
                                : TestPrintJobs::ClampHeight(QString::fromLatin1(c.text), &out);
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ok, c.result != nullptr);
        if (c.result) {
            EXPECT_EQ(out, QString::fromLatin1(c.result));
        }
    }
}

class TestPrintSending : public DiagnosticsTest {};

TEST_F(TestPrintSending, LabelGoesOutInSeparateWritesAndClosesOnSuccess) {
    for (const char* model : {kPlainModel, kVectorModel}) {
        SCOPED_TRACE(model);
        Select(model, pellum::FamilyTSPL);
        tspl->clear();
        const auto outcome = TestPrintJobs::PrintLabel(session, QStringLiteral("AB\nCD"),
                                                       QStringLiteral("40"), "30");
        EXPECT_EQ(outcome.step, TestPrintJobs::Outcome::Done);
        const bool vector = QString::fromLatin1(model) == QLatin1String(kVectorModel);
        const QList<QByteArray> job = TestPrintJobs::LabelJob("AB\nCD", "40", "30", vector);
        EXPECT_EQ(tspl->writes(), std::vector<QByteArray>(job.begin(), job.end()));
        EXPECT_EQ(tspl->ops(), (std::vector<std::string>{"open", "write", "write", "write", "write",
                                                         "write", "close"}));
    }
}

TEST_F(TestPrintSending, LabelFailures) {
    const struct {
        const char* name;
        std::deque<std::int32_t> openResults;
        std::deque<std::int32_t> writeResults;
        const char* text;
        TestPrintJobs::Outcome::Step step;
        std::int32_t code;
        int writes;
        bool closed;
    } cases[] = {
        {"open refused", {3}, {}, "AB", TestPrintJobs::Outcome::OpenFailed, 3, 0, false},
        {"already open is usable", {5, 5}, {}, "AB", TestPrintJobs::Outcome::Done, 0, 4, true},
        {"blank text", {}, {}, " \n ", TestPrintJobs::Outcome::EmptyText, 0, 0, false},
        {"CLS fails", {}, {7}, "AB", TestPrintJobs::Outcome::WriteFailed, 7, 1, false},
        {"SIZE and TEXT failures are not looked at",
         {},
         {0, 7, 7},
         "AB",
         TestPrintJobs::Outcome::Done,
         0,
         4,
         true},
        {"PRINT fails", {}, {0, 0, 0, 9}, "AB", TestPrintJobs::Outcome::WriteFailed, 9, 4, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tspl->clear();
        tspl->openResults = c.openResults;
        tspl->writeResults = c.writeResults;
        const auto outcome = TestPrintJobs::PrintLabel(session, QString::fromLatin1(c.text),
                                                       QStringLiteral("40"), "30");
        EXPECT_EQ(outcome.step, c.step);
        EXPECT_EQ(outcome.code, c.code);
        EXPECT_EQ(int(tspl->writes().size()), c.writes);
        const auto ops = tspl->ops();
        EXPECT_EQ(!ops.empty() && ops.back() == "close", c.closed);
    }
}

TEST_F(TestPrintSending, TextJobGoesThroughTheFamilysLibrary) {
    const struct {
        int family;
        int library; // 0 TSPL, 1 CPCL, 2 ESC
        const char* job;
    } cases[] = {
        {pellum::FamilyZPL, 0, "^XA\r\n^FO0,0^CI14^A@N,24,24,SIMSUN.TTF^FDA\r\nB^FS\r\n^XZ\r\n"},
        {pellum::FamilyEPL, 0, "N\r\nA300,10,0,1,2,2,N,\"A\r\nB\"\r\nP1\r\n"},
        {pellum::FamilyCPCL, 1, "A\r\nB\r\n"},
        {pellum::FamilyESC, 2, "A\r\nB\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family);
        Select(kPlainModel, c.family);
        for (auto* lib : {tspl.get(), cpcl.get(), esc.get()})
            lib->clear();
        pellum::test::FakePrinterLibrary* libraries[] = {tspl.get(), cpcl.get(), esc.get()};
        pellum::test::FakePrinterLibrary& lib = *libraries[c.library];
        EXPECT_EQ(TestPrintJobs::PrintText(session, QStringLiteral("A\nB"), 0).step,
                  TestPrintJobs::Outcome::Done);
        ASSERT_EQ(lib.callsOf("create").size(), 1u);
        EXPECT_EQ(lib.callsOf("create")[0].text, QStringLiteral("Spruce"));
        EXPECT_EQ(lib.writes(), (std::vector<QByteArray>{QByteArray(c.job)}));
        EXPECT_EQ(lib.ops().back(), "close");
        for (auto* other : {tspl.get(), cpcl.get(), esc.get()})
            if (other != &lib) {
                EXPECT_TRUE(other->calls().empty());
            }
    }
}

TEST_F(TestPrintSending, TextJobVariants) {
    // 1B 53 first for the models of "Send1B53First"; its failure is only stored.
    Select(kPrefixModel, pellum::FamilyZPL);
    tspl->writeResults = {4, 0};
    EXPECT_EQ(TestPrintJobs::PrintText(session, QStringLiteral("Hi"), 0).step,
              TestPrintJobs::Outcome::Done);
    ASSERT_EQ(tspl->writes().size(), 2u);
    EXPECT_EQ(tspl->writes()[0], Hex("1B53"));

    // The list is read from the file at the moment of printing.
    QByteArray lists = kModelLists;
    lists.replace("Send1B53First=Test-Prefix,", "Send1B53First=Test-Plain,");
    folder->writeFile(pellum::files::kModelListFile, lists);
    Select(kPlainModel, pellum::FamilyESC);
    esc->clear();
    TestPrintJobs::PrintText(session, QStringLiteral("Hi"), 0);
    EXPECT_EQ(esc->writes(), (std::vector<QByteArray>{Hex("1B53"), "Hi\n"}));

    // A chosen code page, against the ANSI one (GBK here).
    const struct {
        int codePage;
        QByteArray bytes;
    } pages[] = {
        {0, Hex("B0A10A")}, {936, Hex("B0A10A")}, {65001, Hex("E5958A0A")}, {950, Hex("B0DA0A")}};
    Select(kPlainModel, pellum::FamilyESC);
    folder->writeFile(pellum::files::kModelListFile, kModelLists);
    for (const auto& p : pages) {
        esc->clear();
        EXPECT_EQ(TestPrintJobs::PrintText(session, QStringLiteral(u"\u554A"), p.codePage).step,
                  TestPrintJobs::Outcome::Done);
        EXPECT_EQ(esc->written(), p.bytes) << p.codePage;
    }
}

// Text that the code page in use cannot hold would print as "?": nothing is
// sent (not even the mode prefix), the connection is closed and the outcome
// names the code page and the characters.
TEST_F(TestPrintSending, UnprintableCharactersSendNothing) {
    Select(kPrefixModel, pellum::FamilyTSPL);
    tspl->clear();
    TestPrintJobs::Outcome label =
        TestPrintJobs::PrintLabel(session, QStringLiteral(u"OK \u554A \uD55C\n\uD55C x"), "30", "30");
    EXPECT_EQ(label.step, TestPrintJobs::Outcome::Unprintable);
    EXPECT_EQ(label.codePage, 936); // the ANSI code page of these tests
    EXPECT_EQ(label.characters, QStringLiteral(u"\uD55C"));
    EXPECT_TRUE(tspl->writes().empty());
    EXPECT_EQ(tspl->ops(), (std::vector<std::string>{"open", "close"}));

    const struct {
        int codePage;
        int shown;
        const char16_t* text;
        const char16_t* missing;
    } cases[] = {
        {1252, 1252, u"Pr\u00fcfung \u4E2D\u6587", u"\u4E2D\u6587"},
        {0, 936, u"\u554A\U0001F600", u"\U0001F600"},
        {950, 950, u"\u554A\u4EEC", u"\u4EEC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codePage);
        tspl->clear();
        const TestPrintJobs::Outcome text =
            TestPrintJobs::PrintText(session, QString::fromUtf16(c.text), c.codePage);
        EXPECT_EQ(text.step, TestPrintJobs::Outcome::Unprintable);
        EXPECT_EQ(text.codePage, c.shown);
        EXPECT_EQ(text.characters, QString::fromUtf16(c.missing));
        EXPECT_TRUE(tspl->writes().empty());
        ASSERT_FALSE(tspl->ops().empty());
        EXPECT_EQ(tspl->ops().back(), "close");
    }
    EXPECT_EQ(TestPrintJobs::CharacterList(QStringLiteral(u"\u4E2D\U0001F600x")),
              QStringLiteral(u"\u4E2D \U0001F600 x"));
}

TEST_F(TestPrintSending, TextJobFailures) {
    Select(kPrefixModel, pellum::FamilyZPL);
    const struct {
        const char* name;
        std::deque<std::int32_t> openResults;
        std::deque<std::int32_t> writeResults;
        const char* text;
        int codePage;
        TestPrintJobs::Outcome::Step step;
        int writes;
        bool closed;
    } cases[] = {
        {"open refused", {3}, {}, "Hi", 0, TestPrintJobs::Outcome::OpenFailed, 0, false},
        {"already open", {5, 5}, {}, "Hi", 0, TestPrintJobs::Outcome::Done, 2, true},
        {"blank text", {}, {}, "  ", 0, TestPrintJobs::Outcome::EmptyText, 0, false},
        {"job write fails", {}, {0, 6}, "Hi", 0, TestPrintJobs::Outcome::WriteFailed, 2, false},
        {"unknown code page sends nothing",
         {},
         {},
         "Hi",
         12345,
         TestPrintJobs::Outcome::UnknownCodePage,
         0,
         false},
        {"no code page for the item",
         {},
         {},
         "Hi",
         -1,
         TestPrintJobs::Outcome::UnknownCodePage,
         0,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tspl->clear();
        tspl->openResults = c.openResults;
        tspl->writeResults = c.writeResults;
        EXPECT_EQ(TestPrintJobs::PrintText(session, QString::fromLatin1(c.text), c.codePage).step,
                  c.step);
        EXPECT_EQ(int(tspl->writes().size()), c.writes);
        const auto ops = tspl->ops();
        EXPECT_EQ(!ops.empty() && ops.back() == "close", c.closed);
    }
}

// --- Production date and printer information ---------------------------------

TEST(ProduceDate, FromTheSerialLayouts) {
    const struct {
        const char* serial;
        bool brisa;
        QDate today;
        QDate date; // invalid: no date in the serial
    } cases[] = {
        {"5851ABC", true, QDate(2026, 12, 10), QDate(2018, 3, 12)}, // week 11 of 2018
        {"6341", true, QDate(2026, 1, 1), QDate(2022, 12, 26)},     // 1 Jan 2023 is a Sunday
        {"4541XYZ", true, QDate(2026, 1, 1), QDate(2004, 12, 27)},  // 2005, not "205"
        {"6651D4200077", true, QDate(2026, 1, 1), QDate(2026, 3, 9)},
        {"SN8110042", false, QDate(2018, 6, 1), QDate(2018, 3, 12)}, // digit 8 in 2018
        {"N200B6110042", false, QDate(2026, 12, 10), QDate(2026, 3, 9)},
        {"AB9230001", false, QDate(2021, 2, 1), QDate(2029, 6, 4)}, // 2029, not 2019
        {"3010000", false, QDate(2021, 1, 1), QDate(2022, 12, 26)},
        {"8110042", false, QDate(2026, 1, 1), QDate(2028, 3, 6)}, // today's decade
        {"585", true, QDate(2026, 1, 1), QDate()},                // too short
        {"AB51", true, QDate(2026, 1, 1), QDate()},               // year not digits
        {"3951", true, QDate(2026, 1, 1), QDate()},               // year before 2000
        {"5840", true, QDate(2026, 1, 1), QDate()},               // week 0
        {"5894", true, QDate(2026, 1, 1), QDate()},               // week 54
        {"811004", false, QDate(2026, 1, 1), QDate()},            // too short
        {"X8A10042", false, QDate(2026, 1, 1), QDate()},          // week not digits
        {"X8 10042", false, QDate(2026, 1, 1), QDate()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PrinterInformation::ProduceDate(QString::fromLatin1(c.serial), c.brisa, c.today),
                  c.date)
            << c.serial;
}

class PrinterInformationTest : public DiagnosticsTest {};

TEST_F(PrinterInformationTest, ProduceDateTextPerModel) {
    Select(kBrisaModel, pellum::FamilyTSPL);
    EXPECT_EQ(PrinterInformation::ProduceDateText(QStringLiteral("5851ABC"), session.Model()),
              QLocale::system().toString(QDate(2018, 3, 12), QLocale::ShortFormat));
    EXPECT_EQ(PrinterInformation::ProduceDateText(QString(), session.Model()),
              Msg("_Err_ReadData"));
    EXPECT_EQ(PrinterInformation::ProduceDateText(QStringLiteral("XXXXX12345"), session.Model()),
              Msg("_Err_ReadData"));
    // A serial without a date says so and names the serial.
    const QString none =
        PrinterInformation::ProduceDateText(QStringLiteral("ZZ51ABC"), session.Model());
    EXPECT_TRUE(none.contains(QLatin1String("ZZ51ABC"))) << none.toStdString();
    EXPECT_NE(none, Msg("_Err_ReadData"));
    // The same serial on a model of the other layout: its last seven characters.
    Select(kPlainModel, pellum::FamilyTSPL);
    const QDate other =
        PrinterInformation::ProduceDate(QStringLiteral("5851ABC"), false, QDate::currentDate());
    EXPECT_FALSE(other.isValid()); // "5851ABC": week "85" is no week
}

TEST_F(PrinterInformationTest, ReadsEverythingOverOneConnection) {
    Select(kBrisaModel, pellum::FamilyTSPL);
    tspl->serial = QByteArray("5851ABC\r\n");
    tspl->replies = {Hex("00003039"), Hex("010205")};
    const PrinterInformation::Facts facts = PrinterInformation::ReadFacts(session);
    ASSERT_TRUE(facts.opened);
    EXPECT_EQ(facts.serial, QStringLiteral("5851ABC"));
    EXPECT_EQ(facts.produceDate,
              QLocale::system().toString(QDate(2018, 3, 12), QLocale::ShortFormat));
    EXPECT_EQ(facts.printedLength,
              QLocale::system().toString(37.035, 'g', 15) + QStringLiteral(" (m)"));
    EXPECT_EQ(facts.firmwareVersion, QStringLiteral("V 1.2.5"));
    EXPECT_EQ(tspl->ops(), (std::vector<std::string>{"open", "getSn", "write", "read", "write",
                                                     "read", "close"}));
    EXPECT_EQ(tspl->writes(), (std::vector<QByteArray>{"ZZZGETJOURNEY\r\n", "ZZZGETVERSION\r\n"}));
}

TEST_F(PrinterInformationTest, KeyValueModelAsksWithGetval) {
    Select(kKeyValueModel, pellum::FamilyTSPL);
    tspl->replies = {QByteArray("SN8110042\0", 10), QByteArray("120\0", 4),
                     QByteArray("V2.3.4\0", 7)};
    const PrinterInformation::Facts facts = PrinterInformation::ReadFacts(session);
    ASSERT_TRUE(facts.opened);
    EXPECT_EQ(facts.serial, QStringLiteral("SN8110042"));
    EXPECT_EQ(facts.printedLength, QStringLiteral("120m"));
    EXPECT_EQ(facts.firmwareVersion, QStringLiteral("V2.3.4"));
    const auto writes = tspl->writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_TRUE(writes[0].endsWith("getval \"serial_no\"\r\n"));
    EXPECT_TRUE(writes[1].endsWith("getval \"mileage\"\r\n"));
    EXPECT_TRUE(writes[2].endsWith("getval \"version\"\r\n"));
    const auto ops = tspl->ops();
    EXPECT_EQ(std::count(ops.begin(), ops.end(), std::string("open")), 1);
}

TEST_F(PrinterInformationTest, FailuresAndMissingReplies) {
    tspl->openResults = {3};
    PrinterInformation::Facts facts = PrinterInformation::ReadFacts(session);
    EXPECT_FALSE(facts.opened);
    EXPECT_EQ(facts.openCode, 3);
    EXPECT_EQ(session.LastResult(), 3);
    EXPECT_TRUE(tspl->writes().empty());

    // No serial and no replies: every value says so, and the port is closed.
    tspl->clear();
    facts = PrinterInformation::ReadFacts(session);
    ASSERT_TRUE(facts.opened);
    EXPECT_EQ(facts.produceDate, Msg("_Err_ReadData"));
    EXPECT_EQ(facts.printedLength, Msg("_Err_ReadData"));
    EXPECT_EQ(facts.firmwareVersion, Msg("_Err_ReadData"));
    EXPECT_EQ(tspl->ops().back(), "close");
}
