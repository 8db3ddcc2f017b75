#include "Peers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace pellum::test {
namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

void SendAll(int fd, const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw std::runtime_error("peer write failed");
        }
        done += static_cast<std::size_t>(n);
    }
}

Bytes ReceiveUpTo(int fd, std::size_t count, int timeoutMs) {
    Bytes out;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < count) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, MsLeft(deadline)) <= 0) {
            break;
        }
        std::uint8_t buffer[4096];
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - out.size()));
        if (n <= 0) {
            break;
        }
        out.insert(out.end(), buffer, buffer + n);
    }
    return out;
}

} // namespace

Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

std::u16string U16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

TcpPeer::TcpPeer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 4) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("loopback listener failed");
    }
    port_ = ntohs(address.sin_port);
}

TcpPeer::~TcpPeer() {
    if (connection_ >= 0) {
        ::close(connection_);
    }
    ::close(listener_);
}

std::string TcpPeer::PortString() const {
    return "NET,127.0.0.1:" + std::to_string(port_);
}

void TcpPeer::Connected() {
    if (connection_ >= 0) {
        ::close(connection_);
    }
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 2000) != 1) {
        throw std::runtime_error("no connection to accept");
    }
    connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
}

void TcpPeer::Send(const Bytes& bytes) {
    SendAll(connection_, bytes);
}

Bytes TcpPeer::Receive(std::size_t count, int timeoutMs) {
    return ReceiveUpTo(connection_, count, timeoutMs);
}

void TcpPeer::HangUp() {
    ::close(connection_);
    connection_ = -1;
}

bool TcpPeer::SeesClose(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd p{connection_, POLLIN, 0};
        if (::poll(&p, 1, MsLeft(deadline)) <= 0) {
            return false;
        }
        std::uint8_t scrap[256];
        const ssize_t n = ::read(connection_, scrap, sizeof scrap);
        if (n <= 0) {
            return true;
        }
    }
}

PtyPeer::PtyPeer(const std::string& kind, int baud) : kind_(kind), baud_(baud) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    slave_ = ::ptsname(master_);
    if (kind_ != "COM") {
        termios t{};
        ::tcgetattr(master_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(master_, TCSANOW, &t);
    }
    char pattern[] = "/tmp/pellum-pty-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    const std::string key = kind_ == "COM" ? "COM9" : kind_ == "LPT" ? "LPT3" : "USB";
    const std::string map = dir_ + "/PortMap.ini";
    std::ofstream(map) << "[Ports]\n" << key << "=" << slave_ << "\n";
    // Readable by everyone: a test may open the port as another user.
    ::chmod(dir_.c_str(), 0755);
    ::chmod(map.c_str(), 0644);
    ::setenv("PELLUM_PORTMAP", map.c_str(), 1);
}

PtyPeer::~PtyPeer() {
    if (master_ >= 0) {
        ::close(master_);
    }
    ::unsetenv("PELLUM_PORTMAP");
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::string PtyPeer::PortString() const {
    if (kind_ == "COM") {
        return "COM9,BAUDRATE_" + std::to_string(baud_);
    }
    return kind_ == "LPT" ? "LPT3" : "USB";
}

void PtyPeer::Send(const Bytes& bytes) {
    SendAll(master_, bytes);
}

Bytes PtyPeer::Receive(std::size_t count, int timeoutMs) {
    return ReceiveUpTo(master_, count, timeoutMs);
}

void PtyPeer::HangUp() {
    ::close(master_);
    master_ = -1;
}

bool PtyPeer::SeesClose(int timeoutMs) {
    // The master reports POLLHUP once no slave descriptor is open.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd p{master_, POLLIN, 0};
        const int ready = ::poll(&p, 1, MsLeft(deadline));
        if (ready <= 0) {
            return false;
        }
        if (p.revents & POLLHUP) {
            return true;
        }
        std::uint8_t scrap[256];
        if (::read(master_, scrap, sizeof scrap) < 0 && errno == EIO) {
            return true;
        }
    }
}

std::unique_ptr<Peer> MakePeer(const std::string& kind) {
    if (kind == "NET") {
        return std::make_unique<TcpPeer>();
    }
    return std::make_unique<PtyPeer>(kind);
}

TempDir::TempDir() {
    char pattern[] = "/tmp/pellum-sdk-XXXXXX";
    path_ = ::mkdtemp(pattern);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, const std::string& content) const {
    const std::string file = path_ + "/" + name;
    std::ofstream(file, std::ios::binary) << content;
    return file;
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        had_ = true;
        old_ = old;
    }
    ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (had_) {
        ::setenv(name_.c_str(), old_.c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

} // namespace pellum::test
