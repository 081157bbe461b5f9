#include "privatefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace platform
