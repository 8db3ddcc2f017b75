// The QApplication that the window tests need (one per test program).
#pragma once

#include <QApplication>

namespace shelltest {

// The application is made by the test program's main() (tests/support).
inline QApplication& GuiApp() {
    return *static_cast<QApplication*>(QCoreApplication::instance());
}

} // namespace shelltest
