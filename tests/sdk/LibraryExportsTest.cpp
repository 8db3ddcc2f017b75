// The three built libraries, loaded the way the program loads them: the
// exported names of each, and a round trip through each C interface.
#include "Peers.h"

#include "PellumSdk.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>

using namespace pellum::test;

namespace {

class Library {
public:
    explicit Library(const std::string& file) {
        handle_ =
            ::dlopen((std::string(PELLUM_SDK_LIB_DIR) + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    ~Library() {
        if (handle_ != nullptr) {
            ::dlclose(handle_);
        }
    }
    bool loaded() const { return handle_ != nullptr; }
    void* Find(const char* name) const { return ::dlsym(handle_, name); }
    template <typename T> T Get(const char* name) const { return reinterpret_cast<T>(Find(name)); }

private:
    void* handle_ = nullptr;
};

const char* const kPrtNames[] = {"PrtPrinterCreatorW", "PrtPrinterDestroy", "PrtPortOpenW",
                                 "PrtPortClose",       "PrtWriteData",      "PrtReadDataEOF"};
const char* const kTsplOnly[] = {"PrtReadData", "TSPL_SelfTest", "TSPL_GetSN"};
const char* const kEscNames[] = {"PrinterCreator", "PrinterDestroy", "PortOpen",   "PortClose",
                                 "WriteData",      "ReadData",       "ReadDataEOF"};

TEST(LibraryExportsTest, EachLibraryExportsExactlyItsInterface) {
    const struct {
        const char* file;
        bool prt;
        bool tsplOnly;
        bool esc;
    } libraries[] = {
        {"libTSPL_SDK.so", true, true, false},
        {"libCPCL_SDK.so", true, false, false},
        {"libESC_SDK.so", false, false, true},
    };
    for (const auto& l : libraries) {
        SCOPED_TRACE(l.file);
        Library library(l.file);
        ASSERT_TRUE(library.loaded()) << ::dlerror();
        for (const char* name : kPrtNames) {
            EXPECT_EQ(library.Find(name) != nullptr, l.prt) << name;
        }
        for (const char* name : kTsplOnly) {
            EXPECT_EQ(library.Find(name) != nullptr, l.tsplOnly) << name;
        }
        for (const char* name : kEscNames) {
            EXPECT_EQ(library.Find(name) != nullptr, l.esc) << name;
        }
        // Nothing of the implementation leaks out.
        EXPECT_EQ(library.Find("_ZN6pellum3sdk13CreatePrinterEPPvPKDs"), nullptr);
    }
}

TEST(LibraryExportsTest, TsplLibrarySelfTestAndSerialNumberCommands) {
    Library tspl("libTSPL_SDK.so");
    ASSERT_TRUE(tspl.loaded()) << ::dlerror();
    const auto create = tspl.Get<PrtPrinterCreatorW_t>("PrtPrinterCreatorW");
    const auto destroy = tspl.Get<PrtPrinterDestroy_t>("PrtPrinterDestroy");
    const auto open = tspl.Get<PrtPortOpenW_t>("PrtPortOpenW");
    const auto close = tspl.Get<PrtPortClose_t>("PrtPortClose");
    const auto selfTest = tspl.Get<TSPL_SelfTest_t>("TSPL_SelfTest");
    const auto getSn = tspl.Get<TSPL_GetSN_t>("TSPL_GetSN");
    ScopedEnv timeout("PELLUM_READ_TIMEOUT_MS", "300");
    TcpPeer peer;
    PellumHandle handle = nullptr;
    ASSERT_EQ(create(&handle, u"Spruce"), PELLUM_OK);
    const std::u16string port = U16(peer.PortString());
    ASSERT_EQ(open(handle, port.c_str()), PELLUM_OK);
    peer.Connected();

    ASSERT_EQ(selfTest(handle), PELLUM_OK);
    EXPECT_EQ(peer.Receive(10, 2000),
              (Bytes{0x53, 0x45, 0x4C, 0x46, 0x54, 0x45, 0x53, 0x54, 0x0D, 0x0A}));

    std::uint8_t serial[32];
    std::memset(serial, 0xEE, sizeof serial);
    peer.Send(ToBytes("PL12345678\r\n"));
    ASSERT_EQ(getSn(handle, serial), PELLUM_OK);
    EXPECT_EQ(peer.Receive(10, 2000),
              (Bytes{0x5A, 0x5A, 0x5A, 0x47, 0x45, 0x54, 0x53, 0x4E, 0x0D, 0x0A}));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(serial), 12), "PL12345678\r\n");
    for (std::size_t i = 12; i < sizeof serial; ++i) {
        EXPECT_EQ(serial[i], 0) << "byte " << i << " is zeroed";
    }

    // A printer that does not answer: a zeroed buffer and a timeout.
    std::memset(serial, 0xEE, sizeof serial);
    EXPECT_EQ(getSn(handle, serial), PELLUM_ERR_TIMEOUT);
    for (std::uint8_t byte : serial) {
        EXPECT_EQ(byte, 0);
    }
    close(handle);
    destroy(&handle);
}

TEST(LibraryExportsTest, EscAndCpclLibrariesCarryBytesBothWays) {
    Library esc("libESC_SDK.so");
    Library cpcl("libCPCL_SDK.so");
    ASSERT_TRUE(esc.loaded() && cpcl.loaded()) << ::dlerror();
    ScopedEnv timeout("PELLUM_READ_TIMEOUT_MS", "300");
    TcpPeer peer;
    {
        const auto create = esc.Get<PrinterCreator_t>("PrinterCreator");
        const auto open = esc.Get<PortOpen_t>("PortOpen");
        const auto write = esc.Get<WriteData_t>("WriteData");
        const auto read = esc.Get<ReadData_t>("ReadData");
        const auto destroy = esc.Get<PrinterDestroy_t>("PrinterDestroy");
        PellumHandle handle = nullptr;
        ASSERT_EQ(create(&handle, u"EscModel"), PELLUM_OK);
        const std::u16string port = U16(peer.PortString());
        ASSERT_EQ(open(handle, port.c_str()), PELLUM_OK);
        peer.Connected();
        const std::uint8_t query[] = {0x1B, 0x1B, 0x08};
        ASSERT_EQ(write(handle, query, 3), PELLUM_OK);
        EXPECT_EQ(peer.Receive(3, 2000), (Bytes{0x1B, 0x1B, 0x08}));
        peer.Send(Bytes{0x01});
        std::uint8_t reply[4] = {};
        std::int32_t count = 0;
        ASSERT_EQ(read(handle, reply, 1, &count), PELLUM_OK);
        EXPECT_EQ(count, 1);
        EXPECT_EQ(reply[0], 0x01);
        destroy(&handle);
        EXPECT_EQ(open(handle, port.c_str()), PELLUM_ERR_BAD_HANDLE) << "destroy frees the object";
    }
    {
        const auto create = cpcl.Get<PrtPrinterCreatorW_t>("PrtPrinterCreatorW");
        const auto open = cpcl.Get<PrtPortOpenW_t>("PrtPortOpenW");
        const auto readEof = cpcl.Get<PrtReadDataEOF_t>("PrtReadDataEOF");
        const auto destroy = cpcl.Get<PrtPrinterDestroy_t>("PrtPrinterDestroy");
        PellumHandle handle = nullptr;
        ASSERT_EQ(create(&handle, u"CpclModel"), PELLUM_OK);
        const std::u16string port = U16(peer.PortString());
        ASSERT_EQ(open(handle, port.c_str()), PELLUM_OK);
        peer.Connected();
        peer.Send(ToBytes("E_LOGO.BMP\rR_X\r"));
        std::uint8_t line[64] = {};
        std::int32_t count = 0;
        ASSERT_EQ(readEof(handle, line, 0, sizeof line, 0, 13, &count), PELLUM_OK);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(line), static_cast<std::size_t>(count)),
                  "E_LOGO.BMP\r");
        destroy(&handle);
    }
}

} // namespace
