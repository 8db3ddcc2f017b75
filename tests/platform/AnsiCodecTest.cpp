#include "platform/AnsiCodec.h"

#include <gtest/gtest.h>

using namespace pellum;

TEST(AnsiCodec, CodePageOfLocales) {
    struct Case {
        const char* locale;
        int codePage;
    } cases[] = {{"zh_CN.UTF-8", 936}, {"zh_TW", 950},     {"zh_HK.Big5", 950},
                 {"ja_JP.UTF-8", 932}, {"ko_KR", 949},     {"ru_RU", 1251},
                 {"uk_UA", 1251},      {"el_GR", 1253},    {"tr_TR", 1254},
                 {"he_IL", 1255},      {"ar_EG", 1256},    {"vi_VN", 1258},
                 {"th_TH", 874},       {"pl_PL", 1250},    {"cs_CZ.UTF-8", 1250},
                 {"en_US.UTF-8", 1252}, {"de_DE@euro", 1252}, {"C", 1252}, {"", 1252}};
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

TEST(AnsiCodec, TextFilesAreUtf8WhenValidElseAnsi) {
    qputenv("PELLUM_ANSI_CODEPAGE", "1252");
    EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBFok"), QStringLiteral("ok"));
    EXPECT_EQ(DecodeTextFile("\xC3\xA9"), QString::fromUtf8("é"));
}
