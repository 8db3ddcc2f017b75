// The QApplication of the window tests: the shared test main() owns it; one
// is made here only when a program runs without that main().
#pragma once

#include <QApplication>

namespace shelltest {

inline QApplication& GuiApp() {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return *app;
    static int argc = 1;
    static char name[] = "shell_gui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

} // namespace shelltest
