#include "shell/GuiWindowRegistry.h"

namespace pellum {

// Registers the command console, printer information and test-printing windows.
void RegisterDiagnosticsWindows() {}

} // namespace pellum
