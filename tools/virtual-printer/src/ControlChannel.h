// The control channel's commands: look at and change the printer without its
// protocols (block, keys, files, emulation), save its state, set faults. One
// command line in, one answer line ("OK ..." or "ERR ...") out.
#pragma once

#include "BlockProtocol.h"
#include "PrinterState.h"

namespace vp {

class ControlChannel {
public:
    ControlChannel(PrinterState& printer, const BlockProtocol& block)
        : p_(printer), block_(block) {}

    std::string command(const std::string& line);

private:
    PrinterState& p_;
    const BlockProtocol& block_;
};

} // namespace vp
