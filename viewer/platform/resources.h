// Files that ship with the program: the start page, icons, the default
// trust configurations.
#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Where the shipped files are: share/paperlens beside the program's bin/
// folder in an installed copy (which never looks anywhere else), the
// source tree's resources folder for a program run from the build tree.
QString shippedFolder();
// The host path of a shipped file.
QString shippedFile(const QString& name);

// A private library of the program, for dlopen, by its full path: beside
// the program (the build tree's bin/), in ../lib/paperlens (an installed
// copy), or in ../bin (the build tree's tests and benchmarks); else its
// bare name. A full path, since a sanitizer's dlopen interceptor is the
// caller the loader sees, and its RUNPATH is not the program's.
QString privateLibrary(const QString& fileName);

// Qt's own texts (buttons, the file chooser, the print dialog) in Korean,
// whatever the user's locale; false when the catalogue is not installed.
bool installQtKorean();

// The trust configuration `name` ("npkiconf.ini", "otrxconf.ini"): the
// user's own in the workspace root where there is one, else the shipped
// default.
QString trustConfiguration(const QString& workspaceRoot, const QString& name);

// The folders where a trust configuration looks for its top certificates:
// its [trust] top entries, relative to the file's folder, a file entry
// standing for the folder that holds it.
QStringList trustTopFolders(const QString& configuration);

}  // namespace platform
