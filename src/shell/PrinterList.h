// The user's printer list, "PrinterList.txt": one printer per non-blank
// line, three fields separated by '|': model, port type, port string.
#pragma once

#include <QList>
#include <QString>

namespace PrinterList {

struct Entry {
    QString model;
    QString portType; // "USB", "COM", "LPT" or "NET"
    QString port;     // the port string handed to the printer library
};

// Full path of the list file (FilesFolder + "PrinterList.txt").
QString FilePath();

// The entries of the file as it is (blank lines skipped, fields past the
// third ignored, missing fields read as empty). No default entry is made.
QList<Entry> ReadEntries(const QString& path);

// The line of an entry: model|portType|port.
QString EntryLine(const Entry& entry);

} // namespace PrinterList
