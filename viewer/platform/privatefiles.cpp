#include "privatefiles.h"

#include "hostpaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <sys/syscall.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>
#include <vector>

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

namespace {

// Moves all of `size` bytes through `transfer` (read or write): pipes and
// files may take or give them in parts.
template <typename Byte, typename Transfer>
bool transferFully(int fd, Byte* data, size_t size, Transfer transfer) {
    while (size > 0) {
        const ssize_t n = transfer(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool writeFully(int fd, const char* data, size_t size) {
    return transferFully(fd, data, size, ::write);
}

bool readFully(int fd, char* data, size_t size) { return transferFully(fd, data, size, ::read); }

bool writePrivateFile(const QString& hostFile, const std::function<bool(int fd)>& write) {
    QByteArray temp = QFile::encodeName(hostFile) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);  // mode 0600
    if (fd < 0) {
        return false;
    }
    const bool written = write(fd);
    if (::close(fd) != 0 || !written ||
        ::rename(temp.constData(), QFile::encodeName(hostFile).constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    return true;
}

bool writePrivateFile(const QString& hostFile, const QByteArray& bytes) {
    return writePrivateFile(hostFile, [&bytes](int fd) {
        return writeFully(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
    });
}

namespace {

// Empties the folder open as `folder` (which it closes): the files of the
// level in the order Windows lists them, then its subfolders. Entries are
// reached through the folder's descriptor and links are removed, never
// followed, so nothing outside the tree can be touched.
bool emptyFolder(int folder) {
    // Every entry, whatever its name: a name holding "\\" is not one a
    // path text can reach, but it goes with the folder all the same. The
    // entries are read straight from the kernel: a DIR stream allocates a
    // 32 KB buffer, more than a working folder ever holds.
    std::vector<QByteArray> raw;
    alignas(8) char buffer[4096];
    for (;;) {
        const long n = ::syscall(SYS_getdents64, folder, buffer, sizeof buffer);
        if (n < 0) {
            ::close(folder);
            return false;
        }
        if (n == 0) {
            break;
        }
        for (long at = 0; at < n;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..") {
                raw.push_back(name);
            }
            at += entry->d_reclen;
        }
    }
    std::vector<std::pair<QString, QByteArray>> names;
    names.reserve(raw.size());
    for (const QByteArray& name : raw) {
        names.emplace_back(QFile::decodeName(name), name);
    }
    std::stable_sort(names.begin(), names.end(),
                     [](const auto& a, const auto& b) { return windowsNameLess(a.first, b.first); });
    const int fd = folder;
    std::vector<QByteArray> subfolders;
    bool ok = true;
    for (const auto& [shown, name] : names) {
        struct stat info {};
        if (::fstatat(fd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISDIR(info.st_mode)) {
            subfolders.push_back(name);
        } else {
            ok = ::unlinkat(fd, name.constData(), 0) == 0 && ok;
        }
    }
    for (const QByteArray& name : subfolders) {
        const int sub = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ok = sub >= 0 && emptyFolder(sub) && ok;
        ok = ::unlinkat(fd, name.constData(), AT_REMOVEDIR) == 0 && ok;
    }
    ::close(folder);
    return ok;
}

}  // namespace

bool removeTree(const QString& hostFolder) {
    const QByteArray path = QFile::encodeName(hostFolder);
    const int folder = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        return false;
    }
    const bool emptied = emptyFolder(folder);
    return ::rmdir(path.constData()) == 0 && emptied;
}

}  // namespace platform
