#include "cli/CliCommon.h"

namespace pellumctl {

// Stored files, fonts and firmware packages.
QList<Command> DownloadCommands() { return {}; }

} // namespace pellumctl
