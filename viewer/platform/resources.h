// Files that ship with the program: the start page, icons, the default
// trust configurations.
#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// The host path of a shipped file: share/paperlens/<name> beside the
// program's bin/ folder, else the build tree's resources folder.
QString shippedFile(const QString& name);

// The trust configuration `name` ("npkiconf.ini", "otrxconf.ini"): the
// user's own in the workspace root where there is one, else the shipped
// default.
QString trustConfiguration(const QString& workspaceRoot, const QString& name);

// The folders where a trust configuration looks for its top certificates:
// its [trust] top entries, relative to the file's folder, a file entry
// standing for the folder that holds it.
QStringList trustTopFolders(const QString& configuration);

}  // namespace platform
