// The QApplication that the window tests need (one per test program).
#pragma once

#include <QApplication>

namespace shelltest {

inline QApplication& GuiApp() {
    static int argc = 1;
    static char name[] = "shell_gui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

} // namespace shelltest
