#include "gui/GuiWindowRegistry.h"

#include <QHash>

namespace pellum {
namespace {
QHash<QString, WindowOpener>& Registry() {
    static QHash<QString, WindowOpener> registry;
    return registry;
}
} // namespace

void RegisterWindow(const QString& className, WindowOpener opener) {
    Registry().insert(className, std::move(opener));
}

bool IsWindowRegistered(const QString& className) {
    return Registry().contains(className);
}

QStringList RegisteredWindowNames() {
    QStringList names = Registry().keys();
    names.sort();
    return names;
}

bool OpenRegisteredWindow(const QString& className, QWidget* parent, const PrinterTarget& printer) {
    auto it = Registry().constFind(className);
    if (it == Registry().constEnd() || !it.value())
        return false;
    it.value()(parent, printer);
    return true;
}

} // namespace pellum
