#include "shell/PrinterList.h"

#include "shell/mdlFunction.h"
#include "shell/mdlGlobal.h"

namespace PrinterList {

QString FilePath() { return mdlGlobal::FilesFolder + mdlGlobal::kPrinterListFile; }

QList<Entry> ReadEntries(const QString& path) {
    QList<Entry> entries;
    for (const QString& line : mdlFunction::ReadListFile(path)) {
        const QStringList fields = mdlFunction::SplitText(line, QLatin1Char('|'));
        Entry e;
        e.model = fields.value(0);
        e.portType = fields.value(1);
        e.port = fields.value(2);
        entries.append(e);
    }
    return entries;
}

QString EntryLine(const Entry& entry) {
    return entry.model + QLatin1Char('|') + entry.portType + QLatin1Char('|') + entry.port;
}

} // namespace PrinterList
