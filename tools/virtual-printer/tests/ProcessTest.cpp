// End-to-end: the real executable over a loopback socket and a pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "VirtualPrinterProcess.h"

using pellum::testing::VirtualPrinterProcess;

namespace {

using Bytes = std::vector<std::uint8_t>;

bool sendAll(int fd, const Bytes& b) {
    std::size_t off = 0;
    while (off < b.size()) {
        ssize_t n = write(fd, b.data() + off, b.size() - off);
        if (n <= 0) {
            return false;
        }
        off += static_cast<std::size_t>(n);
    }
    return true;
}

// Reads until `count` bytes arrived or nothing came for quietMs.
Bytes readSome(int fd, std::size_t count, int quietMs = 1000) {
    Bytes out;
    while (out.size() < count) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, quietMs) <= 0) {
            break;
        }
        std::uint8_t buf[4096];
        ssize_t n = read(fd, buf, std::min(sizeof buf, count - out.size()));
        if (n <= 0) {
            break;
        }
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

} // namespace

TEST(VirtualPrinterProcess, BlockRoundTripOverLoopback) {
    VirtualPrinterProcess vp(VP_EXECUTABLE,
                             {"--model", "PL-Nutmeg 200", "--listen", "127.0.0.1:0"});
    ASSERT_TRUE(vp.start()) << vp.error();
    ASSERT_GT(vp.port(), 0);
    int fd = VirtualPrinterProcess::connectLoopback(vp.port());
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(sendAll(fd, {0x5A, 0x5A, 0x5A, 0x43, 0x52, 0x0A}));
    Bytes block = readSome(fd, 256);
    ASSERT_EQ(block.size(), 256u);
    EXPECT_EQ(block[0], 0x78);
    std::uint32_t sum = 0;
    for (int i = 0; i < 254; ++i) {
        sum += block[static_cast<std::size_t>(i)];
    }
    EXPECT_EQ(block[254], sum & 0xFF);
    EXPECT_EQ(block[255], (sum >> 8) & 0xFF);

    // Change the density and write the block back; a second read returns it.
    block[34] = 3;
    sum = 0;
    for (int i = 0; i < 254; ++i) {
        sum += block[static_cast<std::size_t>(i)];
    }
    block[254] = static_cast<std::uint8_t>(sum & 0xFF);
    block[255] = static_cast<std::uint8_t>(sum >> 8);
    ASSERT_TRUE(sendAll(fd, {0x5A, 0x5A, 0x5A, 0x43, 0x57, 0x20}));
    usleep(20000);
    ASSERT_TRUE(sendAll(fd, block));
    std::string line;
    ASSERT_TRUE(vp.waitForKind("block-write", 2000, &line));
    EXPECT_NE(line.find("{\"offset\":34,\"old\":8,\"new\":3}"), std::string::npos) << line;
    ASSERT_TRUE(sendAll(fd, {0x5A, 0x5A, 0x5A, 0x43, 0x52, 0x0A}));
    EXPECT_EQ(readSome(fd, 256), block);
    close(fd);
    ASSERT_TRUE(vp.waitForKind("disconnect", 2000));
    EXPECT_EQ(vp.stop(), 0);
}

TEST(VirtualPrinterProcess, KeyValueLineOverPseudoTerminal) {
    VirtualPrinterProcess vp(VP_EXECUTABLE, {"--model", "PL-Kapok 420", "--pty"});
    ASSERT_TRUE(vp.start()) << vp.error();
    ASSERT_FALSE(vp.ptyPath().empty());
    int fd = open(vp.ptyPath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    // The 25-byte getval line of "density".
    Bytes getDensity{0x1B, 0x1C, 0x26, 0x20, 0x56, 0x31, 0x20, 0x67, 0x65, 0x74, 0x76, 0x61, 0x6C,
                     0x20, 0x22, 0x64, 0x65, 0x6E, 0x73, 0x69, 0x74, 0x79, 0x22, 0x0D, 0x0A};
    ASSERT_TRUE(sendAll(fd, getDensity));
    EXPECT_EQ(readSome(fd, 2, 1000), text(std::string("8") + '\0'));
    std::string line;
    ASSERT_TRUE(vp.waitForKind("getval", 2000, &line));
    EXPECT_EQ(VirtualPrinterProcess::field(line, "key"), "density");
    EXPECT_EQ(VirtualPrinterProcess::field(line, "hex"),
              "1B 1C 26 20 56 31 20 67 65 74 76 61 6C 20 22 64 65 6E 73 69 74 79 22 0D 0A");
    close(fd);
}

TEST(VirtualPrinterProcess, ControlChannelSetsFaults) {
    VirtualPrinterProcess vp(VP_EXECUTABLE,
                             {"--model", "PL-Nutmeg 200", "--listen", "127.0.0.1:0"});
    ASSERT_TRUE(vp.start()) << vp.error();
    EXPECT_EQ(vp.control("ping"), "OK pong");
    EXPECT_EQ(vp.control("short-reply 10").substr(0, 2), "OK");
    int fd = VirtualPrinterProcess::connectLoopback(vp.port());
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(sendAll(fd, {0x12, 0x62}));
    EXPECT_EQ(readSome(fd, 256, 500).size(), 10u);
    EXPECT_EQ(vp.control("nonsense").substr(0, 3), "ERR");
    close(fd);
}

TEST(VirtualPrinterProcess, StartFailureIsReportedNotHung) {
    VirtualPrinterProcess vp(VP_EXECUTABLE,
                             {"--model", "No Such Model", "--listen", "127.0.0.1:0"});
    EXPECT_FALSE(vp.start());
    EXPECT_NE(vp.error().find("No Such Model"), std::string::npos) << vp.error();
    VirtualPrinterProcess missing("/nonexistent/pellum-virtual-printer",
                                  {"--listen", "127.0.0.1:0"});
    EXPECT_FALSE(missing.start());
}
