// The subcommands of paperlens-cli, each taking the arguments after its
// name and returning the exit status.
#pragma once

#include <QStringList>

int certs(const QStringList& args);
int seal(const QStringList& args);
int receipt(const QStringList& args);
