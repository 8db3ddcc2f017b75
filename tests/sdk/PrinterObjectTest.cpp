// Printer objects behind handles: bad handles and arguments, the model name,
// and use of one object from two threads at once.
#include "Peers.h"

#include "PellumSdk.h"
#include "core/PrinterObjects.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace pellum::test;
namespace sdk = pellum::sdk;

namespace {

TEST(PrinterObjectTest, EveryOperationRefusesANullOrUnknownHandle) {
    PellumHandle live = nullptr;
    ASSERT_EQ(sdk::CreatePrinter(&live, u"M"), PELLUM_OK);
    const PellumHandle unknown =
        reinterpret_cast<PellumHandle>(reinterpret_cast<std::uintptr_t>(live) + 1000000);
    std::uint8_t buffer[32];
    std::int32_t count = 0;
    for (PellumHandle bad : {PellumHandle{nullptr}, unknown}) {
        PellumHandle variable = bad;
        EXPECT_EQ(sdk::OpenPort(bad, u"USB"), PELLUM_ERR_BAD_HANDLE);
        EXPECT_EQ(sdk::ClosePort(bad), PELLUM_ERR_BAD_HANDLE);
        EXPECT_EQ(sdk::WriteData(bad, buffer, 1), PELLUM_ERR_BAD_HANDLE);
        EXPECT_EQ(sdk::ReadData(bad, buffer, 1, &count), PELLUM_ERR_BAD_HANDLE);
        EXPECT_EQ(sdk::ReadDataEOF(bad, buffer, 0, 1, 0, 13, &count), PELLUM_ERR_BAD_HANDLE);
        EXPECT_EQ(sdk::SelfTest(bad), PELLUM_ERR_BAD_HANDLE);
        EXPECT_EQ(sdk::GetSerialNumber(bad, buffer), PELLUM_ERR_BAD_HANDLE);
        EXPECT_EQ(sdk::DestroyPrinter(&variable), PELLUM_ERR_BAD_HANDLE);
    }
    EXPECT_EQ(sdk::CreatePrinter(nullptr, u"M"), PELLUM_ERR_BAD_HANDLE);
    EXPECT_EQ(sdk::DestroyPrinter(nullptr), PELLUM_ERR_BAD_HANDLE);
    // Bad arguments on a good handle.
    EXPECT_EQ(sdk::WriteData(live, buffer, -1), PELLUM_ERR_BAD_HANDLE);
    EXPECT_EQ(sdk::WriteData(live, nullptr, 4), PELLUM_ERR_BAD_HANDLE);
    EXPECT_EQ(sdk::ReadData(live, buffer, 4, nullptr), PELLUM_ERR_BAD_HANDLE);
    EXPECT_EQ(sdk::ReadData(live, nullptr, 4, &count), PELLUM_ERR_BAD_HANDLE);
    EXPECT_EQ(sdk::GetSerialNumber(live, nullptr), PELLUM_ERR_BAD_HANDLE);
    EXPECT_EQ(sdk::OpenPort(live, nullptr), PELLUM_ERR_BAD_PORT);
    EXPECT_EQ(sdk::OpenPort(live, u"FILE:/tmp/x"), PELLUM_ERR_BAD_PORT);
    sdk::DestroyPrinter(&live);
}

TEST(PrinterObjectTest, EachCreateGivesItsOwnObjectWithItsModelName) {
    PellumHandle a = nullptr;
    PellumHandle b = nullptr;
    ASSERT_EQ(sdk::CreatePrinter(&a, u"Spruce \u00e9"), PELLUM_OK);
    ASSERT_EQ(sdk::CreatePrinter(&b, nullptr), PELLUM_OK);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(sdk::ModelName(a), u"Spruce \u00e9");
    EXPECT_EQ(sdk::ModelName(b), u"");
    // A destroyed object is gone: its handle is refused, the other object
    // is untouched.
    ASSERT_EQ(sdk::DestroyPrinter(&a), PELLUM_OK);
    std::uint8_t byte = 0;
    EXPECT_EQ(sdk::ClosePort(a), PELLUM_ERR_BAD_HANDLE);
    EXPECT_EQ(sdk::WriteData(a, &byte, 1), PELLUM_ERR_BAD_HANDLE);
    EXPECT_EQ(sdk::DestroyPrinter(&a), PELLUM_ERR_BAD_HANDLE);
    EXPECT_EQ(sdk::ModelName(b), u"");
    sdk::DestroyPrinter(&b);
}

TEST(PrinterObjectTest, TwoThreadsShareOneObjectWithoutLosingBytes) {
    // A sender thread writes numbered frames while this thread reads what
    // the peer echoes back; a third keeps opening the open port (which gives
    // 5) so that the object's open/close lock is taken while bytes flow.
    TcpPeer peer;
    ScopedEnv timeout("PELLUM_READ_TIMEOUT_MS", "500");
    PellumHandle handle = nullptr;
    ASSERT_EQ(sdk::CreatePrinter(&handle, u"M"), PELLUM_OK);
    const std::u16string port = U16(peer.PortString());
    ASSERT_EQ(sdk::OpenPort(handle, port.c_str()), PELLUM_OK);
    peer.Connected();

    constexpr int kFrames = 300;
    constexpr std::size_t kFrameSize = 64;
    std::atomic<bool> done{false};
    std::thread echo([&] {
        std::size_t total = 0;
        while (total < kFrames * kFrameSize) {
            const Bytes got = peer.Receive(kFrameSize * kFrames - total, 2000);
            if (got.empty()) {
                break;
            }
            peer.Send(got);
            total += got.size();
        }
    });
    std::thread sender([&] {
        for (int i = 0; i < kFrames; ++i) {
            Bytes frame(kFrameSize, static_cast<std::uint8_t>(i));
            EXPECT_EQ(sdk::WriteData(handle, frame.data(), static_cast<std::int32_t>(frame.size())),
                      PELLUM_OK);
        }
    });
    std::thread stirrer([&] {
        while (!done) {
            EXPECT_EQ(sdk::OpenPort(handle, port.c_str()), PELLUM_ERR_ALREADY_OPEN);
        }
    });
    Bytes received;
    while (received.size() < kFrames * kFrameSize) {
        std::uint8_t buffer[1000];
        std::int32_t count = 0;
        const std::int32_t result = sdk::ReadData(handle, buffer, sizeof buffer, &count);
        ASSERT_EQ(result, PELLUM_OK);
        if (count == 0) {
            break;
        }
        received.insert(received.end(), buffer, buffer + count);
    }
    done = true;
    sender.join();
    echo.join();
    stirrer.join();
    ASSERT_EQ(received.size(), kFrames * kFrameSize);
    for (std::size_t i = 0; i < received.size(); ++i) {
        ASSERT_EQ(received[i], static_cast<std::uint8_t>(i / kFrameSize)) << "at byte " << i;
    }
    sdk::DestroyPrinter(&handle);
}

} // namespace

namespace {

TEST(PrinterObjectTest, CloseFromAnotherThreadWaitsForARunningReadToEnd) {
    TcpPeer peer;
    ScopedEnv timeout("PELLUM_READ_TIMEOUT_MS", "300");
    PellumHandle handle = nullptr;
    ASSERT_EQ(sdk::CreatePrinter(&handle, u"M"), PELLUM_OK);
    const std::u16string port = U16(peer.PortString());
    ASSERT_EQ(sdk::OpenPort(handle, port.c_str()), PELLUM_OK);
    peer.Connected();
    std::atomic<bool> reading{false};
    std::int32_t readResult = -1;
    std::int32_t count = -1;
    std::thread reader([&] {
        std::uint8_t buffer[8];
        reading = true;
        readResult = sdk::ReadData(handle, buffer, sizeof buffer, &count);
    });
    while (!reading) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(sdk::DestroyPrinter(&handle), PELLUM_OK); // closes under the waiting read
    reader.join();
    EXPECT_EQ(readResult, PELLUM_OK);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(peer.SeesClose(2000));
    std::uint8_t byte = 0;
    EXPECT_EQ(sdk::WriteData(handle, &byte, 1), PELLUM_ERR_BAD_HANDLE);
}

} // namespace
