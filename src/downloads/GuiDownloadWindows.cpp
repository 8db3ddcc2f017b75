#include "shell/GuiWindowRegistry.h"

namespace pellum {

// Registers the download windows (files, fonts, firmware package).
void RegisterDownloadWindows() {}

} // namespace pellum
