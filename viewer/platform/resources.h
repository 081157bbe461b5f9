// Files that ship with the program: the start page, icons, the default
// trust configurations.
#pragma once

#include <QString>

namespace platform {

// The host path of a shipped file: share/paperlens/<name> beside the
// program's bin/ folder, else the build tree's resources folder.
QString shippedFile(const QString& name);

// The trust configuration `name` ("npkiconf.ini", "otrxconf.ini"): the
// user's own in the workspace root where there is one, else the shipped
// default.
QString trustConfiguration(const QString& workspaceRoot, const QString& name);

}  // namespace platform
