// End-to-end: the real executable over a loopback socket and a pseudo-terminal.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
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

namespace {

Bytes kvLine(const std::string& body) {
    std::string line = "\x1B\x1C\x26\x20\x56\x31\x20" + body + "\r\n";
    return Bytes(line.begin(), line.end());
}

std::string getval(int fd, const std::string& key) {
    if (!sendAll(fd, kvLine("getval \"" + key + "\""))) {
        return "<write failed>";
    }
    Bytes r;
    while (r.empty() || r.back() != 0x00) {
        Bytes more = readSome(fd, 1, 1000);
        if (more.empty()) {
            return "<no NUL>";
        }
        r.insert(r.end(), more.begin(), more.end());
    }
    return std::string(r.begin(), r.end() - 1);
}

} // namespace

TEST(VirtualPrinterProcess, SplitReplyPausesBetweenThe200And56Bytes) {
    VirtualPrinterProcess vp(VP_EXECUTABLE, {"--model", "PL-Nutmeg 200", "--listen", "127.0.0.1:0",
                                             "--split-reply", "200"});
    ASSERT_TRUE(vp.start()) << vp.error();
    int fd = VirtualPrinterProcess::connectLoopback(vp.port());
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(sendAll(fd, {0x5A, 0x5A, 0x5A, 0x43, 0x52, 0x0A}));
    auto t0 = std::chrono::steady_clock::now();
    Bytes first = readSome(fd, 200);
    auto t1 = std::chrono::steady_clock::now();
    Bytes second = readSome(fd, 56);
    auto t2 = std::chrono::steady_clock::now();
    EXPECT_EQ(first.size(), 200u);
    EXPECT_EQ(second.size(), 56u);
    // Longer than the library's 50 ms quiet time, so its first read ends at 200.
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(t2 - t1).count(), 100);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(t1 - t0).count(), 100);
    close(fd);
}

TEST(VirtualPrinterProcess, SecondConnectionWaitsThenTakesOverAnIdleOne) {
    VirtualPrinterProcess vp(
        VP_EXECUTABLE, {"--model", "PL-Kapok 420", "--listen", "127.0.0.1:0", "--handover", "300"});
    ASSERT_TRUE(vp.start()) << vp.error();
    int a = VirtualPrinterProcess::connectLoopback(vp.port());
    ASSERT_GE(a, 0);
    EXPECT_EQ(getval(a, "density"), "8");
    int b = VirtualPrinterProcess::connectLoopback(vp.port());
    ASSERT_GE(b, 0);
    ASSERT_TRUE(vp.waitForKind("connection-waiting", 2000));
    // While the first is busy the second is not served; once the first has been
    // idle for the handover time it is closed and the second is answered.
    EXPECT_EQ(getval(a, "speed"), "4");
    EXPECT_EQ(getval(b, "density"), "8");
    std::string dropped;
    ASSERT_TRUE(vp.waitForKind("connection-dropped", 2000, &dropped));
    EXPECT_NE(dropped.find("idle"), std::string::npos);
    EXPECT_TRUE(readSome(a, 1, 200).empty()) << "the first connection was closed";
    close(a);
    close(b);
}

TEST(VirtualPrinterProcess, RefusedConnectionsAndDropAfterPacket) {
    VirtualPrinterProcess vp(VP_EXECUTABLE,
                             {"--model", "PL-Kapok 420", "--listen", "127.0.0.1:0", "--refuse"});
    ASSERT_TRUE(vp.start()) << vp.error();
    EXPECT_LT(VirtualPrinterProcess::connectLoopback(vp.port(), 500), 0);
    EXPECT_EQ(vp.control("refuse off").substr(0, 2), "OK");
    int fd = -1;
    for (int i = 0; i < 50 && fd < 0; ++i) {
        fd = VirtualPrinterProcess::connectLoopback(vp.port(), 500);
        usleep(10000);
    }
    ASSERT_GE(fd, 0);
    EXPECT_EQ(vp.control("drop-after 0").substr(0, 2), "OK");
    ASSERT_TRUE(sendAll(fd, kvLine("do \"download\" \"bitmaps\" \"E_A.GRF\"")));
    EXPECT_EQ(readSome(fd, 2), text("OK"));
    Bytes p(1036, 0);
    p[0] = 0xDD;
    p[1] = 0xCC;
    p[2] = 0xBB;
    p[3] = 0xAA;
    p[1034] = 0x0F; // checksum of the 10 header bytes, n = 0
    p[1035] = 0x03;
    ASSERT_TRUE(sendAll(fd, p));
    EXPECT_TRUE(readSome(fd, 12, 1000).empty());
    std::uint8_t c;
    EXPECT_EQ(read(fd, &c, 1), 0) << "connection closed by the printer";
    close(fd);
}

TEST(VirtualPrinterProcess, StateSurvivesARestartAndPicturesBecomePng) {
    std::string dir = ::testing::TempDir();
    std::string state = dir + "vp-process-state.txt";
    std::remove(state.c_str());
    {
        VirtualPrinterProcess vp(VP_EXECUTABLE,
                                 {"--model", "PL-Kapok 420", "--listen", "127.0.0.1:0", "--state",
                                  state, "--png-dir", dir});
        ASSERT_TRUE(vp.start()) << vp.error();
        int fd = VirtualPrinterProcess::connectLoopback(vp.port());
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(sendAll(fd, kvLine("setval \"density\" \"11\"")));
        ASSERT_TRUE(sendAll(fd, kvLine("do \"download\" \"bitmaps\" \"E_P.GRF\"")));
        EXPECT_EQ(readSome(fd, 2), text("OK"));
        // An 8 x 8 picture with one black dot at the top left.
        Bytes record{0x01, 0x00, 0x01, 0x00, 0x80, 0, 0, 0, 0, 0, 0, 0};
        Bytes p(1036, 0);
        Bytes head{0xDD, 0xCC, 0xBB, 0xAA, 0, 0, 0, 0, static_cast<std::uint8_t>(record.size()), 0};
        std::copy(head.begin(), head.end(), p.begin());
        std::copy(record.begin(), record.end(), p.begin() + 10);
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < 10 + record.size(); ++i) {
            sum += p[i];
        }
        p[1034] = static_cast<std::uint8_t>(sum & 0xFF);
        p[1035] = static_cast<std::uint8_t>(sum >> 8);
        ASSERT_TRUE(sendAll(fd, p));
        Bytes ack = readSome(fd, 12);
        ASSERT_EQ(ack.size(), 12u);
        EXPECT_EQ(ack[8], 0);
        std::string line;
        ASSERT_TRUE(vp.waitForKind("png-written", 2000, &line));
        EXPECT_EQ(VirtualPrinterProcess::field(line, "error"), "");
        close(fd);
        EXPECT_EQ(vp.stop(), 0);
    }
    std::FILE* png = std::fopen((dir + "E_P.GRF.png").c_str(), "rb");
    ASSERT_NE(png, nullptr);
    unsigned char sig[8] = {};
    EXPECT_EQ(std::fread(sig, 1, 8, png), 8u);
    std::fclose(png);
    EXPECT_EQ(sig[1], 'P');
    EXPECT_EQ(sig[2], 'N');
    {
        VirtualPrinterProcess vp(VP_EXECUTABLE, {"--model", "PL-Kapok 420", "--listen",
                                                 "127.0.0.1:0", "--state", state});
        ASSERT_TRUE(vp.start()) << vp.error();
        int fd = VirtualPrinterProcess::connectLoopback(vp.port());
        ASSERT_GE(fd, 0);
        EXPECT_EQ(getval(fd, "density"), "11");
        EXPECT_EQ(getval(fd, "bitmaps"), "E_LOGO.GRF,E_P.GRF");
        close(fd);
    }
    std::remove(state.c_str());
    std::remove((dir + "E_P.GRF.png").c_str());
}

TEST(VirtualPrinterProcess, SerialNumberAndSelfTestOfTheTsplLibrary) {
    VirtualPrinterProcess vp(VP_EXECUTABLE,
                             {"--model", "PL-Sumac 330", "--pty", "--version", "0.9.0"});
    ASSERT_TRUE(vp.start()) << vp.error();
    int fd = open(vp.ptyPath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(sendAll(fd, {0x53, 0x45, 0x4C, 0x46, 0x54, 0x45, 0x53, 0x54, 0x0D, 0x0A}));
    ASSERT_TRUE(sendAll(fd, {0x5A, 0x5A, 0x5A, 0x47, 0x45, 0x54, 0x53, 0x4E, 0x0D, 0x0A}));
    EXPECT_EQ(readSome(fd, 32, 300), text("S330A6300101\r\n"));
    ASSERT_TRUE(sendAll(fd, text("ZZZGETVERSION\r\n")));
    EXPECT_EQ(readSome(fd, 4, 300), (Bytes{0, 9, 0, 0})) << "four bytes for this model";
    EXPECT_TRUE(vp.waitForKind("self-test", 1000));
    close(fd);
}

namespace {

Bytes readBlock(VirtualPrinterProcess& vp) {
    int fd = VirtualPrinterProcess::connectLoopback(vp.port());
    if (fd < 0) {
        return {};
    }
    sendAll(fd, {0x12, 0x62});
    Bytes b = readSome(fd, 256);
    close(fd);
    return b;
}

} // namespace

TEST(VirtualPrinterProcess, StartingBlockOptions) {
    auto start = [](std::vector<std::string> extra) {
        std::vector<std::string> args{"--model", "PL-Quince 720", "--listen", "127.0.0.1:0"};
        args.insert(args.end(), extra.begin(), extra.end());
        return std::make_unique<VirtualPrinterProcess>(VP_EXECUTABLE, args);
    };
    auto a = start({"--random-block", "42"});
    auto b = start({"--random-block", "42"});
    auto c = start({"--random-block", "43"});
    ASSERT_TRUE(a->start() && b->start() && c->start()) << a->error();
    Bytes ba = readBlock(*a), bb = readBlock(*b), bc = readBlock(*c);
    ASSERT_EQ(ba.size(), 256u);
    EXPECT_EQ(ba[0], 0x78);
    std::uint32_t sum = 0;
    for (int i = 0; i < 254; ++i) {
        sum += ba[static_cast<std::size_t>(i)];
    }
    EXPECT_EQ(ba[254] | (ba[255] << 8), static_cast<int>(sum & 0xFFFF));
    EXPECT_EQ(ba, bb) << "same seed, same block";
    EXPECT_NE(ba, bc);

    // A given block file is served as it is, even with a wrong checksum.
    std::string path = ::testing::TempDir() + "vp-block.bin";
    Bytes given(256, 0x11);
    given[0] = 0x78;
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(given.data(), 1, given.size(), f);
        std::fclose(f);
    }
    auto d = start({"--block-file", path});
    ASSERT_TRUE(d->start()) << d->error();
    EXPECT_EQ(readBlock(*d), given);
    std::remove(path.c_str());
    auto e = start({"--block-file", "/nonexistent/block.bin"});
    EXPECT_FALSE(e->start());
}

TEST(VirtualPrinterProcess, EmulationOverrideAndPtyLink) {
    std::string link = ::testing::TempDir() + "vp-test-pty-link";
    VirtualPrinterProcess vp(VP_EXECUTABLE, {"--model", "PL-Maple 80", "--listen", "127.0.0.1:0",
                                             "--pty-link", link, "--emulation", "0"});
    ASSERT_TRUE(vp.start()) << vp.error();
    EXPECT_GT(vp.port(), 0);
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), vp.ptyPath());
    int fd = open(link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(sendAll(fd, {0x1B, 0x1B, 0x08}));
    EXPECT_EQ(readSome(fd, 1, 500), Bytes{0x00});
    close(fd);
    EXPECT_EQ(vp.stop(), 0);
    EXPECT_NE(access(link.c_str(), F_OK), 0) << "the link is removed at exit";
}

TEST(VirtualPrinterProcess, PseudoTerminalOpenedAndClosedLikeASerialPort) {
    VirtualPrinterProcess vp(VP_EXECUTABLE, {"--model", "PL-Hazel 240", "--pty"});
    ASSERT_TRUE(vp.start()) << vp.error();
    std::size_t from = 0;
    for (int round = 0; round < 3; ++round) {
        int fd = open(vp.ptyPath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0) << round;
        ASSERT_TRUE(sendAll(fd, {0x1B, 0x1B, 0x08}));
        EXPECT_EQ(readSome(fd, 1, 1000), Bytes{0x01}) << round;
        // A reply that nobody reads is lost when the line closes.
        ASSERT_TRUE(sendAll(fd, {0x12, 0x62}));
        close(fd);
        std::size_t at = 0;
        ASSERT_TRUE(vp.waitForKind("disconnect", 2000, nullptr, from, &at)) << round;
        from = at + 1;
    }
    std::size_t connects = 0;
    for (const auto& l : vp.journalLines()) {
        connects += VirtualPrinterProcess::field(l, "kind") == "connect";
    }
    EXPECT_EQ(connects, 3u);
    int fd = open(vp.ptyPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    std::uint8_t stale[300];
    usleep(50000);
    EXPECT_LT(read(fd, stale, sizeof stale), 1) << "no stale block from the closed session";
    close(fd);

    // Refusing: the printer holds the line exclusively, so it is busy.
    EXPECT_EQ(vp.control("refuse on").substr(0, 2), "OK");
    ASSERT_TRUE(vp.waitForKind("pty-busy", 2000));
    fd = open(vp.ptyPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) { // a privileged test process passes the check; the flag is set
        int exclusive = 0;
        EXPECT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
        EXPECT_NE(exclusive, 0);
        close(fd);
    } else {
        EXPECT_EQ(errno, EBUSY);
    }
}

TEST(VirtualPrinterProcess, GarbageAndAbruptClosesNeverStopIt) {
    VirtualPrinterProcess vp(
        VP_EXECUTABLE, {"--model", "PL-Larch 630P", "--listen", "127.0.0.1:0", "--handover", "0"});
    ASSERT_TRUE(vp.start()) << vp.error();
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (int round = 0; round < 30; ++round) {
        int fd = VirtualPrinterProcess::connectLoopback(vp.port());
        ASSERT_GE(fd, 0) << round;
        Bytes junk(next() % 5000);
        for (auto& b : junk) {
            b = static_cast<std::uint8_t>(next());
        }
        // Sometimes the start of a real command, cut off by the close.
        if (round % 3 == 0) {
            Bytes start = kvLine("do \"download\" \"fonts\" \"E_F.TTF\"");
            junk.insert(junk.begin(), start.begin(), start.end());
            junk.insert(junk.begin() + static_cast<std::ptrdiff_t>(start.size()),
                        {0xDD, 0xCC, 0xBB, 0xAA});
        }
        sendAll(fd, junk);
        close(fd);
    }
    ASSERT_TRUE(vp.running());
    int fd = VirtualPrinterProcess::connectLoopback(vp.port());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(getval(fd, "dpi"), "300");
    close(fd);
    // SIGINT ends it cleanly too.
    kill(vp.pid(), SIGINT);
    for (int i = 0; i < 200 && vp.running(); ++i) {
        usleep(10000);
    }
    EXPECT_FALSE(vp.running());
    EXPECT_FALSE(vp.journalLines().empty());
    EXPECT_EQ(VirtualPrinterProcess::field(vp.journalLines().back(), "kind"), "stop");
}

TEST(VirtualPrinterProcess, TheLauncherKeepsTheTestsOwnDescriptorsOutOfTheChild) {
    // A connection the test closes must really close, even while a printer runs.
    int server = socket(AF_INET, SOCK_STREAM, 0); // without close-on-exec on purpose
    ASSERT_GE(server, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(server, 1), 0);
    socklen_t len = sizeof a;
    getsockname(server, reinterpret_cast<sockaddr*>(&a), &len);
    VirtualPrinterProcess vp(VP_EXECUTABLE, {"--model", "PL-Oak 50", "--listen", "127.0.0.1:0"});
    ASSERT_TRUE(vp.start()) << vp.error();
    close(server);
    EXPECT_LT(VirtualPrinterProcess::connectLoopback(ntohs(a.sin_port), 500), 0);
}

namespace {

// A download packet with n data bytes: zero fill and a checksum over header
// and data, or (user font) FF fill and a checksum over all 1034 bytes.
Bytes downloadPacket(const Bytes& data, bool userFont) {
    Bytes p(1036, userFont ? 0xFF : 0x00);
    Bytes head{0xDD, 0xCC, 0xBB, 0xAA, 0, 0, 0, 0, static_cast<std::uint8_t>(data.size()), 0};
    std::copy(head.begin(), head.end(), p.begin());
    std::copy(data.begin(), data.end(), p.begin() + 10);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < (userFont ? 1034 : 10 + data.size()); ++i) {
        sum += p[i];
    }
    p[1034] = static_cast<std::uint8_t>(sum & 0xFF);
    p[1035] = static_cast<std::uint8_t>(sum >> 8);
    return p;
}

Bytes firmwareHeader(std::uint32_t size) {
    Bytes h(76, 0);
    h[4] = static_cast<std::uint8_t>(size);
    h[8] = 2;
    std::copy_n("MAIN", 4, h.begin() + 12);
    return h;
}

} // namespace

TEST(VirtualPrinterProcess, EveryReplyKindObeysEveryReplyFault) {
    // Each reply the printer sends, restricted to its journal kind with
    // "only", is hit by each reply fault; the commands before it are not.
    struct Kind {
        const char* model;
        const char* kind;
        std::vector<Bytes> before; // commands answered normally first
        Bytes command;
    };
    const Bytes dfu = kvLine("do \"dfu\"");
    const Kind kinds[] = {
        {"PL-Nutmeg 200", "block-read", {}, {0x12, 0x62}},
        {"PL-Nutmeg 200", "emulation-query", {}, {0x1B, 0x1B, 0x08}},
        {"PL-Nutmeg 200", "version-query", {}, text("ZZZGETVERSION\r\n")},
        {"PL-Nutmeg 200", "journey-query", {}, text("ZZZGETJOURNEY\r\n")},
        {"PL-Nutmeg 200", "serial-query", {}, text("ZZZGETSN\r\n")},
        {"PL-Kapok 420", "getval", {}, kvLine("getval \"density\"")},
        {"PL-Kapok 420", "download-announce", {}, kvLine("do \"download\" \"labels\" \"E_A\"")},
        {"PL-Kapok 420",
         "download-packet",
         {kvLine("do \"download\" \"labels\" \"E_A\"")},
         downloadPacket({1, 2, 3}, false)},
        {"PL-Kapok 420", "userfont-announce", {}, kvLine("do \"userfont_download\" \"big5\"")},
        {"PL-Kapok 420",
         "userfont-packet",
         {kvLine("do \"userfont_download\" \"big5\"")},
         downloadPacket({1, 2, 3}, true)},
        // A header of size 0 is refused, so no final status follows it.
        {"PL-Kapok 420", "firmware-header", {dfu}, firmwareHeader(0)},
        {"PL-Kapok 420", "firmware-complete", {dfu, firmwareHeader(4)}, Bytes(4, 0x11)},
    };
    struct Fault {
        const char* command;
        // What arrives of a reply of n bytes at first (before the delay) and at all.
        std::function<std::size_t(std::size_t)> early, total;
        bool drops;
    };
    const Fault faults[] = {
        {"no-reply", [](std::size_t) { return 0u; }, [](std::size_t) { return 0u; }, false},
        {"short-reply 1", [](std::size_t) { return 1u; }, [](std::size_t) { return 1u; }, false},
        {"delay 400", [](std::size_t) { return 0u; }, [](std::size_t n) { return n; }, false},
        {"drop-reply", [](std::size_t) { return 0u; }, [](std::size_t) { return 0u; }, true},
    };
    for (const char* model : {"PL-Nutmeg 200", "PL-Kapok 420"}) {
        VirtualPrinterProcess vp(VP_EXECUTABLE, {"--model", model, "--listen", "127.0.0.1:0",
                                                 "--fw-quiet", "150", "--handover", "0"});
        ASSERT_TRUE(vp.start()) << vp.error();
        // Connects and sends the commands before (their replies are read and
        // left aside), then the command itself.
        auto ask = [&](const Kind& k) {
            int fd = VirtualPrinterProcess::connectLoopback(vp.port());
            for (const Bytes& b : k.before) {
                sendAll(fd, b);
                readSome(fd, 4096, 100);
            }
            sendAll(fd, k.command);
            return fd;
        };
        for (const Kind& k : kinds) {
            if (std::string(k.model) != model) {
                continue;
            }
            ASSERT_EQ(vp.control("clear").substr(0, 2), "OK");
            int fd = ask(k);
            ASSERT_GE(fd, 0);
            std::size_t normal = readSome(fd, 4096, 300).size();
            close(fd);
            ASSERT_GT(normal, 0u) << k.kind;
            for (const Fault& f : faults) {
                ASSERT_EQ(vp.control(f.command).substr(0, 2), "OK") << f.command;
                ASSERT_EQ(vp.control(std::string("only ") + k.kind).substr(0, 2), "OK");
                fd = ask(k);
                ASSERT_GE(fd, 0);
                std::string what = std::string(k.kind) + " / " + f.command;
                // The firmware's final status comes only after its quiet time.
                int early = std::string(k.kind) == "firmware-complete" ? 300 : 150;
                Bytes first = readSome(fd, normal, early);
                EXPECT_EQ(first.size(), f.early(normal)) << what;
                Bytes rest = readSome(fd, normal, 700);
                EXPECT_EQ(first.size() + rest.size(), f.total(normal)) << what;
                std::uint8_t c;
                ssize_t n = recv(fd, &c, 1, MSG_DONTWAIT);
                if (f.drops) {
                    EXPECT_EQ(n, 0) << what << ": the printer closed the connection";
                } else {
                    EXPECT_LT(n, 0) << what << ": the connection stays open";
                }
                close(fd);
                ASSERT_EQ(vp.control("clear").substr(0, 2), "OK");
            }
        }
    }
}
