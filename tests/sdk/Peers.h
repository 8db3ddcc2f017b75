// The far ends that the port-driver tests talk to: a loopback TCP server and
// a pseudo-terminal whose slave side the library opens as a serial, parallel
// or USB port (mapped through a temporary PortMap.ini).
#ifndef PELLUM_TESTS_SDK_PEERS_H
#define PELLUM_TESTS_SDK_PEERS_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pellum::test {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(const std::string& text);
std::u16string U16(const std::string& ascii);

class Peer {
public:
    virtual ~Peer() = default;
    // The port string that reaches this peer.
    virtual std::string PortString() const = 0;
    // Called after the library opened the port (the TCP server accepts).
    virtual void Connected() {}
    virtual void Send(const Bytes& bytes) = 0;
    // Up to count bytes, waiting at most timeoutMs for them.
    virtual Bytes Receive(std::size_t count, int timeoutMs) = 0;
    // Drops the connection from the peer's side.
    virtual void HangUp() = 0;
    // True when the library's side has closed (EOF or hang-up seen).
    virtual bool SeesClose(int timeoutMs) = 0;
    virtual bool IsDevice() const { return true; }
};

// Listens on 127.0.0.1 with an ephemeral port.
class TcpPeer final : public Peer {
public:
    TcpPeer();
    ~TcpPeer() override;
    int port() const { return port_; }
    std::string PortString() const override;
    void Connected() override;
    void Send(const Bytes& bytes) override;
    Bytes Receive(std::size_t count, int timeoutMs) override;
    void HangUp() override;
    bool SeesClose(int timeoutMs) override;
    bool IsDevice() const override { return false; }

private:
    int listener_ = -1;
    int connection_ = -1;
    int port_ = 0;
};

// A pseudo-terminal pair. kind "COM" maps COM9, "LPT" maps LPT3 and "USB"
// maps USB to the slave in a temporary PortMap.ini that PELLUM_PORTMAP
// points to. For LPT and USB the line is put in raw mode from the master
// side (the serial driver sets the mode itself).
class PtyPeer final : public Peer {
public:
    explicit PtyPeer(const std::string& kind, int baud = 115200);
    ~PtyPeer() override;
    const std::string& slavePath() const { return slave_; }
    int master() const { return master_; }
    std::string PortString() const override;
    void Send(const Bytes& bytes) override;
    Bytes Receive(std::size_t count, int timeoutMs) override;
    void HangUp() override;
    bool SeesClose(int timeoutMs) override;

private:
    std::string kind_;
    int baud_;
    int master_ = -1;
    std::string slave_;
    std::string dir_;
};

std::unique_ptr<Peer> MakePeer(const std::string& kind);

// A temporary folder removed with its files on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string Write(const std::string& name, const std::string& content) const;

private:
    std::string path_;
};

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();

private:
    std::string name_;
    bool had_ = false;
    std::string old_;
};

} // namespace pellum::test

#endif
