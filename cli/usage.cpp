#include "commands.h"

#include <cstdio>

int usageError(const QString& what) {
    std::fprintf(stderr, "paperlens-cli: %s\nTry 'paperlens-cli --help' for more information.\n",
                 what.toUtf8().constData());
    return 2;
}
