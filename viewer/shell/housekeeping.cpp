#include "housekeeping.h"

#include "privatefiles.h"

#include <QFile>
#include <QFileInfo>

namespace shell {

bool deleteFileIfExists(const QString& path, const platform::Prefix& prefix) {
    const QString host = prefix.hostPath(path);
    const QFileInfo info(host);
    if (!info.exists() && !info.isSymLink()) {
        return true;
    }
    return QFile::remove(host);
}

bool deleteFolderTree(const QString& path, const platform::Prefix& prefix) {
    const QString host = prefix.hostPath(path);
    const QFileInfo info(host);
    if (info.isSymLink()) {
        return QFile::remove(host);
    }
    if (!info.isDir()) {
        return true;
    }
    return platform::removeTree(host);
}

}  // namespace shell
