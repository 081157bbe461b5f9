#include "drives.h"

#include <QFileInfo>

namespace platform {

Drives::Drives(const Prefix& prefix) : prefix_(prefix) {}

bool Drives::exists(QChar letter) const {
    return !prefix_.driveFolder(letter).isEmpty();
}

bool Drives::ready(QChar letter) const {
    const QFileInfo folder(prefix_.driveFolder(letter));
    return exists(letter) && folder.isDir() && folder.isReadable() && folder.isExecutable();
}

int Drives::type(QChar letter) const {
    if (!exists(letter)) {
        return kDriveUnknown;
    }
    if (!machine_) {
        machine_ = Registry::load(prefix_.root() + QStringLiteral("/system.reg"));
    }
    const auto configured =
        machine_->value(QStringLiteral("Software\\Wine\\Drives"), QString(letter.toLower()) + u':');
    if (configured && configured->type == Registry::kString) {
        // UTF-16 with its terminating zero, which a hand-edited value may
        // lack; anything shorter than one character is no type.
        const qsizetype units = configured->data.size() / 2;
        QString kind = QString::fromUtf16(
            reinterpret_cast<const char16_t*>(configured->data.constData()), units);
        kind.truncate(kind.indexOf(QChar(u'\0')) < 0 ? kind.size() : kind.indexOf(QChar(u'\0')));
        kind = kind.toLower();
        if (kind == QLatin1String("cdrom")) {
            return kDriveCdRom;
        }
        if (kind == QLatin1String("floppy")) {
            return kDriveRemovable;
        }
        if (kind == QLatin1String("network")) {
            return kDriveNetwork;
        }
        return kDriveFixed;
    }
    if (const auto medium = prefix_.attachedMedium(letter)) {
        const QString fs = medium->fileSystem.toLower();
        return fs == QLatin1String("iso9660") || fs == QLatin1String("udf") ? kDriveCdRom
                                                                            : kDriveRemovable;
    }
    return kDriveFixed;
}

}  // namespace platform
