#include "platform/AnsiCodec.h"

#include <gtest/gtest.h>

using namespace pellum;

TEST(AnsiCodec, CodePageOfLocales) {
    struct Case {
        const char* locale;
        int codePage;
    } cases[] = {{"zh_CN.UTF-8", 936},
                 {"zh_TW", 950},
                 {"zh_HK.Big5", 950},
                 {"ja_JP.UTF-8", 932},
                 {"ko_KR", 949},
                 {"ru_RU", 1251},
                 {"uk_UA", 1251},
                 {"el_GR", 1253},
                 {"tr_TR", 1254},
                 {"he_IL", 1255},
                 {"ar_EG", 1256},
                 {"vi_VN", 1258},
                 {"th_TH", 874},
                 {"pl_PL", 1250},
                 {"cs_CZ.UTF-8", 1250},
                 {"en_US.UTF-8", 1252},
                 {"de_DE@euro", 1252},
                 {"C", 1252},
                 {"", 1252}};
    for (const Case& c : cases)
        EXPECT_EQ(CodePageForLocale(QString::fromLatin1(c.locale)), c.codePage) << c.locale;
}

TEST(AnsiCodec, RoundTripsThroughCodePages) {
    struct Case {
        int codePage;
        const char* text; // UTF-8
        QByteArray bytes;
    } cases[] = {
        {1252, "Café €", QByteArray("Caf\xE9 \x80")},
        {936, "打印", QByteArray("\xB4\xF2\xD3\xA1")},
        {950, "列印", QByteArray("\xA6\x43\xA6\x4C")},
        {65001, "é", QByteArray("\xC3\xA9")},
        {1251, "Да", QByteArray("\xC4\xE0")},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(ToCodePage(text, c.codePage), c.bytes) << c.codePage;
        EXPECT_EQ(FromCodePage(c.bytes, c.codePage), text) << c.codePage;
    }
}

TEST(AnsiCodec, UnconvertibleCharactersBecomeQuestionMarksAndTheRestIsKept) {
    EXPECT_EQ(ToCodePage(QString::fromUtf8("a打b"), 1252), QByteArray("a?b"));
    // A lone lead byte at the end cannot be decoded; what came before is kept.
    EXPECT_EQ(FromCodePage(QByteArray("ab\x81"), 936), QString::fromUtf8("ab\uFFFD"));
}

// The characters a code page cannot hold, each once in the order of the
// text, so that a message can name what would print as "?".
TEST(AnsiCodec, NamesTheCharactersACodePageCannotHold) {
    const struct {
        const char* text;
        int codePage;
        const char* missing;
    } cases[] = {
        {"Hello \"quoted\"", 1252, ""},
        {"Grüße € ½", 1252, ""},
        {"中文 ok 中文", 1252, "中文"},
        {"a打b打c", 1252, "打"},
        {"啊 한 😀 한", 936, "한😀"},
        {"中文 한 😀", 65001, ""},
        {"Да ü", 1251, "ü"},
        {"中文", 12345, ""}, // a code page the system does not know: nothing to name
        {"", 1252, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(UnconvertibleCharacters(QString::fromUtf8(c.text), c.codePage),
                  QString::fromUtf8(c.missing));
    }
}

TEST(AnsiCodec, TextFilesAreUtf8WhenValidElseAnsi) {
    qputenv("PELLUM_ANSI_CODEPAGE", "1252");
    EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBFok"), QStringLiteral("ok"));
    EXPECT_EQ(DecodeTextFile("\xC3\xA9"), QString::fromUtf8("é"));
}
