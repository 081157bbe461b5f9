// The subcommands of paperlens-cli, each taking the arguments after its
// name and returning the exit status.
#pragma once

#include <QString>
#include <QStringList>

// A usage error: one line that names what is wrong and where to read
// more, on standard error; returns the exit status 2.
int usageError(const QString& what);

int certs(const QStringList& args);
// `open FILE... --out-dir DIR`: runs before any Qt application object
// exists, since it starts its worker processes first.
int openMany(int argc, char** argv);

int verify(const QStringList& args);
int seal(const QStringList& args);
int receipt(const QStringList& args);
