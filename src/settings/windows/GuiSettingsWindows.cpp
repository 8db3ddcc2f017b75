#include "settings/windows/FormParaSetWindows.h"
#include "settings/windows/SettingsTables.h"
#include "shell/GuiWindowRegistry.h"

namespace pellum {

// Registers the settings windows with the main window's window table.
void RegisterSettingsWindows() {
    for (const SettingsTables::WindowSpec& spec : SettingsTables::AllWindows()) {
        const QString name = spec.className;
        RegisterWindow(name, [name](QWidget* parent) {
            std::unique_ptr<FormParaSetEngine> window = CreateSettingsWindow(name, parent);
            if (window)
                window->exec();
        });
    }
}

} // namespace pellum
