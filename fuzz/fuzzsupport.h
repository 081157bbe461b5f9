// A scratch folder per input, removed with everything in it.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace fuzz {

class Scratch {
public:
    const QString path() const { return dir_.path(); }
    // Writes the bytes to `name` below the folder; returns its path.
    QString write(const char* name, const uint8_t* data, size_t size) {
        const QString file = dir_.filePath(QString::fromLatin1(name));
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        if (out.open(QIODevice::WriteOnly)) {
            out.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
        }
        return file;
    }

private:
    QTemporaryDir dir_;
};

}  // namespace fuzz
