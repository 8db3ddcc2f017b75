// An open printer port: one file descriptor (a TCP socket, a serial line, a
// parallel port or a USB printer) with the read and write rules that every
// port kind shares.
//
// Reads: a read returns as soon as the requested count has arrived;
// otherwise it waits for the first byte up to the read timeout and, once
// bytes have started to arrive, returns when no new byte came for the
// inter-byte gap. Every wait is a poll() with a deadline; nothing spins.
// Bytes that arrive beyond what a read asked for are kept for the next read,
// so a read up to an end byte never swallows the start of the next reply.
//
// Writes: every byte is handed to the device before Write returns, or the
// result says why not (a write that makes no progress for the write timeout
// gives PELLUM_ERR_TIMEOUT).
//
// Reads and writes may run at the same time on two threads; two reads (or
// two writes) are serialized.
#ifndef PELLUM_PORTS_PORT_H
#define PELLUM_PORTS_PORT_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <sys/types.h>

struct addrinfo;

namespace pellum::ports {

// Time limits of one open port, read once when it is opened.
struct Timing {
    int readTimeoutMs = 1000;   // wait for the first byte of a read
    int gapMs = 50;             // silence that ends a read once bytes have arrived
    int writeTimeoutMs = 10000; // a write that makes no progress this long fails
    int connectTimeoutMs = 3000;

    // Defaults, overridden by PELLUM_READ_TIMEOUT_MS, PELLUM_READ_GAP_MS,
    // PELLUM_WRITE_TIMEOUT_MS and PELLUM_CONNECT_TIMEOUT_MS (milliseconds).
    static Timing FromEnvironment();
};

class Port {
public:
    virtual ~Port();
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    // All bytes or an error code (PellumSdkResult).
    std::int32_t Write(const std::uint8_t* data, std::size_t count);

    // Up to size bytes, with the timing above. 0 when the port is healthy
    // (delivered may be 0), PELLUM_ERR_DISCONNECTED when the device or peer
    // went away (delivered holds what arrived before).
    std::int32_t Read(std::uint8_t* buffer, std::size_t size, std::size_t& delivered);

    // Like Read, but stops once endByte has been stored; the count includes it.
    std::int32_t ReadUntil(std::uint8_t* buffer, std::size_t size, std::uint8_t endByte,
                           std::size_t& delivered);

protected:
    // zeroReadIsGone: a 0-byte read after poll() reported the device readable
    // means it went away (true for sockets, serial lines and USB printers).
    Port(int fd, const Timing& timing, bool zeroReadIsGone);

    // One write attempt; sockets override it to avoid SIGPIPE.
    virtual ssize_t WriteSome(const std::uint8_t* data, std::size_t count);

    int fd() const { return fd_; }

private:
    std::int32_t Gather(std::uint8_t* buffer, std::size_t size, bool untilEnd, std::uint8_t endByte,
                        std::size_t& delivered);
    // Moves pending bytes to the caller; true when the read is complete.
    bool TakePending(std::uint8_t* buffer, std::size_t size, bool untilEnd, std::uint8_t endByte,
                     std::size_t& delivered);

    int fd_;
    Timing timing_;
    bool zeroReadIsGone_;
    std::vector<std::uint8_t> pending_;
    std::mutex readMutex_;
    std::mutex writeMutex_;
};

struct OpenResult {
    std::int32_t code = 0;
    std::unique_ptr<Port> port;
};

// Raw TCP to host:port (a numeric address or a name). The connect timeout
// bounds the whole open: the name lookup and the connection attempts
// together. A lookup that has not answered by then gives PELLUM_ERR_TIMEOUT.
OpenResult OpenTcpPort(const std::string& host, int tcpPort, const Timing& timing);

// The name lookup of the TCP driver, with the arguments and results of
// getaddrinfo (a result it delivers is released with freeaddrinfo).
// Numeric addresses never reach it. nullptr restores getaddrinfo; tests put
// a resolver of their own in its place.
using HostLookup = int (*)(const char* host, const char* service, const addrinfo* hints,
                           addrinfo** result);
void SetHostLookup(HostLookup lookup);

// A serial line in raw mode, 8N1 at the given baud rate, opened exclusively.
OpenResult OpenSerialPort(const std::string& device, int baud, const Timing& timing);

// A parallel port (/dev/lpN), opened exclusively.
OpenResult OpenParallelPort(const std::string& device, const Timing& timing);

// A USB printer-class device: the given device, or when empty the first of
// /dev/usb/lp0../dev/usb/lp15 that exists. Opened exclusively.
OpenResult OpenUsbPort(const std::string& device, const Timing& timing);

// --- shared by the drivers ---

// Result code for an errno of open().
std::int32_t OpenErrorCode(int error);

// Opens a character device read-write, non-blocking, and takes an exclusive
// advisory lock on it so that a second open (by this or another process)
// gives PELLUM_ERR_BUSY. On success fd holds the descriptor.
std::int32_t OpenLockedDevice(const std::string& path, int extraFlags, int& fd);

} // namespace pellum::ports

#endif
