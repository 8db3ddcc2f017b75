#include "core/ProgramFiles.h"

namespace pellum::files {

void SetProgramFolder(const QString& folder) {
    ProgramFolder = folder;
    if (!ProgramFolder.endsWith(QLatin1Char('/')))
        ProgramFolder += QLatin1Char('/');
    FilesFolder = ProgramFolder + QStringLiteral("files/");
    ConvertedBitmapPath = ProgramFolder + QStringLiteral("CBT.bmp");
}

QString IconPath() {
    return ProgramFolder + QStringLiteral("icons/icon.ico");
}

} // namespace pellum::files
