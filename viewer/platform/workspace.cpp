#include "workspace.h"

#include "privatefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

const QString kLive = QStringLiteral("run-");
const QString kGone = QStringLiteral("gone-");
const char kLockName[] = "/.lock";

// An flock(2) lock on a file, held while the object lives.
class FileLock {
public:
    FileLock(const QString& file, int flags, int operation) {
        fd_ = ::open(QFile::encodeName(file).constData(), flags | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd_ >= 0 && ::flock(fd_, operation) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~FileLock() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return fd_ >= 0; }
    // Keeps the lock beyond the object's life.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

// Creating a process folder and sweeping dead ones both happen under this
// lock, so a folder is never seen between its creation and its lock.
QString sweepLock(const QString& root) { return root + QStringLiteral("/.lock"); }

bool isOwnFolder(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink();
}

int sweepLocked(const QString& root) {
    int removed = 0;
    const QStringList names =
        QDir(root).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QString path = root + u'/' + name;
        if (!isOwnFolder(path)) {
            continue;
        }
        if (name.startsWith(kGone)) {
            (void)removeTree(path);
        } else if (name.startsWith(kLive)) {
            // A folder whose lock can be taken belongs to no live process;
            // one without a lock file died while it was being made.
            FileLock owner(path + QLatin1String(kLockName), O_RDONLY, LOCK_EX | LOCK_NB);
            if (owner.held() || !QFileInfo::exists(path + QLatin1String(kLockName))) {
                removed += removeTree(path) ? 1 : 0;
            }
        }
    }
    // The single shared page and working folder of earlier versions.
    (void)QFile::remove(root + QStringLiteral("/temp.html"));
    if (isOwnFolder(root + QStringLiteral("/data"))) {
        (void)removeTree(root + QStringLiteral("/data"));
    }
    return removed;
}

}  // namespace

int sweepWorkspaces(const QString& workspaceRoot) {
    FileLock sweeping(sweepLock(workspaceRoot), O_RDWR | O_CREAT, LOCK_EX);
    if (!sweeping.held()) {
        return 0;
    }
    return sweepLocked(workspaceRoot);
}

ProcessWorkspace::ProcessWorkspace(Prefix& prefix, bool sweep) : prefix_(prefix) {
    const QString root = prefix.workspaceRoot();
    if (!makePrivateFolder(root)) {
        return;
    }
    FileLock sweeping(sweepLock(root), O_RDWR | O_CREAT, LOCK_EX);
    if (!sweeping.held()) {
        return;
    }
    if (sweep) {
        (void)sweepLocked(root);
    }
    QByteArray pattern = QFile::encodeName(root + u'/' + kLive) + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {  // mode 0700
        return;
    }
    const QString folder = QFile::decodeName(pattern);
    FileLock own(folder + QLatin1String(kLockName), O_RDWR | O_CREAT, LOCK_EX | LOCK_NB);
    if (!own.held()) {
        (void)removeTree(folder);
        return;
    }
    lock_ = own.release();
    folder_ = folder;
    prefix_.setApplicationFolder(folder_);
    // Keys exported from the registry stay with the process that exported
    // them, and go with its folder.
    prefix_.mapFolder(QStringLiteral("c:\\kvx"), folder_ + QStringLiteral("/kvx"));
}

ProcessWorkspace::~ProcessWorkspace() { remove(); }

void ProcessWorkspace::remove() {
    if (folder_.isEmpty() || removed_.exchange(true)) {
        return;
    }
    const QFileInfo info(folder_);
    const QString gone = info.path() + u'/' + kGone + info.fileName().mid(kLive.size());
    const bool renamed =
        ::rename(QFile::encodeName(folder_).constData(), QFile::encodeName(gone).constData()) == 0;
    (void)removeTree(renamed ? gone : folder_);
    ::close(lock_);
    lock_ = -1;
}

}  // namespace platform
