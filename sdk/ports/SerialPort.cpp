// Serial printer port ("COMn,BAUDRATE_b"): raw 8N1 at b baud, no flow control.
#include "ports/Port.h"

#include "PellumSdk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <string>

namespace pellum::ports {
namespace {

class SerialPort final : public Port {
public:
    SerialPort(int fd, const termios& saved, const Timing& timing)
        : Port(fd, timing, true), saved_(saved) {}

    ~SerialPort() override {
        // TCSADRAIN: the bytes still in the transmit buffer leave at the
        // speed they were written with before the old settings come back.
        ::tcsetattr(fd(), TCSADRAIN, &saved_);
        ::ioctl(fd(), TIOCNXCL);
    }

private:
    termios saved_;
};

speed_t SpeedFor(int baud) {
    switch (baud) {
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 500000:
        return B500000;
    case 576000:
        return B576000;
    case 921600:
        return B921600;
    case 1000000:
        return B1000000;
    default:
        return B0;
    }
}

bool IsNumber(const char* text) {
    if (*text == '\0') {
        return false;
    }
    for (; *text != '\0'; ++text) {
        if (!std::isdigit(static_cast<unsigned char>(*text))) {
            return false;
        }
    }
    return true;
}

// True when a descriptor other than ownFd, in any process, is open on the
// device. The exclusive flag of a line outlives a holder that exited without
// clearing it, so the flag alone does not prove that the line is in use.
bool HeldElsewhere(dev_t device, int ownFd) {
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return true; // cannot tell: believe the flag
    }
    const std::string self = std::to_string(::getpid());
    const std::string own = std::to_string(ownFd);
    bool held = false;
    while (!held) {
        const dirent* process = ::readdir(proc);
        if (process == nullptr) {
            break;
        }
        if (!IsNumber(process->d_name)) {
            continue;
        }
        const std::string folder = std::string("/proc/") + process->d_name + "/fd/";
        DIR* fds = ::opendir(folder.c_str());
        if (fds == nullptr) {
            continue;
        }
        while (const dirent* entry = ::readdir(fds)) {
            if (!IsNumber(entry->d_name) || (self == process->d_name && own == entry->d_name)) {
                continue;
            }
            struct stat st {};
            if (::stat((folder + entry->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
                st.st_rdev == device) {
                held = true;
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return held;
}

} // namespace

OpenResult OpenSerialPort(const std::string& device, int baud, const Timing& timing) {
    OpenResult result;
    const speed_t speed = SpeedFor(baud);
    if (speed == B0) {
        result.code = PELLUM_ERR_BAD_SETTINGS;
        return result;
    }
    int fd = -1;
    // O_NOCTTY: a serial port never becomes the controlling terminal. The
    // open itself fails with EBUSY when another program holds it exclusively.
    result.code = OpenLockedDevice(device, O_NOCTTY, fd);
    if (result.code != PELLUM_OK) {
        return result;
    }
    auto fail = [&](std::int32_t code) {
        ::close(fd);
        result.code = code;
        return std::move(result);
    };
    if (!::isatty(fd)) {
        return fail(PELLUM_ERR_BAD_SETTINGS);
    }
    // A privileged process passes TIOCEXCL's open check, so ask whether
    // another program has made the line exclusive and still holds it.
    int exclusive = 0;
    struct stat st {};
    if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0 && ::fstat(fd, &st) == 0 &&
        HeldElsewhere(st.st_rdev, fd)) {
        return fail(PELLUM_ERR_BUSY);
    }
    termios saved{};
    if (::tcgetattr(fd, &saved) != 0) {
        return fail(PELLUM_ERR_BAD_SETTINGS);
    }
    termios raw = saved;
    ::cfmakeraw(&raw);
    raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    raw.c_cflag |= CS8 | CLOCAL | CREAD;
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // VMIN 1: with no data a read gives EAGAIN, so a 0-byte read means hang-up.
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (::cfsetispeed(&raw, speed) != 0 || ::cfsetospeed(&raw, speed) != 0 ||
        ::tcsetattr(fd, TCSANOW, &raw) != 0) {
        ::tcsetattr(fd, TCSANOW, &saved);
        return fail(PELLUM_ERR_BAD_SETTINGS);
    }
    // tcsetattr succeeds when any of the settings took: check the speed.
    termios applied{};
    if (::tcgetattr(fd, &applied) != 0 || ::cfgetospeed(&applied) != speed) {
        ::tcsetattr(fd, TCSANOW, &saved);
        return fail(PELLUM_ERR_BAD_SETTINGS);
    }
    ::ioctl(fd, TIOCEXCL);
    ::tcflush(fd, TCIFLUSH); // stale input is no reply to what we send next
    result.port = std::make_unique<SerialPort>(fd, saved, timing);
    return result;
}

} // namespace pellum::ports
