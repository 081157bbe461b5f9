#include "privatefiles.h"

#include "hostpaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace platform {

bool makePrivateFolder(const QString& hostFolder) {
    const QString absolute = QDir::cleanPath(QFileInfo(hostFolder).absoluteFilePath());
    if (QFileInfo(absolute).isDir()) {
        return true;
    }
    const QString parent = QFileInfo(absolute).path();
    if (parent == absolute || !makePrivateFolder(parent)) {
        return false;
    }
    return ::mkdir(QFile::encodeName(absolute).constData(), 0700) == 0 ||
           (errno == EEXIST && QFileInfo(absolute).isDir());
}

bool writePrivateFile(const QString& hostFile, const QByteArray& bytes) {
    QByteArray temp = QFile::encodeName(hostFile) + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());  // mode 0600
    if (fd < 0) {
        return false;
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += n;
    }
    const bool written = done == bytes.size();
    if (::close(fd) != 0 || !written ||
        ::rename(temp.constData(), QFile::encodeName(hostFile).constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    return true;
}

bool removeTree(const QString& hostFolder) {
    // Every entry, whatever its name: a name holding "\\" is not one a
    // path text can reach, but it goes with the folder all the same.
    QStringList names = QDir(hostFolder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    std::stable_sort(names.begin(), names.end(), windowsNameLess);
    QStringList subfolders;
    bool ok = true;
    for (const QString& name : names) {
        const QString entry = hostFolder + u'/' + name;
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
    return QDir().rmdir(hostFolder) && ok;
}

}  // namespace platform
