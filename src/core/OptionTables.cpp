#include "core/OptionTables.h"

#include "core/ModelLists.h"

#include <array>
#include <utility>

namespace OptionTables {

namespace {

QChar LowerAscii(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') ? QChar(char16_t(u + 32)) : c;
}

void SelectOrFirst(OptionList& list, int index) {
    if (index >= 0)
        list.selected = index;
    else
        list.selected = list.items.isEmpty() ? -1 : 0;
}

void Refill(OptionList& list, const QStringList& items) {
    list.items = items;
    list.selected = items.isEmpty() ? -1 : 0;
}

} // namespace

QString AsciiLower(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        c = LowerAscii(c);
    return out;
}

bool EqualsIgnoringAsciiCase(const QString& a, const QString& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (LowerAscii(a.at(i)) != LowerAscii(b.at(i)))
            return false;
    }
    return true;
}

int IndexByText(const QStringList& items, const QString& value) {
    for (int i = 0; i < items.size(); ++i) {
        if (EqualsIgnoringAsciiCase(items.at(i), value))
            return i;
    }
    return -1;
}

int IndexByTextExact(const QStringList& items, const QString& value) {
    return int(items.indexOf(value));
}

QString ItemCode(const QString& item) {
    const qsizetype open = item.lastIndexOf(QLatin1Char('('));
    if (open < 0)
        return QString();
    const qsizetype start = open + 1;
    const qsizetype end = item.size() - 1; // the final character is not part of the code
    if (end <= start)
        return QString();
    return item.mid(start, end - start);
}

void SelectByCode(OptionList& list, const QString& value) {
    int found = -1;
    for (int i = 0; i < list.items.size(); ++i) {
        if (AsciiLower(ItemCode(list.items.at(i))) == value) {
            found = i;
            break;
        }
    }
    SelectOrFirst(list, found);
}

void SelectByText(OptionList& list, const QString& value) {
    SelectOrFirst(list, IndexByText(list.items, value));
}

void SelectByTextExact(OptionList& list, const QString& value) {
    SelectOrFirst(list, IndexByTextExact(list.items, value));
}

const QStringList& SwitchWords() {
    static const QStringList words{QStringLiteral("on"), QStringLiteral("off")};
    return words;
}

const QStringList& MediaWords() {
    static const QStringList words{QStringLiteral("gap"), QStringLiteral("black mark"),
                                   QStringLiteral("continuous")};
    return words;
}

const QStringList& PrintModeWords() {
    static const QStringList words{QStringLiteral("tear"), QStringLiteral("peel"),
                                   QStringLiteral("cutter")};
    return words;
}

QString KvWordList(OptionList& list, const QString& value, int index, const QStringList& words) {
    if (!value.isEmpty()) {
        SelectOrFirst(list, int(words.indexOf(value)));
        return QString();
    }
    if (index < 0 || index >= words.size())
        return QString();
    return words.at(index);
}

int SpeedClass(const QString& model) {
    for (int n = 3; n <= 8; ++n) {
        const QString key = QStringLiteral("IPS%1").arg(n);
        if (pellum::models::ListContainsModel(pellum::models::ModelListValue(key), model))
            return n;
    }
    return 3;
}

void FillSpeedList(OptionList& list, const QString& model) {
    QStringList items;
    const int n = SpeedClass(model);
    for (int v = 2; v <= n; ++v)
        items << QString::number(v);
    Refill(list, items);
}

void FillNumberList(OptionList& list, int n) {
    QStringList items;
    for (int v = 0; v <= n; ++v)
        items << QString::number(v);
    Refill(list, items);
}

QString GetPaperWidth(const QString& model) {
    if (pellum::models::ModelIn(QStringLiteral("PaperWidth56"), model))
        return QStringLiteral("56");
    if (pellum::models::ModelIn(QStringLiteral("PaperWidth80"), model))
        return QStringLiteral("80");
    if (pellum::models::ModelIn(QStringLiteral("PaperWidth108"), model))
        return QStringLiteral("108");
    return QStringLiteral("48");
}

const QStringList& TsplCodepages() {
    static const QStringList items{
        QStringLiteral("USA(USA)"),
        QStringLiteral("British(BRI)"),
        QStringLiteral("German(GER)"),
        QStringLiteral("French(FRE)"),
        QStringLiteral("Danish(DAN)"),
        QStringLiteral("Italian(ITA)"),
        QStringLiteral("Spanish(SPA)"),
        QStringLiteral("Swedish(SWE)"),
        QStringLiteral("Swiss(SWI)"),
        QStringLiteral("United States(437)"),
        QStringLiteral("Greek(737)"),
        QStringLiteral("Multilingual(850)"),
        QStringLiteral("Greek1(851)"),
        QStringLiteral("Slavic(852)"),
        QStringLiteral("Cyrillic(855)"),
        QStringLiteral("Turkish(857)"),
        QStringLiteral("Portuguese(860)"),
        QStringLiteral("Icelandic(861)"),
        QStringLiteral("Hebrew(862)"),
        QStringLiteral("Canadian/French(863)"),
        QStringLiteral("Arabic(864)"),
        QStringLiteral("Nordic(865)"),
        QStringLiteral("Russian(866)"),
        QStringLiteral("Greek2(869)"),
        QStringLiteral("Central Europe(1250)"),
        QStringLiteral("Cyrillic(1251)"),
        QStringLiteral("Latin I(1252)"),
        QStringLiteral("Greek(1253)"),
        QStringLiteral("Turkish(1254)"),
        QStringLiteral("Hebrew(1255)"),
        QStringLiteral("Arabic(1256)"),
        QStringLiteral("Baltic(1257)"),
        QStringLiteral("Vietnam(1258)"),
        QStringLiteral("Japanese Shift-JIS(932)"),
        QStringLiteral("Simplified Chinese GBK(936)"),
        QStringLiteral("Korean(949)"),
        QStringLiteral("Traditional Chinese Big5(950)"),
        QStringLiteral("UTF8(UTF-8)"),
        QStringLiteral("Latin1(8859-1)"),
        QStringLiteral("Latin2(8859-2)"),
        QStringLiteral("Latin3(8859-3)"),
        QStringLiteral("Baltic(8859-4)"),
        QStringLiteral("Cyrillic(8859-5)"),
        QStringLiteral("Arabic(8859-6)"),
        QStringLiteral("Greek(8859-7)"),
        QStringLiteral("Hebrew(8859-8)"),
        QStringLiteral("Turkish(8859-9)"),
        QStringLiteral("Latin6(8859-10)"),
        QStringLiteral("Latin9(8859-15)"),
    };
    return items;
}

const QStringList& ZplCodepages() {
    // The ZPL character-set names carry the TSC codes in list order; three
    // names share "SWI", so the first of them answers a printer's "swi".
    static const QStringList items{
        QStringLiteral("U.S.A. 1(USA)"),
        QStringLiteral("U.S.A. 2(BRI)"),
        QStringLiteral("U.K.(GER)"),
        QStringLiteral("Holland(FRE)"),
        QStringLiteral("Denmark/Norway(DAN)"),
        QStringLiteral("Sweden/Finland(ITA)"),
        QStringLiteral("Germany(SPA)"),
        QStringLiteral("France 1(SWE)"),
        QStringLiteral("France 2(SWI)"),
        QStringLiteral("Italy(SWI)"),
        QStringLiteral("Spain(SWI)"),
        QStringLiteral("Miscellaneous(437)"),
        QStringLiteral("Japan (ASCII with Yen symbol)(737)"),
        QStringLiteral("Zebra Code Page 850(850)"),
        QStringLiteral("Asian Encodings(851)"),
        QStringLiteral("Shift-JIS(852)"),
        QStringLiteral("EUC-JP and EUC-CN(855)"),
        QStringLiteral("Deprecated - UCS-2 Big Endian(857)"),
        QStringLiteral("Single Byte Asian Encodings(860)"),
        QStringLiteral("Multibyte Asian Encodings(861)"),
        QStringLiteral("Zebra Code Page 1252(862)"),
        QStringLiteral("UTF-8(863)"),
        QStringLiteral("UTF-16 Big-Endian(864)"),
        QStringLiteral("UTF-16 Little-Endian(865)"),
        QStringLiteral("Zebra Code Page 1250(866)"),
        QStringLiteral("Code Page 1251(869)"),
        QStringLiteral("Code Page 1253(1250)"),
        QStringLiteral("Code Page 1254(1251)"),
        QStringLiteral("Code Page 1255(1252)"),
    };
    return items;
}

const QStringList& EplCodepages() {
    static const QStringList items{
        QStringLiteral("English-US[DOS 437](0)"),      QStringLiteral("Latin 1[DOS 850](1)"),
        QStringLiteral("Latin 2[DOS 852](2)"),         QStringLiteral("Protuguese[DOS 860](3)"),
        QStringLiteral("French Canadian[DOS 863](4)"), QStringLiteral("Nordic[DOS 865](5)"),
        QStringLiteral("Turkish[DOS 857](6)"),         QStringLiteral("Icelandic[DOS 861](7)"),
        QStringLiteral("Hebrew[DOS 862](8)"),          QStringLiteral("Cynillic[DOS 855](9)"),
        QStringLiteral("Cynillic CIS 1[DOS 866](10)"), QStringLiteral("Greek[DOS 737](11)"),
        QStringLiteral("Greek 1[DOS 851](12)"),        QStringLiteral("Greek 2[DOS 869](13)"),
        QStringLiteral("Latin 1[Windows 1252](A)"),    QStringLiteral("Latin 2[Windows 1250](B)"),
        QStringLiteral("Cynillic[Windows 1251](C)"),   QStringLiteral("Greek[Windows 1253](D)"),
        QStringLiteral("Turkish[Windows 1254](E)"),    QStringLiteral("Hebrew[Windows 1255](F)"),
    };
    return items;
}

void FillTsplCodepages(OptionList& list) {
    Refill(list, TsplCodepages());
}
void FillZplCodepages(OptionList& list) {
    Refill(list, ZplCodepages());
}
void FillEplCodepages(OptionList& list) {
    Refill(list, EplCodepages());
}

namespace {

struct CodepageRow {
    const char* name;
    int number;
};

// Name and printer number of each block-protocol code page. "Default" and
// "PC437(...)" share 0, so 0 reads back as "Default". "ABICOMP" is offered in
// the list but has no row (it stores 0); "CP790" has a row but is not offered.
constexpr std::array<CodepageRow, 46> kCodepageRows{{
    {"Default", 0},
    {"PC437(USA:Standard Europe)", 0},
    {"Katakana", 1},
    {"PC850(Multilingual)", 2},
    {"PC860(Portuguese)", 3},
    {"PC863(Canadian-French)", 4},
    {"PC865(Nordic)", 5},
    {"PC857(Turkish)", 13},
    {"PC737(Greek)", 14},
    {"ISO8859-7(Greek)", 15},
    {"WPC1252", 16},
    {"PC866(Cyrillic #2)", 17},
    {"PC852(Latin 2)", 18},
    {"PC858(Euro)", 19},
    {"KU42", 20},
    {"TIS11(Thai)", 21},
    {"TIS18(Thai)", 26},
    {"PC720", 32},
    {"WPC775", 33},
    {"PC855(Cyrillic)", 34},
    {"PC862(Hebrew)", 36},
    {"PC864(Arabic)", 37},
    {"ISO8859-2(Latin2)", 39},
    {"ISO8859-15(Latin9)", 40},
    {"WPC1250", 45},
    {"WPC1251(Cyrillic)", 46},
    {"WPC1253", 47},
    {"WPC1254", 48},
    {"WPC1255", 49},
    {"WPC1256", 50},
    {"WPC1257", 51},
    {"WPC1258", 52},
    {"MIK(Cyrillic/Bulgarian)", 54},
    {"CP755(East Europe,Latvian 2)", 55},
    {"Iran", 56},
    {"Iran II", 57},
    {"Latvian", 58},
    {"ISO-8859-1(West Europe)", 59},
    {"ISO-8859-3(Latin 3)", 60},
    {"ISO-8859-4(Baltic)", 61},
    {"ISO-8859-5(Cyrillic)", 62},
    {"ISO-8859-6(Arabic)", 63},
    {"ISO-8859-8(Hebrew)", 64},
    {"ISO-8859-9(Turkish)", 65},
    {"PC856", 66},
    {"CP790", 67},
}};

} // namespace

const QStringList& BlockCodepages() {
    static const QStringList items = [] {
        QStringList out;
        // Every row but the last (CP790) is offered, then ABICOMP.
        for (std::size_t i = 0; i + 1 < kCodepageRows.size(); ++i)
            out << QString::fromLatin1(kCodepageRows[i].name);
        out << QStringLiteral("ABICOMP");
        return out;
    }();
    return items;
}

void FillCodepageList(OptionList& list) {
    Refill(list, BlockCodepages());
}

QString CodepageNumber(const QString& text, CodepageDirection direction) {
    for (const CodepageRow& row : kCodepageRows) {
        const QString name = QString::fromLatin1(row.name);
        const QString number = QString::number(row.number);
        if (direction == CodepageDirection::NameToNumber && name == text)
            return number;
        if (direction == CodepageDirection::NumberToName && number == text)
            return name;
    }
    return QStringLiteral("0");
}

const QStringList& CharacterSets() {
    static const QStringList names{
        QStringLiteral("U.S.A."),
        QStringLiteral("France"),
        QStringLiteral("Germany"),
        QStringLiteral("U.K."),
        QStringLiteral("Denmark \u2160"),
        QStringLiteral("Sweden"),
        QStringLiteral("Italy"),
        QStringLiteral("Spain \u2160"),
        QStringLiteral("Japan"),
        QStringLiteral("Norway"),
        QStringLiteral("Denmark \u2161"),
        QStringLiteral("Spain \u2161"),
        QStringLiteral("Latin"),
        QStringLiteral("Korea"),
        QStringLiteral("Slovenia/Croatia"),
        QStringLiteral("China"),
    };
    return names;
}

int CountryNumber(const QString& name) {
    const int index = int(CharacterSets().indexOf(name));
    return index < 0 ? 0 : index;
}

} // namespace OptionTables
