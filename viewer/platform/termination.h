// How a process ends cleanly when it is told to: SIGTERM (the desktop
// session ending, a service manager, kill), SIGHUP (its terminal gone) and
// SIGINT (Ctrl+C) become a call on a thread of their own, where the
// program can remove what it must not leave behind.
#pragma once

#include <functional>

namespace platform {

// From now on each of the three signals calls `handler` with the signal's
// number on a thread started for it, not in the signal handler itself. A
// later call replaces the handler.
void onTerminationSignal(std::function<void(int signal)> handler);

// In a child process just forked: the signals take their default action
// again, and the next onTerminationSignal starts the child's own thread.
void forgetTerminationSignal();

// Core dumps off and no ptrace attach from other processes of the user, as
// password managers do: a password or a decrypted page must not reach a
// core file or a debugger that was not started on purpose. Builds with
// sanitizers keep both, since LeakSanitizer attaches with ptrace.
void hardenProcess();

}  // namespace platform
