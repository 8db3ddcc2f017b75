// The state that every window and module of the program shares.
//
// One instance for the whole process. The paths and lists are set at
// start-up; the selected printer (CurrentModel, SdkModel, CurrentPort) changes
// when the user selects a printer-list entry; CurrentFamily is the command
// language of the selected printer for the function that is running;
// LastResultCode is the result of the latest connection step.
#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>

namespace mdlGlobal {

// File names inside FilesFolder.
inline const QString kLanguageFile = QStringLiteral("PellumLanguage.ini");
inline const QString kModelListFile = QStringLiteral("PrinterTypeList_Label.ini");
inline const QString kMapFile = QStringLiteral("PrinterMap.ini");
inline const QString kModelFile = QStringLiteral("CompanyPrinterList_Label.txt");
inline const QString kPrinterListFile = QStringLiteral("PrinterList.txt");
inline const QString kModelListSection = QStringLiteral("ParameterSet");
// Library model name used when "PrinterMap.ini" names none for a model.
inline const QString kDefaultSdkModel = QStringLiteral("Spruce");

// Command-language families (CurrentFamily).
enum Family : std::int32_t {
    FamilyESC = 0,
    FamilyTSPL = 1,
    FamilyCPCL = 3,
    FamilyZPL = 4,
    FamilyEPL = 5,
};

inline QString ProgramFolder;       // folder of the program, trailing '/'
inline QString FilesFolder;         // ProgramFolder + "files/"
inline QString ConvertedBitmapPath; // ProgramFolder + "CBT.bmp"
inline QStringList ModelList;       // lines of CompanyPrinterList_Label.txt
inline QString LanguageId;          // language section in use, e.g. "2052"

inline QString CurrentModel;
inline QString SdkModel;
inline QString CurrentPort = QStringLiteral("USB");
// Touched by the download threads as well as the user-interface thread.
inline std::atomic<std::int32_t> CurrentFamily{FamilyTSPL};
inline std::atomic<std::int32_t> LastResultCode{0};

// Sets ProgramFolder and the paths derived from it.
void SetProgramFolder(const QString& folder);

// The window icon: ProgramFolder + "icons/icon.ico".
QString IconPath();

} // namespace mdlGlobal
