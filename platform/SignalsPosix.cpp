#include "platform/Platform.h"

#include <csignal>
#include <cstring>
#include <iterator>
#include <signal.h>
#include <unistd.h>

namespace platform {

namespace {

// The temporary files of the run, kept where a signal handler may read them: a fixed buffer
// each, marked ready only once its name is complete.
constexpr size_t kCleanupSlots = 8;
constexpr size_t kCleanupNameBytes = 4096;
struct CleanupSlot {
    volatile sig_atomic_t ready = 0;
    char name[kCleanupNameBytes] = {};
};
CleanupSlot cleanupSlots[kCleanupSlots];

constexpr int kFaultSignals[] = {SIGSEGV, SIGFPE, SIGILL, SIGABRT};
struct sigaction previousFaultActions[4]{};

void removeCleanupFiles() {
    for (CleanupSlot& slot : cleanupSlots) {
        if (slot.ready != 0) {
            (void)unlink(slot.name);
        }
    }
}

// Only async-signal-safe calls: unlink the names, then end the process the signal's own way.
void onTerminatingSignal(int signal) {
    removeCleanupFiles();
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

// A crash leaves no temporary file either. The handler that was there before (the default
// action, or a sanitizer's report) is put back: the faulting instruction then runs again and
// reaches it, and an abort is raised again for it.
void onFault(int signal) {
    removeCleanupFiles();
    for (size_t i = 0; i < std::size(kFaultSignals); ++i) {
        if (kFaultSignals[i] == signal) {
            sigaction(signal, &previousFaultActions[i], nullptr);
        }
    }
    if (signal == SIGABRT) {
        raise(signal);
    }
}

} // namespace

void installSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = onTerminatingSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&action.sa_mask, signal);
    }
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        // A signal ignored by whoever started us (nohup) stays ignored.
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) {
            continue;
        }
        sigaction(signal, &action, nullptr);
    }
    // Past a file-size limit a write then fails and is reported like any other failed write.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, nullptr);

    struct sigaction fault {};
    fault.sa_handler = onFault;
    sigemptyset(&fault.sa_mask);
    fault.sa_flags = SA_NODEFER;
    for (size_t i = 0; i < std::size(kFaultSignals); ++i) {
        sigaction(kFaultSignals[i], &fault, &previousFaultActions[i]);
    }
}

void addCleanupFile(const std::string& path) {
    if (path.empty() || path.size() >= kCleanupNameBytes) {
        return;
    }
    for (CleanupSlot& slot : cleanupSlots) {
        if (slot.ready == 0) {
            std::memcpy(slot.name, path.c_str(), path.size() + 1);
            slot.ready = 1;
            return;
        }
    }
}

void dropCleanupFile(const std::string& path) {
    for (CleanupSlot& slot : cleanupSlots) {
        if (slot.ready != 0 && path == slot.name) {
            slot.ready = 0;
        }
    }
}

} // namespace platform
