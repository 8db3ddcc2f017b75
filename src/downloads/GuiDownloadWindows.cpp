#include "downloads/FormDLF.h"
#include "downloads/FormDLFile.h"
#include "downloads/FormDLUF.h"
#include "downloads/FormGDL.h"
#include "gui/GuiWindowRegistry.h"

namespace pellum {

namespace {

template <typename Window> void OpenModally(QWidget* parent, const PrinterTarget& printer) {
    Window window(printer, parent);
    window.exec();
}

} // namespace

// Registers the download windows (files, fonts, firmware package).
void RegisterDownloadWindows() {
    RegisterWindow(QStringLiteral("TfrmDLFile"), OpenModally<TfrmDLFile>);
    RegisterWindow(QStringLiteral("TfrmGDL"), OpenModally<TfrmGDL>);
    RegisterWindow(QStringLiteral("TfrmDLF"), OpenModally<TfrmDLF>);
    RegisterWindow(QStringLiteral("TfrmDLUF"), OpenModally<TfrmDLUF>);
}

} // namespace pellum
