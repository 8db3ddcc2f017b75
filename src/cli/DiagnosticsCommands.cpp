#include "cli/CliCommon.h"

namespace pellumctl {

// Printer information and test printing.
QList<Command> DiagnosticsCommands() { return {}; }

} // namespace pellumctl
