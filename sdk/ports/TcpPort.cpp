// Raw TCP printer port ("NET,host" on port 9100, "NET,host:port").
#include "ports/Port.h"

#include "PellumSdk.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace pellum::ports {
namespace {

using Clock = std::chrono::steady_clock;

// At most this many 4 KiB chunks of unread input are discarded at close.
constexpr int kMaxDrainChunks = 256;

class TcpPort final : public Port {
public:
    TcpPort(int fd, const Timing& timing) : Port(fd, timing, true) {}

    ~TcpPort() override {
        // Closing a socket with unread received bytes makes the kernel send a
        // reset, which can make the printer drop the end of the data we sent.
        // Half-close first and discard what is queued, without waiting.
        ::shutdown(fd(), SHUT_WR);
        char scrap[4096];
        for (int i = 0; i < kMaxDrainChunks; ++i) {
            if (::recv(fd(), scrap, sizeof scrap, MSG_DONTWAIT) <= 0) {
                break;
            }
        }
    }

protected:
    ssize_t WriteSome(const std::uint8_t* data, std::size_t count) override {
        // MSG_NOSIGNAL: a peer that went away gives EPIPE, never SIGPIPE.
        return ::send(fd(), data, count, MSG_NOSIGNAL);
    }
};

std::int32_t ConnectErrorCode(int error) {
    switch (error) {
    case ECONNREFUSED:
        return PELLUM_ERR_REFUSED;
    case ETIMEDOUT:
        return PELLUM_ERR_TIMEOUT;
    case ENETUNREACH:
    case EHOSTUNREACH:
    case EHOSTDOWN:
    case ENETDOWN:
    case EADDRNOTAVAIL:
        return PELLUM_ERR_UNREACHABLE;
    case EACCES:
    case EPERM:
        return PELLUM_ERR_PERMISSION;
    default:
        return PELLUM_ERR_IO;
    }
}

int MsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

std::atomic<HostLookup> g_hostLookup{nullptr};

// What a lookup on its worker thread hands back. Whoever comes last (the
// opener giving up at its deadline, or the worker finishing) releases it.
struct LookupState {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    int code = 0;
    addrinfo* result = nullptr;
};

// getaddrinfo bounded by `deadline`. A numeric address is converted at once;
// a name is looked up on a worker thread, because getaddrinfo itself takes
// no time limit (a slow or unreachable name server can hold it for far
// longer than the connect timeout). When the deadline passes first, the
// worker is left to finish alone and frees what it gets; `timedOut` is set.
int LookupBounded(const std::string& host, const std::string& service, const addrinfo& hints,
                  Clock::time_point deadline, addrinfo** result, bool& timedOut) {
    timedOut = false;
    addrinfo numeric = hints;
    numeric.ai_flags |= AI_NUMERICHOST;
    const int direct = ::getaddrinfo(host.c_str(), service.c_str(), &numeric, result);
    if (direct != EAI_NONAME) {
        return direct;
    }
    *result = nullptr;
    HostLookup lookup = g_hostLookup.load();
    if (lookup == nullptr) {
        lookup = ::getaddrinfo;
    }
    auto state = std::make_shared<LookupState>();
    try {
        std::thread([state, lookup, host, service, hints] {
            addrinfo* found = nullptr;
            const int code = lookup(host.c_str(), service.c_str(), &hints, &found);
            std::lock_guard<std::mutex> lock(state->mutex);
            if (state->abandoned) {
                if (code == 0 && found != nullptr) {
                    ::freeaddrinfo(found);
                }
                return;
            }
            state->done = true;
            state->code = code;
            state->result = code == 0 ? found : nullptr;
            state->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return EAI_SYSTEM; // no thread for the lookup
    }
    std::unique_lock<std::mutex> lock(state->mutex);
    if (!state->finished.wait_until(lock, deadline, [&] { return state->done; })) {
        state->abandoned = true;
        timedOut = true;
        return EAI_AGAIN;
    }
    *result = state->result;
    return state->code;
}

// One connection attempt, bounded by deadline. On success fd is connected.
std::int32_t ConnectOne(const addrinfo& address, Clock::time_point deadline, int& fd) {
    fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                  address.ai_protocol);
    if (fd < 0) {
        return PELLUM_ERR_IO;
    }
    int result = ::connect(fd, address.ai_addr, address.ai_addrlen);
    int error = result == 0 ? 0 : errno;
    if (result != 0 && (error == EINPROGRESS || error == EINTR)) {
        for (;;) {
            pollfd p{fd, POLLOUT, 0};
            const int ready = ::poll(&p, 1, MsUntil(deadline));
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready == 0) {
                error = ETIMEDOUT;
                break;
            }
            socklen_t length = sizeof error;
            if (ready < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
                error = EIO;
            }
            break;
        }
    }
    if (error != 0) {
        ::close(fd);
        fd = -1;
        return ConnectErrorCode(error);
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return PELLUM_OK;
}

} // namespace

void SetHostLookup(HostLookup lookup) {
    g_hostLookup.store(lookup);
}

OpenResult OpenTcpPort(const std::string& host, int tcpPort, const Timing& timing) {
    OpenResult result;
    // The connect timeout covers the name lookup and all addresses of the
    // host together.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timing.connectTimeoutMs);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* addresses = nullptr;
    const std::string service = std::to_string(tcpPort);
    bool timedOut = false;
    const int lookup = LookupBounded(host, service, hints, deadline, &addresses, timedOut);
    if (timedOut) {
        result.code = PELLUM_ERR_TIMEOUT;
        return result;
    }
    if (lookup != 0) {
        result.code = (lookup == EAI_NONAME || lookup == EAI_AGAIN || lookup == EAI_FAIL ||
                       lookup == EAI_NODATA || lookup == EAI_ADDRFAMILY)
                          ? PELLUM_ERR_HOST_NOT_FOUND
                          : PELLUM_ERR_IO;
        return result;
    }
    result.code = PELLUM_ERR_IO;
    for (addrinfo* a = addresses; a != nullptr; a = a->ai_next) {
        int fd = -1;
        result.code = ConnectOne(*a, deadline, fd);
        if (result.code == PELLUM_OK) {
            result.port = std::make_unique<TcpPort>(fd, timing);
            break;
        }
        if (MsUntil(deadline) == 0) {
            break;
        }
    }
    ::freeaddrinfo(addresses);
    return result;
}

} // namespace pellum::ports
