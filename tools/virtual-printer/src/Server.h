// The transports of the virtual printer and its event loop: the loopback TCP
// listener (one connection served at a time, a second one queued until the
// first closes or idles), the pseudo-terminal (opened and closed like a serial
// line) and the control channel. Replies of the engine are shaped by the reply
// faults and sent when due; the state file is saved shortly after changes.
#pragma once

#include <deque>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <poll.h>

#include "Engine.h"
#include "Options.h"

namespace vp {

class Server {
public:
    explicit Server(Options options);
    ~Server();
    // Sets up the printer and its transports, serves until SIGTERM or SIGINT;
    // returns the exit status (errors at start end the process with status 2).
    int run();

private:
    struct Pending {
        Clock::time_point due;
        Bytes data;
    };
    struct Link {
        int fd = -1;
        int id = 0;
        bool pty = false;
        std::deque<Pending> out;
        Clock::time_point lastActivity{};
    };
    struct ControlClient {
        int fd = -1;
        std::string buf;
    };

    bool setUpPrinter(); // false when the run ends at once (--list-models)
    void openTransports();
    void journalStart();
    void loop();
    void finish();

    void followRefuse(Clock::time_point now);
    void acceptConnections(Clock::time_point now);
    void closeActive(const std::string& reason, Clock::time_point now, Actions& acts);
    void promote(Clock::time_point now);
    void ptyFollowRefuseAndOpen(Clock::time_point now);
    void ptyHangUp(Clock::time_point now, Actions& acts);
    void ptyDrop(int id, const std::string& reason, Clock::time_point now);
    void readPty(Clock::time_point now, Actions& acts);
    void serveControls(const std::vector<pollfd>& fds, std::size_t base, Clock::time_point now);
    Link* findLink(int id);
    void applyActions(Actions& acts, Clock::time_point now);
    bool flushOut(Link& l, Clock::time_point now);
    void markChanged(Clock::time_point now);
    void save();

    Options o_;
    Faults& faults_;
    Profile profile_;
    Journal journal_;
    std::unique_ptr<Engine> engine_;

    sockaddr_in listenAddr_{};
    int listenFd_ = -1;
    int ptyMaster_ = -1;
    std::string ptyPath_;
    int controlFd_ = -1;

    std::deque<Link> waiting_; // TCP connections waiting for the active one to end
    std::optional<Link> active_;
    std::optional<Link> ptyLink_;
    Clock::time_point ptyMutedUntil_{};
    bool ptyMuted_ = false;
    // The line is open while some program holds the other side; the printer
    // sees a hang-up when the last holder closes it, as on a serial port.
    bool ptyOpen_ = false;
    int ptyBusyFd_ = -1; // held exclusively by the refuse fault
    int nextLinkId_ = 100;
    std::vector<ControlClient> controls_;

    // Changes are saved shortly after they happen (not after every command, so
    // a settings window writing twenty keys writes the file once).
    bool savePending_ = false;
    Clock::time_point saveAt_{};
    Bytes readBuf_ = Bytes(65536);
};

} // namespace vp
