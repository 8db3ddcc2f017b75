// Read, write and lifetime rules that every port kind keeps, each run
// against a real peer: a loopback TCP server (NET) and a pseudo-terminal
// opened as a serial (COM), parallel (LPT) and USB printer port.
#include "Peers.h"

#include "PellumSdk.h"
#include "core/PrinterObjects.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <thread>

using namespace pellum::test;
namespace sdk = pellum::sdk;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kReadTimeoutMs = 300;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

long long CpuMicros() {
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL + usage.ru_utime.tv_usec +
           usage.ru_stime.tv_usec;
}

class PortDriverTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        peer_ = MakePeer(GetParam());
        ASSERT_EQ(sdk::CreatePrinter(&handle_, u"TestModel"), PELLUM_OK);
    }

    void TearDown() override { sdk::DestroyPrinter(&handle_); }

    std::int32_t Open(PellumHandle handle) {
        const std::u16string port = U16(peer_->PortString());
        const std::int32_t result = sdk::OpenPort(handle, port.c_str());
        if (result == PELLUM_OK) {
            peer_->Connected();
        }
        return result;
    }

    void OpenOrFail() { ASSERT_EQ(Open(handle_), PELLUM_OK) << peer_->PortString(); }

    std::int32_t Read(std::int32_t size, Bytes& got) {
        got.assign(static_cast<std::size_t>(size), 0);
        std::int32_t count = -1;
        const std::int32_t result = sdk::ReadData(handle_, got.data(), size, &count);
        got.resize(static_cast<std::size_t>(std::max(count, 0)));
        return result;
    }

    std::int32_t ReadUntil(std::int32_t size, std::uint8_t end, Bytes& got) {
        got.assign(static_cast<std::size_t>(size), 0);
        std::int32_t count = -1;
        const std::int32_t result = sdk::ReadDataEOF(handle_, got.data(), 0, size, 0, end, &count);
        got.resize(static_cast<std::size_t>(std::max(count, 0)));
        return result;
    }

    std::int32_t Write(const Bytes& bytes) {
        return sdk::WriteData(handle_, bytes.data(), static_cast<std::int32_t>(bytes.size()));
    }

    ScopedEnv timeout_{"PELLUM_READ_TIMEOUT_MS", std::to_string(kReadTimeoutMs)};
    ScopedEnv gap_{"PELLUM_READ_GAP_MS", "50"};
    std::unique_ptr<Peer> peer_;
    PellumHandle handle_ = nullptr;
};

TEST_P(PortDriverTest, WriteHandsEveryByteUnchangedToThePeer) {
    OpenOrFail();
    Bytes all;
    for (int round = 0; round < 4; ++round) {
        for (int value = 0; value < 256; ++value) {
            all.push_back(static_cast<std::uint8_t>(value)); // CR, LF, XON, ^C... unchanged
        }
    }
    ASSERT_EQ(Write(all), PELLUM_OK);
    EXPECT_EQ(peer_->Receive(all.size(), 2000), all);
}

TEST_P(PortDriverTest, ReadReturnsAtOnceWhenTheCountHasArrivedAndKeepsTheRest) {
    OpenOrFail();
    peer_->Send(ToBytes("0123456789"));
    Bytes got;
    // Wait until all ten bytes are there, so the read could take more.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto start = Clock::now();
    ASSERT_EQ(Read(4, got), PELLUM_OK);
    EXPECT_LT(MsSince(start), kReadTimeoutMs);
    EXPECT_EQ(got, ToBytes("0123"));
    ASSERT_EQ(Read(100, got), PELLUM_OK);
    EXPECT_EQ(got, ToBytes("456789"));
}

TEST_P(PortDriverTest, ReadEndsAfterTheGapOnceBytesHaveArrived) {
    OpenOrFail();
    peer_->Send(ToBytes("AB"));
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(kReadTimeoutMs + 200));
        peer_->Send(ToBytes("CD"));
    });
    Bytes got;
    const auto start = Clock::now();
    const std::int32_t result = Read(100, got);
    const long long took = MsSince(start);
    later.join();
    ASSERT_EQ(result, PELLUM_OK);
    EXPECT_EQ(got, ToBytes("AB"));
    EXPECT_LT(took, kReadTimeoutMs + 200); // did not wait for "CD"
    ASSERT_EQ(Read(100, got), PELLUM_OK);
    EXPECT_EQ(got, ToBytes("CD"));
}

TEST_P(PortDriverTest, ReadOfNothingWaitsTheTimeoutWithoutBurningTime) {
    OpenOrFail();
    Bytes got;
    const auto start = Clock::now();
    const long long cpuBefore = CpuMicros();
    ASSERT_EQ(Read(16, got), PELLUM_OK);
    const long long cpu = CpuMicros() - cpuBefore;
    const long long took = MsSince(start);
    EXPECT_TRUE(got.empty());
    EXPECT_GE(took, kReadTimeoutMs);
    EXPECT_LT(took, 5 * kReadTimeoutMs);
    EXPECT_LT(cpu, 100000) << "a waiting read must sleep in poll, not spin";
}

TEST_P(PortDriverTest, ReadUntilStopsAtTheEndByteAndKeepsTheNextReply) {
    OpenOrFail();
    peer_->Send(ToBytes(std::string("ONE\rTWO\rkey=v") + '\0' + "rest"));
    Bytes got;
    ASSERT_EQ(ReadUntil(64, '\r', got), PELLUM_OK);
    EXPECT_EQ(got, ToBytes("ONE\r"));
    ASSERT_EQ(ReadUntil(64, '\r', got), PELLUM_OK);
    EXPECT_EQ(got, ToBytes("TWO\r"));
    ASSERT_EQ(ReadUntil(64, 0, got), PELLUM_OK);
    EXPECT_EQ(got, ToBytes(std::string("key=v") + '\0'));
    // The buffer fills before an end byte comes.
    ASSERT_EQ(ReadUntil(2, '\r', got), PELLUM_OK);
    EXPECT_EQ(got, ToBytes("re"));
    // No end byte at all: what came, after the gap.
    ASSERT_EQ(ReadUntil(64, '\r', got), PELLUM_OK);
    EXPECT_EQ(got, ToBytes("st"));
}

TEST_P(PortDriverTest, OpenOfThePortAlreadyOpenGives5AndKeepsItUsable) {
    OpenOrFail();
    const std::u16string port = U16(peer_->PortString());
    EXPECT_EQ(sdk::OpenPort(handle_, port.c_str()), PELLUM_ERR_ALREADY_OPEN);
    ASSERT_EQ(Write(ToBytes("still")), PELLUM_OK);
    EXPECT_EQ(peer_->Receive(5, 2000), ToBytes("still"));
}

TEST_P(PortDriverTest, ThePeerGoingAwayIsReportedPromptly) {
    OpenOrFail();
    peer_->HangUp();
    Bytes got;
    const auto start = Clock::now();
    EXPECT_EQ(Read(16, got), PELLUM_ERR_DISCONNECTED);
    EXPECT_LT(MsSince(start), kReadTimeoutMs);
    EXPECT_TRUE(got.empty());
    // Writes fail too (a socket may take one write before the reset comes),
    // and never raise SIGPIPE.
    std::int32_t result = PELLUM_OK;
    for (int i = 0; i < 5 && result == PELLUM_OK; ++i) {
        result = Write(ToBytes("lost"));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(result, PELLUM_ERR_DISCONNECTED);
}

TEST_P(PortDriverTest, CloseReleasesThePortAndLaterTransfersSayNotOpen) {
    OpenOrFail();
    EXPECT_EQ(sdk::ClosePort(handle_), PELLUM_OK);
    EXPECT_TRUE(peer_->SeesClose(2000));
    Bytes got;
    EXPECT_EQ(Write(ToBytes("x")), PELLUM_ERR_NOT_OPEN);
    EXPECT_EQ(Read(4, got), PELLUM_ERR_NOT_OPEN);
    EXPECT_EQ(ReadUntil(4, '\r', got), PELLUM_ERR_NOT_OPEN);
    EXPECT_EQ(sdk::ClosePort(handle_), PELLUM_OK); // closing twice is harmless
}

TEST_P(PortDriverTest, DestroyClosesThePortAndRefusesTheStaleHandle) {
    OpenOrFail();
    const PellumHandle before = handle_;
    ASSERT_EQ(sdk::DestroyPrinter(&handle_), PELLUM_OK);
    EXPECT_EQ(handle_, before) << "the caller's handle keeps its value";
    EXPECT_TRUE(peer_->SeesClose(2000)) << "destroy closes the port";
    EXPECT_EQ(Open(handle_), PELLUM_ERR_BAD_HANDLE) << "the object is freed";
    EXPECT_EQ(Write(ToBytes("again")), PELLUM_ERR_BAD_HANDLE);
    EXPECT_EQ(sdk::DestroyPrinter(&handle_), PELLUM_ERR_BAD_HANDLE);
    // A new object gets a new handle value, so the stale one stays refused.
    PellumHandle fresh = nullptr;
    ASSERT_EQ(sdk::CreatePrinter(&fresh, u"Spruce"), PELLUM_OK);
    EXPECT_NE(fresh, before);
    EXPECT_EQ(Open(handle_), PELLUM_ERR_BAD_HANDLE);
    sdk::DestroyPrinter(&fresh);
    handle_ = nullptr;
}

// Device ports only: a TCP printer accepts several connections.
class DevicePortTest : public PortDriverTest {};

TEST_P(DevicePortTest, ADeviceHeldByAnotherPrinterObjectIsBusyNot5) {
    OpenOrFail();
    PellumHandle other = nullptr;
    ASSERT_EQ(sdk::CreatePrinter(&other, u"Other"), PELLUM_OK);
    EXPECT_EQ(Open(other), PELLUM_ERR_BUSY);
    // Once released, the other object gets it.
    sdk::ClosePort(handle_);
    EXPECT_EQ(Open(other), PELLUM_OK);
    sdk::DestroyPrinter(&other);
}

INSTANTIATE_TEST_SUITE_P(AllPortKinds, PortDriverTest,
                         ::testing::Values("NET", "COM", "LPT", "USB"),
                         [](const auto& info) { return std::string(info.param); });
INSTANTIATE_TEST_SUITE_P(DevicePortKinds, DevicePortTest, ::testing::Values("COM", "LPT", "USB"),
                         [](const auto& info) { return std::string(info.param); });

} // namespace
