#include "Server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/tcp.h>
#include <poll.h>
#include <random>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace vp {

namespace {

int gSignalPipe[2] = {-1, -1};

void onSignal(int) {
    char c = 1;
    [[maybe_unused]] auto n = write(gSignalPipe[1], &c, 1);
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

} // namespace

Server::Server(Options options) : o_(std::move(options)), faults_(o_.faults) {}

Server::~Server() = default;

int Server::run() {
    if (!setUpPrinter()) {
        return 0;
    }
    openTransports();
    journalStart();
    if (ptyMaster_ >= 0) {
        ptyLink_ = Link{ptyMaster_, 1, true, {}, Clock::now()};
    }
    loop();
    finish();
    return 0;
}

bool Server::setUpPrinter() {
    if (o_.profilesPath.empty()) {
        o_.profilesPath = executableFolder() + "/profiles.ini";
    }
    ProfileSet profiles;
    std::string error;
    if (!profiles.load(o_.profilesPath, error)) {
        fail(error);
    }
    if (o_.listModels) {
        for (const auto& n : profiles.names()) {
            std::printf("%s\n", n.c_str());
        }
        return false;
    }
    if (o_.model.empty()) {
        std::fputs(kUsage, stderr);
        fail("--model is required");
    }
    auto found = profiles.find(o_.model);
    if (!found) {
        fail("no profile for model \"" + o_.model + "\" (see --list-models)");
    }
    profile_ = *found;
    if (!o_.versionText.empty()) {
        std::vector<int> v;
        if (!parseVersion(o_.versionText, v)) {
            fail("--version needs 3 or 4 numbers 0-255 joined by dots");
        }
        // A model that answers four version bytes keeps four (beta 0 added).
        if (profile_.version.size() == 4 && v.size() == 3) {
            v.push_back(0);
        }
        profile_.version = v;
        if (profile_.protocol == Protocol::KeyValue) {
            profile_.keys["version"] = o_.versionText;
        }
    }
    if (o_.listenText.empty() && !o_.wantPty) {
        fail("give --listen 127.0.0.1:PORT, --pty or both");
    }

    if (!o_.journalPath.empty()) {
        if (!journal_.openFile(o_.journalPath)) {
            fail("cannot open journal " + o_.journalPath);
        }
    } else {
        journal_.useStdout();
    }

    engine_ = std::make_unique<Engine>(profile_, journal_, faults_);
    Engine& engine = *engine_;
    if (!o_.emulationText.empty()) {
        engine.setEmulationOverride(
            static_cast<int>(toNumber("--emulation", o_.emulationText, 0, 255)));
    }
    if (o_.idleFlush > 0) {
        engine.idleFlushMs = o_.idleFlush;
    }
    if (o_.jobIdle > 0) {
        engine.jobIdleMs = o_.jobIdle;
    }
    if (o_.blockTimeout > 0) {
        engine.blockTimeoutMs = o_.blockTimeout;
    }
    if (o_.fwQuiet > 0) {
        engine.fwQuietMs = o_.fwQuiet;
    }
    engine.pngDir = o_.pngDir;
    if (o_.randomSeed >= 0) {
        std::mt19937 rng(static_cast<std::uint32_t>(o_.randomSeed));
        Bytes b(256, 0);
        for (int i = 1; i < 254; ++i) {
            b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng() & 0xFF);
        }
        sealBlock(b);
        engine.setBlock(b);
    }
    if (!o_.blockFile.empty()) {
        std::ifstream in(o_.blockFile, std::ios::binary);
        Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            fail("cannot read " + o_.blockFile);
        }
        if (b.size() != 256) {
            fail(o_.blockFile + " must hold exactly 256 bytes");
        }
        engine.setBlock(b);
    }
    if (!o_.statePath.empty()) {
        struct stat st {};
        if (stat(o_.statePath.c_str(), &st) == 0 && !engine.loadState(o_.statePath, error)) {
            fail(error);
        }
    }
    return true;
}

void Server::openTransports() {
    std::string error;
    std::signal(SIGPIPE, SIG_IGN);
    if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        fail("pipe failed");
    }
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);

    if (!o_.listenText.empty()) {
        if (!parseLoopback(o_.listenText, listenAddr_)) {
            fail("--listen needs a loopback address 127.x.x.x:PORT");
        }
        listenFd_ = listenOn(listenAddr_, error);
        if (listenFd_ < 0) {
            fail("cannot listen on " + o_.listenText + ": " + error);
        }
        std::printf("LISTEN %s\n", addrText(listenAddr_).c_str());
        std::fflush(stdout);
        if (faults_.refuse) {
            close(listenFd_);
            listenFd_ = -1;
        }
    }

    if (o_.wantPty) {
        ptyMaster_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (ptyMaster_ < 0 || grantpt(ptyMaster_) != 0 || unlockpt(ptyMaster_) != 0) {
            fail("cannot open a pseudo-terminal");
        }
        ptyPath_ = ptsname(ptyMaster_);
        // Raw mode, so nothing is echoed or translated before the program sets
        // its own line settings (they stay while the printer side is open).
        int slave = open(ptyPath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave < 0) {
            fail("cannot open " + ptyPath_);
        }
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
        close(slave);
        fcntl(ptyMaster_, F_SETFL, fcntl(ptyMaster_, F_GETFL) | O_NONBLOCK);
        if (!o_.ptyLink.empty()) {
            struct stat st {};
            if (lstat(o_.ptyLink.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
                unlink(o_.ptyLink.c_str());
            }
            if (symlink(ptyPath_.c_str(), o_.ptyLink.c_str()) != 0) {
                fail("cannot make the link " + o_.ptyLink + ": " + std::strerror(errno));
            }
        }
        std::printf("PTY %s\n", ptyPath_.c_str());
        std::fflush(stdout);
    }

    if (!o_.controlText.empty()) {
        sockaddr_in ca{};
        if (!parseLoopback(o_.controlText, ca)) {
            fail("--control needs a loopback address 127.x.x.x:PORT");
        }
        controlFd_ = listenOn(ca, error);
        if (controlFd_ < 0) {
            fail("cannot listen on " + o_.controlText + ": " + error);
        }
        std::printf("CONTROL %s\n", addrText(ca).c_str());
        std::fflush(stdout);
    }
}

void Server::journalStart() {
    JsonLine j("start");
    j.str("model", profile_.name)
        .str("protocol", profile_.protocol == Protocol::Block ? "block" : "kv")
        .str("layout", layoutName(profile_.layout))
        .num("emulation", engine_->emulation());
    std::string version;
    for (std::size_t i = 0; i < profile_.version.size(); ++i) {
        version += (i ? "." : "") + std::to_string(profile_.version[i]);
    }
    j.str("version", version).str("serial", profile_.serial);
    if (!o_.listenText.empty()) {
        j.str("listen", addrText(listenAddr_));
    }
    if (!ptyPath_.empty()) {
        j.str("pty", ptyPath_);
    }
    journal_.write(j);
}

void Server::ptyHangUp(Clock::time_point now, Actions& acts) {
    if (!ptyOpen_) {
        return;
    }
    ptyOpen_ = false;
    ptyLink_->out.clear();
    if (!ptyMuted_) {
        engine_->linkClosed(1, now, acts);
    }
    // Bytes nobody read stay queued on a pseudo-terminal (unlike a serial
    // port, whose buffers go with the last close): drop them, so the next
    // program to open the line does not read an old reply.
    int slave = open(ptyPath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave >= 0) {
        tcflush(slave, TCIFLUSH);
        close(slave);
    }
}

void Server::markChanged(Clock::time_point now) {
    if (!savePending_) {
        savePending_ = true;
        saveAt_ = now + std::chrono::milliseconds(200);
    }
}

void Server::save() {
    savePending_ = false;
    if (o_.statePath.empty()) {
        return;
    }
    std::string err;
    if (!engine_->saveState(o_.statePath, err)) {
        JsonLine j("state-error");
        j.str("error", err);
        journal_.write(j);
    }
}

Server::Link* Server::findLink(int id) {
    if (active_ && active_->id == id) {
        return &*active_;
    }
    if (ptyLink_ && ptyLink_->id == id) {
        return &*ptyLink_;
    }
    return nullptr;
}

void Server::closeActive(const std::string& reason, Clock::time_point now, Actions& acts) {
    if (!active_) {
        return;
    }
    if (!reason.empty()) {
        JsonLine j("connection-dropped");
        j.num("link", active_->id).str("reason", reason);
        journal_.write(j);
    }
    engine_->linkClosed(active_->id, now, acts);
    close(active_->fd);
    active_.reset();
}

void Server::promote(Clock::time_point now) {
    if (active_ || waiting_.empty()) {
        return;
    }
    active_ = waiting_.front();
    waiting_.pop_front();
    active_->lastActivity = now;
    engine_->linkOpened(active_->id, "tcp");
}

void Server::ptyDrop(int id, const std::string& reason, Clock::time_point now) {
    JsonLine j("connection-dropped");
    j.num("link", id).str("reason", reason);
    journal_.write(j);
    ptyLink_->out.clear();
    Actions ignored;
    engine_->linkClosed(id, now, ignored);
    ptyOpen_ = false;
    ptyMuted_ = true;
    ptyMutedUntil_ = now + std::chrono::seconds(2);
}

void Server::applyActions(Actions& acts, Clock::time_point now) {
    std::vector<int> replyDrops;
    for (auto& r : acts.replies) {
        Link* l = findLink(r.link);
        if (!l || (l->pty && !ptyOpen_)) {
            continue; // the line closed: a reply would be lost anyway
        }
        if (std::find(replyDrops.begin(), replyDrops.end(), r.link) != replyDrops.end()) {
            continue;
        }
        if (dropsReply(faults_, r.kind)) {
            replyDrops.push_back(r.link);
            continue;
        }
        auto chunks = shapeReply(faults_, r.kind, r.data);
        Clock::time_point t = l->out.empty() ? now : std::max(now, l->out.back().due);
        for (auto& c : chunks) {
            t += std::chrono::milliseconds(c.delayMs);
            l->out.push_back(Pending{t, std::move(c.data)});
        }
    }
    for (int id : acts.drops) {
        if (active_ && active_->id == id) {
            closeActive("fault: dropped after packet", now, acts);
        } else if (ptyLink_ && ptyLink_->id == id) {
            ptyDrop(id, "fault: line silent for 2 s after packet", now);
        }
    }
    for (int id : replyDrops) {
        if (active_ && active_->id == id) {
            closeActive("fault: dropped instead of a reply", now, acts);
        } else if (ptyLink_ && ptyLink_->id == id) {
            ptyDrop(id, "fault: line silent for 2 s instead of a reply", now);
        }
    }
    if (acts.stateChanged) {
        markChanged(now);
    }
    acts = Actions{};
}

bool Server::flushOut(Link& l, Clock::time_point now) {
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
}

void Server::followRefuse(Clock::time_point) {
    // Listening follows the refuse fault.
    if (o_.listenText.empty()) {
        return;
    }
    if (faults_.refuse && listenFd_ >= 0) {
        close(listenFd_);
        listenFd_ = -1;
        JsonLine j("listen-closed");
        j.str("reason", "fault: refusing connections");
        journal_.write(j);
    } else if (!faults_.refuse && listenFd_ < 0) {
        std::string error;
        listenFd_ = listenOn(listenAddr_, error);
        JsonLine j("listen-opened");
        if (listenFd_ < 0) {
            j.str("error", error);
        }
        journal_.write(j);
    }
}

void Server::ptyFollowRefuseAndOpen(Clock::time_point now) {
    if (ptyMaster_ < 0) {
        return;
    }
    // The refuse fault holds the line exclusively: the program's open
    // finds it busy, like a port another program has open.
    if (faults_.refuse && ptyBusyFd_ < 0) {
        Actions acts;
        ptyHangUp(now, acts);
        applyActions(acts, now);
        ptyBusyFd_ = open(ptyPath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (ptyBusyFd_ >= 0) {
            ioctl(ptyBusyFd_, TIOCEXCL);
        }
        JsonLine j("pty-busy");
        j.flag("busy", ptyBusyFd_ >= 0);
        journal_.write(j);
    } else if (!faults_.refuse && ptyBusyFd_ >= 0) {
        ioctl(ptyBusyFd_, TIOCNXCL);
        close(ptyBusyFd_);
        ptyBusyFd_ = -1;
        JsonLine j("pty-busy");
        j.flag("busy", false);
        journal_.write(j);
    }
    if (!ptyOpen_ && ptyBusyFd_ < 0) {
        pollfd probe{ptyMaster_, POLLIN, 0};
        if (poll(&probe, 1, 0) >= 0 && !(probe.revents & POLLHUP)) {
            ptyOpen_ = true;
            ptyLink_->lastActivity = now;
            if (!ptyMuted_) {
                engine_->linkOpened(1, "pty");
            }
        }
    }
}

void Server::acceptConnections(Clock::time_point now) {
    // Take every pending connection, so a burst never overflows the backlog.
    while (true) {
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            break;
        }
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        Link l{fd, nextLinkId_++, false, {}, now};
        if (!active_) {
            active_ = l;
            engine_->linkOpened(l.id, "tcp");
        } else {
            JsonLine j("connection-waiting");
            j.num("link", l.id).num("active", active_->id);
            journal_.write(j);
            waiting_.push_back(l);
        }
    }
}

void Server::readPty(Clock::time_point now, Actions& acts) {
    // Bytes written just before the other side closed are still read.
    while (true) {
        ssize_t n = read(ptyMaster_, readBuf_.data(), readBuf_.size());
        if (n > 0) {
            ptyLink_->lastActivity = now;
            if (!ptyMuted_) {
                engine_->feed(1, readBuf_.data(), static_cast<std::size_t>(n), now, acts);
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

void Server::serveControls(const std::vector<pollfd>& fds, std::size_t base,
                           Clock::time_point now) {
    for (std::size_t i = 0; i < controls_.size() && base + i < fds.size(); ++i) {
        if (!(fds[base + i].revents & (POLLIN | POLLHUP | POLLERR))) {
            continue;
        }
        char cb[4096];
        ssize_t n = read(controls_[i].fd, cb, sizeof cb);
        if (n <= 0) {
            close(controls_[i].fd);
            controls_[i].fd = -1;
            continue;
        }
        controls_[i].buf.append(cb, static_cast<std::size_t>(n));
        std::size_t nl;
        while ((nl = controls_[i].buf.find('\n')) != std::string::npos) {
            std::string line = controls_[i].buf.substr(0, nl);
            controls_[i].buf.erase(0, nl + 1);
            std::string answer = engine_->control(line) + "\n";
            [[maybe_unused]] auto w = write(controls_[i].fd, answer.data(), answer.size());
            markChanged(now);
        }
    }
    controls_.erase(std::remove_if(controls_.begin(), controls_.end(),
                                   [](const ControlClient& c) { return c.fd < 0; }),
                    controls_.end());
}

void Server::loop() {
    Engine& engine = *engine_;
    while (true) {
        Clock::time_point now = Clock::now();
        followRefuse(now);
        // Handover: a waiting connection takes over from an idle active one.
        if (active_ && !waiting_.empty() && o_.handoverMs >= 0 && active_->out.empty() &&
            now - active_->lastActivity >= std::chrono::milliseconds(o_.handoverMs)) {
            Actions acts;
            closeActive("idle while another connection waits", now, acts);
            applyActions(acts, now);
            promote(now);
        }
        if (ptyMuted_ && now >= ptyMutedUntil_) {
            ptyMuted_ = false;
            if (ptyOpen_) {
                engine.linkOpened(1, "pty");
            }
        }
        ptyFollowRefuseAndOpen(now);

        std::vector<pollfd> fds;
        fds.push_back({gSignalPipe[0], POLLIN, 0});
        int listenIdx = -1, activeIdx = -1, ptyIdx = -1, controlIdx = -1;
        if (listenFd_ >= 0) {
            listenIdx = static_cast<int>(fds.size());
            fds.push_back({listenFd_, POLLIN, 0});
        }
        if (active_) {
            activeIdx = static_cast<int>(fds.size());
            short ev = POLLIN;
            if (!active_->out.empty() && active_->out.front().due <= now) {
                ev |= POLLOUT;
            }
            fds.push_back({active_->fd, ev, 0});
        }
        if (ptyLink_ && ptyOpen_) {
            ptyIdx = static_cast<int>(fds.size());
            short ev = POLLIN;
            if (!ptyLink_->out.empty() && ptyLink_->out.front().due <= now) {
                ev |= POLLOUT;
            }
            fds.push_back({ptyMaster_, ev, 0});
        }
        if (controlFd_ >= 0) {
            controlIdx = static_cast<int>(fds.size());
            fds.push_back({controlFd_, POLLIN, 0});
        }
        std::size_t controlBase = fds.size();
        for (auto& c : controls_) {
            fds.push_back({c.fd, POLLIN, 0});
        }

        // Timeout: the earliest of the printer's deadlines and pending replies.
        Clock::time_point wake = now + std::chrono::seconds(1);
        if (auto d = engine.nextDeadline()) {
            wake = std::min(wake, *d);
        }
        for (Link* l : {active_ ? &*active_ : nullptr, ptyLink_ ? &*ptyLink_ : nullptr}) {
            if (l && !l->out.empty()) {
                wake = std::min(wake, l->out.front().due);
            }
        }
        if (active_ && !waiting_.empty() && o_.handoverMs >= 0) {
            wake = std::min(wake, active_->lastActivity + std::chrono::milliseconds(o_.handoverMs));
        }
        if (ptyMuted_) {
            wake = std::min(wake, ptyMutedUntil_);
        }
        if (savePending_) {
            wake = std::min(wake, saveAt_);
        }
        if (ptyMaster_ >= 0 && !ptyOpen_) {
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
            break;
        }
        if (listenIdx >= 0 && (fds[static_cast<std::size_t>(listenIdx)].revents & POLLIN)) {
            acceptConnections(now);
        }
        if (activeIdx >= 0 && active_) {
            short re = fds[static_cast<std::size_t>(activeIdx)].revents;
            if (re & POLLOUT) {
                if (!flushOut(*active_, now)) {
                    closeActive("", now, acts);
                }
            }
            if (active_ && (re & (POLLIN | POLLHUP | POLLERR))) {
                ssize_t n = read(active_->fd, readBuf_.data(), readBuf_.size());
                if (n > 0) {
                    active_->lastActivity = now;
                    engine.feed(active_->id, readBuf_.data(), static_cast<std::size_t>(n), now,
                                acts);
                } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                    closeActive("", now, acts);
                }
            }
        }
        if (ptyIdx >= 0 && ptyLink_) {
            short re = fds[static_cast<std::size_t>(ptyIdx)].revents;
            if (re & POLLOUT) {
                flushOut(*ptyLink_, now);
            }
            if (re & (POLLIN | POLLHUP | POLLERR)) {
                readPty(now, acts);
            }
        }
        if (controlIdx >= 0 && (fds[static_cast<std::size_t>(controlIdx)].revents & POLLIN)) {
            int fd = accept4(controlFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                controls_.push_back(ControlClient{fd, {}});
            }
        }
        serveControls(fds, controlBase, now);
        engine.poll(now, acts);
        applyActions(acts, now);
        if (active_) {
            if (!flushOut(*active_, now)) {
                Actions more;
                closeActive("", now, more);
                applyActions(more, now);
            }
        }
        if (ptyLink_) {
            flushOut(*ptyLink_, now);
        }
        promote(now);
        if (savePending_ && now >= saveAt_) {
            if (engine.downloadActive()) {
                saveAt_ = now + std::chrono::milliseconds(200); // after the download
            } else {
                save();
            }
        }
    }
}

void Server::finish() {
    Actions acts;
    closeActive("", Clock::now(), acts);
    for (auto& w : waiting_) {
        close(w.fd);
    }
    save();
    {
        JsonLine j("stop");
        journal_.write(j);
    }
    if (!o_.ptyLink.empty()) {
        unlink(o_.ptyLink.c_str());
    }
}

} // namespace vp
