#include "cli/CliCommon.h"

namespace pellumctl {

// getval, setval, do, identity and service.
QList<Command> KeyValueCommands() { return {}; }

} // namespace pellumctl
