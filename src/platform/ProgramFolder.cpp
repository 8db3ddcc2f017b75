#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFileInfo>

namespace pellum {

QString ExecutableFolder() {
    QFileInfo exe(QStringLiteral("/proc/self/exe"));
    QString target = exe.symLinkTarget();
    QString folder = target.isEmpty() ? QDir::currentPath() : QFileInfo(target).absolutePath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

} // namespace pellum
