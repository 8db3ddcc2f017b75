// USB printer-class port ("USB": the first of /dev/usb/lp0../dev/usb/lp15).
#include "ports/Port.h"

#include "PellumSdk.h"

#include <sys/stat.h>

namespace pellum::ports {
namespace {

constexpr int kUsbPrinterNodes = 16;

class UsbPort final : public Port {
public:
    // A USB printer may send zero-length packets, which the printer driver
    // passes on as 0-byte reads: only a hang-up (unplug) or ENODEV means the
    // device is gone.
    UsbPort(int fd, const Timing& timing) : Port(fd, timing, false) {}
};

std::string FirstUsbPrinter() {
    for (int i = 0; i < kUsbPrinterNodes; ++i) {
        const std::string path = "/dev/usb/lp" + std::to_string(i);
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            return path;
        }
    }
    return {};
}

} // namespace

OpenResult OpenUsbPort(const std::string& device, const Timing& timing) {
    OpenResult result;
    const std::string path = device.empty() ? FirstUsbPrinter() : device;
    int fd = -1;
    result.code = OpenLockedDevice(path, 0, fd);
    if (result.code == PELLUM_OK) {
        result.port = std::make_unique<UsbPort>(fd, timing);
    }
    return result;
}

} // namespace pellum::ports
