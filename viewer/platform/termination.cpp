#include "termination.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <thread>

namespace platform {

namespace {

int signalPipe[2] = {-1, -1};
std::mutex handlerMutex;
std::function<void(int)> terminationHandler;
bool forwarding = false;  // the thread runs and the signals go to it

extern "C" void forwardSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    (void)!::write(signalPipe[1], &number, 1);
    errno = saved;
}

void waitForSignals() {
    for (;;) {
        unsigned char number = 0;
        const ssize_t n = ::read(signalPipe[0], &number, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n != 1) {
            return;
        }
        std::function<void(int)> handler;
        {
            const std::lock_guard<std::mutex> lock(handlerMutex);
            handler = terminationHandler;
        }
        if (handler) {
            handler(number);
        }
    }
}

}  // namespace

void onTerminationSignal(std::function<void(int)> handler) {
    const std::lock_guard<std::mutex> lock(handlerMutex);
    terminationHandler = std::move(handler);
    if (forwarding) {
        return;
    }
    if (::pipe2(signalPipe, O_CLOEXEC) != 0) {
        return;
    }
    forwarding = true;
    std::thread(waitForSignals).detach();
    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        ::sigaction(signal, &action, nullptr);
    }
}

void forgetTerminationSignal() {
    // Only the thread that called fork() lives on in the child: the
    // forwarding thread and its pipe are the parent's.
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        ::signal(signal, SIG_DFL);
    }
    if (forwarding) {
        ::close(signalPipe[0]);
        ::close(signalPipe[1]);
        signalPipe[0] = signalPipe[1] = -1;
    }
    forwarding = false;
    terminationHandler = nullptr;
}

void hardenProcess() {
#if !defined(__SANITIZE_ADDRESS__)
    const struct rlimit none {0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

}  // namespace platform
