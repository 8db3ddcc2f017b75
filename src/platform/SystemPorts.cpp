#include "platform/SystemPorts.h"

#ifdef PELLUM_HAVE_PORTNAMES
#include "ports/PortNames.h"
#endif

namespace pellum {

QList<SystemPort> EnumerateSystemPorts(const QString& kind, const QString& portMapPath) {
    QList<SystemPort> result;
#ifdef PELLUM_HAVE_PORTNAMES
    for (const auto& entry :
         pellum::ports::EnumeratePorts(kind.toStdString(), portMapPath.toStdString()))
        result.append({QString::fromStdString(entry.name), QString::fromStdString(entry.device)});
#else
    (void)kind;
    (void)portMapPath;
#endif
    return result;
}

} // namespace pellum
