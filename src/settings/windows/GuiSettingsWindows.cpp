#include "shell/GuiWindowRegistry.h"

namespace pellum {

// Registers the settings windows with the main window's window table.
void RegisterSettingsWindows() {}

} // namespace pellum
