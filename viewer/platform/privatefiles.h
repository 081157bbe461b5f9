// Files that hold keys and decrypted data: readable by the user only, and
// never left half written.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <functional>

namespace platform {

// Makes the host folder and its missing parents; the folders it creates get
// mode 0700. True when the folder exists afterwards.
[[nodiscard]] bool makePrivateFolder(const QString& hostFolder);

// Writes `bytes` to a temporary file of mode 0600 beside `hostFile`, then
// renames it over `hostFile`, so the file holds the old or the new bytes.
[[nodiscard]] bool writePrivateFile(const QString& hostFile, const QByteArray& bytes);
// The same, with what `write` writes to the temporary file's descriptor;
// false (and no file) when `write` returns false.
[[nodiscard]] bool writePrivateFile(const QString& hostFile,
                                    const std::function<bool(int fd)>& write);

// All of `size` bytes written to, or read from, a descriptor that may take
// or give them in parts (a pipe); false on an error or an early end.
[[nodiscard]] bool writeFully(int fd, const char* data, size_t size);
[[nodiscard]] bool readFully(int fd, char* data, size_t size);

// Removes a host folder with everything in it: the files of each level in
// the order Windows lists them, then its subfolders, the folder itself
// last. Hidden files go too, and links are removed, never followed. False
// when anything could not be removed.
[[nodiscard]] bool removeTree(const QString& hostFolder);

}  // namespace platform
