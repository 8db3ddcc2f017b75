// Parallel printer port ("LPTn", /dev/lp(n-1)).
#include "ports/Port.h"

#include "PellumSdk.h"

namespace pellum::ports {
namespace {

class ParallelPort final : public Port {
public:
    // The parallel port driver returns 0 from a read when the printer has
    // nothing to say, so only a hang-up or an error means it went away.
    ParallelPort(int fd, const Timing& timing) : Port(fd, timing, false) {}
};

} // namespace

OpenResult OpenParallelPort(const std::string& device, const Timing& timing) {
    OpenResult result;
    int fd = -1;
    // The driver itself refuses a second open with EBUSY; the lock covers
    // devices mapped through PortMap.ini that do not.
    result.code = OpenLockedDevice(device, 0, fd);
    if (result.code == PELLUM_OK) {
        result.port = std::make_unique<ParallelPort>(fd, timing);
    }
    return result;
}

} // namespace pellum::ports
