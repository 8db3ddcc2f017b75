// pellumctl getval, setval, do, identity and service: the key-value protocol
// by hand, the printer's identity, and the main window's service functions.
#include "cli/CliCommon.h"

#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "settings/IdentityQueries.h"
#include "settings/PrinterCMD.h"
#include "settings/ServiceFunctions.h"

namespace pellumctl {

namespace {

QString Msg(const char* key) {
    return pellum::lang::Msg(QLatin1String(key));
}

// Keys and arguments travel between double quotes without escaping, so a
// double quote inside one would break the line.
bool Quotable(const QStringList& texts) {
    for (const QString& t : texts)
        if (t.contains(QLatin1Char('"')))
            return false;
    return true;
}

int UsageError(const QString& text) {
    return Fail(QStringLiteral("pellumctl: ") + text, kExitUsage);
}

// The write or read that just ran, as an exit code.
int Outcome(pellum::PrinterSession& session, const char* messageKey) {
    const std::int32_t code = session.LastResult();
    return code == 0 ? kExitOk : FailWithCode(Msg(messageKey), code);
}

int GetVal(pellum::PrinterSession& session, const QStringList& args) {
    if (args.size() != 1 || args[0].isEmpty())
        return UsageError(QStringLiteral("getval needs one KEY"));
    if (!Quotable(args))
        return UsageError(QStringLiteral("a key may not contain a double quote"));
    if (!CreateSelectedPrinter(session) || !PrinterCMD::CmdOpen(session))
        return kExitFailed;
    const QString value = PrinterCMD::CmdGetVal(session, args[0]);
    const std::int32_t code = session.LastResult();
    PrinterCMD::CmdClose(session);
    if (code != 0)
        return FailWithCode(Msg("_Err_ReadData"), code);
    Print(value);
    return kExitOk;
}

int SetVal(pellum::PrinterSession& session, QStringList args) {
    const bool exact = !args.isEmpty() && args[0] == QLatin1String("--exact");
    if (exact)
        args.removeFirst();
    if (args.size() != 2 || args[0].isEmpty())
        return UsageError(QStringLiteral("setval needs KEY VALUE"));
    if (!Quotable(args))
        return UsageError(QStringLiteral("a key or value may not contain a double quote"));
    if (!CreateSelectedPrinter(session) || !PrinterCMD::CmdOpen(session))
        return kExitFailed;
    if (exact)
        PrinterCMD::CmdSetValExact(session, args[0], args[1]);
    else
        PrinterCMD::CmdSetVal(session, args[0], args[1]);
    const int rc = Outcome(session, "_Err_WriteData");
    PrinterCMD::CmdClose(session);
    return rc;
}

int Do(pellum::PrinterSession& session, const QStringList& args) {
    if (args.isEmpty() || args.size() > 3 || args[0].isEmpty())
        return UsageError(QStringLiteral("do needs KEY [ARG] or KEY SUBKEY ARG"));
    if (!Quotable(args))
        return UsageError(QStringLiteral("a key or argument may not contain a double quote"));
    if (!CreateSelectedPrinter(session))
        return kExitFailed;
    if (!PrinterCMD::CmdOpen(session))
        return kExitFailed; // the open failure has been printed
    if (args.size() == 1)
        session.SetLastResult(session.Lib().Write(PrinterCMD::LineDo(args[0]))); // as CmdDo
    else if (args.size() == 2)
        PrinterCMD::CmdDoArg(session, args[0], args[1]);
    else
        PrinterCMD::CmdDoArgs(session, args[0], args[1], args[2]);
    const int rc = Outcome(session, "_Err_WriteData");
    PrinterCMD::CmdClose(session);
    return rc;
}

int Identity(pellum::PrinterSession& session, const QStringList& args) {
    if (!args.isEmpty())
        return UsageError(QStringLiteral("identity takes no arguments"));
    if (!CreateSelectedPrinter(session))
        return kExitFailed;
    const std::int32_t opened = session.Tspl().Open(session.Port());
    session.SetLastResult(opened);
    if (opened != 0 && opened != 5)
        return FailWithCode(Msg("_Err_OpenPort"), opened);
    Print(QStringLiteral("emulation code: %1").arg(IdentityQueries::QueryEmulation(session)));
    Print(QStringLiteral("firmware version: ") + IdentityQueries::ReadFirmwareVersion(session));
    Print(QStringLiteral("printed length: ") + IdentityQueries::ReadPrintedLength(session));
    Print(QStringLiteral("serial number: ") + IdentityQueries::ReadSerialNumber(session));
    session.Tspl().Close();
    return kExitOk;
}

int Service(pellum::PrinterSession& session, const QStringList& args) {
    if (args.size() != 1)
        return UsageError(QStringLiteral("service needs one of config-page, learn, head-test, "
                                         "factory-default, sensor-graph, dfu-mode"));
    const QString what = args[0];
    const QStringList known = {"config-page",     "learn",        "head-test",
                               "factory-default", "sensor-graph", "dfu-mode"};
    if (!known.contains(what))
        return UsageError(QStringLiteral("unknown service ") + what);
    if (!CreateSelectedPrinter(session))
        return kExitFailed;

    if (what == QLatin1String("dfu-mode")) {
        if (ServiceFunctions::InList(session, "IsbtnGDL"))
            return Fail(QStringLiteral("this model takes its firmware through the firmware-package "
                                       "download, not the update mode"));
        if (ServiceFunctions::InList(session, "DFUWithoutCMD")) {
            Print(QStringLiteral("this model needs no command before the firmware-update tool"));
            return kExitOk;
        }
        if (!ServiceFunctions::EnterFirmwareUpdateMode(session))
            return kExitFailed;
        return Outcome(session, "_Err_WriteData");
    }

    session.SetLastResult(0);
    if (!ServiceFunctions::OpenForFunction(session))
        return kExitFailed;
    session.SetLastResult(0);
    if (what == QLatin1String("config-page")) {
        ServiceFunctions::PrintConfigPage(session);
    } else if (what == QLatin1String("learn")) {
        if (ServiceFunctions::InList(session, "NIsbtnStartLearn")) {
            session.Tspl().Close();
            return Fail(QStringLiteral("this model has no automatic label learning"));
        }
        ServiceFunctions::StartLearn(session);
    } else if (what == QLatin1String("head-test")) {
        ServiceFunctions::ModuleTest(session);
    } else if (what == QLatin1String("sensor-graph")) {
        if (!ServiceFunctions::InList(session, "IsbtnLabelSensorPrintImage")) {
            session.Tspl().Close();
            return Fail(QStringLiteral("this model has no label-sensor graph"));
        }
        ServiceFunctions::SensorGraph(session);
    } else if (what == QLatin1String("factory-default")) {
        if (!ServiceFunctions::FactoryDefault(session))
            return Fail(QStringLiteral("not confirmed: nothing was sent (give --yes to confirm)"));
    }
    return Outcome(session, "_Err_WriteData");
}

} // namespace

QList<Command> KeyValueCommands() {
    return {
        {QStringLiteral("getval"),
         QStringLiteral("getval KEY                 read a setting of a key-value printer"),
         GetVal},
        {QStringLiteral("setval"),
         QStringLiteral(
             "setval [--exact] KEY VALUE  write a setting (capitals lowered unless --exact)"),
         SetVal},
        {QStringLiteral("do"),
         QStringLiteral("do KEY [ARG] | do KEY SUBKEY ARG  trigger a key-value action"), Do},
        {QStringLiteral("identity"),
         QStringLiteral("identity                   emulation, firmware version, printed length, "
                        "serial number"),
         Identity},
        {QStringLiteral("service"),
         QStringLiteral(
             "service config-page|learn|head-test|factory-default|sensor-graph|dfu-mode\n"
             "                           the main window's service functions (--yes confirms)"),
         Service},
    };
}

} // namespace pellumctl
