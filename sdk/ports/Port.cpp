#include "ports/Port.h"

#include "PellumSdk.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace pellum::ports {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kChunk = 4096;
// poll() reported the descriptor ready but the transfer would block: drivers
// without poll support (the parallel port driver) do this. Back off this long
// before the next attempt so the loop never spins.
constexpr int kNotReadyBackoffMs = 10;

int EnvMs(const char* name, int fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return fallback;
    }
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 0 || value > 3600000) {
        return fallback;
    }
    return static_cast<int>(value);
}

// Milliseconds until deadline, rounded up so that poll() never returns early.
int MsUntil(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<long long>(ms, 3600000));
}

bool IsGoneError(int error) {
    switch (error) {
    case EIO:
    case ENODEV:
    case ENXIO:
    case EPIPE:
    case ECONNRESET:
    case ECONNABORTED:
    case ESHUTDOWN:
    case ENOTCONN:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
        return true;
    default:
        return false;
    }
}

std::int32_t TransferErrorCode(int error) {
    return IsGoneError(error) ? PELLUM_ERR_DISCONNECTED : PELLUM_ERR_IO;
}

void Backoff(Clock::time_point deadline) {
    const int ms = std::min(kNotReadyBackoffMs, MsUntil(deadline));
    if (ms > 0) {
        ::poll(nullptr, 0, ms);
    }
}

} // namespace

Timing Timing::FromEnvironment() {
    Timing t;
    t.readTimeoutMs = EnvMs("PELLUM_READ_TIMEOUT_MS", t.readTimeoutMs);
    t.gapMs = EnvMs("PELLUM_READ_GAP_MS", t.gapMs);
    t.writeTimeoutMs = EnvMs("PELLUM_WRITE_TIMEOUT_MS", t.writeTimeoutMs);
    t.connectTimeoutMs = EnvMs("PELLUM_CONNECT_TIMEOUT_MS", t.connectTimeoutMs);
    return t;
}

Port::Port(int fd, const Timing& timing, bool zeroReadIsGone)
    : fd_(fd), timing_(timing), zeroReadIsGone_(zeroReadIsGone) {}

Port::~Port() {
    // Derived classes restore their device state in their own destructors.
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

ssize_t Port::WriteSome(const std::uint8_t* data, std::size_t count) {
    return ::write(fd_, data, count);
}

std::int32_t Port::Write(const std::uint8_t* data, std::size_t count) {
    std::lock_guard<std::mutex> lock(writeMutex_);
    std::size_t done = 0;
    auto deadline = Clock::now() + std::chrono::milliseconds(timing_.writeTimeoutMs);
    bool waitedForReady = false;
    while (done < count) {
        const ssize_t n = WriteSome(data + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            deadline = Clock::now() + std::chrono::milliseconds(timing_.writeTimeoutMs);
            waitedForReady = false;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return TransferErrorCode(errno);
        }
        // The device takes no more for now: wait until it does.
        if (MsUntil(deadline) == 0) {
            return PELLUM_ERR_TIMEOUT;
        }
        if (waitedForReady) {
            Backoff(deadline); // ready was reported, yet the write would block
        }
        pollfd p{fd_, POLLOUT, 0};
        const int ready = ::poll(&p, 1, MsUntil(deadline));
        if (ready < 0 && errno != EINTR) {
            return PELLUM_ERR_IO;
        }
        if (ready > 0) {
            if (p.revents & POLLNVAL) {
                return PELLUM_ERR_IO;
            }
            if ((p.revents & POLLHUP) && !(p.revents & POLLOUT)) {
                return PELLUM_ERR_DISCONNECTED;
            }
            // POLLERR: the next write reports the error itself.
            waitedForReady = true;
        }
    }
    return PELLUM_OK;
}

bool Port::TakePending(std::uint8_t* buffer, std::size_t size, bool untilEnd, std::uint8_t endByte,
                       std::size_t& delivered) {
    std::size_t take = std::min(pending_.size(), size - delivered);
    bool endSeen = false;
    if (untilEnd) {
        const auto end = std::find(pending_.begin(), pending_.begin() + take, endByte);
        if (end != pending_.begin() + take) {
            take = static_cast<std::size_t>(end - pending_.begin()) + 1;
            endSeen = true;
        }
    }
    if (take > 0) {
        std::memcpy(buffer + delivered, pending_.data(), take);
        pending_.erase(pending_.begin(), pending_.begin() + take);
        delivered += take;
    }
    return endSeen || delivered == size;
}

std::int32_t Port::Gather(std::uint8_t* buffer, std::size_t size, bool untilEnd,
                          std::uint8_t endByte, std::size_t& delivered) {
    std::lock_guard<std::mutex> lock(readMutex_);
    delivered = 0;
    if (size == 0) {
        return PELLUM_OK;
    }
    if (TakePending(buffer, size, untilEnd, endByte, delivered)) {
        return PELLUM_OK;
    }
    // Before the first byte the read timeout applies, afterwards the gap.
    auto deadline = Clock::now() + std::chrono::milliseconds(delivered == 0 ? timing_.readTimeoutMs
                                                                            : timing_.gapMs);
    std::uint8_t chunk[kChunk];
    for (;;) {
        const int wait = MsUntil(deadline);
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, wait);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return PELLUM_ERR_IO;
        }
        if (ready == 0) {
            return PELLUM_OK; // deadline passed: deliver what arrived
        }
        if (p.revents & POLLNVAL) {
            return PELLUM_ERR_IO;
        }
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n > 0) {
            pending_.insert(pending_.end(), chunk, chunk + n);
            if (TakePending(buffer, size, untilEnd, endByte, delivered)) {
                return PELLUM_OK;
            }
            deadline = Clock::now() + std::chrono::milliseconds(timing_.gapMs);
            continue;
        }
        if (n == 0) {
            if (zeroReadIsGone_ || (p.revents & POLLHUP)) {
                return PELLUM_ERR_DISCONNECTED;
            }
            Backoff(deadline); // no data although readable was reported
            if (MsUntil(deadline) == 0) {
                return PELLUM_OK;
            }
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (p.revents & POLLHUP) {
                return PELLUM_ERR_DISCONNECTED;
            }
            Backoff(deadline); // readable was reported without data
            if (MsUntil(deadline) == 0) {
                return PELLUM_OK;
            }
            continue;
        }
        return TransferErrorCode(errno);
    }
}

std::int32_t Port::Read(std::uint8_t* buffer, std::size_t size, std::size_t& delivered) {
    return Gather(buffer, size, false, 0, delivered);
}

std::int32_t Port::ReadUntil(std::uint8_t* buffer, std::size_t size, std::uint8_t endByte,
                             std::size_t& delivered) {
    return Gather(buffer, size, true, endByte, delivered);
}

std::int32_t OpenErrorCode(int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return PELLUM_ERR_NO_DEVICE;
    case EACCES:
    case EPERM:
    case EROFS:
        return PELLUM_ERR_PERMISSION;
    case EBUSY:
        return PELLUM_ERR_BUSY;
    default:
        return PELLUM_ERR_IO;
    }
}

std::int32_t OpenLockedDevice(const std::string& path, int extraFlags, int& fd) {
    fd = -1;
    if (path.empty()) {
        return PELLUM_ERR_NO_DEVICE;
    }
    int handle = -1;
    do {
        handle = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | extraFlags);
    } while (handle < 0 && errno == EINTR);
    if (handle < 0) {
        return OpenErrorCode(errno);
    }
    struct stat st {};
    if (::fstat(handle, &st) != 0 || !S_ISCHR(st.st_mode)) {
        ::close(handle); // a plain file or a pipe is no printer port
        return PELLUM_ERR_NO_DEVICE;
    }
    // The lock belongs to this open file description: a second open of the
    // same device, by this process or another, cannot take it.
    if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(handle);
        return error == EWOULDBLOCK ? PELLUM_ERR_BUSY : PELLUM_ERR_IO;
    }
    fd = handle;
    return PELLUM_OK;
}

} // namespace pellum::ports
