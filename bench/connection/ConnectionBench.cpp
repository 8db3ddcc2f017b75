// Round trips through the connection layer over loopback TCP, compared with
// the bare socket, and the CPU a waiting read burns.
//
//   bench-connection [BIN_FOLDER] [ROUNDS]
//
// A reply server on 127.0.0.1 answers each 1-byte request with a reply of
// the size the request byte names (1 or 256 bytes). Prints the median and
// 90th percentile of each round trip, the layer's overhead over the bare
// socket, and the user+system time of a 1-second read with nothing to read.
#include "connection/PrinterLibraries.h"
#include "core/PrinterSession.h"

#include <QString>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct ReplyServer {
    int listenFd = -1;
    int port = 0;
    std::thread worker;
    std::atomic<bool> stop{false};

    ReplyServer() {
        listenFd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(listenFd, 4);
        socklen_t len = sizeof addr;
        getsockname(listenFd, reinterpret_cast<sockaddr*>(&addr), &len);
        port = ntohs(addr.sin_port);
        worker = std::thread([this] { Serve(); });
    }
    ~ReplyServer() {
        stop = true;
        shutdown(listenFd, SHUT_RDWR);
        close(listenFd);
        worker.join();
    }
    void Serve() {
        while (!stop) {
            int fd = accept(listenFd, nullptr, nullptr);
            if (fd < 0)
                return;
            int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            unsigned char req;
            std::vector<unsigned char> reply(256, 0x5A);
            while (read(fd, &req, 1) == 1) {
                size_t n = req == 1 ? 1 : 256;
                if (write(fd, reply.data(), n) != static_cast<ssize_t>(n))
                    break;
            }
            close(fd);
        }
    }
};

struct Stats {
    double median, p90;
};

Stats Summarise(std::vector<double> us) {
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[us.size() * 9 / 10]};
}

std::vector<double> BareRoundTrips(int port, int rounds, unsigned char req, size_t replySize) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::vector<double> times;
    std::vector<unsigned char> buf(replySize);
    for (int i = 0; i < rounds; ++i) {
        auto t0 = Clock::now();
        (void)!write(fd, &req, 1);
        size_t got = 0;
        while (got < replySize) {
            ssize_t r = read(fd, buf.data() + got, replySize - got);
            if (r <= 0)
                break;
            got += static_cast<size_t>(r);
        }
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    close(fd);
    return times;
}

std::vector<double> LayerRoundTrips(pellum::PrinterSession& session, const QString& port,
                                    int rounds, unsigned char req, int replySize) {
    std::vector<double> times;
    std::vector<std::uint8_t> buf(static_cast<size_t>(replySize));
    session.Tspl().Open(port);
    for (int i = 0; i < rounds; ++i) {
        auto t0 = Clock::now();
        session.Tspl().Write(&req, 1);
        std::int32_t n = 0;
        session.Tspl().ReadRetry(buf.data(), replySize, &n, 2, 100);
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        if (n != replySize)
            std::fprintf(stderr, "short reply: %d of %d\n", n, replySize);
    }
    session.Tspl().Close();
    return times;
}

double CpuMs() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000.0 +
           (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1000.0;
}

} // namespace

int main(int argc, char** argv) {
    pellum::PrinterSession session;
    QString bin = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(PELLUM_BENCH_BIN);
    int rounds = argc > 2 ? std::atoi(argv[2]) : 2000;
    QStringList problems;
    if (!pellum::connection::LoadPrinterLibraries(bin, &problems)) {
        for (const QString& p : problems)
            std::fprintf(stderr, "%s\n", qPrintable(p));
        return 1;
    }
    ReplyServer server;
    const QString port = QStringLiteral("NET,127.0.0.1:%1").arg(server.port);
    if (session.Tspl().Create(QStringLiteral("BENCH")) != 0) {
        std::fprintf(stderr, "create failed\n");
        return 1;
    }
    std::printf("round trips over 127.0.0.1, %d rounds each (microseconds)\n", rounds);
    for (int size : {1, 256}) {
        unsigned char req = size == 1 ? 1 : 2;
        Stats bare = Summarise(BareRoundTrips(server.port, rounds, req, static_cast<size_t>(size)));
        Stats layer = Summarise(LayerRoundTrips(session, port, rounds, req, size));
        std::printf("%3d-byte reply: bare median %.1f p90 %.1f | layer median %.1f p90 %.1f | "
                    "overhead median %.1f us\n",
                    size, bare.median, bare.p90, layer.median, layer.p90,
                    layer.median - bare.median);
    }
    // A read that waits with nothing to read: 1 s timeout, no reply.
    qputenv("PELLUM_READ_TIMEOUT_MS", "1000");
    session.Tspl().Open(port);
    std::uint8_t b[1];
    std::int32_t n = 0;
    double cpu0 = CpuMs();
    auto t0 = Clock::now();
    session.Tspl().Read(b, 1, &n);
    double wall = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    double cpu = CpuMs() - cpu0;
    session.Tspl().Close();
    std::printf("idle read: %.0f ms wall, %.2f ms user+sys CPU, %d bytes\n", wall, cpu, n);
    return 0;
}
