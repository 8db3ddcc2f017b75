// What only the TCP driver does: connect failures, the connect timeout, the
// write timeout, and bytes that arrived just before the printer hung up.
#include "Peers.h"

#include "PellumSdk.h"
#include "core/PrinterObjects.h"
#include "ports/Port.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <netdb.h>
#include <string>
#include <thread>
#include <vector>

using namespace pellum::test;
namespace sdk = pellum::sdk;
using Clock = std::chrono::steady_clock;

namespace {

class TcpDriverTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(sdk::CreatePrinter(&handle_, u"Net"), PELLUM_OK); }
    void TearDown() override { sdk::DestroyPrinter(&handle_); }

    std::int32_t Open(const std::string& port) {
        const std::u16string text = U16(port);
        return sdk::OpenPort(handle_, text.c_str());
    }

    PellumHandle handle_ = nullptr;
};

// A loopback port that nobody listens on.
int ClosedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

TEST_F(TcpDriverTest, ARefusedConnectionGivesRefused) {
    EXPECT_EQ(Open("NET,127.0.0.1:" + std::to_string(ClosedLoopbackPort())), PELLUM_ERR_REFUSED);
    std::int32_t count = 0;
    std::uint8_t byte = 0;
    EXPECT_EQ(sdk::ReadData(handle_, &byte, 1, &count), PELLUM_ERR_NOT_OPEN);
}

TEST_F(TcpDriverTest, ConnectGivesUpAfterTheConnectTimeout) {
    // A listener whose accept queue is full drops further connection
    // requests, so the next connect never completes.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::vector<int> fillers;
    bool stalled = false;
    for (int i = 0; i < 8 && !stalled; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), length);
        fillers.push_back(fd);
        pollfd p{fd, POLLOUT, 0};
        stalled = ::poll(&p, 1, 200) == 0;
    }
    if (!stalled) {
        for (int fd : fillers) {
            ::close(fd);
        }
        ::close(listener);
        GTEST_SKIP() << "this kernel does not stall connects to a full listener";
    }
    ScopedEnv timeout("PELLUM_CONNECT_TIMEOUT_MS", "400");
    const auto start = Clock::now();
    EXPECT_EQ(Open("NET,127.0.0.1:" + std::to_string(ntohs(address.sin_port))), PELLUM_ERR_TIMEOUT);
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(took, 400);
    EXPECT_LT(took, 2000);
    for (int fd : fillers) {
        ::close(fd);
    }
    ::close(listener);
}

TEST_F(TcpDriverTest, AWriteThatCannotProceedTimesOut) {
    TcpPeer peer; // accepts, then never reads
    ScopedEnv timeout("PELLUM_WRITE_TIMEOUT_MS", "300");
    ASSERT_EQ(Open(peer.PortString()), PELLUM_OK);
    peer.Connected();
    const std::vector<std::uint8_t> flood(64 * 1024 * 1024, 0x55);
    const auto start = Clock::now();
    EXPECT_EQ(sdk::WriteData(handle_, flood.data(), static_cast<std::int32_t>(flood.size())),
              PELLUM_ERR_TIMEOUT);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count(), 10);
}

TEST_F(TcpDriverTest, BytesSentJustBeforeTheHangUpAreDelivered) {
    TcpPeer peer;
    ScopedEnv timeout("PELLUM_READ_TIMEOUT_MS", "300");
    ASSERT_EQ(Open(peer.PortString()), PELLUM_OK);
    peer.Connected();
    peer.Send(ToBytes("XY"));
    peer.HangUp();
    std::uint8_t buffer[16] = {};
    std::int32_t count = 0;
    EXPECT_EQ(sdk::ReadData(handle_, buffer, sizeof buffer, &count), PELLUM_ERR_DISCONNECTED);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::string(buffer, buffer + 2), "XY");
}

TEST_F(TcpDriverTest, OpeningAnotherPortMovesTheObjectToIt) {
    TcpPeer first;
    TcpPeer second;
    ASSERT_EQ(Open(first.PortString()), PELLUM_OK);
    first.Connected();
    ASSERT_EQ(Open(second.PortString()), PELLUM_OK) << "not 5: that would write to the old one";
    second.Connected();
    EXPECT_TRUE(first.SeesClose(2000));
    const std::uint8_t byte = 0x42;
    ASSERT_EQ(sdk::WriteData(handle_, &byte, 1), PELLUM_OK);
    EXPECT_EQ(second.Receive(1, 2000), Bytes{0x42});
}

} // namespace

namespace {

TEST_F(TcpDriverTest, CloseWithAnUnreadReplyStillDeliversEverythingWritten) {
    // Closing a socket that holds unread input resets the connection, and a
    // reset throws away what is still queued for sending.
    TcpPeer peer;
    ASSERT_EQ(Open(peer.PortString()), PELLUM_OK);
    peer.Connected();
    peer.Send(ToBytes("ACK ACK ACK"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the reply is queued
    Bytes data(256 * 1024);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7);
    }
    ASSERT_EQ(sdk::WriteData(handle_, data.data(), static_cast<std::int32_t>(data.size())),
              PELLUM_OK);
    ASSERT_EQ(sdk::ClosePort(handle_), PELLUM_OK);
    EXPECT_EQ(peer.Receive(data.size(), 3000), data);
}

} // namespace

namespace {

// A name server in the test's hands: the lookup of the TCP driver asks it
// instead of the system's resolver. It answers every name with 127.0.0.1, or
// with "no such name", or holds the question until released (a resolver
// that does not answer). Only loopback is ever reached.
struct FakeResolver {
    enum class Answer { Loopback, NoSuchName, Hold };

    static FakeResolver& Get() {
        static FakeResolver r;
        return r;
    }
    static int Lookup(const char* host, const char* service, const addrinfo* hints,
                      addrinfo** result) {
        FakeResolver& r = Get();
        std::unique_lock<std::mutex> lock(r.mutex);
        r.asked.push_back(host);
        ++r.running;
        const Answer answer = r.answer;
        if (answer == Answer::Hold) {
            // At most 10 s, so that a driver that waits for the answer fails
            // the test instead of hanging it.
            r.changed.wait_for(lock, std::chrono::seconds(10), [&] { return r.released; });
        }
        --r.running;
        r.changed.notify_all();
        if (answer == Answer::NoSuchName) {
            return EAI_NONAME;
        }
        addrinfo numeric = *hints;
        numeric.ai_flags |= AI_NUMERICHOST;
        return ::getaddrinfo("127.0.0.1", service, &numeric, result);
    }
    // Lets a held lookup answer and waits until no lookup is running, so
    // that no worker outlives the test.
    void ReleaseAndWait() {
        std::unique_lock<std::mutex> lock(mutex);
        released = true;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(10), [&] { return running == 0; });
    }

    std::mutex mutex;
    std::condition_variable changed;
    Answer answer = Answer::Loopback;
    bool released = false;
    int running = 0;
    std::vector<std::string> asked;
};

class TcpNameLookupTest : public TcpDriverTest {
protected:
    void SetUp() override {
        TcpDriverTest::SetUp();
        FakeResolver& r = FakeResolver::Get();
        r.answer = FakeResolver::Answer::Loopback;
        r.released = false;
        r.asked.clear();
        pellum::ports::SetHostLookup(&FakeResolver::Lookup);
    }
    void TearDown() override {
        FakeResolver::Get().ReleaseAndWait();
        pellum::ports::SetHostLookup(nullptr);
        TcpDriverTest::TearDown();
    }
};

TEST_F(TcpNameLookupTest, ANameIsLookedUpAndItsAddressConnected) {
    TcpPeer peer;
    EXPECT_EQ(Open("NET,label-printer.example:" + std::to_string(peer.port())), PELLUM_OK);
    peer.Connected();
    EXPECT_EQ(FakeResolver::Get().asked, std::vector<std::string>{"label-printer.example"});
    const std::uint8_t byte = 0x42;
    ASSERT_EQ(sdk::WriteData(handle_, &byte, 1), PELLUM_OK);
    EXPECT_EQ(peer.Receive(1, 2000), Bytes{0x42});
}

TEST_F(TcpNameLookupTest, AnUnknownNameGivesHostNotFound) {
    FakeResolver::Get().answer = FakeResolver::Answer::NoSuchName;
    EXPECT_EQ(Open("NET,no-such-printer.example"), PELLUM_ERR_HOST_NOT_FOUND);
}

TEST_F(TcpNameLookupTest, NumericAddressesNeedNoLookup) {
    FakeResolver::Get().answer = FakeResolver::Answer::Hold;
    TcpPeer peer;
    EXPECT_EQ(Open(peer.PortString()), PELLUM_OK);
    peer.Connected();
    EXPECT_TRUE(FakeResolver::Get().asked.empty());
}

// A lookup that never answers ends with the connect timeout: the open returns
// while the name server still holds the question (the resolver is released
// only afterwards, so an open that waited for it would not return in time).
TEST_F(TcpNameLookupTest, ALookupThatDoesNotAnswerEndsAtTheConnectTimeout) {
    FakeResolver::Get().answer = FakeResolver::Answer::Hold;
    pellum::ports::Timing timing;
    timing.connectTimeoutMs = 200;
    const pellum::ports::OpenResult held =
        pellum::ports::OpenTcpPort("slow-name-server.example", 9100, timing);
    EXPECT_EQ(held.code, PELLUM_ERR_TIMEOUT);
    EXPECT_EQ(held.port, nullptr);
    // The abandoned lookup finishes on its own; the next open works.
    FakeResolver::Get().ReleaseAndWait();
    FakeResolver::Get().answer = FakeResolver::Answer::Loopback;
    TcpPeer peer;
    EXPECT_EQ(Open("NET,slow-name-server.example:" + std::to_string(peer.port())), PELLUM_OK);
    peer.Connected();
}

} // namespace
