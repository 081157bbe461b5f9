#include "runworkspace.h"

#include "termination.h"

#include <unistd.h>

RunWorkspace::RunWorkspace(bool prepared) : prefix_(platform::Prefix::defaultLocation()) {
    if (!prepared && !prefix_.ensure()) {
        error_ = QStringLiteral("cannot make the prefix in %1").arg(prefix_.root());
        return;
    }
    workspace_ = std::make_unique<platform::ProcessWorkspace>(prefix_, !prepared);
    if (!workspace_->ok()) {
        error_ = QStringLiteral("cannot make a workspace in %1").arg(prefix_.workspaceRoot());
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
