// Presses Ctrl+C in the console of another process, as a user at that console would:
//
//   send_ctrl_c <process id>
//
// A console event reaches only the processes of the sender's own console, so this program (a
// process of its own, which the tests start without a console) attaches to the target's
// console, ignores the event itself and sends it to the whole console. The tests cannot do that
// from their own process, which may have a console it must keep.
//
// Status: 0 when the event was sent; 2 for a wrong argument; 3 when the console could not be
// attached; 4 when the event could not be sent. The system's error code is on standard error.
#include <cstdio>
#include <cstdlib>
#include <windows.h>

namespace {

int fail(int status, const char* step) {
    std::fprintf(stderr, "send_ctrl_c: %s failed: error %lu\n", step, GetLastError());
    return status;
}

} // namespace

int main(int argc, char** argv) {
    char* end = nullptr;
    const unsigned long pid = argc == 2 ? std::strtoul(argv[1], &end, 10) : 0;
    if (pid == 0 || end == nullptr || *end != '\0') {
        std::fprintf(stderr, "usage: send_ctrl_c <process id>\n");
        return 2;
    }
    (void)FreeConsole();
    if (!AttachConsole(static_cast<DWORD>(pid))) {
        return fail(3, "AttachConsole");
    }
    // This process is one of the console's now: the event must not end it before it is sent.
    (void)SetConsoleCtrlHandler(nullptr, TRUE);
    if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
        return fail(4, "GenerateConsoleCtrlEvent");
    }
    return 0;
}
