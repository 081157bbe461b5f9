#include "housekeeping.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace shell {

namespace {

bool removeTree(const QString& host) {
    const QStringList names = platform::listDirectory(host, true, true, true);
    QStringList subfolders;
    bool ok = true;
    for (const QString& name : names) {
        const QString entry = host + u'/' + name;
        const QFileInfo info(entry);
        if (info.isDir() && !info.isSymLink()) {
            subfolders.append(entry);
        } else {
            ok = QFile::remove(entry) && ok;
        }
    }
    for (const QString& folder : subfolders) {
        ok = removeTree(folder) && ok;
    }
    return QDir().rmdir(host) && ok;
}

}  // namespace

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
    return removeTree(host);
}

}  // namespace shell
