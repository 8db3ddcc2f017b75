// The serial and parallel ports of this machine, named as the printer
// editor offers them ("COM1:", "LPT1:"), each with the device it maps to.
#pragma once

#include <QList>
#include <QString>

namespace pellum {

struct SystemPort {
    QString name;   // "COM1:"
    QString device; // "/dev/ttyS0"
};

// Ports of kind "COM" or "LPT" that have hardware behind them, plus those that
// `portMapPath` (files/PortMap.ini) adds, in port-number order.
QList<SystemPort> EnumerateSystemPorts(const QString& kind, const QString& portMapPath);

} // namespace pellum
