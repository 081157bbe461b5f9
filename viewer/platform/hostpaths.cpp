#include "hostpaths.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>

#include <sys/stat.h>

#include <algorithm>

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
    const QStringList entries =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
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
    return QFile::link(target, link);
}

}  // namespace

QString Prefix::defaultLocation() {
    const QString configured = qEnvironmentVariable("PAPERLENS_PREFIX");
    if (!configured.isEmpty()) {
        return configured;
    }
    return QDir::homePath() + QStringLiteral("/.local/share/paperlens");
}

Prefix::Prefix(QString root) : root_(std::move(root)) {
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
        return makeFolder(programFiles) &&
               makeLink(npki, programFiles + QStringLiteral("/NPKI"));
    }
    return true;
}

QString Prefix::applicationFolder() const { return root_ + QStringLiteral("/workspace"); }

QString Prefix::hostPath(const QString& text) const {
    if (!isDriveText(text)) {
        QStringList parts = components(text);
        QString joined = parts.join(u'/');
        return text.startsWith(u'/') || text.startsWith(u'\\') ? u'/' + joined : joined;
    }
    QString path = root_ + QStringLiteral("/dosdevices/") + text[0].toLower() + u':';
    for (const QString& part : components(text.mid(2))) {
        path += u'/' + lookUp(path, part);
    }
    return path;
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
    std::stable_sort(names.begin(), names.end(), windowsNameLess);
    return names;
}

}  // namespace platform
