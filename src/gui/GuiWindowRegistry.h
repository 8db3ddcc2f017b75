// Windows that the main window opens by name.
//
// The main window decides which window a function needs (for example which
// settings window a model gets) and opens it by its class name. Each window
// module registers an opener under its name at start-up; a name that nobody
// registered tells the user that the function is not available.
#pragma once

#include "core/PrinterSession.h"

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace pellum {

// Shows the window for `printer` modally over `parent` and returns when it
// has closed.
using WindowOpener = std::function<void(QWidget* parent, const PrinterTarget& printer)>;

void RegisterWindow(const QString& className, WindowOpener opener);
bool IsWindowRegistered(const QString& className);
// The names registered so far, sorted.
QStringList RegisteredWindowNames();
// Opens the window for `printer`; false when no opener is registered under
// the name.
bool OpenRegisteredWindow(const QString& className, QWidget* parent, const PrinterTarget& printer);

// Registers every window module of the program (called once from main()).
void RegisterAllWindows();

} // namespace pellum
