// Port names, their devices and PortMap.ini, and the port strings that the
// libraries' open functions take.
#include "Peers.h"

#include "PellumSdk.h"
#include "core/PortString.h"
#include "ports/PortNames.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace pellum::test;
namespace ports = pellum::ports;
namespace sdk = pellum::sdk;

namespace {

TEST(PortNamesTest, BuiltInMappingOfEveryRange) {
    const struct {
        const char* name;
        const char* device;
    } cases[] = {
        {"COM1", "/dev/ttyS0"},
        {"COM32", "/dev/ttyS31"},
        {"COM33", "/dev/ttyUSB0"},
        {"COM64", "/dev/ttyUSB31"},
        {"COM65", "/dev/ttyACM0"},
        {"COM96", "/dev/ttyACM31"},
        {"COM97", ""},
        {"COM0", ""},
        {"LPT1", "/dev/lp0"},
        {"LPT8", "/dev/lp7"},
        {"LPT9", ""},
        {"com3", "/dev/ttyS2"},
        {"COM3:", "/dev/ttyS2"},
        {"Lpt2:", "/dev/lp1"},
        {"COM", ""},
        {"COM1a", ""},
        {"COMX", ""},
        {"COM-1", ""},
        {"PRN", ""},
        {"USB", ""}, // only through PortMap.ini
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ports::DeviceForPort(c.name, ""), c.device) << c.name;
    }
}

TEST(PortNamesTest, PortMapAddsAndOverridesMappingsWithIniRules) {
    TempDir dir;
    const std::string map = dir.Write("PortMap.ini", "\xEF\xBB\xBF"
                                                     "; printers on this bench\n"
                                                     "[Other]\n"
                                                     "COM2=/dev/not-this\n"
                                                     "[ports]\r\n"
                                                     "  com1 =  /dev/serial/by-id/label  \r\n"
                                                     "COM1=/dev/second-entry-loses\n"
                                                     ";COM4=/dev/commented\n"
                                                     "COM200=\"/tmp/vp pty\"\n"
                                                     "COM07=/tmp/seven\n"
                                                     "COM5=\n"
                                                     "LPT2=/tmp/lpt\n"
                                                     "usb=/dev/usb/lp3\n"
                                                     "[Ports]\n"
                                                     "COM6=/dev/later-section\n");
    const struct {
        const char* name;
        const char* device;
    } cases[] = {
        {"COM1", "/dev/serial/by-id/label"}, // case-insensitive key, blanks cut, first wins
        {"COM2", "/dev/ttyS1"},              // other sections do not count
        {"COM4", "/dev/ttyS3"},              // comment line
        {"COM200", "/tmp/vp pty"},           // beyond the ranges, quotes removed
        {"COM7", "/tmp/seven"},              // COM07 is COM7
        {"COM5", "/dev/ttyS4"},              // an empty value is no entry
        {"LPT2", "/tmp/lpt"},
        {"USB", "/dev/usb/lp3"},
        {"COM6", "/dev/ttyS5"}, // only the first [Ports] section
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ports::DeviceForPort(c.name, map), c.device) << c.name;
    }
    EXPECT_EQ(ports::DeviceForPort("COM1", dir.path() + "/missing.ini"), "/dev/ttyS0");
}

TEST(PortNamesTest, EnumerationListsRealNodesAndEveryMappedPortInNumberOrder) {
    TempDir dir;
    const std::string map = dir.Write("PortMap.ini", "[Ports]\n"
                                                     "COM150=/tmp/b\n"
                                                     "COM99=/tmp/a\n"
                                                     "COM1=/tmp/override\n"
                                                     "LPT5=/tmp/lpt\n");
    const auto com = ports::EnumeratePorts("COM", map);
    ASSERT_FALSE(com.empty());
    int previous = 0;
    int ones = 0;
    for (const auto& entry : com) {
        std::string kind;
        int number = 0;
        ASSERT_TRUE(ports::SplitPortName(entry.name, kind, number)) << entry.name;
        EXPECT_EQ(kind, "COM");
        EXPECT_EQ(entry.name.back(), ':');
        EXPECT_GT(number, previous) << "number order, no duplicates";
        previous = number;
        ones += number == 1;
        if (number == 1 || number == 99 || number == 150) {
            continue;
        }
        struct stat st {};
        EXPECT_EQ(::stat(entry.device.c_str(), &st), 0) << entry.device << " has no node";
        EXPECT_EQ(ports::DeviceForPort(entry.name, map), entry.device) << "listed as opened";
    }
    const auto find = [&](const std::string& name) {
        for (const auto& entry : com) {
            if (entry.name == name) {
                return entry.device;
            }
        }
        return std::string("(not listed)");
    };
    EXPECT_EQ(find("COM1:"), "/tmp/override");
    EXPECT_EQ(find("COM99:"), "/tmp/a");
    EXPECT_EQ(find("COM150:"), "/tmp/b");
    EXPECT_EQ(ones, 1);

    const auto lpt = ports::EnumeratePorts("lpt", map);
    bool lpt5 = false;
    for (const auto& entry : lpt) {
        EXPECT_EQ(entry.name.compare(0, 3, "LPT"), 0) << entry.name;
        lpt5 = lpt5 || (entry.name == "LPT5:" && entry.device == "/tmp/lpt");
    }
    EXPECT_TRUE(lpt5);
    EXPECT_TRUE(ports::EnumeratePorts("USB", map).empty());
}

TEST(PortNamesTest, DefaultPortMapPathFollowsTheEnvironment) {
    {
        ScopedEnv env("PELLUM_PORTMAP", "/tmp/elsewhere/PortMap.ini");
        EXPECT_EQ(ports::DefaultPortMapPath(), "/tmp/elsewhere/PortMap.ini");
    }
    ScopedEnv env("PELLUM_PORTMAP", "");
    const std::string path = ports::DefaultPortMapPath();
    const std::string suffix = "/files/PortMap.ini";
    ASSERT_GT(path.size(), suffix.size());
    EXPECT_EQ(path.substr(path.size() - suffix.size()), suffix);
    EXPECT_EQ(path[0], '/');
}

TEST(PortStringTest, FormsAndTheirFaults) {
    using Kind = sdk::PortSpec::Kind;
    const struct {
        const char* text;
        std::int32_t result;
        Kind kind;
        const char* key;
    } cases[] = {
        {"USB", PELLUM_OK, Kind::Usb, "USB"},
        {" usb ", PELLUM_OK, Kind::Usb, "USB"},
        {"COM1,BAUDRATE_9600", PELLUM_OK, Kind::Serial, "COM1,9600"},
        {"com12,baudrate_115200", PELLUM_OK, Kind::Serial, "COM12,115200"},
        {"COM3", PELLUM_OK, Kind::Serial, "COM3,9600"},
        {"COM3:,BAUDRATE_4800", PELLUM_OK, Kind::Serial, "COM3,4800"},
        {"LPT1", PELLUM_OK, Kind::Parallel, "LPT1"},
        {"NET,192.0.2.7", PELLUM_OK, Kind::Network, "NET,192.0.2.7:9100"},
        {"NET,Printer.Local:6101", PELLUM_OK, Kind::Network, "NET,printer.local:6101"},
        {"net, 127.0.0.1 : 9101", PELLUM_OK, Kind::Network, "NET,127.0.0.1:9101"},
        {"NET,[::1]:9102", PELLUM_OK, Kind::Network, "NET,::1:9102"},
        {"NET,fe80::1", PELLUM_OK, Kind::Network, "NET,fe80::1:9100"},
        {"", PELLUM_ERR_BAD_PORT, Kind::Usb, ""},
        {"NET,", PELLUM_ERR_BAD_PORT, Kind::Usb, ""},
        {"NET,host:", PELLUM_ERR_BAD_PORT, Kind::Usb, ""},
        {"NET,host:0", PELLUM_ERR_BAD_PORT, Kind::Usb, ""},
        {"NET,host:65536", PELLUM_ERR_BAD_PORT, Kind::Usb, ""},
        {"NET,host:91x", PELLUM_ERR_BAD_PORT, Kind::Usb, ""},
        {"NET,[::1", PELLUM_ERR_BAD_PORT, Kind::Usb, ""},
        {"NET,my host", PELLUM_ERR_BAD_PORT, Kind::Usb, ""},
        {"COM0,BAUDRATE_9600", PELLUM_ERR_BAD_PORT, Kind::Usb, ""},
        {"COM1,9600", PELLUM_ERR_BAD_PORT, Kind::Usb, ""},
        {"COM1,BAUDRATE_", PELLUM_ERR_BAD_PORT, Kind::Usb, ""},
        {"LPT1,BAUDRATE_9600", PELLUM_ERR_BAD_PORT, Kind::Usb, ""},
        {"USB001", PELLUM_ERR_BAD_PORT, Kind::Usb, ""},
        {"192.168.0.33", PELLUM_ERR_BAD_PORT, Kind::Usb, ""},
    };
    for (const auto& c : cases) {
        sdk::PortSpec spec;
        ASSERT_EQ(sdk::ParsePortString(c.text, spec), c.result) << '"' << c.text << '"';
        if (c.result == PELLUM_OK) {
            EXPECT_EQ(spec.kind, c.kind) << c.text;
            EXPECT_EQ(spec.Key(), c.key) << c.text;
        }
    }
}

} // namespace
