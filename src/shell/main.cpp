// The desktop program.
#include "platform/ProgramFolder.h"
#include "shell/GuiDialogs.h"
#include "shell/GuiWindowRegistry.h"
#include "shell/Localization.h"
#include "shell/StartUp.h"
#include "shell/mdlGlobal.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    pellum::GuiDialogs dialogs;
    pellum::SetDialogs(&dialogs);
    pellum::RegisterAllWindows();

    QStringList args = app.arguments();
    args.removeFirst();
    Localization::ApplyCommandLineSwitch(args);
    StartUp::InitialiseFolders(pellum::ExecutableFolder());
    StartUp::InitialiseLanguage();
    const QStringList problems = StartUp::LoadLibraries();
    if (!problems.isEmpty())
        Localization::ErrorBox(problems.join(QLatin1Char('\n')));

    QMainWindow window;
    window.setWindowTitle(Localization::LangText(QStringLiteral("FormMain_Label_Caption")));
    window.show();
    int rc = app.exec();
    pellum::SetDialogs(nullptr);
    return rc;
}
