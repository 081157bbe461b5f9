#include "resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace platform {

QString shippedFolder() {
    const QString installed =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/paperlens");
    if (QFileInfo(installed).isDir()) {
        return QDir::cleanPath(QFileInfo(installed).absoluteFilePath());
    }
    return QStringLiteral(PAPERLENS_RESOURCES);
}

QString shippedFile(const QString& name) { return shippedFolder() + u'/' + name; }

QString privateLibrary(const QString& fileName) {
    // The running program's own folder, known with or without an
    // application object.
    const QString program = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).path();
    for (const QString& folder : {program, program + QStringLiteral("/../lib/paperlens"),
                                  program + QStringLiteral("/../bin")}) {
        const QString candidate = QDir::cleanPath(folder + u'/' + fileName);
        if (QFileInfo::exists(candidate)) {
            return candidate;
        }
    }
    return fileName;
}

bool installQtKorean() {
    static QTranslator qtbase;
    if (!qtbase.load(QLocale(QLocale::Korean, QLocale::SouthKorea), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    return QCoreApplication::installTranslator(&qtbase);
}

QString trustConfiguration(const QString& workspaceRoot, const QString& name) {
    const QString own = workspaceRoot + u'/' + name;
    return QFileInfo(own).isFile() ? own : shippedFile(name);
}

QStringList trustTopFolders(const QString& configuration) {
    QFile file(configuration);
    QStringList folders;
    if (!file.open(QIODevice::ReadOnly)) {
        return folders;
    }
    const QDir base = QFileInfo(configuration).absoluteDir();
    QString section;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'[')) {
            section = line.mid(1, line.indexOf(u']') - 1).trimmed().toLower();
            continue;
        }
        const int equals = line.indexOf(u'=');
        if (section != QLatin1String("trust") || equals < 0 ||
            line.left(equals).trimmed().toLower() != QLatin1String("top")) {
            continue;
        }
        QString value = line.mid(equals + 1);
        const int comment = value.indexOf(QLatin1String(" ;"));
        value = (comment < 0 ? value : value.left(comment)).trimmed();
        const QFileInfo entry(base, value);
        const bool isFile = entry.isFile() || entry.suffix().size() == 3;
        folders.append(QDir::cleanPath(isFile ? entry.absolutePath() : entry.absoluteFilePath()));
    }
    folders.removeDuplicates();
    return folders;
}

}  // namespace platform
