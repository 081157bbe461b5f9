#include "secrets.h"

#include <cstring>

namespace platform {

namespace {

void zero(void* data, size_t size) {
    if (data != nullptr && size > 0) {
        explicit_bzero(data, size);
    }
}

// Only characters on the heap: a string over static data (a literal) has
// no capacity and nothing of a password in it.
void zeroCharacters(QString& text) {
    if (text.capacity() > 0) {
        const qsizetype units = text.size() + text.data_ptr().freeSpaceAtEnd();
        zero(const_cast<QChar*>(text.constData()), static_cast<size_t>(units) * sizeof(QChar));
    }
}

}  // namespace

void wipe(QString& text) {
    if (text.isDetached()) {
        zeroCharacters(text);
    }
    text = QString();
}

void wipe(QByteArray& bytes) {
    if (bytes.isDetached() && bytes.capacity() > 0) {
        const qsizetype size = bytes.size() + bytes.data_ptr().freeSpaceAtEnd();
        zero(const_cast<char*>(bytes.constData()), static_cast<size_t>(size));
    }
    bytes = QByteArray();
}

void wipeEverywhere(QString& text) {
    if (!text.isEmpty()) {
        zeroCharacters(text);
    }
    text = QString();
}

}  // namespace platform
