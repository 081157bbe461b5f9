// The prefix and this run's own workspace, for the subcommands that open
// documents or read certificates. The workspace goes when the run ends,
// and at once when the run is told to stop (SIGTERM, SIGHUP, SIGINT).
#pragma once

#include "workspace.h"

#include <memory>

class RunWorkspace {
public:
    // Makes what is missing of the prefix and this run's folder in it; on
    // a failure ok() is false and error() says what could not be made. `prepared`:
    // the prefix was made and swept already, by the run of many documents
    // this one belongs to.
    explicit RunWorkspace(bool prepared = false);
    ~RunWorkspace();
    RunWorkspace(const RunWorkspace&) = delete;
    RunWorkspace& operator=(const RunWorkspace&) = delete;

    bool ok() const { return workspace_ && workspace_->ok(); }
    const QString& error() const { return error_; }
    platform::Prefix& prefix() { return prefix_; }

private:
    platform::Prefix prefix_;
    std::unique_ptr<platform::ProcessWorkspace> workspace_;
    QString error_;
};
