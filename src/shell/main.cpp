// The desktop program: the main window and, through it, every tool window.
#include "platform/ProgramFolder.h"
#include "shell/FormMain_Label_Dealer.h"
#include "shell/GuiDialogs.h"
#include "shell/GuiWindowRegistry.h"

#include <QApplication>

int main(int argc, char** argv) {
    // Qt's image decoders serve the picture conversion; they need no start-up
    // of their own and live as long as the application object.
    QApplication app(argc, argv);
    pellum::GuiDialogs dialogs;
    pellum::SetDialogs(&dialogs);
    pellum::RegisterAllWindows();

    QStringList args = app.arguments();
    args.removeFirst();
    int rc = 0;
    {
        // The start-up steps run when the window is first shown.
        T_frmMain_Label_Dealer window(args, pellum::ExecutableFolder());
        window.SetLoadLibraries(true);
        window.show();
        rc = app.exec();
    }
    pellum::SetDialogs(nullptr);
    return rc;
}
