// The identity queries for key-value and block-protocol models, and the
// firmware-version rule.
#include "settings/IdentityQueries.h"

#include "ShellFixture.h"

using namespace shelltest;
using namespace IdentityQueries;
using Ops = std::vector<std::string>;

namespace {

const QString kKeyValueModel = QStringLiteral("PL-Kapok 420");
const QString kPlainModel = QStringLiteral("PL-Nutmeg 200");
const QString kBetaModel = QStringLiteral("PL-Sumac 330"); // in VersionLength4

class Identity : public ShellTest {};

TEST_F(Identity, KeyValueEmulationFromPpl) {
    session.SetModel(kKeyValueModel);
    struct Case {
        QByteArray reply;
        std::int32_t family;
    } cases[] = {{"zpl", 4}, {"epl", 5}, {"tsc", 1}, {"TSC", 1}, {"", 4}, {"esc", 4}};
    for (const Case& c : cases) {
        tspl->clear();
        tspl->replies.clear();
        if (!c.reply.isEmpty())
            tspl->replies = {c.reply + '\0'};
        EXPECT_EQ(QueryEmulation(session), c.family) << c.reply.constData();
        EXPECT_EQ(tspl->writes()[0], PrinterCMD::LineGetVal(QStringLiteral("ppl")));
        EXPECT_TRUE(tspl->callsOf("close").empty()); // the connection is left open
    }
}

TEST_F(Identity, PlainEmulationIsTheOneByteAnswer) {
    struct Case {
        QByteArray reply;
        std::int32_t readCode;
        std::int32_t family;
    } cases[] = {{Hex("03"), 0, 3}, {Hex("FF"), 0, 255}, {"", 0, 0}, {Hex("01"), 8, 0}};
    for (const Case& c : cases) {
        tspl->clear();
        tspl->replies.clear();
        delays->clear();
        if (!c.reply.isEmpty())
            tspl->replies = {c.reply};
        tspl->readResults = {c.readCode};
        EXPECT_EQ(QueryEmulation(session), c.family);
        EXPECT_EQ(tspl->ops(), (Ops{"write", "read"}));
        EXPECT_EQ(tspl->writes()[0], Hex("1B1B08"));
        EXPECT_EQ(tspl->callsOf("read")[0].size, 1);
        EXPECT_EQ(delays->waits(), (std::vector<int>{100}));
    }
}

TEST_F(Identity, FirmwareVersionRule) {
    struct Case {
        QByteArray reply;
        const char* required;
        bool expected;
    } cases[] = {
        {Hex("010000"), "1.0.0", true},   // equal
        {Hex("000909"), "1.0.0", false},  // older major
        {Hex("010300"), "1.03.0", true},  // "03" is the number 3
        {Hex("010209"), "1.03.0", false}, // 1.2.9 < 1.3.0
        {Hex("010A00"), "1.03.0", true},  // 1.10.0 > 1.3.0, numbers not text
        {Hex("020000"), "1.03.0", true},
        {Hex("010301"), "1.03", true},     // missing part counts as 0
        {Hex("010300"), "1.3.0.1", false}, // a fourth part above the printer's 0
        {Hex("0103"), "1.0.0", false},     // short reply
        {QByteArray(), "1.0.0", false},    // no reply
    };
    for (const Case& c : cases) {
        tspl->clear();
        tspl->replies.clear();
        delays->clear();
        if (!c.reply.isEmpty())
            tspl->replies = {c.reply};
        EXPECT_EQ(CheckFirmwareVersion(session, QString::fromLatin1(c.required)), c.expected)
            << c.reply.toHex().constData() << " vs " << c.required;
        EXPECT_EQ(tspl->ops(), (Ops{"open", "write", "read", "close"}));
        EXPECT_EQ(tspl->writes()[0], QByteArrayLiteral("ZZZGETVERSION\r\n"));
        EXPECT_EQ(tspl->callsOf("read")[0].size, 3);
        EXPECT_EQ(delays->waits(), (std::vector<int>{100}));
    }
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(Identity, FirmwareVersionReadErrorFailsTheCheck) {
    tspl->replies = {Hex("050000")};
    tspl->readResults = {8};
    EXPECT_FALSE(CheckFirmwareVersion(session, QStringLiteral("1.0.0")));
}

TEST_F(Identity, FirmwareVersionOpenFailurePutsTheCodeFirst) {
    tspl->openResults = {3};
    EXPECT_FALSE(CheckFirmwareVersion(session, QStringLiteral("1.0.0")));
    EXPECT_EQ(tspl->ops(), (Ops{"open"}));
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].text, QStringLiteral("3:") + Msg("_Err_OpenPort"));
    // 5 is usable.
    tspl->clear();
    tspl->openResults = {5, 5};
    tspl->replies = {Hex("010000")};
    EXPECT_TRUE(CheckFirmwareVersion(session, QStringLiteral("1.0.0")));
}

TEST_F(Identity, FirmwareVersionText) {
    struct Case {
        QString model;
        QByteArray reply;
        std::int32_t asked;
        QString expected;
    } cases[] = {
        {kPlainModel, Hex("010205"), 3, QStringLiteral("V 1.2.5")},
        {kPlainModel, Hex("0102"), 3, QString()}, // -> _Err_ReadData
        {kBetaModel, Hex("01020503"), 4, QStringLiteral("V 1.2.5.Beta3")},
        {kBetaModel, Hex("01020500"), 4, QStringLiteral("V 1.2.5")},
        {kBetaModel, Hex("010205"), 4, QStringLiteral("V 1.2.5")},
        {kBetaModel, QByteArray(), 4, QString()},
    };
    for (const Case& c : cases) {
        session.SetModel(c.model);
        tspl->clear();
        tspl->replies.clear();
        if (!c.reply.isEmpty())
            tspl->replies = {c.reply};
        const QString expected = c.expected.isEmpty() ? Msg("_Err_ReadData") : c.expected;
        EXPECT_EQ(ReadFirmwareVersion(session), expected) << c.reply.toHex().constData();
        EXPECT_EQ(tspl->callsOf("read")[0].size, c.asked);
        EXPECT_TRUE(tspl->callsOf("open").empty()); // expects an open connection
    }
    EXPECT_FALSE(Msg("_Err_ReadData").isEmpty());
}

TEST_F(Identity, PrintedLength) {
    struct Case {
        QByteArray reply;
        QString expected; // empty: _Err_ReadData
    } cases[] = {
        {Hex("00003039"), QStringLiteral("37.035 (m)")},
        {Hex("00000000"), QStringLiteral("0 (m)")},
        {Hex("0000000A"), QStringLiteral("0.03 (m)")},
        {Hex("7FFFFFFF"), QStringLiteral("6442450.941 (m)")},
        {Hex("FFFFFFF6"), QStringLiteral("-0.03 (m)")}, // signed
        {Hex("0030"), QString()},                       // short: no guessed length
        {QByteArray(), QString()},
    };
    for (const Case& c : cases) {
        tspl->clear();
        tspl->replies.clear();
        delays->clear();
        if (!c.reply.isEmpty())
            tspl->replies = {c.reply};
        const QString expected = c.expected.isEmpty() ? Msg("_Err_ReadData") : c.expected;
        EXPECT_EQ(ReadPrintedLength(session), expected) << c.reply.toHex().constData();
        EXPECT_EQ(tspl->writes()[0], QByteArrayLiteral("ZZZGETJOURNEY\r\n"));
        EXPECT_EQ(tspl->callsOf("read")[0].size, 4);
        EXPECT_EQ(delays->waits(), (std::vector<int>{600}));
    }
}

TEST_F(Identity, KeyValueModelsAskByKey) {
    session.SetModel(kKeyValueModel);
    tspl->replies = {QByteArray("V2.1\0", 5), QByteArray("120\0", 4), QByteArray("SN12 X\0", 7)};
    EXPECT_EQ(ReadFirmwareVersion(session), QStringLiteral("V2.1"));
    EXPECT_EQ(ReadPrintedLength(session), QStringLiteral("120m"));
    EXPECT_EQ(ReadSerialNumber(session), QStringLiteral("SN12 X"));
    const auto w = tspl->writes();
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[0], PrinterCMD::LineGetVal(QStringLiteral("version")));
    EXPECT_EQ(w[1], PrinterCMD::LineGetVal(QStringLiteral("mileage")));
    EXPECT_EQ(w[2], PrinterCMD::LineGetVal(QStringLiteral("serial_no")));
    EXPECT_EQ(delays->waits(), (std::vector<int>{50, 50, 50}));

    // A printer that does not answer the mileage gives the read error, not "m".
    tspl->replies.clear();
    EXPECT_EQ(ReadPrintedLength(session), Msg("_Err_ReadData"));
}

TEST_F(Identity, SerialNumberIsTheLeadingRunAboveSpace) {
    struct Case {
        QByteArray serial;
        QString expected;
    } cases[] = {
        {QByteArrayLiteral("AB1234"), QStringLiteral("AB1234")},
        {QByteArrayLiteral("AB12 34"), QStringLiteral("AB12")},
        {QByteArrayLiteral(" AB12"), QString()},
        {QByteArray("\0AB12", 5), QString()},
        {QByteArray(32, 'Z'), QString(32, QLatin1Char('Z'))}, // full buffer, no terminator
    };
    for (const Case& c : cases) {
        tspl->serial = c.serial;
        EXPECT_EQ(ReadSerialNumber(session), c.expected);
    }
}

} // namespace
