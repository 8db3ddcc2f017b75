// Starts pellum-virtual-printer for a test, reads the first lines of its
// output (LISTEN, PTY, CONTROL), reads its journal, sends control-channel
// commands and stops it in the destructor. Standard C++ and POSIX only, header
// only, so tests of any area can use it without linking anything.
//
//   pellum::testing::VirtualPrinterProcess vp(pathToExecutable,
//       {"--model", "PL-Nutmeg 200", "--listen", "127.0.0.1:0"});
//   ASSERT_TRUE(vp.start()) << vp.error();
//   ... connect to 127.0.0.1:vp.port() ...
//   std::string line;
//   ASSERT_TRUE(vp.waitForKind("block-read", 2000, &line));
//   EXPECT_EQ(VirtualPrinterProcess::field(line, "form"), "tspl");
//
// Unless the arguments name them, the launcher adds "--journal <temporary file>"
// (so the journal never blocks on a full pipe) and "--control 127.0.0.1:0".
#pragma once

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace pellum::testing {

class VirtualPrinterProcess {
public:
    VirtualPrinterProcess(std::string executable, std::vector<std::string> args,
                          int startTimeoutMs = 5000)
        : executable_(std::move(executable)), args_(std::move(args)),
          startTimeoutMs_(startTimeoutMs) {}
    VirtualPrinterProcess(const VirtualPrinterProcess&) = delete;
    VirtualPrinterProcess& operator=(const VirtualPrinterProcess&) = delete;
    ~VirtualPrinterProcess() { stop(); }

    // Starts the process and waits for its first lines. False (with error())
    // when it cannot start, exits early or does not print them in time.
    bool start() {
        if (pid_ > 0) {
            error_ = "already started";
            return false;
        }
        std::vector<std::string> args = args_;
        bool wantListen = has(args, "--listen");
        bool wantPty = has(args, "--pty") || has(args, "--pty-link");
        if (!has(args, "--journal")) {
            journalPath_ = tempFile("journal");
            ownJournal_ = true;
            args.push_back("--journal");
            args.push_back(journalPath_);
        } else {
            journalPath_ = valueOf(args, "--journal");
        }
        if (!has(args, "--control")) {
            args.push_back("--control");
            args.push_back("127.0.0.1:0");
        }
        stderrPath_ = tempFile("stderr");
        int out[2];
        if (pipe(out) != 0) {
            error_ = "pipe failed";
            return false;
        }
        // Everything the child needs is prepared before fork: only
        // async-signal-safe calls run between fork and exec.
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(executable_.c_str()));
        for (auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        long maxFd = sysconf(_SC_OPEN_MAX);
        int fdLimit = maxFd > 0 && maxFd < 65536 ? static_cast<int>(maxFd) : 65536;
        std::string execError = "cannot start " + executable_ + "\n";
        pid_t pid = fork();
        if (pid < 0) {
            error_ = "fork failed";
            close(out[0]);
            close(out[1]);
            return false;
        }
        if (pid == 0) {
            dup2(out[1], 1);
            int err = open(stderrPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (err >= 0) {
                dup2(err, 2);
            }
            close(out[0]);
            close(out[1]);
            // The printer must not keep the test's own sockets or files open.
            for (int fd = 3; fd < fdLimit; ++fd) {
                close(fd);
            }
            execv(executable_.c_str(), argv.data());
            [[maybe_unused]] auto n = write(2, execError.data(), execError.size());
            _exit(127);
        }
        pid_ = pid;
        close(out[1]);
        stdout_ = out[0];
        auto deadline = Clock::now() + std::chrono::milliseconds(startTimeoutMs_);
        bool gotListen = !wantListen, gotPty = !wantPty, gotControl = false;
        while (!(gotListen && gotPty && gotControl)) {
            std::string line;
            if (!readStdoutLine(line, deadline)) {
                error_ = "the virtual printer did not start: " + stderrText();
                stop();
                return false;
            }
            if (line.rfind("LISTEN ", 0) == 0) {
                port_ = portOf(line.substr(7));
                gotListen = true;
            } else if (line.rfind("PTY ", 0) == 0) {
                ptyPath_ = line.substr(4);
                gotPty = true;
            } else if (line.rfind("CONTROL ", 0) == 0) {
                controlPort_ = portOf(line.substr(8));
                gotControl = true;
            }
        }
        return true;
    }

    bool running() {
        if (pid_ <= 0) {
            return false;
        }
        int status = 0;
        pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            exitStatus_ = status;
            return false;
        }
        return true;
    }

    // SIGTERM, then SIGKILL after timeoutMs. Returns the exit code (or -1).
    int stop(int timeoutMs = 3000) {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
            while (true) {
                int status = 0;
                pid_t r = waitpid(pid_, &status, WNOHANG);
                if (r == pid_ || r < 0) {
                    exitStatus_ = status;
                    break;
                }
                if (Clock::now() >= deadline) {
                    kill(pid_, SIGKILL);
                    waitpid(pid_, &status, 0);
                    exitStatus_ = status;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            pid_ = -1;
        }
        if (stdout_ >= 0) {
            close(stdout_);
            stdout_ = -1;
        }
        if (!stderrPath_.empty()) {
            stderrKept_ = stderrText();
            unlink(stderrPath_.c_str());
            stderrPath_.clear();
        }
        if (ownJournal_ && !journalPath_.empty()) {
            readJournal();
            unlink(journalPath_.c_str());
            ownJournal_ = false;
        }
        return WIFEXITED(exitStatus_) ? WEXITSTATUS(exitStatus_) : -1;
    }

    int port() const { return port_; }
    int controlPort() const { return controlPort_; }
    const std::string& ptyPath() const { return ptyPath_; }
    const std::string& journalPath() const { return journalPath_; }
    const std::string& error() const { return error_; }
    int pid() const { return pid_; }

    // Every journal line written so far (raw JSON objects, one per entry).
    const std::vector<std::string>& journalLines() {
        readJournal();
        return lines_;
    }

    // Waits for a journal line at index >= from for which pred holds.
    bool waitForLine(const std::function<bool(const std::string&)>& pred, int timeoutMs,
                     std::string* found = nullptr, std::size_t from = 0,
                     std::size_t* index = nullptr) {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (true) {
            readJournal();
            for (std::size_t i = from; i < lines_.size(); ++i) {
                if (pred(lines_[i])) {
                    if (found) {
                        *found = lines_[i];
                    }
                    if (index) {
                        *index = i;
                    }
                    return true;
                }
            }
            if (Clock::now() >= deadline || (pid_ > 0 && !running())) {
                readJournal();
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    bool waitForKind(const std::string& kind, int timeoutMs, std::string* found = nullptr,
                     std::size_t from = 0, std::size_t* index = nullptr) {
        return waitForLine([&](const std::string& l) { return field(l, "kind") == kind; },
                           timeoutMs, found, from, index);
    }

    // Sends one control command and returns its reply line ("OK ..." / "ERR ..."),
    // or an empty text when the control channel does not answer in time.
    std::string control(const std::string& command, int timeoutMs = 3000) {
        if (controlPort_ <= 0) {
            return "";
        }
        int fd = connectLoopback(controlPort_, timeoutMs);
        if (fd < 0) {
            return "";
        }
        std::string msg = command + "\n";
        if (::send(fd, msg.data(), msg.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(msg.size())) {
            close(fd);
            return "";
        }
        std::string reply;
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (reply.find('\n') == std::string::npos) {
            int left = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count());
            if (left <= 0) {
                break;
            }
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, left) <= 0) {
                break;
            }
            char buf[4096];
            ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0) {
                break;
            }
            reply.append(buf, static_cast<std::size_t>(n));
        }
        close(fd);
        auto nl = reply.find('\n');
        return nl == std::string::npos ? std::string() : reply.substr(0, nl);
    }

    // The text of a string field ("kind", "hex", "key", ...) of one journal
    // line, unescaped; empty when absent. A number or true/false is returned as
    // written.
    static std::string field(const std::string& line, const std::string& name) {
        std::string key = "\"" + name + "\":";
        std::size_t at = 0;
        while ((at = line.find(key, at)) != std::string::npos) {
            // Only a key at the top level of the object counts: it follows { or ,
            if (at > 0 && (line[at - 1] == '{' || line[at - 1] == ',')) {
                break;
            }
            at += key.size();
        }
        if (at == std::string::npos) {
            return "";
        }
        std::size_t i = at + key.size();
        if (i >= line.size()) {
            return "";
        }
        if (line[i] != '"') {
            std::size_t e = line.find_first_of(",}", i);
            return line.substr(i, e == std::string::npos ? std::string::npos : e - i);
        }
        std::string out;
        for (++i; i < line.size() && line[i] != '"'; ++i) {
            char c = line[i];
            if (c == '\\' && i + 1 < line.size()) {
                char e = line[++i];
                switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u':
                    if (i + 4 < line.size()) {
                        out += static_cast<char>(
                            std::strtol(line.substr(i + 1, 4).c_str(), nullptr, 16));
                        i += 4;
                    }
                    break;
                default:
                    out += e;
                }
            } else {
                out += c;
            }
        }
        return out;
    }

    // Connects to 127.0.0.1:port; -1 on failure.
    static int connectLoopback(int port, int timeoutMs = 2000) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return -1;
        }
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int flags = fcntl(fd, F_GETFL);
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        if (rc != 0 && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            int err = 0;
            socklen_t len = sizeof err;
            if (poll(&p, 1, timeoutMs) == 1 &&
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0) {
                rc = 0;
            }
        }
        if (rc != 0) {
            close(fd);
            return -1;
        }
        fcntl(fd, F_SETFL, flags);
        return fd;
    }

private:
    using Clock = std::chrono::steady_clock;

    static bool has(const std::vector<std::string>& a, const std::string& o) {
        for (const auto& x : a) {
            if (x == o) {
                return true;
            }
        }
        return false;
    }
    static std::string valueOf(const std::vector<std::string>& a, const std::string& o) {
        for (std::size_t i = 0; i + 1 < a.size(); ++i) {
            if (a[i] == o) {
                return a[i + 1];
            }
        }
        return "";
    }
    static int portOf(const std::string& hostPort) {
        auto c = hostPort.rfind(':');
        return c == std::string::npos ? -1 : std::atoi(hostPort.c_str() + c + 1);
    }
    static std::string tempFile(const char* what) {
        const char* dir = std::getenv("TMPDIR");
        std::string pattern =
            std::string(dir && *dir ? dir : "/tmp") + "/pellum-vp-" + what + "-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        int fd = mkstemp(buf.data());
        if (fd >= 0) {
            close(fd);
        }
        return std::string(buf.data());
    }

    std::string stderrText() const {
        if (stderrPath_.empty()) {
            return stderrKept_;
        }
        std::FILE* f = std::fopen(stderrPath_.c_str(), "r");
        if (!f) {
            return "";
        }
        std::string s;
        char buf[512];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
            s.append(buf, n);
        }
        std::fclose(f);
        return s;
    }

    bool readStdoutLine(std::string& line, Clock::time_point deadline) {
        while (true) {
            auto nl = outBuf_.find('\n');
            if (nl != std::string::npos) {
                line = outBuf_.substr(0, nl);
                outBuf_.erase(0, nl + 1);
                return true;
            }
            int left = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count());
            if (left <= 0) {
                return false;
            }
            pollfd p{stdout_, POLLIN, 0};
            int r = poll(&p, 1, left);
            if (r < 0 && errno == EINTR) {
                continue;
            }
            if (r <= 0) {
                return false;
            }
            char buf[1024];
            ssize_t n = read(stdout_, buf, sizeof buf);
            if (n <= 0) {
                return false; // the process closed its output: it ended
            }
            outBuf_.append(buf, static_cast<std::size_t>(n));
        }
    }

    void readJournal() {
        if (journalPath_.empty()) {
            return;
        }
        std::FILE* f = std::fopen(journalPath_.c_str(), "r");
        if (!f) {
            return;
        }
        if (std::fseek(f, static_cast<long>(journalOffset_), SEEK_SET) == 0) {
            char buf[65536];
            std::size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
                journalPartial_.append(buf, n);
                journalOffset_ += n;
            }
        }
        std::fclose(f);
        std::size_t nl;
        while ((nl = journalPartial_.find('\n')) != std::string::npos) {
            lines_.push_back(journalPartial_.substr(0, nl));
            journalPartial_.erase(0, nl + 1);
        }
    }

    std::string executable_;
    std::vector<std::string> args_;
    int startTimeoutMs_;
    pid_t pid_ = -1;
    int exitStatus_ = 0;
    int stdout_ = -1;
    std::string outBuf_;
    int port_ = -1;
    int controlPort_ = -1;
    std::string ptyPath_;
    std::string journalPath_;
    bool ownJournal_ = false;
    std::string stderrPath_;
    std::string stderrKept_;
    std::size_t journalOffset_ = 0;
    std::string journalPartial_;
    std::vector<std::string> lines_;
    std::string error_;
};

} // namespace pellum::testing
