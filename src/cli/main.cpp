// pellumctl: the program's modules without windows, for scripts and fleets
// of printers.
//
//   pellumctl [global options] COMMAND [arguments]
//
// Global options come before the command:
//   --files DIR    the configuration folder (default: the program folder's files/)
//   --model NAME   the printer model (sets CurrentModel and, through
//                  PrinterMap.ini, SdkModel; "Spruce" when unmapped)
//   --printer N    take model and port from entry N of PrinterList.txt (from 1)
//   --port PORT    the port string ("USB", "COM1,BAUDRATE_9600", "LPT1", "NET,host[:port]")
//   --family N     the command-language family (0 ESC, 1 TSPL, 3 CPCL, 4 ZPL, 5 EPL)
//   --lib NAME     tspl, cpcl or esc: the library "send" goes through
//   --yes          answer confirmations with OK
#include "cli/CliCommon.h"

#include "core/Family.h"
#include "core/Localization.h"
#include "core/ModelLists.h"
#include "core/PrinterSession.h"
#include "core/ProgramFiles.h"
#include "core/TextTools.h"
#include "platform/ProgramFolder.h"
#include "platform/UserDialogs.h"
#include "shell/PrinterList.h"
#include "shell/StartUp.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

pellumctl::GlobalOptions g_options;

void PrintUsage(const QList<pellumctl::Command>& commands, FILE* to) {
    std::fprintf(to, "usage: pellumctl [--files DIR] [--model NAME] [--printer N] [--port PORT]\n"
                     "                 [--family N] [--lib tspl|cpcl|esc] [--yes] COMMAND [ARGS]\n"
                     "commands:\n");
    for (const auto& c : commands)
        for (const QString& line : c.usage.split(QLatin1Char('\n')))
            std::fprintf(to, "  %s\n", qPrintable(line));
}

// Parses the global options; returns the index of the command or -1.
int ParseGlobalOptions(const QStringList& args, QString* error) {
    int i = 0;
    auto value = [&](const QString& option) -> QString {
        if (i + 1 >= args.size()) {
            *error = option + QStringLiteral(" needs a value");
            return QString();
        }
        return args[++i];
    };
    for (; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!a.startsWith(QStringLiteral("--")))
            return i;
        bool ok = true;
        if (a == QLatin1String("--files"))
            g_options.filesFolder = value(a);
        else if (a == QLatin1String("--model"))
            g_options.model = value(a);
        else if (a == QLatin1String("--port"))
            g_options.port = value(a);
        else if (a == QLatin1String("--lib"))
            g_options.lib = value(a).toLower();
        else if (a == QLatin1String("--printer"))
            g_options.printerEntry = value(a).toInt(&ok);
        else if (a == QLatin1String("--family"))
            g_options.family = value(a).toInt(&ok);
        else if (a == QLatin1String("--yes"))
            g_options.yes = true;
        else if (a == QLatin1String("--help"))
            return -2;
        else {
            *error = QStringLiteral("unknown option ") + a;
            return -1;
        }
        if (!error->isEmpty())
            return -1;
        if (!ok) {
            *error = a + QStringLiteral(" needs a number");
            return -1;
        }
    }
    *error = QStringLiteral("no command given");
    return -1;
}

// Sets the selected printer from the options, as a printer-list selection
// would: model, library model name, port, family.
int SelectPrinter(pellum::PrinterTarget* printer) {
    if (g_options.printerEntry > 0) {
        const auto entries = PrinterList::ReadEntries(PrinterList::FilePath());
        if (g_options.printerEntry > entries.size())
            return pellumctl::Fail(QStringLiteral("PrinterList.txt has no entry %1 (it has %2)")
                                       .arg(g_options.printerEntry)
                                       .arg(entries.size()),
                                   pellumctl::kExitUsage);
        const auto& e = entries[g_options.printerEntry - 1];
        printer->model = e.model;
        printer->port = e.port;
    }
    if (!g_options.model.isEmpty())
        printer->model = g_options.model;
    if (!g_options.port.isEmpty())
        printer->port = g_options.port;
    printer->libraryModel = pellum::text::ReadIniString(
        pellum::files::kMapFile, QStringLiteral("Map"), printer->model.trimmed());
    if (printer->libraryModel.isEmpty())
        printer->libraryModel = pellum::files::kDefaultSdkModel;
    printer->family = g_options.family >= 0 ? g_options.family : pellum::FamilyTSPL;
    return pellumctl::kExitOk;
}

} // namespace

namespace pellumctl {
const GlobalOptions& Options() {
    return g_options;
}
} // namespace pellumctl

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();

    QList<pellumctl::Command> commands = pellumctl::ConnectionCommands();
    commands += pellumctl::KeyValueCommands();
    commands += pellumctl::BlockCommands();
    commands += pellumctl::DiagnosticsCommands();
    commands += pellumctl::DownloadCommands();

    QString error;
    int at = ParseGlobalOptions(args, &error);
    if (at == -2) {
        PrintUsage(commands, stdout);
        return pellumctl::kExitOk;
    }
    if (at < 0) {
        std::fprintf(stderr, "pellumctl: %s\n", qPrintable(error));
        PrintUsage(commands, stderr);
        return pellumctl::kExitUsage;
    }
    const QString name = args[at];
    const QStringList rest = args.mid(at + 1);

    StartUp::InitialiseFolders(pellum::ExecutableFolder(), g_options.filesFolder);
    StartUp::InitialiseLanguage();
    pellum::models::CacheModelLists();
    static pellum::ConsoleDialogs dialogs(g_options.yes);
    pellum::SetDialogs(&dialogs);
    for (const QString& problem : StartUp::LoadLibraries())
        std::fprintf(stderr, "pellumctl: %s\n", qPrintable(problem));
    pellum::PrinterTarget printer;
    if (int rc = SelectPrinter(&printer); rc != pellumctl::kExitOk)
        return rc;

    // The command's conversation with the printer; it ends (port closed,
    // library objects destroyed) when the command returns.
    pellum::PrinterSession session(printer);
    for (const auto& c : commands)
        if (c.name == name)
            return c.run(session, rest);
    std::fprintf(stderr, "pellumctl: unknown command %s\n", qPrintable(name));
    PrintUsage(commands, stderr);
    return pellumctl::kExitUsage;
}
