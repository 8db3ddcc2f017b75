// pellum-virtual-printer: a printer that lives in software. It plays one model
// of the catalogue on a loopback TCP port and/or a pseudo-terminal, answers the
// program's commands, journals them and injects faults on request.
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <random>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "Engine.h"

using namespace vp;

namespace {

int gSignalPipe[2] = {-1, -1};

void onSignal(int) {
    char c = 1;
    [[maybe_unused]] auto n = write(gSignalPipe[1], &c, 1);
}

const char* kUsage =
    "usage: pellum-virtual-printer --model NAME [--listen 127.0.0.1:PORT] [--pty]\n"
    "       [--pty-link PATH] [--control 127.0.0.1:PORT] [--journal FILE] [--state FILE]\n"
    "       [--profiles FILE] [--emulation N] [--version X.Y.Z[.B]] [--random-block SEED]\n"
    "       [--block-file FILE] [--png-dir DIR] [fault and timing options]\n"
    "       pellum-virtual-printer --list-models [--profiles FILE]\n"
    "faults:  --no-reply --short-reply N --split-reply N --split-pause MS --delay MS\n"
    "         --bad-checksum --ack-status K[:STATUS] --fw-status VALUE[@HEADER]\n"
    "         --drop-after K --refuse --fault-only KIND[,KIND...] --fault-times N\n"
    "timing:  --idle-flush MS --job-idle MS --block-timeout MS --fw-quiet MS --handover MS\n"
    "See README.md beside the sources for every option.\n";

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "pellum-virtual-printer: %s\n", message.c_str());
    std::exit(2);
}

bool parseLoopback(const std::string& text, sockaddr_in& addr) {
    auto colon = text.rfind(':');
    if (colon == std::string::npos) {
        return false;
    }
    std::string host = text.substr(0, colon);
    std::string port = text.substr(colon + 1);
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    if (inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) {
        return false;
    }
    // Loopback only: the virtual printer is never reachable from the network.
    if ((ntohl(addr.sin_addr.s_addr) >> 24) != 127) {
        return false;
    }
    char* end = nullptr;
    long p = std::strtol(port.c_str(), &end, 10);
    if (port.empty() || *end || p < 0 || p > 65535) {
        return false;
    }
    addr.sin_port = htons(static_cast<std::uint16_t>(p));
    return true;
}

int listenOn(sockaddr_in& addr, std::string& error) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 64) != 0) {
        error = std::strerror(errno);
        close(fd);
        return -1;
    }
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    return fd;
}

std::string addrText(const sockaddr_in& a) {
    char host[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &a.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(a.sin_port));
}

long toNumber(const std::string& option, const std::string& v, long lo, long hi) {
    char* end = nullptr;
    long n = std::strtol(v.c_str(), &end, 10);
    if (v.empty() || *end || n < lo || n > hi) {
        fail(option + " needs a number in " + std::to_string(lo) + ".." + std::to_string(hi));
    }
    return n;
}

std::string executableFolder() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) {
        return ".";
    }
    std::string p(buf, static_cast<std::size_t>(n));
    auto slash = p.rfind('/');
    return slash == std::string::npos ? "." : p.substr(0, slash);
}

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

} // namespace

int main(int argc, char** argv) {
    std::string model, listenText, controlText, journalPath, statePath, profilesPath, ptyLink;
    std::string emulationText, versionText, blockFile, pngDir;
    long long randomSeed = -1;
    bool listModels = false, wantPty = false;
    int handoverMs = 1000;
    Faults faults;
    int idleFlush = -1, jobIdle = -1, blockTimeout = -1, fwQuiet = -1;

    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= args.size()) {
                fail(a + " needs a value");
            }
            return args[++i];
        };
        if (a == "--model") {
            model = next();
        } else if (a == "--listen") {
            listenText = next();
        } else if (a == "--pty") {
            wantPty = true;
        } else if (a == "--pty-link") {
            ptyLink = next();
            wantPty = true;
        } else if (a == "--control") {
            controlText = next();
        } else if (a == "--journal") {
            journalPath = next();
        } else if (a == "--state") {
            statePath = next();
        } else if (a == "--profiles") {
            profilesPath = next();
        } else if (a == "--list-models") {
            listModels = true;
        } else if (a == "--emulation") {
            emulationText = next();
        } else if (a == "--version") {
            versionText = next();
        } else if (a == "--random-block") {
            randomSeed = toNumber(a, next(), 0, 0x7FFFFFFF);
        } else if (a == "--block-file") {
            blockFile = next();
        } else if (a == "--png-dir") {
            pngDir = next();
        } else if (a == "--no-reply") {
            faults.noReply = true;
        } else if (a == "--short-reply") {
            faults.shortReply = static_cast<int>(toNumber(a, next(), 0, 1 << 20));
        } else if (a == "--split-reply") {
            faults.splitAt = static_cast<int>(toNumber(a, next(), 0, 1 << 20));
        } else if (a == "--split-pause") {
            faults.splitPauseMs = static_cast<int>(toNumber(a, next(), 0, 600000));
        } else if (a == "--delay") {
            faults.delayMs = static_cast<int>(toNumber(a, next(), 0, 600000));
        } else if (a == "--bad-checksum") {
            faults.badChecksum = true;
        } else if (a == "--ack-status") {
            std::string v = next();
            auto c = v.find(':');
            faults.ackStatusAt = toNumber(a, v.substr(0, c), 0, 0x7FFFFFFF);
            if (c != std::string::npos) {
                faults.ackStatusValue = static_cast<int>(toNumber(a, v.substr(c + 1), 1, 0xFFFF));
            }
        } else if (a == "--fw-status") {
            std::string v = next();
            auto c = v.find('@');
            faults.fwStatusValue = static_cast<int>(toNumber(a, v.substr(0, c), 0, 255));
            if (c != std::string::npos) {
                faults.fwStatusAt = static_cast<int>(toNumber(a, v.substr(c + 1), 0, 1 << 20));
            }
        } else if (a == "--drop-after") {
            faults.dropAfter = toNumber(a, next(), 0, 0x7FFFFFFF);
        } else if (a == "--refuse") {
            faults.refuse = true;
        } else if (a == "--fault-only") {
            std::string err = faults.command({"only", next()});
            if (!err.empty()) {
                fail(err);
            }
        } else if (a == "--fault-times") {
            faults.times = static_cast<int>(toNumber(a, next(), -1, 1 << 30));
        } else if (a == "--idle-flush") {
            idleFlush = static_cast<int>(toNumber(a, next(), 1, 600000));
        } else if (a == "--job-idle") {
            jobIdle = static_cast<int>(toNumber(a, next(), 1, 600000));
        } else if (a == "--block-timeout") {
            blockTimeout = static_cast<int>(toNumber(a, next(), 1, 600000));
        } else if (a == "--fw-quiet") {
            fwQuiet = static_cast<int>(toNumber(a, next(), 1, 600000));
        } else if (a == "--handover") {
            handoverMs = static_cast<int>(toNumber(a, next(), -1, 3600000));
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fputs(kUsage, stderr);
            fail("unknown option " + a);
        }
    }

    if (profilesPath.empty()) {
        profilesPath = executableFolder() + "/profiles.ini";
    }
    ProfileSet profiles;
    std::string error;
    if (!profiles.load(profilesPath, error)) {
        fail(error);
    }
    if (listModels) {
        for (const auto& n : profiles.names()) {
            std::printf("%s\n", n.c_str());
        }
        return 0;
    }
    if (model.empty()) {
        std::fputs(kUsage, stderr);
        fail("--model is required");
    }
    auto found = profiles.find(model);
    if (!found) {
        fail("no profile for model \"" + model + "\" (see --list-models)");
    }
    Profile profile = *found;
    if (!versionText.empty()) {
        std::vector<int> v;
        if (!parseVersion(versionText, v)) {
            fail("--version needs 3 or 4 numbers 0-255 joined by dots");
        }
        // A model that answers four version bytes keeps four (beta 0 added).
        if (profile.version.size() == 4 && v.size() == 3) {
            v.push_back(0);
        }
        profile.version = v;
        if (profile.protocol == Protocol::KeyValue) {
            profile.keys["version"] = versionText;
        }
    }
    if (listenText.empty() && !wantPty) {
        fail("give --listen 127.0.0.1:PORT, --pty or both");
    }

    Journal journal;
    if (!journalPath.empty()) {
        if (!journal.openFile(journalPath)) {
            fail("cannot open journal " + journalPath);
        }
    } else {
        journal.useStdout();
    }

    Engine engine(profile, journal, faults);
    if (!emulationText.empty()) {
        engine.setEmulationOverride(
            static_cast<int>(toNumber("--emulation", emulationText, 0, 255)));
    }
    if (idleFlush > 0) {
        engine.idleFlushMs = idleFlush;
    }
    if (jobIdle > 0) {
        engine.jobIdleMs = jobIdle;
    }
    if (blockTimeout > 0) {
        engine.blockTimeoutMs = blockTimeout;
    }
    if (fwQuiet > 0) {
        engine.fwQuietMs = fwQuiet;
    }
    engine.pngDir = pngDir;
    if (randomSeed >= 0) {
        std::mt19937 rng(static_cast<std::uint32_t>(randomSeed));
        Bytes b(256, 0);
        for (int i = 1; i < 254; ++i) {
            b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng() & 0xFF);
        }
        sealBlock(b);
        engine.setBlock(b);
    }
    if (!blockFile.empty()) {
        std::ifstream in(blockFile, std::ios::binary);
        Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            fail("cannot read " + blockFile);
        }
        if (b.size() != 256) {
            fail(blockFile + " must hold exactly 256 bytes");
        }
        engine.setBlock(b);
    }
    if (!statePath.empty()) {
        struct stat st {};
        if (stat(statePath.c_str(), &st) == 0 && !engine.loadState(statePath, error)) {
            fail(error);
        }
    }

    std::signal(SIGPIPE, SIG_IGN);
    if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        fail("pipe failed");
    }
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);

    sockaddr_in listenAddr{};
    int listenFd = -1;
    if (!listenText.empty()) {
        if (!parseLoopback(listenText, listenAddr)) {
            fail("--listen needs a loopback address 127.x.x.x:PORT");
        }
        listenFd = listenOn(listenAddr, error);
        if (listenFd < 0) {
            fail("cannot listen on " + listenText + ": " + error);
        }
        std::printf("LISTEN %s\n", addrText(listenAddr).c_str());
        std::fflush(stdout);
        if (faults.refuse) {
            close(listenFd);
            listenFd = -1;
        }
    }

    int ptyMaster = -1;
    std::string ptyPath;
    if (wantPty) {
        ptyMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (ptyMaster < 0 || grantpt(ptyMaster) != 0 || unlockpt(ptyMaster) != 0) {
            fail("cannot open a pseudo-terminal");
        }
        ptyPath = ptsname(ptyMaster);
        // Raw mode, so nothing is echoed or translated before the program sets
        // its own line settings (they stay while the printer side is open).
        int slave = open(ptyPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave < 0) {
            fail("cannot open " + ptyPath);
        }
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
        close(slave);
        fcntl(ptyMaster, F_SETFL, fcntl(ptyMaster, F_GETFL) | O_NONBLOCK);
        if (!ptyLink.empty()) {
            struct stat st {};
            if (lstat(ptyLink.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
                unlink(ptyLink.c_str());
            }
            if (symlink(ptyPath.c_str(), ptyLink.c_str()) != 0) {
                fail("cannot make the link " + ptyLink + ": " + std::strerror(errno));
            }
        }
        std::printf("PTY %s\n", ptyPath.c_str());
        std::fflush(stdout);
    }

    int controlFd = -1;
    if (!controlText.empty()) {
        sockaddr_in ca{};
        if (!parseLoopback(controlText, ca)) {
            fail("--control needs a loopback address 127.x.x.x:PORT");
        }
        controlFd = listenOn(ca, error);
        if (controlFd < 0) {
            fail("cannot listen on " + controlText + ": " + error);
        }
        std::printf("CONTROL %s\n", addrText(ca).c_str());
        std::fflush(stdout);
    }

    {
        JsonLine j("start");
        j.str("model", profile.name)
            .str("protocol", profile.protocol == Protocol::Block ? "block" : "kv")
            .str("layout", layoutName(profile.layout))
            .num("emulation", engine.emulation());
        std::string version;
        for (std::size_t i = 0; i < profile.version.size(); ++i) {
            version += (i ? "." : "") + std::to_string(profile.version[i]);
        }
        j.str("version", version).str("serial", profile.serial);
        if (!listenText.empty()) {
            j.str("listen", addrText(listenAddr));
        }
        if (!ptyPath.empty()) {
            j.str("pty", ptyPath);
        }
        journal.write(j);
    }

    std::deque<Link> waiting; // TCP connections waiting for the active one to end
    std::optional<Link> active;
    std::optional<Link> ptyLinkState;
    Clock::time_point ptyMutedUntil{};
    bool ptyMuted = false;
    // The line is open while some program holds the other side; the printer
    // sees a hang-up when the last holder closes it, as on a serial port.
    bool ptyOpen = false;
    int ptyBusyFd = -1; // held exclusively by the refuse fault
    int nextLinkId = 100;
    std::vector<ControlClient> controls;

    if (ptyMaster >= 0) {
        ptyLinkState = Link{ptyMaster, 1, true, {}, Clock::now()};
    }
    auto ptyHangUp = [&](Clock::time_point now, Actions& acts) {
        if (!ptyOpen) {
            return;
        }
        ptyOpen = false;
        ptyLinkState->out.clear();
        if (!ptyMuted) {
            engine.linkClosed(1, now, acts);
        }
        // Bytes nobody read stay queued on a pseudo-terminal (unlike a serial
        // port, whose buffers go with the last close): drop them, so the next
        // program to open the line does not read an old reply.
        int slave = open(ptyPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (slave >= 0) {
            tcflush(slave, TCIFLUSH);
            close(slave);
        }
    };

    // Changes are saved shortly after they happen (not after every command, so
    // a settings window writing twenty keys writes the file once).
    bool savePending = false;
    Clock::time_point saveAt{};
    auto markChanged = [&](Clock::time_point now) {
        if (!savePending) {
            savePending = true;
            saveAt = now + std::chrono::milliseconds(200);
        }
    };
    auto save = [&]() {
        savePending = false;
        if (statePath.empty()) {
            return;
        }
        std::string err;
        if (!engine.saveState(statePath, err)) {
            JsonLine j("state-error");
            j.str("error", err);
            journal.write(j);
        }
    };

    auto findLink = [&](int id) -> Link* {
        if (active && active->id == id) {
            return &*active;
        }
        if (ptyLinkState && ptyLinkState->id == id) {
            return &*ptyLinkState;
        }
        return nullptr;
    };

    auto closeActive = [&](const std::string& reason, Clock::time_point now, Actions& acts) {
        if (!active) {
            return;
        }
        if (!reason.empty()) {
            JsonLine j("connection-dropped");
            j.num("link", active->id).str("reason", reason);
            journal.write(j);
        }
        engine.linkClosed(active->id, now, acts);
        close(active->fd);
        active.reset();
    };

    auto promote = [&](Clock::time_point now) {
        if (active || waiting.empty()) {
            return;
        }
        active = waiting.front();
        waiting.pop_front();
        active->lastActivity = now;
        engine.linkOpened(active->id, "tcp");
    };

    auto applyActions = [&](Actions& acts, Clock::time_point now) {
        for (auto& r : acts.replies) {
            Link* l = findLink(r.link);
            if (!l || (l->pty && !ptyOpen)) {
                continue; // the line closed: a reply would be lost anyway
            }
            auto chunks = shapeReply(faults, r.kind, r.data);
            Clock::time_point t = l->out.empty() ? now : std::max(now, l->out.back().due);
            for (auto& c : chunks) {
                t += std::chrono::milliseconds(c.delayMs);
                l->out.push_back(Pending{t, std::move(c.data)});
            }
        }
        for (int id : acts.drops) {
            if (active && active->id == id) {
                closeActive("fault: dropped after packet", now, acts);
            } else if (ptyLinkState && ptyLinkState->id == id) {
                JsonLine j("connection-dropped");
                j.num("link", id).str("reason", "fault: line silent for 2 s after packet");
                journal.write(j);
                ptyLinkState->out.clear();
                Actions ignored;
                engine.linkClosed(id, now, ignored);
                ptyOpen = false;
                ptyMuted = true;
                ptyMutedUntil = now + std::chrono::seconds(2);
            }
        }
        if (acts.stateChanged) {
            markChanged(now);
        }
        acts = Actions{};
    };

    auto flushOut = [&](Link& l, Clock::time_point now) -> bool {
        while (!l.out.empty() && l.out.front().due <= now) {
            Pending& p = l.out.front();
            ssize_t n = write(l.fd, p.data.data(), p.data.size());
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    return true;
                }
                if (l.pty) {
                    l.out.clear(); // nobody holds the line: the bytes are lost
                    return true;
                }
                return false;
            }
            l.lastActivity = now;
            p.data.erase(p.data.begin(), p.data.begin() + n);
            if (p.data.empty()) {
                l.out.pop_front();
            } else {
                return true;
            }
        }
        return true;
    };

    std::vector<std::uint8_t> buf(65536);
    bool running = true;
    while (running) {
        Clock::time_point now = Clock::now();
        // Listening follows the refuse fault.
        if (!listenText.empty()) {
            if (faults.refuse && listenFd >= 0) {
                close(listenFd);
                listenFd = -1;
                JsonLine j("listen-closed");
                j.str("reason", "fault: refusing connections");
                journal.write(j);
            } else if (!faults.refuse && listenFd < 0) {
                listenFd = listenOn(listenAddr, error);
                JsonLine j("listen-opened");
                if (listenFd < 0) {
                    j.str("error", error);
                }
                journal.write(j);
            }
        }
        // Handover: a waiting connection takes over from an idle active one.
        if (active && !waiting.empty() && handoverMs >= 0 && active->out.empty() &&
            now - active->lastActivity >= std::chrono::milliseconds(handoverMs)) {
            Actions acts;
            closeActive("idle while another connection waits", now, acts);
            applyActions(acts, now);
            promote(now);
        }
        if (ptyMuted && now >= ptyMutedUntil) {
            ptyMuted = false;
            if (ptyOpen) {
                engine.linkOpened(1, "pty");
            }
        }
        if (ptyMaster >= 0) {
            // The refuse fault holds the line exclusively: the program's open
            // finds it busy, like a port another program has open.
            if (faults.refuse && ptyBusyFd < 0) {
                Actions acts;
                ptyHangUp(now, acts);
                applyActions(acts, now);
                ptyBusyFd = open(ptyPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
                if (ptyBusyFd >= 0) {
                    ioctl(ptyBusyFd, TIOCEXCL);
                }
                JsonLine j("pty-busy");
                j.flag("busy", ptyBusyFd >= 0);
                journal.write(j);
            } else if (!faults.refuse && ptyBusyFd >= 0) {
                ioctl(ptyBusyFd, TIOCNXCL);
                close(ptyBusyFd);
                ptyBusyFd = -1;
                JsonLine j("pty-busy");
                j.flag("busy", false);
                journal.write(j);
            }
            if (!ptyOpen && ptyBusyFd < 0) {
                pollfd probe{ptyMaster, POLLIN, 0};
                if (poll(&probe, 1, 0) >= 0 && !(probe.revents & POLLHUP)) {
                    ptyOpen = true;
                    ptyLinkState->lastActivity = now;
                    if (!ptyMuted) {
                        engine.linkOpened(1, "pty");
                    }
                }
            }
        }

        std::vector<pollfd> fds;
        fds.push_back({gSignalPipe[0], POLLIN, 0});
        int listenIdx = -1, activeIdx = -1, ptyIdx = -1, controlIdx = -1;
        if (listenFd >= 0) {
            listenIdx = static_cast<int>(fds.size());
            fds.push_back({listenFd, POLLIN, 0});
        }
        if (active) {
            activeIdx = static_cast<int>(fds.size());
            short ev = POLLIN;
            if (!active->out.empty() && active->out.front().due <= now) {
                ev |= POLLOUT;
            }
            fds.push_back({active->fd, ev, 0});
        }
        if (ptyLinkState && ptyOpen) {
            ptyIdx = static_cast<int>(fds.size());
            short ev = POLLIN;
            if (!ptyLinkState->out.empty() && ptyLinkState->out.front().due <= now) {
                ev |= POLLOUT;
            }
            fds.push_back({ptyMaster, ev, 0});
        }
        if (controlFd >= 0) {
            controlIdx = static_cast<int>(fds.size());
            fds.push_back({controlFd, POLLIN, 0});
        }
        std::size_t controlBase = fds.size();
        for (auto& c : controls) {
            fds.push_back({c.fd, POLLIN, 0});
        }

        // Timeout: the earliest of the printer's deadlines and pending replies.
        Clock::time_point wake = now + std::chrono::seconds(1);
        if (auto d = engine.nextDeadline()) {
            wake = std::min(wake, *d);
        }
        for (Link* l : {active ? &*active : nullptr, ptyLinkState ? &*ptyLinkState : nullptr}) {
            if (l && !l->out.empty()) {
                wake = std::min(wake, l->out.front().due);
            }
        }
        if (active && !waiting.empty() && handoverMs >= 0) {
            wake = std::min(wake, active->lastActivity + std::chrono::milliseconds(handoverMs));
        }
        if (ptyMuted) {
            wake = std::min(wake, ptyMutedUntil);
        }
        if (savePending) {
            wake = std::min(wake, saveAt);
        }
        if (ptyMaster >= 0 && !ptyOpen) {
            // A hung-up master cannot be waited on (it always reports the
            // hang-up), so look again shortly for the program opening the line.
            wake = std::min(wake, now + std::chrono::milliseconds(5));
        }
        auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
        if (waitMs < 0) {
            waitMs = 0;
        }
        int rc = poll(fds.data(), fds.size(), static_cast<int>(waitMs));
        if (rc < 0 && errno != EINTR) {
            fail(std::string("poll: ") + std::strerror(errno));
        }
        now = Clock::now();
        Actions acts;
        if (fds[0].revents & POLLIN) {
            running = false;
            break;
        }
        if (listenIdx >= 0 && (fds[static_cast<std::size_t>(listenIdx)].revents & POLLIN)) {
            // Take every pending connection, so a burst never overflows the backlog.
            while (true) {
                int fd = accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (fd < 0) {
                    break;
                }
                int one = 1;
                setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                Link l{fd, nextLinkId++, false, {}, now};
                if (!active) {
                    active = l;
                    engine.linkOpened(l.id, "tcp");
                } else {
                    JsonLine j("connection-waiting");
                    j.num("link", l.id).num("active", active->id);
                    journal.write(j);
                    waiting.push_back(l);
                }
            }
        }
        if (activeIdx >= 0 && active) {
            short re = fds[static_cast<std::size_t>(activeIdx)].revents;
            if (re & POLLOUT) {
                if (!flushOut(*active, now)) {
                    closeActive("", now, acts);
                }
            }
            if (active && (re & (POLLIN | POLLHUP | POLLERR))) {
                ssize_t n = read(active->fd, buf.data(), buf.size());
                if (n > 0) {
                    active->lastActivity = now;
                    engine.feed(active->id, buf.data(), static_cast<std::size_t>(n), now, acts);
                } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                    closeActive("", now, acts);
                }
            }
        }
        if (ptyIdx >= 0 && ptyLinkState) {
            short re = fds[static_cast<std::size_t>(ptyIdx)].revents;
            if (re & POLLOUT) {
                flushOut(*ptyLinkState, now);
            }
            if (re & (POLLIN | POLLHUP | POLLERR)) {
                // Bytes written just before the other side closed are still read.
                while (true) {
                    ssize_t n = read(ptyMaster, buf.data(), buf.size());
                    if (n > 0) {
                        ptyLinkState->lastActivity = now;
                        if (!ptyMuted) {
                            engine.feed(1, buf.data(), static_cast<std::size_t>(n), now, acts);
                        }
                        continue;
                    }
                    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                        break;
                    }
                    ptyHangUp(now, acts);
                    break;
                }
            }
        }
        if (controlIdx >= 0 && (fds[static_cast<std::size_t>(controlIdx)].revents & POLLIN)) {
            int fd = accept4(controlFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                controls.push_back(ControlClient{fd, {}});
            }
        }
        for (std::size_t i = 0; i < controls.size() && controlBase + i < fds.size(); ++i) {
            if (!(fds[controlBase + i].revents & (POLLIN | POLLHUP | POLLERR))) {
                continue;
            }
            char cb[4096];
            ssize_t n = read(controls[i].fd, cb, sizeof cb);
            if (n <= 0) {
                close(controls[i].fd);
                controls[i].fd = -1;
                continue;
            }
            controls[i].buf.append(cb, static_cast<std::size_t>(n));
            std::size_t nl;
            while ((nl = controls[i].buf.find('\n')) != std::string::npos) {
                std::string line = controls[i].buf.substr(0, nl);
                controls[i].buf.erase(0, nl + 1);
                std::string answer = engine.control(line) + "\n";
                [[maybe_unused]] auto w = write(controls[i].fd, answer.data(), answer.size());
                markChanged(now);
            }
        }
        controls.erase(std::remove_if(controls.begin(), controls.end(),
                                      [](const ControlClient& c) { return c.fd < 0; }),
                       controls.end());
        engine.poll(now, acts);
        applyActions(acts, now);
        if (active) {
            if (!flushOut(*active, now)) {
                Actions more;
                closeActive("", now, more);
                applyActions(more, now);
            }
        }
        if (ptyLinkState) {
            flushOut(*ptyLinkState, now);
        }
        promote(now);
        if (savePending && now >= saveAt) {
            if (engine.downloadActive()) {
                saveAt = now + std::chrono::milliseconds(200); // after the download
            } else {
                save();
            }
        }
    }

    Actions acts;
    closeActive("", Clock::now(), acts);
    for (auto& w : waiting) {
        close(w.fd);
    }
    save();
    {
        JsonLine j("stop");
        journal.write(j);
    }
    if (!ptyLink.empty()) {
        unlink(ptyLink.c_str());
    }
    return 0;
}
