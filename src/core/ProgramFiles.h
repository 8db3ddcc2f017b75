// The program folder and the data files beside it.
//
// Set once at start-up (from the running executable's folder, or by a test);
// read by every layer afterwards.
#pragma once

#include <QString>
#include <QStringList>

namespace pellum::files {

// File names inside FilesFolder.
inline const QString kLanguageFile = QStringLiteral("PellumLanguage.ini");
inline const QString kModelListFile = QStringLiteral("PrinterTypeList_Label.ini");
inline const QString kMapFile = QStringLiteral("PrinterMap.ini");
inline const QString kModelFile = QStringLiteral("CompanyPrinterList_Label.txt");
inline const QString kPrinterListFile = QStringLiteral("PrinterList.txt");
inline const QString kModelListSection = QStringLiteral("ParameterSet");
// Library model name used when "PrinterMap.ini" names none for a model.
inline const QString kDefaultSdkModel = QStringLiteral("Spruce");

inline QString ProgramFolder;       // folder of the program, trailing '/'
inline QString FilesFolder;         // ProgramFolder + "files/"
inline QString ConvertedBitmapPath; // ProgramFolder + "CBT.bmp"
inline QStringList ModelList;       // lines of CompanyPrinterList_Label.txt

// Sets ProgramFolder and the paths derived from it.
void SetProgramFolder(const QString& folder);

// The window icon: ProgramFolder + "icons/icon.ico".
QString IconPath();

} // namespace pellum::files
