// What only the serial driver does: the line settings it applies and
// restores, the failures of a serial open, and exclusive use of the line.
#include "Peers.h"

#include "PellumSdk.h"
#include "core/PrinterObjects.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace pellum::test;
namespace sdk = pellum::sdk;

namespace {

class SerialDriverTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(sdk::CreatePrinter(&handle_, u"Serial"), PELLUM_OK); }
    void TearDown() override { sdk::DestroyPrinter(&handle_); }

    std::int32_t Open(PellumHandle handle, const std::string& port) {
        const std::u16string text = U16(port);
        return sdk::OpenPort(handle, text.c_str());
    }

    // The slave's settings, seen through the master side.
    static termios LineSettings(const PtyPeer& peer) {
        termios t{};
        ::tcgetattr(peer.master(), &t);
        return t;
    }

    PellumHandle handle_ = nullptr;
};

TEST_F(SerialDriverTest, OpenSetsRaw8N1AtTheBaudRateAndCloseRestoresTheLine) {
    for (const int baud : {4800, 9600, 19200, 38400, 57600, 115200}) {
        SCOPED_TRACE(baud);
        PtyPeer peer("COM", baud);
        termios before = LineSettings(peer);
        before.c_lflag |= ICANON | ECHO; // a cooked line, as a terminal leaves it
        ::tcsetattr(peer.master(), TCSANOW, &before);
        before = LineSettings(peer);

        ASSERT_EQ(Open(handle_, peer.PortString()), PELLUM_OK);
        const termios t = LineSettings(peer);
        const speed_t expected = baud == 4800    ? B4800
                                 : baud == 9600  ? B9600
                                 : baud == 19200 ? B19200
                                 : baud == 38400 ? B38400
                                 : baud == 57600 ? B57600
                                                 : B115200;
        EXPECT_EQ(::cfgetospeed(&t), expected);
        EXPECT_EQ(::cfgetispeed(&t), expected);
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);

        ASSERT_EQ(sdk::ClosePort(handle_), PELLUM_OK);
        const termios after = LineSettings(peer);
        EXPECT_EQ(after.c_lflag, before.c_lflag);
        EXPECT_EQ(after.c_iflag, before.c_iflag);
        EXPECT_EQ(after.c_oflag, before.c_oflag);
        EXPECT_EQ(after.c_cflag, before.c_cflag);
    }
}

TEST_F(SerialDriverTest, OpenFailuresHaveTheirOwnCodes) {
    TempDir dir;
    const std::string plainFile = dir.Write("not-a-device", "x");
    const std::string map = dir.Write("PortMap.ini", "[Ports]\n"
                                                     "COM20=/dev/null\n"
                                                     "COM21=" +
                                                         plainFile +
                                                         "\n"
                                                         "COM22=" +
                                                         dir.path() + "/missing\n");
    ScopedEnv env("PELLUM_PORTMAP", map);
    const struct {
        const char* port;
        std::int32_t expected;
    } cases[] = {
        {"COM20,BAUDRATE_9600", PELLUM_ERR_BAD_SETTINGS},  // a device, but no serial line
        {"COM21,BAUDRATE_9600", PELLUM_ERR_NO_DEVICE},     // a plain file
        {"COM22,BAUDRATE_9600", PELLUM_ERR_NO_DEVICE},     // nothing there
        {"COM97,BAUDRATE_9600", PELLUM_ERR_NO_DEVICE},     // no mapping at all
        {"COM20,BAUDRATE_12345", PELLUM_ERR_BAD_SETTINGS}, // no such line speed
        {"COM20,BAUDRATE_fast", PELLUM_ERR_BAD_PORT},      // not a number
        {"COM20,PARITY_EVEN", PELLUM_ERR_BAD_PORT},        // unknown setting
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Open(handle_, c.port), c.expected) << c.port;
    }
}

TEST_F(SerialDriverTest, ALineHeldByAnotherProcessIsBusy) {
    PtyPeer peer("COM");
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        PellumHandle own = nullptr;
        sdk::CreatePrinter(&own, u"Child");
        const std::u16string port = U16(peer.PortString());
        const char result = static_cast<char>(sdk::OpenPort(own, port.c_str()));
        (void)!::write(ready[1], &result, 1);
        char scrap;
        (void)!::read(release[0], &scrap, 1);
        ::_exit(0); // without closing: the line must not stay busy after it
    }
    char childResult = -1;
    ASSERT_EQ(::read(ready[0], &childResult, 1), 1);
    ASSERT_EQ(childResult, PELLUM_OK);
    EXPECT_EQ(Open(handle_, peer.PortString()), PELLUM_ERR_BUSY);
    (void)!::write(release[1], "x", 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(Open(handle_, peer.PortString()), PELLUM_OK) << "free once the other has gone";
    for (int fd : {ready[0], ready[1], release[0], release[1]}) {
        ::close(fd);
    }
}

TEST_F(SerialDriverTest, ALineAnotherProgramMadeExclusiveIsBusy) {
    // Terminal programs take a line with TIOCEXCL; a privileged caller would
    // pass the kernel's check, so the driver must notice it itself.
    PtyPeer peer("COM");
    const int other = ::open(peer.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::ioctl(other, TIOCEXCL), 0);
    EXPECT_EQ(Open(handle_, peer.PortString()), PELLUM_ERR_BUSY);
    // The flag outlives a holder that exits without clearing it; a line
    // nobody holds any more is free.
    ::close(other);
    EXPECT_EQ(Open(handle_, peer.PortString()), PELLUM_OK);
}

TEST_F(SerialDriverTest, ALineTheUserMayNotOpenGivesPermissionDenied) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs to drop privileges to a user without access";
    }
    PtyPeer peer("COM");
    ASSERT_EQ(::chmod(peer.slavePath().c_str(), 0600), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(100);
        }
        PellumHandle own = nullptr;
        sdk::CreatePrinter(&own, u"Child");
        const std::u16string port = U16(peer.PortString());
        ::_exit(sdk::OpenPort(own, port.c_str()));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 100) {
        GTEST_SKIP() << "cannot drop privileges here";
    }
    EXPECT_EQ(WEXITSTATUS(status), PELLUM_ERR_PERMISSION);
}

} // namespace
