#include "connection/mdlPrinterLib.h"
#include "connection/mdlPrinterLib_CPCL.h"
#include "connection/mdlPrinterLib_ESC.h"
#include "connection/mdlPrinterLib_TSPL.h"
#include "core/CurrentPrinter.h"
#include "core/Family.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using pellum::connection::LibraryId;
using pellum::test::DelayRecorder;
using pellum::test::FakePrinterLibrary;

namespace {

using Ops = std::vector<std::string>;

TEST(ConnectionLayer, OpenWithoutPrinterObjectIsMinusSixAndNeverReachesTheLibrary) {
    FakePrinterLibrary tspl;
    tspl.createResults = {7};
    EXPECT_EQ(TsplCreatePrinter(QStringLiteral("PL200")), 7);
    EXPECT_EQ(TsplOpenPort(QStringLiteral("USB")), -6);
    EXPECT_EQ(tspl.ops(), (Ops{"create"}));

    FakePrinterLibrary esc(LibraryId::ESC);
    FakePrinterLibrary cpcl(LibraryId::CPCL);
    esc.createResults = {1};
    cpcl.createResults = {1};
    EscCreatePrinter(QStringLiteral("x"));
    CpclCreatePrinter(QStringLiteral("x"));
    EXPECT_EQ(EscOpenPort(QStringLiteral("USB")), -6);
    EXPECT_EQ(CpclOpenPort(QStringLiteral("USB")), -6);
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
        ASSERT_EQ(TsplCreatePrinter(QStringLiteral("PL200")), 0);
        tspl.openResults = c.results;
        EXPECT_EQ(TsplOpenPort(QStringLiteral("NET,127.0.0.1")), c.expected);
        EXPECT_EQ(tspl.ops(), c.ops);
        for (const auto& call : tspl.callsOf("open"))
            EXPECT_EQ(call.text, QStringLiteral("NET,127.0.0.1"));
    }
}

TEST(ConnectionLayer, CpclAndEscOpenMakeNoRetry) {
    FakePrinterLibrary esc(LibraryId::ESC);
    FakePrinterLibrary cpcl(LibraryId::CPCL);
    EscCreatePrinter(QStringLiteral("x"));
    CpclCreatePrinter(QStringLiteral("x"));
    esc.openResults = {5};
    cpcl.openResults = {5};
    EXPECT_EQ(EscOpenPort(QStringLiteral("USB")), 5);
    EXPECT_EQ(CpclOpenPort(QStringLiteral("USB")), 5);
    EXPECT_EQ(esc.ops(), (Ops{"create", "open"}));
    EXPECT_EQ(cpcl.ops(), (Ops{"create", "open"}));
}

TEST(ConnectionLayer, OpenAfterDestroyUsesTheSameHandle) {
    FakePrinterLibrary tspl;
    TsplCreatePrinter(QStringLiteral("PL200"));
    TsplDestroyPrinter();
    EXPECT_EQ(TsplOpenPort(QStringLiteral("USB")), 0);
    EXPECT_EQ(tspl.ops(), (Ops{"create", "destroy", "open"}));
}

TEST(ConnectionLayer, RepeatedReadCountsReadsAndWaits) {
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
        TsplCreatePrinter(QStringLiteral("PL200"));
        tspl.replies = c.replies;
        std::vector<std::uint8_t> buffer(static_cast<size_t>(c.wanted) + 4, 0xEE);
        std::int32_t count = -1;
        TsplReadDataRetry(buffer.data(), c.wanted, &count, c.attempts, c.interval);
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
    FakePrinterLibrary tspl;
    DelayRecorder delays;
    TsplCreatePrinter(QStringLiteral("PL200"));
    tspl.readResults = {0, 8};
    std::uint8_t b[2];
    std::int32_t n = 0;
    EXPECT_EQ(TsplReadDataRetry(b, 2, &n, 2, 100), 8);
    EXPECT_EQ(n, 0);
    // No attempts at all: nothing read, success, count 0.
    EXPECT_EQ(TsplReadDataRetry(b, 2, &n, 0, 100), 0);
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
        pellum::current::CurrentFamily = c.family;
        LibCreatePrinter(QStringLiteral("M"));
        EXPECT_EQ(LibOpenPort(QStringLiteral("USB")), 0);
        LibWriteData(QByteArray("\x1B\x1B\x08", 3));
        std::uint8_t buf[4];
        std::int32_t n = 0;
        LibReadDataEOF(buf, 0, 4, 0x1FF, 0x100 + 13, &n);
        LibClosePort();
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
    pellum::current::CurrentFamily = pellum::FamilyTSPL;
}

TEST(ConnectionLayer, MissingLibraryFailsEveryOperationWithACode) {
    QStringList problems;
    EXPECT_FALSE(
        pellum::connection::LoadPrinterLibraries(QStringLiteral("/nonexistent"), &problems));
    EXPECT_EQ(problems.size(), 3);
    EXPECT_EQ(TsplCreatePrinter(QStringLiteral("x")), pellum::connection::kResultLibraryMissing);
    std::uint8_t b[1];
    std::int32_t n = 99;
    TsplReadData(b, 1, &n);
    EXPECT_EQ(n, 0);
}

} // namespace
