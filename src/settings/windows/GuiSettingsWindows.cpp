#include "gui/GuiWindowRegistry.h"
#include "settings/SettingsTables.h"
#include "settings/windows/FormParaSetWindows.h"
#include "settings/windows/FormParaSet_Kapok.h"
#include "settings/windows/FormParaSet_Larch.h"

namespace pellum {

// Registers the settings windows with the main window's window table.
void RegisterSettingsWindows() {
    for (const SettingsTables::WindowSpec& spec : SettingsTables::AllWindows()) {
        const QString name = spec.className;
        RegisterWindow(name, [name](QWidget* parent, const PrinterTarget& printer) {
            std::unique_ptr<FormParaSetEngine> window = CreateSettingsWindow(name, printer, parent);
            if (window)
                window->exec();
        });
    }
    RegisterWindow(QStringLiteral("T_frmParaSet_Kapok"),
                   [](QWidget* parent, const PrinterTarget& printer) {
                       T_frmParaSet_Kapok(printer, parent).exec();
                   });
    RegisterWindow(QStringLiteral("T_frmParaSet_Larch"),
                   [](QWidget* parent, const PrinterTarget& printer) {
                       T_frmParaSet_Larch(printer, parent).exec();
                   });
}

} // namespace pellum
