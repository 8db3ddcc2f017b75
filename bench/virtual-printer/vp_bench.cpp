// Benchmark (not a test): how fast the virtual printer answers on loopback.
//   pellum-vp-bench [ITERATIONS] [DOWNLOAD_BYTES]
// Prints, per command, the time from the last byte of the command written to
// the last byte of the reply read (median, 99th percentile, maximum), and the
// time a 3 MB file download takes when paced only by the acknowledgements,
// next to the time the program's own waits (20 ms after each packet) add.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "VirtualPrinterProcess.h"

using pellum::testing::VirtualPrinterProcess;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {

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

bool readExactly(int fd, std::size_t count) {
    std::uint8_t buf[4096];
    std::size_t got = 0;
    while (got < count) {
        ssize_t n = read(fd, buf, std::min(sizeof buf, count - got));
        if (n <= 0) {
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

Bytes kv(const std::string& body) {
    std::string s = "\x1B\x1C\x26\x20\x56\x31\x20" + body + "\r\n";
    return Bytes(s.begin(), s.end());
}

Bytes packet(std::uint32_t index, const std::uint8_t* data, std::size_t n) {
    Bytes p(1036, 0);
    p[0] = 0xDD;
    p[1] = 0xCC;
    p[2] = 0xBB;
    p[3] = 0xAA;
    for (int i = 0; i < 4; ++i) {
        p[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(index >> (8 * i));
    }
    p[8] = static_cast<std::uint8_t>(n & 0xFF);
    p[9] = static_cast<std::uint8_t>(n >> 8);
    std::copy(data, data + n, p.begin() + 10);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < n + 10; ++i) {
        sum += p[i];
    }
    p[1034] = static_cast<std::uint8_t>(sum & 0xFF);
    p[1035] = static_cast<std::uint8_t>((sum >> 8) & 0xFF);
    return p;
}

void report(const char* what, std::vector<double>& us) {
    std::sort(us.begin(), us.end());
    auto at = [&](double q) { return us[static_cast<std::size_t>(q * (us.size() - 1))]; };
    std::printf("%-34s n=%-6zu median %7.1f us   p99 %7.1f us   max %8.1f us\n", what, us.size(),
                at(0.5), at(0.99), us.back());
}

} // namespace

int main(int argc, char** argv) {
    int iterations = argc > 1 ? std::atoi(argv[1]) : 2000;
    std::size_t downloadBytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 3u * 1024 * 1024;

    struct Case {
        const char* name;
        const char* model;
        Bytes command;
        std::size_t replyBytes;
    };
    const Case cases[] = {
        {"emulation query 1B 1B 08 (1 byte)", "PL-Nutmeg 200", {0x1B, 0x1B, 0x08}, 1},
        {"block read ZZZCR (256 bytes)",
         "PL-Nutmeg 200",
         {0x5A, 0x5A, 0x5A, 0x43, 0x52, 0x0A},
         256},
        {"getval \"density\" (2 bytes)", "PL-Kapok 420", kv("getval \"density\""), 2},
        {"getval \"bitmaps\" (11 bytes)", "PL-Kapok 420", kv("getval \"bitmaps\""), 11},
    };
    for (const auto& c : cases) {
        VirtualPrinterProcess vp(VP_EXECUTABLE, {"--model", c.model, "--listen", "127.0.0.1:0"});
        if (!vp.start()) {
            std::fprintf(stderr, "cannot start: %s\n", vp.error().c_str());
            return 1;
        }
        int fd = VirtualPrinterProcess::connectLoopback(vp.port());
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::vector<double> us;
        for (int i = 0; i < iterations; ++i) {
            if (!sendAll(fd, c.command)) {
                return 1;
            }
            auto t0 = Clock::now();
            if (!readExactly(fd, c.replyBytes)) {
                std::fprintf(stderr, "%s: reply missing\n", c.name);
                return 1;
            }
            us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        }
        report(c.name, us);
        close(fd);
    }

    VirtualPrinterProcess vp(VP_EXECUTABLE, {"--model", "PL-Larch 620", "--listen", "127.0.0.1:0"});
    if (!vp.start()) {
        std::fprintf(stderr, "cannot start: %s\n", vp.error().c_str());
        return 1;
    }
    int fd = VirtualPrinterProcess::connectLoopback(vp.port());
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    Bytes file(downloadBytes);
    for (std::size_t i = 0; i < file.size(); ++i) {
        file[i] = static_cast<std::uint8_t>(i * 7);
    }
    sendAll(fd, kv("do \"download\" \"fonts\" \"E_BIG.TTF\""));
    readExactly(fd, 2);
    std::size_t packets = file.size() / 1024 + 1;
    std::vector<double> ackUs;
    auto start = Clock::now();
    for (std::size_t i = 0; i < packets; ++i) {
        std::size_t off = i * 1024;
        std::size_t n = std::min<std::size_t>(1024, file.size() - off);
        Bytes p = packet(static_cast<std::uint32_t>(i), file.data() + off, n);
        sendAll(fd, p);
        auto t0 = Clock::now();
        if (!readExactly(fd, 12)) {
            std::fprintf(stderr, "ack %zu missing\n", i);
            return 1;
        }
        ackUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    double total = std::chrono::duration<double>(Clock::now() - start).count();
    report("packet acknowledgement (12 bytes)", ackUs);
    bool stored = vp.waitForKind("download-complete", 5000);
    std::printf("download of %zu bytes in %zu packets: %.3f s paced by acknowledgements only "
                "(%s); the program's 20 ms wait per packet adds %.1f s\n",
                file.size(), packets, total, stored ? "stored" : "NOT stored",
                static_cast<double>(packets) * 0.020);
    close(fd);
    return stored ? 0 : 1;
}
