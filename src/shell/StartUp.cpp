#include "shell/StartUp.h"

#include "connection/PrinterLibraries.h"
#include "core/Localization.h"
#include "core/ProgramFiles.h"
#include "core/TextTools.h"

namespace StartUp {

void InitialiseFolders(const QString& programFolder, const QString& filesFolder) {
    pellum::files::SetProgramFolder(programFolder);
    if (!filesFolder.isEmpty()) {
        pellum::files::FilesFolder = filesFolder;
        if (!pellum::files::FilesFolder.endsWith(QLatin1Char('/')))
            pellum::files::FilesFolder += QLatin1Char('/');
    }
    pellum::files::ModelList =
        pellum::text::ReadListFile(pellum::files::FilesFolder + pellum::files::kModelFile);
}

void InitialiseLanguage() {
    pellum::lang::ChooseLanguage();
    pellum::lang::LoadMessageTable();
    pellum::lang::ReadLanguageFont();
}

QStringList LoadLibraries() {
    if (qEnvironmentVariableIsEmpty("PELLUM_PORTMAP"))
        qputenv("PELLUM_PORTMAP",
                (pellum::files::FilesFolder + QStringLiteral("PortMap.ini")).toLocal8Bit());
    QStringList problems;
    pellum::connection::LoadPrinterLibraries(pellum::files::ProgramFolder, &problems);
    return problems;
}

} // namespace StartUp
