#include "resources.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace platform {

QString shippedFile(const QString& name) {
    const QString installed =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/paperlens/") + name;
    if (QFileInfo::exists(installed)) {
        return QFileInfo(installed).absoluteFilePath();
    }
    return QStringLiteral(PAPERLENS_RESOURCES "/") + name;
}

QString trustConfiguration(const QString& workspaceRoot, const QString& name) {
    const QString own = workspaceRoot + u'/' + name;
    return QFileInfo(own).isFile() ? own : shippedFile(name);
}

}  // namespace platform
