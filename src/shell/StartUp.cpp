#include "shell/StartUp.h"

#include "connection/PrinterLibraries.h"
#include "shell/Localization.h"
#include "shell/mdlFunction.h"
#include "shell/mdlGlobal.h"

namespace StartUp {

void InitialiseFolders(const QString& programFolder, const QString& filesFolder) {
    mdlGlobal::SetProgramFolder(programFolder);
    if (!filesFolder.isEmpty()) {
        mdlGlobal::FilesFolder = filesFolder;
        if (!mdlGlobal::FilesFolder.endsWith(QLatin1Char('/')))
            mdlGlobal::FilesFolder += QLatin1Char('/');
    }
    mdlGlobal::ModelList = mdlFunction::ReadListFile(mdlGlobal::FilesFolder + mdlGlobal::kModelFile);
}

void InitialiseLanguage() {
    Localization::ChooseLanguage();
    Localization::LoadMessageTable();
    Localization::ReadLanguageFont();
}

QStringList LoadLibraries() {
    if (qEnvironmentVariableIsEmpty("PELLUM_PORTMAP"))
        qputenv("PELLUM_PORTMAP", (mdlGlobal::FilesFolder + QStringLiteral("PortMap.ini")).toLocal8Bit());
    QStringList problems;
    pellum::connection::LoadPrinterLibraries(mdlGlobal::ProgramFolder, &problems);
    return problems;
}

} // namespace StartUp
