#include "hostpaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cstdlib>

namespace platform {

namespace {

bool isDriveText(const QString& text) {
    return text.size() >= 2 && text[1] == u':' && text[0].isLetter() && text[0].unicode() < 128;
}

QStringList components(const QString& text) {
    QString normal = text;
    normal.replace(u'\\', u'/');
    return normal.split(u'/', Qt::SkipEmptyParts);
}

// The entry of `folder` that Windows would open for `name`.
QString lookUp(const QString& folder, const QString& name) {
    if (name == QLatin1String(".") || name == QLatin1String("..") ||
        QFileInfo::exists(folder + u'/' + name)) {
        return name;
    }
    const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::System | QDir::NoDotAndDotDot);
    const QString wanted = name.toUpper();
    QStringList matches;
    for (const QString& entry : entries) {
        if (entry.toUpper() == wanted) {
            matches.append(entry);
        }
    }
    if (matches.isEmpty()) {
        return name;
    }
    std::sort(matches.begin(), matches.end());
    return matches.first();
}

bool makeFolder(const QString& path) {
    if (QFileInfo(path).isDir()) {
        return true;
    }
    return QDir().mkpath(path) && ::chmod(QFile::encodeName(path).constData(), 0700) == 0;
}

bool makeLink(const QString& target, const QString& link) {
    if (QFileInfo(link).isSymLink() || QFileInfo::exists(link)) {
        return true;
    }
    // Another process starting on the same fresh prefix may make it first.
    return QFile::link(target, link) || QFileInfo(link).isSymLink();
}

}  // namespace

QString Prefix::defaultLocation() {
    const QString configured = qEnvironmentVariable("PAPERLENS_PREFIX");
    if (!configured.isEmpty()) {
        return configured;
    }
    return QDir::homePath() + QStringLiteral("/.local/share/paperlens");
}

Prefix::Prefix(QString root)
    : root_(std::move(root)),
      mountTable_(qEnvironmentVariable("PAPERLENS_MOUNT_TABLE", QStringLiteral("/proc/self/mounts"))),
      mediaRoots_(qEnvironmentVariableIsSet("PAPERLENS_MEDIA_ROOTS")
                      ? qEnvironmentVariable("PAPERLENS_MEDIA_ROOTS").split(u':', Qt::SkipEmptyParts)
                      : defaultMediaRoots()) {
    while (root_.size() > 1 && root_.endsWith(u'/')) {
        root_.chop(1);
    }
}

bool Prefix::ensure() const {
    if (!makeFolder(root_) || !makeFolder(root_ + QStringLiteral("/drive_c")) ||
        !makeFolder(root_ + QStringLiteral("/dosdevices")) ||
        !makeFolder(root_ + QStringLiteral("/workspace"))) {
        return false;
    }
    if (!makeLink(QStringLiteral("../drive_c"), root_ + QStringLiteral("/dosdevices/c:"))) {
        return false;
    }
    // Korean certificate software on Linux keeps accredited certificates
    // in ~/NPKI; the disk scan looks for them under Program Files.
    const QString npki = QDir::homePath() + QStringLiteral("/NPKI");
    if (QFileInfo(npki).isDir()) {
        const QString programFiles = root_ + QStringLiteral("/drive_c/Program Files");
        return makeFolder(programFiles) && makeLink(npki, programFiles + QStringLiteral("/NPKI"));
    }
    return true;
}

QString Prefix::workspaceRoot() const { return root_ + QStringLiteral("/workspace"); }

QString Prefix::applicationFolder() const {
    return application_.isEmpty() ? workspaceRoot() : application_;
}

void Prefix::mapFolder(const QString& folderText, const QString& hostFolder) {
    QStringList parts = components(folderText.toUpper());
    mapped_.append({parts, hostFolder});
}

QString Prefix::smartCardFolder() const { return root_ + QStringLiteral("/smartcard"); }

QString Prefix::hostPath(const QString& text) const {
    if (!isDriveText(text)) {
        QStringList parts = components(text);
        QString joined = parts.join(u'/');
        return text.startsWith(u'/') || text.startsWith(u'\\') ? u'/' + joined : joined;
    }
    // The components below the drive, with "." and ".." worked out so
    // that no text leaves the drive's folder.
    QStringList parts;
    for (const QString& part : components(text.mid(2))) {
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty()) {
                parts.removeLast();
            }
        } else if (part != QLatin1String(".")) {
            parts.append(part);
        }
    }
    QString path = driveFolder(text[0]);
    if (path.isEmpty()) {
        path = root_ + QStringLiteral("/dosdevices/") + text[0].toLower() + u':';
    }
    int first = 0;
    for (const auto& [mapped, host] : mapped_) {
        const int depth = static_cast<int>(mapped.size()) - 1;
        if (mapped.first() != QString(text[0].toUpper()) + u':' || parts.size() < depth) {
            continue;
        }
        bool below = true;
        for (int i = 0; i < depth && below; ++i) {
            below = parts[i].toUpper() == mapped[i + 1];
        }
        if (below) {
            path = host;
            first = depth;
            break;
        }
    }
    for (int i = first; i < parts.size(); ++i) {
        path += u'/' + lookUp(path, parts[i]);
    }
    return path;
}

QString Prefix::driveFolder(QChar letter) const {
    const QChar lower = letter.toLower();
    const QString link = root_ + QStringLiteral("/dosdevices/") + lower + u':';
    struct stat st {};
    if (::lstat(QFile::encodeName(link).constData(), &st) == 0) {
        return link;
    }
    const auto medium = media_.constFind(lower);
    return medium == media_.constEnd() ? QString() : medium->mountPoint;
}

std::optional<Medium> Prefix::attachedMedium(QChar letter) const {
    const QChar lower = letter.toLower();
    struct stat st {};
    const QString link = root_ + QStringLiteral("/dosdevices/") + lower + u':';
    const auto medium = media_.constFind(lower);
    if (medium == media_.constEnd() || ::lstat(QFile::encodeName(link).constData(), &st) == 0) {
        return std::nullopt;
    }
    return *medium;
}

const QStringList& defaultMediaRoots() {
    static const QStringList roots{QStringLiteral("/media"), QStringLiteral("/run/media")};
    return roots;
}

namespace {

bool isCdRom(const Medium& medium) {
    const QString fs = medium.fileSystem.toLower();
    return fs == QLatin1String("iso9660") || fs == QLatin1String("udf");
}

}  // namespace

void Prefix::attachMedia(const QVector<Medium>& media) const {
    // The mount points that dosdevices links already name.
    QStringList linked;
    for (char16_t letter = 'a'; letter <= 'z'; ++letter) {
        const QString link = root_ + QStringLiteral("/dosdevices/") + QChar(letter) + u':';
        const QString target = QFileInfo(link).canonicalFilePath();
        if (QFileInfo(link).isSymLink() && !target.isEmpty()) {
            linked.append(target);
        }
    }
    QMap<QChar, Medium> kept;
    QVector<Medium> waiting;
    for (const Medium& medium : media) {
        if (linked.contains(QFileInfo(medium.mountPoint).canonicalFilePath())) {
            continue;
        }
        bool had = false;
        for (auto it = media_.cbegin(); it != media_.cend() && !had; ++it) {
            if (it->mountPoint == medium.mountPoint && !kept.contains(it.key())) {
                kept.insert(it.key(), medium);
                had = true;
            }
        }
        if (!had) {
            waiting.append(medium);
        }
    }
    media_ = kept;
    for (const Medium& medium : waiting) {
        for (char16_t letter = isCdRom(medium) ? 'd' : 'a'; letter <= 'z'; ++letter) {
            if (!media_.contains(QChar(letter)) && driveFolder(QChar(letter)).isEmpty()) {
                media_.insert(QChar(letter), medium);
                break;
            }
        }
    }
}

void Prefix::refreshMedia() const { attachMedia(mountedMedia(mountTable_, mediaRoots_)); }

QVector<Medium> mountedMedia(const QString& mountTable, const QStringList& roots) {
    QVector<Medium> media;
    QFile file(mountTable);
    if (!file.open(QIODevice::ReadOnly)) {
        return media;
    }
    // /proc/self/mounts cannot be sized in advance: read until the end.
    const QByteArray table = file.readAll();
    for (const QByteArray& line : table.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3) {
            continue;
        }
        // The table writes blanks and the like in octal: "\040".
        QByteArray point;
        const QByteArray& raw = fields[1];
        for (int i = 0; i < raw.size(); ++i) {
            bool octal = false;
            const int code = raw[i] == '\\' ? raw.mid(i + 1, 3).toInt(&octal, 8) : 0;
            if (octal && i + 3 < raw.size()) {
                point.append(static_cast<char>(code));
                i += 3;
            } else {
                point.append(raw[i]);
            }
        }
        const QString mountPoint = QFile::decodeName(point);
        for (const QString& root : roots) {
            if (mountPoint.startsWith(root + u'/')) {
                media.append({mountPoint, QString::fromLatin1(fields[2])});
                break;
            }
        }
    }
    return media;
}

namespace {

// The DOS attributes that Wine and Samba keep in "user.DOSATTRIB" as text,
// "0x22": hidden is 2, system 4. A dot name is hidden too.
bool isHidden(const QByteArray& folder, const QByteArray& name) {
    if (name.startsWith('.')) {
        return true;
    }
    char value[64] = {};
    const ssize_t n =
        ::getxattr((folder + '/' + name).constData(), "user.DOSATTRIB", value, sizeof value - 1);
    if (n < 3 || value[0] != '0' || (value[1] != 'x' && value[1] != 'X')) {
        return false;
    }
    const unsigned long attributes = std::strtoul(value + 2, nullptr, 16);
    return (attributes & 0x6) != 0;
}

}  // namespace

std::optional<QStringList> readDirectory(const QString& hostFolder, bool folders, bool files,
                                         bool hidden) {
    if (!QFileInfo(hostFolder).isDir()) {
        return QStringList();
    }
    const QByteArray folder = QFile::encodeName(hostFolder);
    DIR* dir = ::opendir(folder.constData());
    if (dir == nullptr) {
        return std::nullopt;
    }
    QStringList names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == ".." || name.contains('\\') ||
            (!hidden && isHidden(folder, name))) {
            continue;
        }
        struct stat st {};
        if (::stat((folder + '/' + name).constData(), &st) != 0) {
            continue;
        }
        const bool isFolder = S_ISDIR(st.st_mode);
        if ((isFolder && folders) || (!isFolder && S_ISREG(st.st_mode) && files)) {
            names.append(QFile::decodeName(name));
        }
    }
    ::closedir(dir);
    std::stable_sort(names.begin(), names.end(), windowsNameLess);
    return names;
}

bool windowsNameLess(const QString& a, const QString& b) {
    const QString ua = a.toUpper();
    const QString ub = b.toUpper();
    const int n = std::min(ua.size(), ub.size());
    for (int i = 0; i < n; ++i) {
        if (ua[i].unicode() != ub[i].unicode()) {
            return ua[i].unicode() < ub[i].unicode();
        }
    }
    return ua.size() < ub.size();
}

QStringList listDirectory(const QString& hostFolder, bool folders, bool files, bool hidden) {
    QDir::Filters filters = QDir::NoDotAndDotDot | QDir::System;
    if (folders) {
        filters |= QDir::Dirs;
    }
    if (files) {
        filters |= QDir::Files;
    }
    if (hidden) {
        filters |= QDir::Hidden;
    }
    QStringList names = QDir(hostFolder).entryList(filters, QDir::Unsorted);
    names.removeIf([](const QString& name) { return name.contains(u'\\'); });
    std::stable_sort(names.begin(), names.end(), windowsNameLess);
    return names;
}

}  // namespace platform
