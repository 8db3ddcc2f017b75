// The desktop program: the main window and, through it, every tool window.
#include "gui/GuiDialogPlacement.h"
#include "gui/GuiDialogs.h"
#include "gui/GuiWindowRegistry.h"
#include "platform/ProgramFolder.h"
#include "shell/FormMain_Label_Dealer.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>

namespace {

// With PELLUM_STARTUP_PROBE set, the program reports its memory once the main
// window is up and the first events are handled, then ends: the start-up
// benchmark measures the time to that line.
void ReportStartupAndQuit() {
    QFile status(QStringLiteral("/proc/self/status"));
    QByteArray rss, peak;
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                rss = line.mid(6).trimmed();
            else if (line.startsWith("VmHWM:"))
                peak = line.mid(6).trimmed();
        }
    std::fprintf(stderr, "startup-probe shown rss=%s peak=%s\n", rss.constData(), peak.constData());
    std::fflush(stderr);
    QCoreApplication::exit(0);
}

} // namespace

int main(int argc, char** argv) {
    // Qt's image decoders serve the picture conversion; they need no start-up
    // of their own and live as long as the application object.
    QApplication app(argc, argv);
    pellum::CentreDialogsOnTheirParents(app);
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
        if (qEnvironmentVariableIsSet("PELLUM_STARTUP_PROBE"))
            QTimer::singleShot(0, &window, ReportStartupAndQuit);
        rc = app.exec();
    }
    pellum::SetDialogs(nullptr);
    return rc;
}
