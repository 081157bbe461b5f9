// Files that hold keys and decrypted data: readable by the user only, and
// never left half written.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Makes the host folder and its missing parents; the folders it creates get
// mode 0700. True when the folder exists afterwards.
[[nodiscard]] bool makePrivateFolder(const QString& hostFolder);

// Writes `bytes` to a temporary file of mode 0600 beside `hostFile`, then
// renames it over `hostFile`, so the file holds the old or the new bytes.
[[nodiscard]] bool writePrivateFile(const QString& hostFile, const QByteArray& bytes);

}  // namespace platform
