// pellumctl send and ports: raw bytes through the connection layer, and the
// serial and parallel ports as the printer editor offers them.
#include "cli/CliCommon.h"

#include "connection/PrinterLibraries.h"
#include "connection/mdlPrinterLib_CPCL.h"
#include "connection/mdlPrinterLib_ESC.h"
#include "connection/mdlPrinterLib_TSPL.h"
#include "core/CurrentPrinter.h"
#include "core/Localization.h"
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

bool CreateSelectedPrinter() {
    std::int32_t rc = TsplCreatePrinter(pellum::current::SdkModel);
    pellum::current::LastResultCode = rc;
    if (rc != 0) {
        FailWithCode(pellum::lang::Msg(QStringLiteral("_Err_CreatePrinter")), rc);
        return false;
    }
    return true;
}

namespace {

// The operations of one back-end, so "send" reads the same for each library.
struct BackendOps {
    std::int32_t (*create)(const QString&);
    std::int32_t (*open)(const QString&);
    std::int32_t (*close)();
    std::int32_t (*write)(const QByteArray&);
    // Reads up to `size` bytes with the usual 2 attempts 100 ms apart.
    std::int32_t (*read)(std::uint8_t*, std::int32_t, std::int32_t*);
};

std::int32_t TsplRead(std::uint8_t* b, std::int32_t n, std::int32_t* got) {
    return TsplReadDataRetry(b, n, got, 2, 100);
}
std::int32_t EscRead(std::uint8_t* b, std::int32_t n, std::int32_t* got) {
    return EscReadDataRetry(b, n, got, 2, 100);
}
std::int32_t CpclRead(std::uint8_t* b, std::int32_t n, std::int32_t* got) {
    // The CPCL library reads only up to an end byte; 0x100 never matches, so
    // the read ends at the buffer size or the port's timeout.
    return CpclReadDataEOF(b, 0, n, 0, 0x100, got);
}
std::int32_t TsplWrite(const QByteArray& b) {
    return TsplWriteData(b);
}
std::int32_t CpclWrite(const QByteArray& b) {
    return CpclWriteData(b);
}
std::int32_t EscWrite(const QByteArray& b) {
    return EscWriteData(b);
}

int Send(const QStringList& args) {
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
    BackendOps ops;
    if (lib == QLatin1String("tspl"))
        ops = {TsplCreatePrinter, TsplOpenPort, TsplClosePort, TsplWrite, TsplRead};
    else if (lib == QLatin1String("cpcl"))
        ops = {CpclCreatePrinter, CpclOpenPort, CpclClosePort, CpclWrite, CpclRead};
    else if (lib == QLatin1String("esc"))
        ops = {EscCreatePrinter, EscOpenPort, EscClosePort, EscWrite, EscRead};
    else
        return Fail(QStringLiteral("--lib takes tspl, cpcl or esc"), kExitUsage);

    std::int32_t rc = ops.create(pellum::current::SdkModel);
    if (rc != 0)
        return FailWithCode(pellum::lang::Msg(QStringLiteral("_Err_CreatePrinter")), rc);
    rc = ops.open(pellum::current::CurrentPort);
    if (rc != 0 && rc != 5)
        return FailWithCode(pellum::lang::Msg(QStringLiteral("_Err_OpenPort")), rc);
    rc = ops.write(payload);
    if (rc != 0) {
        ops.close();
        return FailWithCode(pellum::lang::Msg(QStringLiteral("_Err_WriteData")), rc);
    }
    if (readCount > 0) {
        std::vector<std::uint8_t> buffer(static_cast<size_t>(readCount));
        std::int32_t got = 0;
        rc = ops.read(buffer.data(), readCount, &got);
        Print(HexText(QByteArray(reinterpret_cast<const char*>(buffer.data()), got)).trimmed());
        if (rc != 0 && got == 0) {
            ops.close();
            return FailWithCode(pellum::lang::Msg(QStringLiteral("_Err_ReadData")), rc);
        }
    }
    ops.close();
    return kExitOk;
}

int Ports(const QStringList& args) {
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
