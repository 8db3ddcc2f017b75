// The user's printer list, "PrinterList.txt": one printer per non-blank
// line, three fields separated by '|': model, port type, port string.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

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

// The entries of "PrinterList.txt". When the file holds none (missing, empty
// or only blank lines) it is first written with the single entry
// ModelList[0]|USB|USB. When ModelList is empty as well nothing is written
// (a line without a model would only fail later) and the list is empty.
QList<Entry> LoadPrinterList();

// Rewrites the file after a deletion: an empty first line, then one line per
// entry in order. False with the system's error text in `error` when the file
// could not be written; the old file is then left as it was.
bool SavePrinterList(const QList<Entry>& entries, QString* error);

// Appends one line to the end of the file (the editor's "Add").
bool AppendEntryLine(const QString& line, QString* error);

// Replaces the entry at `index` (position among the non-blank lines) with
// `line` and rewrites the whole file, one entry per line (the editor's
// "Modify"). An index past the end appends the line.
bool ReplaceEntryLine(int index, const QString& line, QString* error);

// Replaces `path` with `bytes` atomically: a temporary file beside it is
// written, flushed to disk and renamed over the old one, then the folder is
// synced. On any failure the old file is untouched and `error` holds the
// system's text.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error);

// The serial ("COM") or parallel ("LPT") ports of this machine as the editor
// offers them ("COM1:"), including those that files/PortMap.ini adds.
QStringList EnumSystemPorts(const QString& kind);

} // namespace PrinterList
