#include "core/Family.h"
#include "core/PrinterSession.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using pellum::connection::LibraryId;
using pellum::test::DelayRecorder;
using pellum::test::FakePrinterLibrary;

namespace {

using Ops = std::vector<std::string>;

TEST(ConnectionLayer, OpenWithoutPrinterObjectIsMinusSixAndNeverReachesTheLibrary) {
    pellum::PrinterSession session;
    FakePrinterLibrary tspl;
    tspl.createResults = {7};
    EXPECT_EQ(session.Tspl().Create(QStringLiteral("PL200")), 7);
    EXPECT_EQ(session.Tspl().Open(QStringLiteral("USB")), -6);
    EXPECT_EQ(tspl.ops(), (Ops{"create"}));

    FakePrinterLibrary esc(LibraryId::ESC);
    FakePrinterLibrary cpcl(LibraryId::CPCL);
    esc.createResults = {1};
    cpcl.createResults = {1};
    session.Esc().Create(QStringLiteral("x"));
    session.Cpcl().Create(QStringLiteral("x"));
    EXPECT_EQ(session.Esc().Open(QStringLiteral("USB")), -6);
    EXPECT_EQ(session.Cpcl().Open(QStringLiteral("USB")), -6);
}

TEST(ConnectionLayer, TsplOpenClosesAndReopensOnceWhenAlreadyOpen) {
    struct Case {
        std::deque<std::int32_t> results;
        std::int32_t expected;
        Ops ops;
    } cases[] = {
        {{0}, 0, {"create", "open"}},
        {{3}, 3, {"create", "open"}},
        {{5, 0}, 0, {"create", "open", "close", "open"}},
        {{5, 5}, 5, {"create", "open", "close", "open"}}, // twice 5 gives 5
        {{5, 8}, 8, {"create", "open", "close", "open"}},
    };
    for (const Case& c : cases) {
        FakePrinterLibrary tspl;
        pellum::PrinterSession session;
        ASSERT_EQ(session.Tspl().Create(QStringLiteral("PL200")), 0);
        tspl.openResults = c.results;
        EXPECT_EQ(session.Tspl().Open(QStringLiteral("NET,127.0.0.1")), c.expected);
        EXPECT_EQ(tspl.ops(), c.ops);
        for (const auto& call : tspl.callsOf("open"))
            EXPECT_EQ(call.text, QStringLiteral("NET,127.0.0.1"));
    }
}

TEST(ConnectionLayer, CpclAndEscOpenMakeNoRetry) {
    pellum::PrinterSession session;
    FakePrinterLibrary esc(LibraryId::ESC);
    FakePrinterLibrary cpcl(LibraryId::CPCL);
    session.Esc().Create(QStringLiteral("x"));
    session.Cpcl().Create(QStringLiteral("x"));
    esc.openResults = {5};
    cpcl.openResults = {5};
    EXPECT_EQ(session.Esc().Open(QStringLiteral("USB")), 5);
    EXPECT_EQ(session.Cpcl().Open(QStringLiteral("USB")), 5);
    EXPECT_EQ(esc.ops(), (Ops{"create", "open"}));
    EXPECT_EQ(cpcl.ops(), (Ops{"create", "open"}));
}

TEST(ConnectionLayer, OpenCreatesThePrinterObjectOfTheSessionsModelOnce) {
    FakePrinterLibrary tspl;
    FakePrinterLibrary esc(LibraryId::ESC);
    {
        pellum::PrinterSession session({QStringLiteral("PL-Nutmeg 200"), QStringLiteral("PL200"),
                                        QStringLiteral("USB"), pellum::FamilyTSPL});
        EXPECT_EQ(session.Tspl().Open(session.Port()), 0);
        session.Tspl().Close();
        EXPECT_EQ(session.Tspl().Open(session.Port()), 0);
        // A destroyed object is created anew by the next open.
        session.Tspl().Destroy();
        EXPECT_EQ(session.Tspl().Open(session.Port()), 0);
        EXPECT_EQ(tspl.ops(),
                  (Ops{"create", "open", "close", "open", "destroy", "create", "open"}));
        ASSERT_EQ(tspl.callsOf("create").size(), 2u);
        EXPECT_EQ(tspl.callsOf("create").front().text, QStringLiteral("PL200"));
        // A failed create is the open's result, and nothing is opened.
        esc.createResults = {8};
        EXPECT_EQ(session.Esc().Open(session.Port()), 8);
        EXPECT_EQ(esc.ops(), (Ops{"create"}));
    }
    // The session's end destroys what it created.
    EXPECT_EQ(tspl.ops().back(), "destroy");
}

TEST(ConnectionLayer, RepeatedReadCountsReadsAndWaits) {
    pellum::PrinterSession session;
    struct Case {
        const char* what;
        std::deque<QByteArray> replies;
        int attempts;
        int interval;
        std::int32_t wanted;
        std::vector<std::int32_t> requests; // size asked of each read
        std::vector<int> waits;
        QByteArray got;
    } cases[] = {
        {"complete at once: one read, no wait", {QByteArray(4, 'a')}, 2, 100, 4, {4}, {}, "aaaa"},
        {"never completes: every attempt and a wait after each",
         {},
         5,
         150,
         1,
         {1, 1, 1, 1, 1},
         {150, 150, 150, 150, 150},
         ""},
        {"two parts: the second read asks only for the rest",
         {QByteArray("abc"), QByteArray("de")},
         2,
         100,
         5,
         {5, 2},
         {100},
         "abcde"},
        {"more than wanted never overflows and keeps the extra for later",
         {QByteArray("ab"), QByteArray("cdefgh")},
         2,
         100,
         4,
         {4, 2},
         {100},
         "abcd"},
    };
    for (const Case& c : cases) {
        FakePrinterLibrary tspl;
        DelayRecorder delays;
        session.Tspl().Create(QStringLiteral("PL200"));
        tspl.replies = c.replies;
        std::vector<std::uint8_t> buffer(static_cast<size_t>(c.wanted) + 4, 0xEE);
        std::int32_t count = -1;
        session.Tspl().ReadRetry(buffer.data(), c.wanted, &count, c.attempts, c.interval);
        std::vector<std::int32_t> requests;
        for (const auto& call : tspl.callsOf("read"))
            requests.push_back(call.size);
        EXPECT_EQ(requests, c.requests) << c.what;
        EXPECT_EQ(delays.waits(), c.waits) << c.what;
        EXPECT_EQ(count, c.got.size()) << c.what;
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(buffer.data()), count), c.got) << c.what;
        for (size_t i = static_cast<size_t>(c.wanted); i < buffer.size(); ++i)
            EXPECT_EQ(buffer[i], 0xEE) << c.what << ": written past the buffer";
    }
}

TEST(ConnectionLayer, RepeatedReadReturnsTheLastReadsResult) {
    pellum::PrinterSession session;
    FakePrinterLibrary tspl;
    DelayRecorder delays;
    session.Tspl().Create(QStringLiteral("PL200"));
    tspl.readResults = {0, 8};
    std::uint8_t b[2];
    std::int32_t n = 0;
    EXPECT_EQ(session.Tspl().ReadRetry(b, 2, &n, 2, 100), 8);
    EXPECT_EQ(n, 0);
    // No attempts at all: nothing read, success, count 0.
    EXPECT_EQ(session.Tspl().ReadRetry(b, 2, &n, 0, 100), 0);
    EXPECT_EQ(n, 0);
}

TEST(ConnectionLayer, DispatcherPicksTheLibraryByFamily) {
    struct Case {
        std::int32_t family;
        LibraryId library;
    } cases[] = {{0, LibraryId::ESC},   {1, LibraryId::TSPL}, {3, LibraryId::CPCL},
                 {4, LibraryId::TSPL},  {5, LibraryId::TSPL}, {2, LibraryId::TSPL},
                 {255, LibraryId::TSPL}};
    for (const Case& c : cases) {
        FakePrinterLibrary tspl(LibraryId::TSPL);
        FakePrinterLibrary cpcl(LibraryId::CPCL);
        FakePrinterLibrary esc(LibraryId::ESC);
        pellum::PrinterSession session;
        session.SetFamily(c.family);
        session.Lib().Create(QStringLiteral("M"));
        EXPECT_EQ(session.Lib().Open(QStringLiteral("USB")), 0);
        session.Lib().Write(QByteArray("\x1B\x1B\x08", 3));
        std::uint8_t buf[4];
        std::int32_t n = 0;
        session.Lib().ReadEof(buf, 0, 4, 0x1FF, 0x100 + 13, &n);
        session.Lib().Close();
        FakePrinterLibrary* chosen = c.library == LibraryId::ESC    ? &esc
                                     : c.library == LibraryId::CPCL ? &cpcl
                                                                    : &tspl;
        EXPECT_EQ(chosen->ops(), (Ops{"create", "open", "write", "readEof", "close"}))
            << "family " << c.family;
        EXPECT_EQ(chosen->written(), QByteArray("\x1B\x1B\x08", 3));
        ASSERT_EQ(chosen->callsOf("readEof").size(), 1u);
        EXPECT_EQ(chosen->callsOf("readEof")[0].endByte, 13); // low 8 bits of the end byte
        for (FakePrinterLibrary* other : {&tspl, &cpcl, &esc}) {
            if (other != chosen) {
                EXPECT_TRUE(other->ops().empty()) << "family " << c.family;
            }
        }
    }
}

TEST(ConnectionLayer, MissingLibraryFailsEveryOperationWithACode) {
    pellum::PrinterSession session;
    QStringList problems;
    EXPECT_FALSE(
        pellum::connection::LoadPrinterLibraries(QStringLiteral("/nonexistent"), &problems));
    EXPECT_EQ(problems.size(), 3);
    EXPECT_EQ(session.Tspl().Create(QStringLiteral("x")),
              pellum::connection::kResultLibraryMissing);
    std::uint8_t b[1];
    std::int32_t n = 99;
    session.Tspl().Read(b, 1, &n);
    EXPECT_EQ(n, 0);
}

} // namespace
