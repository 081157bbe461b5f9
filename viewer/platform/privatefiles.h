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

// Removes a host folder with everything in it: the files of each level in
// the order Windows lists them, then its subfolders, the folder itself
// last. Hidden files go too, and links are removed, never followed. False
// when anything could not be removed.
[[nodiscard]] bool removeTree(const QString& hostFolder);

}  // namespace platform
