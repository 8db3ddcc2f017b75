// The key-value protocol: exact line bytes, reply rules and connection states.
#include "platform/AnsiCodec.h"
#include "settings/PrinterCMD.h"

#include "ShellFixture.h"

using namespace shelltest;
using namespace PrinterCMD;
using Ops = std::vector<std::string>;

namespace {

const QByteArray kPrefix = Hex("1B1C2620563120");

TEST(KeyValueKeys, HoldsTheProtocolKeysInOrderWithQuotes) {
    const QStringList& keys = Keys();
    ASSERT_EQ(keys.size(), 129);
    EXPECT_EQ(keys.first(), QStringLiteral("\"calibrate_sensor\""));
    EXPECT_EQ(keys[4], QStringLiteral("\"configguration_page\""));
    EXPECT_EQ(keys[42], QStringLiteral("\"density\""));
    EXPECT_EQ(keys.last(), QStringLiteral("\"wifi_ap_channel\""));
    QStringList copy = keys;
    EXPECT_EQ(copy.removeDuplicates(), 0);
    for (const QString& k : keys) {
        EXPECT_TRUE(k.startsWith(QLatin1Char('"')) && k.endsWith(QLatin1Char('"')))
            << qPrintable(k);
        EXPECT_FALSE(k.mid(1, k.size() - 2).contains(QLatin1Char('"'))) << qPrintable(k);
    }
}

TEST(KeyValueLines, HaveTheExactBytesOfEachForm) {
    struct Case {
        const char* what;
        QByteArray line;
        QByteArray expected;
    } cases[] = {
        {"getval density: the 25-byte line", LineGetVal(QStringLiteral("density")),
         Hex("1B 1C 26 20 56 31 20 67 65 74 76 61 6C 20 22 64 65 6E 73 69 74 79 22 0D 0A")},
        {"quoted key gives the same bytes", LineGetVal(QStringLiteral("\"density\"")),
         Hex("1B 1C 26 20 56 31 20 67 65 74 76 61 6C 20 22 64 65 6E 73 69 74 79 22 0D 0A")},
        {"do", LineDo(QStringLiteral("reset_printer")), kPrefix + "do \"reset_printer\"\r\n"},
        {"do with argument", LineDoArg(QStringLiteral("userfont_download"), QStringLiteral("F1")),
         kPrefix + "do \"userfont_download\" \"F1\"\r\n"},
        {"do with sub-key and argument",
         LineDoArgs(QStringLiteral("print"), QStringLiteral("bitmaps"), QStringLiteral("LOGO")),
         kPrefix + "do \"print\" \"bitmaps\" \"LOGO\"\r\n"},
        {"setval", LineSetVal(QStringLiteral("eth_ip"), QStringLiteral("127.0.0.1")),
         kPrefix + "setval \"eth_ip\" \"127.0.0.1\"\r\n"},
        {"argument is not escaped", LineSetVal(QStringLiteral("bt_name"), QStringLiteral("a\"b")),
         kPrefix + "setval \"bt_name\" \"a\"b\"\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.line.toHex(' '), c.expected.toHex(' ')) << c.what;
    EXPECT_EQ(LineGetVal(QStringLiteral("density")).size(), 25);
}

class KeyValueOps : public ShellTest {};

TEST_F(KeyValueOps, DoOpensSendsOneLineAndClosesAndReleases) {
    CmdDo(session, QStringLiteral("reset_printer"));
    EXPECT_EQ(tspl->ops(), (Ops{"open", "write", "close"}));
    ASSERT_EQ(tspl->writes().size(), 1u);
    EXPECT_EQ(tspl->writes()[0], kPrefix + "do \"reset_printer\"\r\n");
    EXPECT_EQ(tspl->callsOf("open")[0].text, session.Port());
    // The released object opens again without a new create.
    CmdDo(session, QStringLiteral("\"factory_default\""));
    EXPECT_EQ(tspl->writes().back(), kPrefix + "do \"factory_default\"\r\n");
    EXPECT_EQ(tspl->callsOf("create").size(), 0u);
}

TEST_F(KeyValueOps, DoClosesEvenWhenTheWriteFails) {
    tspl->writeResults = {10};
    CmdDo(session, QStringLiteral("graph_sensor"));
    EXPECT_EQ(tspl->ops(), (Ops{"open", "write", "close"}));
    EXPECT_EQ(session.LastResult(), 10);
    EXPECT_TRUE(dialogs->messages.empty()); // write failures are only recorded
}

TEST_F(KeyValueOps, DoArgAndDoArgsLeaveTheConnectionOpen) {
    CmdDoArgs(session, QStringLiteral("print"), QStringLiteral("bitmaps"), QStringLiteral("LOGO"));
    EXPECT_EQ(tspl->ops(), (Ops{"open", "write"}));
    EXPECT_EQ(tspl->writes()[0], kPrefix + "do \"print\" \"bitmaps\" \"LOGO\"\r\n");
    tspl->clear();
    tspl->openResults = {5, 5}; // still open: the TSPL back-end reopens, 5 stays usable
    CmdDoArg(session, QStringLiteral("userfont_download"), QStringLiteral("U1"));
    EXPECT_EQ(tspl->ops(), (Ops{"open", "close", "open", "write"}));
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(KeyValueOps, FailedOpenShowsTextColonCodeAndSendsNothing) {
    struct Case {
        std::int32_t code;
        const char* suffix;
    } cases[] = {{3, ":3"}, {-6, ":-6"}};
    for (const Case& c : cases) {
        dialogs->messages.clear();
        tspl->clear();
        if (c.code == -6) {
            // No printer object and no model to create one: the open never
            // reaches the library.
            session.SetLibraryModel(QString());
            session.Tspl().Destroy();
            tspl->clear();
        } else {
            tspl->openResults = {c.code};
        }
        CmdDo(session, QStringLiteral("dfu"));
        EXPECT_EQ(tspl->ops(), c.code == -6 ? Ops{} : Ops{"open"});
        ASSERT_EQ(dialogs->messages.size(), 1u);
        EXPECT_EQ(dialogs->messages[0].kind, pellum::MessageKind::Error);
        EXPECT_EQ(dialogs->messages[0].title, Msg("_MSG_Title_Error"));
        EXPECT_EQ(dialogs->messages[0].text, Msg("_Err_OpenPort") + QLatin1String(c.suffix));
        EXPECT_EQ(session.LastResult(), c.code);
        session.SetLibraryModel(QStringLiteral("Spruce"));
        ASSERT_EQ(session.Tspl().Create(QStringLiteral("Spruce")), 0);
    }
}

TEST_F(KeyValueOps, SetValLowersAsciiCapitalsAndExactKeepsThem) {
    CmdSetVal(session, QStringLiteral("eth_dhcp"), QStringLiteral("ON"));
    CmdSetVal(session, QStringLiteral("bt_pwd"),
              QStringLiteral("AbZ\u00C4")); // Ä is not ASCII: kept
    CmdSetValExact(session, QStringLiteral("bt_name"), QStringLiteral("Shop-PRN"));
    EXPECT_EQ(tspl->ops(), (Ops{"write", "write", "write"})); // no open, no close
    const auto w = tspl->writes();
    EXPECT_EQ(w[0], kPrefix + "setval \"eth_dhcp\" \"on\"\r\n");
    const QByteArray aUmlaut = pellum::ToAnsi(QStringLiteral("\u00E4"));
    const QByteArray AUmlaut = pellum::ToAnsi(QStringLiteral("\u00C4"));
    EXPECT_NE(aUmlaut, AUmlaut);
    EXPECT_EQ(w[1], kPrefix + "setval \"bt_pwd\" \"abz" + AUmlaut + "\"\r\n");
    EXPECT_EQ(w[2], kPrefix + "setval \"bt_name\" \"Shop-PRN\"\r\n");
}

TEST_F(KeyValueOps, GetValReplyRules) {
    struct Case {
        const char* what;
        QByteArray reply;
        std::int32_t readCode;
        QString expected;
    } cases[] = {
        {"NULs ignored", Hex("6F6E0000"), 0, QStringLiteral("on")},
        {"high bytes as Latin-1", Hex("41E9"), 0, QStringLiteral("A\u00E9")},
        {"non-zero read code discards what came", QByteArrayLiteral("zpl"), 9, QString()},
        {"no reply", QByteArray(), 0, QString()},
    };
    for (const Case& c : cases) {
        tspl->clear();
        tspl->replies.clear();
        delays->clear();
        if (!c.reply.isEmpty())
            tspl->replies = {c.reply};
        tspl->readResults = {c.readCode};
        EXPECT_EQ(CmdGetVal(session, QStringLiteral("density")), c.expected) << c.what;
        EXPECT_EQ(tspl->ops(), (Ops{"write", "readEof"})) << c.what;
        EXPECT_EQ(tspl->writes()[0], LineGetVal(QStringLiteral("density")));
        const auto reads = tspl->callsOf("readEof");
        EXPECT_EQ(reads[0].size, 128) << c.what;
        EXPECT_EQ(reads[0].endByte, 0) << c.what;
        EXPECT_EQ(delays->waits(), (std::vector<int>{50})) << c.what;
        EXPECT_EQ(session.LastResult(), c.readCode) << c.what;
    }
}

TEST_F(KeyValueOps, LongReplyIsCutAt128AndItsTailIsNotTakenForTheNextReply) {
    // 300 bytes of list and its NUL, then the reply to the next getval.
    tspl->replies = {QByteArray(300, 'x') + QByteArray(1, '\0'), QByteArray("on\0", 3)};
    EXPECT_EQ(CmdGetVal(session, QStringLiteral("bitmaps")), QString(128, QLatin1Char('x')));
    EXPECT_EQ(session.LastResult(), 0);
    EXPECT_EQ(CmdGetVal(session, QStringLiteral("autoform_switch")), QStringLiteral("on"));
    // A reply of exactly 128 bytes that ends in its NUL needs no extra read.
    tspl->clear();
    tspl->replies = {QByteArray(127, 'y') + QByteArray(1, '\0')};
    EXPECT_EQ(CmdGetVal(session, QStringLiteral("fonts")), QString(127, QLatin1Char('y')));
    EXPECT_EQ(tspl->ops(), (Ops{"write", "readEof"}));
}

TEST_F(KeyValueOps, GetValWithEmptyKeyWritesNothingButWaitsAndReads) {
    tspl->replies = {QByteArray("left\0", 5)};
    EXPECT_EQ(CmdGetVal(session, QString()), QStringLiteral("left"));
    EXPECT_EQ(tspl->ops(), (Ops{"readEof"}));
    EXPECT_EQ(delays->waits(), (std::vector<int>{50}));
}

TEST_F(KeyValueOps, OpenAcceptsFiveHoldOpenRefusesIt) {
    tspl->openResults = {5, 5};
    EXPECT_TRUE(CmdOpen(session));
    EXPECT_TRUE(dialogs->messages.empty());
    EXPECT_EQ(session.LastResult(), 5);

    tspl->openResults = {5, 5};
    EXPECT_FALSE(CmdHoldOpen(session));
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0].text, Msg("_Err_OpenPort") + QStringLiteral(":5"));
    EXPECT_FALSE(session.portHeld);
}

TEST_F(KeyValueOps, HoldOpenAndReleaseStates) {
    EXPECT_TRUE(CmdHoldOpen(session));
    EXPECT_TRUE(session.portHeld);
    EXPECT_TRUE(CmdHoldOpen(session)); // already held: no second open
    EXPECT_EQ(tspl->ops(), (Ops{"open"}));
    CmdRelease(session);
    EXPECT_FALSE(session.portHeld);
    EXPECT_EQ(tspl->ops(), (Ops{"open", "close"})); // closed, object kept
    CmdRelease(session);                            // nothing held: nothing happens
    EXPECT_EQ(tspl->ops(), (Ops{"open", "close"}));
}

TEST_F(KeyValueOps, FailedHoldOpenIsNotHeldSoTheNextOneTriesAgain) {
    tspl->openResults = {3, 0};
    EXPECT_FALSE(CmdHoldOpen(session));
    EXPECT_FALSE(session.portHeld);
    EXPECT_TRUE(CmdHoldOpen(session));
    EXPECT_EQ(tspl->ops(), (Ops{"open", "open"}));
    CmdRelease(session);
}

TEST_F(KeyValueOps, CloseReleasesWhateverPortHeldSays) {
    session.portHeld = true;
    CmdClose(session);
    EXPECT_EQ(tspl->ops(), (Ops{"close"}));
    EXPECT_TRUE(session.portHeld);
}

TEST_F(KeyValueOps, OperationsFollowTheFamilyOfTheMoment) {
    pellum::test::FakePrinterLibrary esc(pellum::connection::LibraryId::ESC);
    session.SetFamily(pellum::FamilyESC);
    session.SetLibraryModel(QString());
    // ESC without a printer object: -6, nothing reaches either library.
    CmdDo(session, QStringLiteral("dfu"));
    EXPECT_TRUE(esc.ops().empty());
    EXPECT_TRUE(tspl->ops().empty());
    EXPECT_EQ(session.LastResult(), -6);
    session.SetFamily(pellum::FamilyZPL); // ZPL goes to TSPL
    CmdDo(session, QStringLiteral("dfu"));
    EXPECT_EQ(tspl->ops(), (Ops{"open", "write", "close"}));
}

} // namespace
