// The reader of Wine's registry text format on any text, and the lookups
// the registry export makes.
#include "registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const platform::Registry registry = platform::Registry::parse(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    const QString store = QStringLiteral("Software\\SIGNGATE\\PKICERT\\Certificate");
    for (const QString& name : registry.subkeys(store)) {
        (void)registry.valueBytes(store + u'\\' + name, QStringLiteral("Sign"));
    }
    (void)registry.valueBytes(QStringLiteral("Software\\Wine\\Drives"), QStringLiteral("a:"));
    return 0;
}
