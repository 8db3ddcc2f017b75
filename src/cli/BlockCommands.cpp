#include "cli/CliCommon.h"

namespace pellumctl {

// block and settings.
QList<Command> BlockCommands() { return {}; }

} // namespace pellumctl
