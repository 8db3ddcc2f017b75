// Identity queries (emulation 1B 1B 08, ZZZGETVERSION, ZZZGETJOURNEY, ZZZGETSN)
// and the service commands (self test, learn, density test, firmware-update
// mode, configuration page, factory defaults, module test, ESC standard mode).
#pragma once

#include "PrinterState.h"

namespace vp {

class ServiceCommands {
public:
    explicit ServiceCommands(PrinterState& printer) : p_(printer) {}

    // The commands of fixed bytes (ESC forms).
    static const std::vector<FixedCommand>& commands();
    void command(int link, const FixedCommand& c, Actions& out);
    // A whole text line (its line end removed in s); false when it is not one
    // of the text commands.
    bool textLine(int link, const Bytes& line, const std::string& s, Actions& out);

private:
    PrinterState& p_;
};

} // namespace vp
