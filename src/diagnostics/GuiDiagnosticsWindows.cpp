#include "core/OptionTables.h"
#include "diagnostics/FormCommandTest.h"
#include "diagnostics/FormPrintText.h"
#include "diagnostics/FormPrintText_Label.h"
#include "diagnostics/FormPrinterInformation.h"
#include "gui/GuiWindowRegistry.h"

namespace pellum {

// Registers the command console, printer information and test-printing windows.
void RegisterDiagnosticsWindows() {
    RegisterWindow(QStringLiteral("T_frmCommandTest"), [](QWidget* parent) {
        T_frmCommandTest window(parent);
        window.exec();
    });
    RegisterWindow(QStringLiteral("T_frmPrinterInformation"), [](QWidget* parent) {
        T_frmPrinterInformation window(parent);
        window.exec();
    });
    // The label window gets the selected model's paper width.
    RegisterWindow(QStringLiteral("T_frmPrintTextLabel"), [](QWidget* parent) {
        T_frmPrintTextLabel window(OptionTables::GetPaperWidth(), parent);
        window.exec();
    });
    RegisterWindow(QStringLiteral("T_frmPrintText"), [](QWidget* parent) {
        T_frmPrintText window(parent);
        window.exec();
    });
}

} // namespace pellum
