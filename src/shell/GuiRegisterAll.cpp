#include "shell/GuiWindowRegistry.h"

namespace pellum {

void RegisterSettingsWindows();

void RegisterAllWindows() { RegisterSettingsWindows(); }

} // namespace pellum
