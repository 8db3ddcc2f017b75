// Shared pieces of pellumctl: the global options, the printer context they
// set up, and the command tables of each area.
#pragma once

#include "core/PrinterSession.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace pellumctl {

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // the printer or a file said no
constexpr int kExitUsage = 2;  // the command line was wrong

struct GlobalOptions {
    QString filesFolder;  // --files DIR
    QString model;        // --model NAME
    int printerEntry = 0; // --printer N (1-based), 0 = none
    int family = -1;      // --family N, -1 = leave at TSPL
    QString port;         // --port PORT
    QString lib;          // --lib tspl|cpcl|esc
    bool yes = false;     // --yes: confirmations answer OK
};

const GlobalOptions& Options();

// Creates the TSPL printer object for SdkModel, the way the main window does
// when a printer is selected. Prints the failure and returns false when the
// create fails.
bool CreateSelectedPrinter(pellum::PrinterSession& session);

// Prints "message:code (meaning)" to standard error and returns kExitFailed.
int FailWithCode(const QString& message, std::int32_t code);
// Prints the message to standard error and returns `exitCode`.
int Fail(const QString& message, int exitCode = kExitFailed);
// Prints a line to standard output.
void Print(const QString& line);

// Parses "1B 1B 08", "1b1b08" or "1B,1B,08" into bytes; false on bad input.
bool ParseHex(const QString& text, QByteArray* bytes);

struct Command {
    QString name;
    QString usage; // one or more lines, "name ARGS  what it does"
    std::function<int(pellum::PrinterSession& session, const QStringList& args)> run;
};

// Commands of each area; main() joins them.
QList<Command> ConnectionCommands();
QList<Command> KeyValueCommands();
QList<Command> BlockCommands();
QList<Command> DiagnosticsCommands();
QList<Command> DownloadCommands();

} // namespace pellumctl
