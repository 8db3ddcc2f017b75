// pellumctl send and ports: raw bytes through the connection layer, and the
// serial and parallel ports as the printer editor offers them.
#include "cli/CliCommon.h"

#include "connection/PrinterLibraries.h"
#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "core/ProgramFiles.h"
#include "diagnostics/HexText.h"
#include "platform/AnsiCodec.h"
#include "platform/SystemPorts.h"

#include <cstdio>
#include <vector>

namespace pellumctl {

int FailWithCode(const QString& message, std::int32_t code) {
    std::fprintf(stderr, "%s:%d (%s)\n", qPrintable(message), code,
                 qPrintable(pellum::connection::ResultMeaning(code)));
    return kExitFailed;
}

int Fail(const QString& message, int exitCode) {
    std::fprintf(stderr, "%s\n", qPrintable(message));
    return exitCode;
}

void Print(const QString& line) {
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

bool ParseHex(const QString& text, QByteArray* bytes) {
    QString digits;
    for (QChar c : text) {
        if (c.isSpace() || c == QLatin1Char(',') || c == QLatin1Char('-'))
            continue;
        if (!isxdigit(c.toLatin1()))
            return false;
        digits.append(c);
    }
    if (digits.size() % 2 != 0)
        return false;
    *bytes = QByteArray::fromHex(digits.toLatin1());
    return true;
}

bool CreateSelectedPrinter(pellum::PrinterSession& session) {
    std::int32_t rc = session.Tspl().Create(session.LibraryModel());
    session.SetLastResult(rc);
    if (rc != 0) {
        FailWithCode(pellum::lang::Msg(QStringLiteral("_Err_CreatePrinter")), rc);
        return false;
    }
    return true;
}

namespace {

// The read of "send" for each library: up to `size` bytes with the usual 2
// attempts 100 ms apart; the CPCL library reads only up to an end byte, and
// 0x100 never matches, so its read ends at the buffer size or the port's
// timeout.
std::int32_t ReadReply(pellum::connection::LibraryId library, pellum::connection::Backend& backend,
                       std::uint8_t* buffer, std::int32_t size, std::int32_t* got) {
    if (library == pellum::connection::LibraryId::CPCL)
        return backend.ReadEof(buffer, 0, size, 0, 0x100, got);
    return backend.ReadRetry(buffer, size, got, 2, 100);
}

int Send(pellum::PrinterSession& session, const QStringList& args) {
    QByteArray payload;
    int readCount = 0;
    bool havePayload = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if ((a == QLatin1String("--hex") || a == QLatin1String("--text")) && i + 1 < args.size()) {
            if (a == QLatin1String("--hex")) {
                if (!ParseHex(args[++i], &payload))
                    return Fail(QStringLiteral("--hex: not a sequence of hex byte values: ") +
                                    args[i],
                                kExitUsage);
            } else {
                payload = pellum::ToAnsi(args[++i]);
                payload.replace("\\r", "\r").replace("\\n", "\n");
            }
            havePayload = true;
        } else if (a == QLatin1String("--read") && i + 1 < args.size()) {
            bool ok = false;
            readCount = args[++i].toInt(&ok);
            if (!ok || readCount < 0 || readCount > 1 << 20)
                return Fail(QStringLiteral("--read needs a count from 0 to 1048576"), kExitUsage);
        } else {
            return Fail(QStringLiteral("send: unexpected argument ") + a, kExitUsage);
        }
    }
    if (!havePayload)
        return Fail(QStringLiteral("send needs --hex BYTES or --text TEXT"), kExitUsage);

    const QString lib = Options().lib.isEmpty() ? QStringLiteral("tspl") : Options().lib;
    using pellum::connection::LibraryId;
    LibraryId library = LibraryId::TSPL;
    if (lib == QLatin1String("tspl"))
        library = LibraryId::TSPL;
    else if (lib == QLatin1String("cpcl"))
        library = LibraryId::CPCL;
    else if (lib == QLatin1String("esc"))
        library = LibraryId::ESC;
    else
        return Fail(QStringLiteral("--lib takes tspl, cpcl or esc"), kExitUsage);
    pellum::connection::Backend& ops = library == LibraryId::CPCL  ? session.Cpcl()
                                       : library == LibraryId::ESC ? session.Esc()
                                                                   : session.Tspl();

    std::int32_t rc = ops.Create(session.LibraryModel());
    if (rc != 0)
        return FailWithCode(pellum::lang::Msg(QStringLiteral("_Err_CreatePrinter")), rc);
    rc = ops.Open(session.Port());
    if (rc != 0 && rc != 5)
        return FailWithCode(pellum::lang::Msg(QStringLiteral("_Err_OpenPort")), rc);
    rc = ops.Write(payload);
    if (rc != 0) {
        ops.Close();
        return FailWithCode(pellum::lang::Msg(QStringLiteral("_Err_WriteData")), rc);
    }
    if (readCount > 0) {
        std::vector<std::uint8_t> buffer(static_cast<size_t>(readCount));
        std::int32_t got = 0;
        rc = ReadReply(library, ops, buffer.data(), readCount, &got);
        Print(HexText(QByteArray(reinterpret_cast<const char*>(buffer.data()), got)).trimmed());
        if (rc != 0 && got == 0) {
            ops.Close();
            return FailWithCode(pellum::lang::Msg(QStringLiteral("_Err_ReadData")), rc);
        }
    }
    ops.Close();
    return kExitOk;
}

int Ports(pellum::PrinterSession&, const QStringList& args) {
    if (!args.isEmpty())
        return Fail(QStringLiteral("ports takes no arguments"), kExitUsage);
    const QString portMap = pellum::files::FilesFolder + QStringLiteral("PortMap.ini");
    for (const QString& kind : {QStringLiteral("COM"), QStringLiteral("LPT")})
        for (const auto& p : pellum::EnumerateSystemPorts(kind, portMap))
            Print(p.name + QLatin1Char('\t') + p.device);
    return kExitOk;
}

} // namespace

QList<Command> ConnectionCommands() {
    return {
        {QStringLiteral("send"),
         QStringLiteral("send --hex \"1B 1B 08\" | --text TEXT [--read N]  write bytes, print "
                        "up to N bytes of reply in hex"),
         Send},
        {QStringLiteral("ports"),
         QStringLiteral("ports  list serial and parallel ports as the printer editor offers them"),
         Ports},
    };
}

} // namespace pellumctl
