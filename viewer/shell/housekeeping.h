// The shell's two deletion operations, on path texts.
#pragma once

#include "hostpaths.h"

#include <QString>

namespace shell {

// Deletes the file when it exists. False when it exists and cannot be
// deleted.
bool deleteFileIfExists(const QString& path, const platform::Prefix& prefix);

// Deletes a folder with everything in it: the files of each level while it
// is listed, then its subfolders in listing order, the folder itself last.
// A missing folder is no error. Hidden files go too, so that no decrypted
// page or member is left behind, and a link is removed, never followed.
// False when anything could not be removed.
bool deleteFolderTree(const QString& path, const platform::Prefix& prefix);

}  // namespace shell
