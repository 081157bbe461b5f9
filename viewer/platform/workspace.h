// Every process's own application folder: "<prefix>/workspace/run-XXXXXX",
// mode 0700, holding "temp.html", the working folder "data" and the
// certificates exported from the registry ("c:\kvx\" is mapped into it).
// A lock held for the process's life tells a live folder from one that a
// crashed process left; those are removed when the next process starts.
#pragma once

#include "hostpaths.h"

#include <QString>

#include <atomic>

namespace platform {

class ProcessWorkspace {
public:
    // Makes and locks the folder, removes the folders of processes that no
    // longer run (unless `sweep` is false: a run of many documents sweeps
    // once, before its first), and makes it the prefix's application
    // folder. ok() tells whether that worked; the prefix must exist
    // (Prefix::ensure).
    explicit ProcessWorkspace(Prefix& prefix, bool sweep = true);
    // Removes the folder with everything in it.
    ~ProcessWorkspace();
    ProcessWorkspace(const ProcessWorkspace&) = delete;
    ProcessWorkspace& operator=(const ProcessWorkspace&) = delete;

    bool ok() const { return !folder_.isEmpty(); }
    const QString& folder() const { return folder_; }

    // Removes the folder now (once). It may run on another thread than the
    // one that uses the folder: the folder is first renamed away, so what
    // that thread still writes lands in no folder of the workspace.
    void remove();

private:
    Prefix& prefix_;
    QString folder_;
    int lock_ = -1;
    std::atomic<bool> removed_{false};
};

// Removes the folders of processes that no longer run under a workspace
// root, and what an earlier version left there ("temp.html", "data").
// Returns how many process folders were removed.
int sweepWorkspaces(const QString& workspaceRoot);

}  // namespace platform
