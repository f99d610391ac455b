#include "platform/Platform.h"
#include "platform/Win32Text.h"

#include <csignal>
#include <cstring>
#include <windows.h>

namespace platform {

namespace {

// The temporary files of the run, kept where the console handler (which runs on a thread of
// its own while the program goes on) and the crash filter may read them: a fixed buffer each,
// marked ready only once its name is complete.
constexpr size_t kCleanupSlots = 8;
constexpr size_t kCleanupNameChars = 4096;
struct CleanupSlot {
    volatile LONG ready = 0;
    wchar_t name[kCleanupNameChars] = {};
};
CleanupSlot cleanupSlots[kCleanupSlots];

void removeCleanupFiles() {
    for (CleanupSlot& slot : cleanupSlots) {
        if (slot.ready != 0) {
            (void)DeleteFileW(slot.name);
        }
    }
}

// The program's own thread, stopped before the files go so that it makes no new one meanwhile.
HANDLE programThread = nullptr;
volatile LONG ending = 0;

// Ctrl+C, Ctrl+Break, the console window closed, the user logging off or the system shutting
// down: the program's thread is stopped, the files go, and the process ends at once with the
// status of a console interrupt. It is ended, not exited: the stopped thread may hold a lock
// that the library's own exit steps would wait for.
BOOL WINAPI onConsoleEvent(DWORD event) {
    (void)event;
    if (InterlockedExchange(&ending, 1) != 0) {
        // A second event while the first is handled: the first ends the process.
        Sleep(INFINITE);
    }
    if (programThread != nullptr) {
        SuspendThread(programThread);
    }
    removeCleanupFiles();
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(STATUS_CONTROL_C_EXIT));
    return TRUE;
}

// A crash leaves no temporary file either; the crash is then reported as it would have been.
LONG WINAPI onUnhandledException(EXCEPTION_POINTERS* exception) {
    (void)exception;
    removeCleanupFiles();
    return EXCEPTION_CONTINUE_SEARCH;
}

void onAbort(int signal) {
    removeCleanupFiles();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

void installSignalHandlers() {
    if (programThread == nullptr) {
        (void)DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(),
                              &programThread, THREAD_SUSPEND_RESUME, FALSE, 0);
    }
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    SetUnhandledExceptionFilter(onUnhandledException);
    std::signal(SIGABRT, onAbort);
}

void addCleanupFile(const std::string& path) {
    const std::wstring name = win32_text::toWide(path);
    if (name.empty() || name.size() >= kCleanupNameChars) {
        return;
    }
    for (CleanupSlot& slot : cleanupSlots) {
        if (slot.ready == 0) {
            std::memcpy(slot.name, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
            InterlockedExchange(&slot.ready, 1);
            return;
        }
    }
}

void dropCleanupFile(const std::string& path) {
    const std::wstring name = win32_text::toWide(path);
    for (CleanupSlot& slot : cleanupSlots) {
        if (slot.ready != 0 && name == slot.name) {
            InterlockedExchange(&slot.ready, 0);
        }
    }
}

} // namespace platform
