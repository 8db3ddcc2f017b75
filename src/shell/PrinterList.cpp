#include "shell/PrinterList.h"

#include "core/ProgramFiles.h"
#include "core/TextTools.h"
#include "platform/AnsiCodec.h"
#include "platform/SystemPorts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace PrinterList {

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

QByteArray LineBytes(const QString& line) {
    return pellum::ToAnsi(line) + kLineEnd;
}

// Makes the rename of a file in `folder` durable.
void SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

QString FilePath() {
    return pellum::files::FilesFolder + pellum::files::kPrinterListFile;
}

QList<Entry> ReadEntries(const QString& path) {
    QList<Entry> entries;
    for (const QString& line : pellum::text::ReadListFile(path)) {
        const QStringList fields = pellum::text::SplitText(line, QLatin1Char('|'));
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

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    QSaveFile file(path);
    // Unbuffered: every short write is seen here. A buffered QSaveFile can
    // take a write that stopped part-way (a full disk, a file-size limit) for
    // a complete one and commit a truncated file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            const QString text = file.errorString();
            file.cancelWriting();
            return fail(text);
        }
        done += n;
    }
    if (::fsync(file.handle()) != 0) {
        const QString text = QString::fromLocal8Bit(std::strerror(errno));
        file.cancelWriting();
        return fail(text);
    }
    // commit() renames the temporary file over the old one; on failure the
    // temporary file is removed and the old one stays.
    if (!file.commit())
        return fail(file.errorString());
    SyncFolder(QFileInfo(path).absolutePath());
    return true;
}

QList<Entry> LoadPrinterList() {
    const QString path = FilePath();
    QList<Entry> entries = ReadEntries(path);
    if (!entries.isEmpty() || pellum::files::ModelList.isEmpty())
        return entries;
    const Entry first{pellum::files::ModelList.first(), QStringLiteral("USB"),
                      QStringLiteral("USB")};
    // A folder that cannot be written still gets the entry for this run.
    QString ignored;
    WriteFileAtomically(path, LineBytes(EntryLine(first)), &ignored);
    entries = ReadEntries(path);
    if (entries.isEmpty())
        entries.append(first);
    return entries;
}

bool SavePrinterList(const QList<Entry>& entries, QString* error) {
    QByteArray bytes = kLineEnd;
    for (const Entry& e : entries)
        bytes += LineBytes(EntryLine(e));
    return WriteFileAtomically(FilePath(), bytes, error);
}

bool AppendEntryLine(const QString& line, QString* error) {
    const QString path = FilePath();
    QByteArray bytes;
    QFile old(path);
    if (old.exists()) {
        if (!old.open(QIODevice::ReadOnly)) {
            if (error)
                *error = old.errorString();
            return false;
        }
        bytes = old.readAll();
        old.close();
    }
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        bytes += kLineEnd;
    bytes += LineBytes(line);
    return WriteFileAtomically(path, bytes, error);
}

bool ReplaceEntryLine(int index, const QString& line, QString* error) {
    const QString path = FilePath();
    if (QFile::exists(path)) {
        QFile probe(path);
        if (!probe.open(QIODevice::ReadOnly)) {
            if (error)
                *error = probe.errorString();
            return false;
        }
    }
    // The other entries keep their lines exactly as they were.
    QStringList lines = pellum::text::ReadListFile(path);
    if (index >= 0 && index < lines.size())
        lines[index] = line;
    else
        lines.append(line);
    QByteArray bytes;
    for (const QString& l : lines)
        bytes += LineBytes(l);
    return WriteFileAtomically(path, bytes, error);
}

QStringList EnumSystemPorts(const QString& kind) {
    QStringList names;
    for (const pellum::SystemPort& port : pellum::EnumerateSystemPorts(
             kind, pellum::files::FilesFolder + QStringLiteral("PortMap.ini")))
        if (port.name.left(3) == kind)
            names.append(port.name);
    return names;
}

} // namespace PrinterList
