// pellumctl files and firmware: what a key-value printer stores, picture
// downloads in acknowledged packets, deletions and firmware packages. The
// same engine as the file and firmware windows, without the threads: the
// packets are sent on the calling thread.
#include "cli/CliCommon.h"

#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "core/ProgramFiles.h"
#include "downloads/FirmwarePackage.h"
#include "downloads/ImageConversion.h"
#include "downloads/PacketDownload.h"
#include "settings/PrinterCMD.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace pellumctl {

namespace {

using namespace PacketDownload;

QString Msg(const char* key) {
    return pellum::lang::Msg(QLatin1String(key));
}
QString Text(const char* key) {
    return pellum::lang::LangText(QLatin1String(key));
}

int UsageError(const QString& text) {
    return Fail(QStringLiteral("pellumctl: ") + text, kExitUsage);
}

const QStringList& StorageClasses() {
    static const QStringList classes = {kClassBitmaps, kClassFonts, kClassLabels, kClassAutoform};
    return classes;
}

// Holds the connection for one command and releases it on every way out.
class HeldConnection {
public:
    explicit HeldConnection(pellum::PrinterSession& session)
        : m_session(session),
          m_ok(CreateSelectedPrinter(session) && PrinterCMD::CmdHoldOpen(session)) {}
    ~HeldConnection() { PrinterCMD::CmdRelease(m_session); }
    HeldConnection(const HeldConnection&) = delete;
    HeldConnection& operator=(const HeldConnection&) = delete;
    bool ok() const { return m_ok; }

private:
    pellum::PrinterSession& m_session;
    bool m_ok;
};

int FilesList(pellum::PrinterSession& session, const QStringList& args) {
    if (args.size() > 1 || (args.size() == 1 && !StorageClasses().contains(args[0])))
        return UsageError(QStringLiteral("files list takes one of bitmaps, fonts, labels, "
                                         "autoform"));
    const QStringList classes = args.isEmpty() ? StorageClasses() : args;
    HeldConnection connection(session);
    if (!connection.ok())
        return kExitFailed;
    for (const QString& storageClass : classes) {
        const QString reply = PrinterCMD::CmdGetVal(session, storageClass);
        if (session.LastResult() != 0)
            return FailWithCode(Msg("_Err_ReadData"), session.LastResult());
        for (const QString& entry : reply.split(QLatin1Char(','), Qt::SkipEmptyParts))
            Print(storageClass + QLatin1Char(' ') + entry);
    }
    return kExitOk;
}

int FilesSpace(pellum::PrinterSession& session, const QStringList& args) {
    if (args.size() > 1 || (args.size() == 1 && args[0] != QLatin1String("--ram")))
        return UsageError(QStringLiteral("files space takes only --ram"));
    HeldConnection connection(session);
    if (!connection.ok())
        return kExitFailed;
    CapacityInfo info;
    if (!QueryCapacity(session, !args.isEmpty(), &info))
        return FailWithCode(Msg("_Err_ReadData"), session.LastResult());
    Print(QStringLiteral("used: ") + info.used);
    Print(QStringLiteral("remaining: ") + info.remaining);
    return kExitOk;
}

int FilesDownload(pellum::PrinterSession& session, const QStringList& args) {
    QString path, name;
    bool ram = false;
    float scale = 1.0f;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--ram")) {
            ram = true;
        } else if (a == QLatin1String("--name") && i + 1 < args.size()) {
            name = args[++i];
        } else if (a == QLatin1String("--scale") && i + 1 < args.size()) {
            const QString s = args[++i];
            if (!ImageConversion::ScaleFactorItems().contains(s))
                return UsageError(QStringLiteral("--scale takes one of ") +
                                  ImageConversion::ScaleFactorItems().join(QStringLiteral(", ")));
            scale = s.toFloat();
        } else if (!a.startsWith(QLatin1String("--")) && path.isEmpty()) {
            path = a;
        } else {
            return UsageError(QStringLiteral("files download PICTURE [--name NAME] [--ram] "
                                             "[--scale F]"));
        }
    }
    if (path.isEmpty())
        return UsageError(QStringLiteral("files download needs a PICTURE"));
    if (name.isEmpty())
        name = QFileInfo(path).fileName();
    if (const QString problem = CheckDownloadFileName(name); !problem.isEmpty())
        return Fail(problem);
    if (!name.contains(QLatin1Char('.')))
        return UsageError(QStringLiteral("the stored name needs a three-letter extension"));
    const QString stored =
        name.left(name.lastIndexOf(QLatin1Char('.')) + 1) + QStringLiteral("GRF");
    if (!QFileInfo(path).isFile())
        return Fail(Msg("_Err_FileNotExist"));

    HeldConnection connection(session);
    if (!connection.ok())
        return kExitFailed;
    try {
        const auto widthLimit = [&session] {
            return ImageConversion::MaxImageWidth(
                PrinterCMD::CmdGetVal(session, QStringLiteral("dpi")).trimmed().toInt());
        };
        if (!ImageConversion::ConvertForDownload(path, pellum::files::ConvertedBitmapPath, scale,
                                                 widthLimit, &DownloadState::DownloadData))
            return kExitFailed;
    } catch (const ImageConversion::ImageError& e) {
        return Fail(e.text());
    }
    if (!QueryCapacity(session, ram, nullptr))
        return FailWithCode(Msg("_Err_ReadData"), session.LastResult());
    if (DownloadState::FreeCapacity < DownloadState::DownloadData.size())
        return Fail(Text("mNoSP"));
    if (!AnnounceDownload(session, kClassBitmaps, MemoryPrefix(ram) + stored))
        return FailWithCode(Text("FormGDL_ErrIO"), session.LastResult());
    DownloadState::DownloadFileName = stored;
    DownloadState::PacketSize = kPacketSize;
    DownloadState::KbPerPacket = 1;
    DownloadState::PacketIndex = 0;
    DownloadState::PacketCount = PacketCountFor(DownloadState::DownloadData.size());
    DownloadState::DownloadCancelled = false;
    TDLThread::Options options;
    options.ram = ram;
    TDLThread sender(session, options, {});
    const SendOutcome outcome = sender.Execute();
    if (outcome != SendOutcome::Completed)
        return kExitFailed; // the sender has printed why
    Print(QStringLiteral("%1%2: %3 bytes in %4 packets")
              .arg(MemoryPrefix(ram), stored)
              .arg(DownloadState::DownloadData.size())
              .arg(DownloadState::PacketCount.load()));
    return kExitOk;
}

int FilesDelete(pellum::PrinterSession& session, const QStringList& args) {
    if (args.size() != 2 || !StorageClasses().contains(args[0]) || args[1].isEmpty())
        return UsageError(QStringLiteral("files delete CLASS NAME (CLASS one of bitmaps, "
                                         "fonts, labels, autoform)"));
    if (args[1].contains(QLatin1Char('"')))
        return UsageError(QStringLiteral("a name may not contain a double quote"));
    // A name without its memory prefix is taken from the storage memory.
    QString name = args[1];
    if (!name.startsWith(QLatin1String("R_")) && !name.startsWith(QLatin1String("E_")) &&
        args[0] != kClassAutoform)
        name = MemoryPrefix(false) + name;
    HeldConnection connection(session);
    if (!connection.ok())
        return kExitFailed;
    PrinterCMD::CmdDoArgs(session, QStringLiteral("delete"), args[0], name);
    if (session.LastResult() != 0)
        return FailWithCode(Msg("_Err_WriteData"), session.LastResult());
    return kExitOk;
}

int Files(pellum::PrinterSession& session, const QStringList& args) {
    const QString sub = args.value(0);
    const QStringList rest = args.mid(1);
    if (sub == QLatin1String("list"))
        return FilesList(session, rest);
    if (sub == QLatin1String("space"))
        return FilesSpace(session, rest);
    if (sub == QLatin1String("download"))
        return FilesDownload(session, rest);
    if (sub == QLatin1String("delete"))
        return FilesDelete(session, rest);
    return UsageError(QStringLiteral("files needs list, space, download or delete"));
}

// Writes `bytes` to `path` whole, or says why not.
bool WriteOutput(const QString& path, const QByteArray& bytes) {
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        Fail(QStringLiteral("Cannot write file \"%1\": %2").arg(path, out.errorString()));
        return false;
    }
    return true;
}

// The conversion of a picture download without a printer: the same rules,
// refusals and messages, at a resolution given on the command line.
int ImageConvert(const QStringList& args) {
    const QString usage = QStringLiteral(
        "image convert FILE [--scale F] [--dpi N] [--png PREVIEW.png] [--out RECORD]");
    QString path, png, out;
    float scale = 1.0f;
    int dpi = 203;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--scale") && hasValue) {
            const QString s = args[++i];
            if (!ImageConversion::ScaleFactorItems().contains(s))
                return UsageError(QStringLiteral("--scale takes one of ") +
                                  ImageConversion::ScaleFactorItems().join(QStringLiteral(", ")));
            scale = s.toFloat();
        } else if (a == QLatin1String("--dpi") && hasValue) {
            bool ok = false;
            dpi = args[++i].toInt(&ok);
            if (!ok || dpi <= 0)
                return UsageError(QStringLiteral("--dpi takes a resolution in dots per inch"));
        } else if (a == QLatin1String("--png") && hasValue) {
            png = args[++i];
        } else if (a == QLatin1String("--out") && hasValue) {
            out = args[++i];
        } else if (!a.startsWith(QLatin1String("--")) && path.isEmpty()) {
            path = a;
        } else {
            return UsageError(usage);
        }
    }
    if (path.isEmpty())
        return UsageError(usage);
    QByteArray record;
    ImageConversion::MonoBitmap bitmap;
    try {
        const auto widthLimit = [dpi] { return ImageConversion::MaxImageWidth(dpi); };
        if (!ImageConversion::ConvertForDownload(path, QString(), scale, widthLimit, &record,
                                                 &bitmap))
            return kExitFailed;
        if (!png.isEmpty() && !WriteOutput(png, ImageConversion::EncodeMonoPng(bitmap)))
            return kExitFailed;
    } catch (const ImageConversion::ImageError& e) {
        return Fail(e.text());
    }
    if (!out.isEmpty() && !WriteOutput(out, record))
        return kExitFailed;
    const auto mm = [dpi](int dots) { return QString::number(dots * 25.4 / dpi, 'f', 2); };
    Print(QStringLiteral("dots: %1 x %2").arg(bitmap.width).arg(bitmap.height));
    Print(
        QStringLiteral("mm: %1 x %2 at %3 dpi").arg(mm(bitmap.width), mm(bitmap.height)).arg(dpi));
    return kExitOk;
}

int Image(pellum::PrinterSession&, const QStringList& args) {
    if (args.value(0) != QLatin1String("convert"))
        return UsageError(QStringLiteral("image needs convert"));
    return ImageConvert(args.mid(1));
}

int Firmware(pellum::PrinterSession& session, const QStringList& args) {
    if (args.size() != 2 || args[0] != QLatin1String("download"))
        return UsageError(QStringLiteral("firmware download PACKAGE"));
    QFile f(args[1]);
    if (!f.open(QIODevice::ReadOnly))
        return Fail(Msg("_Err_FileNotExist"));
    const QByteArray package = f.readAll();
    QList<FirmwarePackage::Record> records;
    if (!FirmwarePackage::ReadRecords(package, &records))
        return Fail(Text("FormGDL_err_Package"));
    for (const FirmwarePackage::Record& r : records)
        Print(QStringLiteral("record %1 type %2 version %3: %4 bytes")
                  .arg(r.name)
                  .arg(r.type)
                  .arg(r.version)
                  .arg(r.bodySize));
    if (!CreateSelectedPrinter(session))
        return kExitFailed;
    PrinterCMD::CmdDo(session, QStringLiteral("dfu"));
    if (session.LastResult() != 0)
        return FailWithCode(Msg("_Err_WriteData"), session.LastResult());
    const std::int32_t rc = session.Tspl().Open(session.Port());
    session.SetLastResult(rc);
    if (rc != 0 && rc != 5)
        return FailWithCode(Msg("_Err_OpenPort"), rc);
    FirmwarePackage::Sender sender(session, package);
    FirmwarePackage::Sender::Result result;
    while ((result = sender.Step()) == FirmwarePackage::Sender::Result::Continue) {
    }
    if (result != FirmwarePackage::Sender::Result::Done) {
        session.Tspl().Close();
        return kExitFailed; // the sender has printed the printer's reason
    }
    Print(QStringLiteral("%1 steps sent").arg(sender.stepsDone()));
    return kExitOk;
}

} // namespace

QList<Command> DownloadCommands() {
    return {
        {QStringLiteral("files"),
         QStringLiteral("files list [bitmaps|fonts|labels|autoform]  stored files, one per line\n"
                        "files space [--ram]  used and remaining memory in bytes\n"
                        "files download PICTURE [--name NAME] [--ram] [--scale F]  convert and "
                        "store a picture\n"
                        "files delete CLASS NAME  delete a stored file (E_ unless the name has "
                        "R_ or E_)"),
         Files},
        {QStringLiteral("image"),
         QStringLiteral("image convert FILE [--scale F] [--dpi N] [--png PREVIEW.png] [--out "
                        "RECORD]  convert a picture as a download would, without a printer "
                        "(203 dpi unless given)"),
         Image},
        {QStringLiteral("firmware"),
         QStringLiteral("firmware download PACKAGE  send a firmware package in update mode"),
         Firmware},
    };
}

} // namespace pellumctl
