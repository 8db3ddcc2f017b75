#include "gui/GuiWindowRegistry.h"

namespace pellum {

// Each area registers its windows under their class names.
void RegisterSettingsWindows();
void RegisterDownloadWindows();
void RegisterDiagnosticsWindows();

void RegisterAllWindows() {
    RegisterSettingsWindows();
    RegisterDownloadWindows();
    RegisterDiagnosticsWindows();
}

} // namespace pellum
