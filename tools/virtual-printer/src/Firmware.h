// The firmware package after do "dfu": records of a 76-byte header (body size
// at 4, type at 8, record name at 12, version text at 44) and a body of that
// size; a status byte answers each header, and a final status byte follows a
// quiet time after the last record. Like a download, the firmware-update mode
// belongs to the printer, not to a link.
#pragma once

#include <optional>

#include "PrinterState.h"

namespace vp {

constexpr std::size_t kFirmwareHeader = 76;

class Firmware {
public:
    explicit Firmware(PrinterState& printer) : p_(printer) {}

    bool active() const { return fw_.active; }
    // The link's bytes belong to the package (rather than to a key-value
    // command that ends the mode before the first header).
    bool owns(const Bytes& buf) const;
    // Takes the bytes of the package from the link; false when more are needed.
    bool take(int link, Bytes& buf, Clock::time_point now, Actions& out);
    // A command arrived instead of the first header.
    void abortForCommand();
    // do "dfu": the firmware-update mode begins.
    void enter(int link);
    // The link whose bytes the package is reading (timeouts of other kinds
    // do not apply to it).
    bool readsFrom(int link) const;
    int link() const { return fw_.link; }
    // The quiet times: final status, a body or header cut short, no header.
    // linkBuf is the pending bytes of the package's link (null when it closed).
    void poll(Clock::time_point now, int quietMs, Bytes* linkBuf, Actions& out);
    std::optional<Clock::time_point> deadline(int quietMs, bool pendingBytes) const;

private:
    struct State {
        bool active = false;
        bool inBody = false;
        bool gotHeader = false;
        int headerIndex = 0;
        std::uint32_t bodySize = 0;
        std::uint32_t bodyReceived = 0;
        Bytes piece;
        std::string recordName;
        long long totalBytes = 0;
        int link = 0;
        Clock::time_point lastByte{};
        Clock::time_point entered{};
        std::vector<std::string> records;
    };
    void finish(Actions& out, int status, const std::string& error);

    PrinterState& p_;
    State fw_;
};

} // namespace vp
