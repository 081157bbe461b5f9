#include "runworkspace.h"

#include "termination.h"

#include <unistd.h>

#include <cstdio>

RunWorkspace::RunWorkspace(bool prepared) : prefix_(platform::Prefix::defaultLocation()) {
    if (!prepared && !prefix_.ensure()) {
        std::fprintf(stderr, "paperlens-cli: cannot make the prefix in %s\n",
                     prefix_.root().toUtf8().constData());
        return;
    }
    workspace_ = std::make_unique<platform::ProcessWorkspace>(prefix_, !prepared);
    if (!workspace_->ok()) {
        std::fprintf(stderr, "paperlens-cli: cannot make a workspace in %s\n",
                     prefix_.workspaceRoot().toUtf8().constData());
        return;
    }
    // A run stopped halfway leaves nothing decrypted behind: its folder
    // goes at once, whatever the run was doing.
    platform::ProcessWorkspace* workspace = workspace_.get();
    platform::onTerminationSignal([workspace](int signal) {
        workspace->remove();
        ::_exit(128 + signal);
    });
}

RunWorkspace::~RunWorkspace() {
    platform::onTerminationSignal([](int signal) { ::_exit(128 + signal); });
}
