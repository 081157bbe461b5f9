// Certificates that other certificate software keeps in the current user's
// registry, exported into certificate folders under "c:\kvx\" where the
// hard-disk scan finds them.
#pragma once

#include "hostpaths.h"
#include "registry.h"

#include <QString>
#include <QStringList>

#include <array>

namespace certificates {

// The stores, read in this order.
inline const std::array<QString, 2> registryStoreTable = {QStringLiteral("SIGNGATE"),
                                                          QStringLiteral("KNCA")};

// What a value read returns when the key cannot be opened or the read fails.
inline const QString kRegistryFailure = QStringLiteral("-999");

// The text of a value as the 4096-byte read gives it: up to its
// terminating zero, blanks around it trimmed. Empty for a value that does not exist under a
// key that does; "-999" when the key does not exist or the value does not
// fit the buffer.
QString getRegistryKeyValue(const platform::Registry& registry, const QString& keyName,
                            const QString& valueName);

// The names of a key's subkeys in enumeration order, at most 100: a key
// with more, or one that does not exist, gives none. A name of 256 bytes
// or more ends the enumeration.
QStringList listRegistrySubkeys(const platform::Registry& registry, const QString& key);

// Writes c:\kvx\cn=N\SignCert.der and SignPri.key for the N-th usable
// certificate of the stores, numbering from 1 on every run. The first
// value that is too short or does not decode ends the export; what was
// written stays. Folders it creates are private, the files 0600. Returns
// the number of certificates written.
int exportRegistryCerts(const platform::Prefix& prefix);
int exportRegistryCerts(const platform::Prefix& prefix, const platform::Registry& registry);

}  // namespace certificates
