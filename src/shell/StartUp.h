// The start-up steps that the desktop program and pellumctl share.
#pragma once

#include <QString>
#include <QStringList>

namespace StartUp {

// Fixes ProgramFolder, FilesFolder (`filesFolder` when given, else
// ProgramFolder + "files/"), ConvertedBitmapPath, and reads ModelList from
// "CompanyPrinterList_Label.txt".
void InitialiseFolders(const QString& programFolder, const QString& filesFolder = QString());

// Chooses the language (after any command-line switch), loads the message
// table and reads the language font.
void InitialiseLanguage();

// Loads the three printer libraries from ProgramFolder. The port map of
// FilesFolder is handed to them (PELLUM_PORTMAP) unless the environment names
// one already. Returns one line per problem; empty when all loaded.
QStringList LoadLibraries();

} // namespace StartUp
