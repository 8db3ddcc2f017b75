#include "core/OptionTables.h"
#include "diagnostics/FormCommandTest.h"
#include "diagnostics/FormPrintText.h"
#include "diagnostics/FormPrintText_Label.h"
#include "diagnostics/FormPrinterInformation.h"
#include "gui/GuiWindowRegistry.h"

namespace pellum {

// Registers the command console, printer information and test-printing windows.
void RegisterDiagnosticsWindows() {
    RegisterWindow(QStringLiteral("T_frmCommandTest"),
                   [](QWidget* parent, const PrinterTarget& printer) {
                       T_frmCommandTest window(printer, parent);
                       window.exec();
                   });
    RegisterWindow(QStringLiteral("T_frmPrinterInformation"),
                   [](QWidget* parent, const PrinterTarget& printer) {
                       T_frmPrinterInformation window(printer, parent);
                       window.exec();
                   });
    // The label window gets the selected model's paper width.
    RegisterWindow(
        QStringLiteral("T_frmPrintTextLabel"), [](QWidget* parent, const PrinterTarget& printer) {
            T_frmPrintTextLabel window(printer, OptionTables::GetPaperWidth(printer.model), parent);
            window.exec();
        });
    RegisterWindow(QStringLiteral("T_frmPrintText"),
                   [](QWidget* parent, const PrinterTarget& printer) {
                       T_frmPrintText window(printer, parent);
                       window.exec();
                   });
}

} // namespace pellum
