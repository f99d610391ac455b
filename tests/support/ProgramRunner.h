#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// What one run of the program printed and returned.
struct ProgramResult {
    std::string out;
    std::string err;
    int status = -1; // exit status; -1 when the program did not exit normally
    int signal = 0;  // the signal that ended it, 0 when it exited
    // The most memory the run held (its peak resident set, in KiB); it may count the pages
    // the test process shared with it before it started the program, as the system does.
    long peakKiB = 0;
    // Windows: the exit code as the system gave it, also an exception's or a console
    // interrupt's (STATUS_CONTROL_C_EXIT), which status reports as -1.
    unsigned long exitCode = 0;
};

// How a run is set up beyond its arguments.
struct RunControl {
    uint64_t fileSizeLimit = 0; // the child's RLIMIT_FSIZE in bytes; 0: none set
    // Past this many seconds the child is killed (it then reports signal SIGKILL); 0: no limit.
    int timeoutSeconds = 0;
    // Called in the test with the child's process id while the child runs (to signal it).
    std::function<void(int)> whileRunning;
    // Windows: the child gets a console of its own, without a window, so that a console event
    // (sendCtrlC) reaches it and no other process. Nothing on POSIX.
    bool ownConsole = false;
    // The bytes the child reads on standard input: through a pipe on POSIX, from a file on
    // Windows. Without them standard input is empty (/dev/null on POSIX).
    std::optional<std::string> input;
};

// Runs the built quillmark with the given arguments (without the program name) in the given
// working folder (the current one when empty), capturing both streams byte for byte.
ProgramResult runProgram(const std::vector<std::string>& arguments,
                         const std::string& workingFolder = std::string(),
                         const RunControl& control = RunControl());

#ifdef _WIN32
// Presses Ctrl+C in the console of the running process pid (started with ownConsole) through
// the helper program send_ctrl_c; its result tells whether the event was sent.
ProgramResult sendCtrlC(int pid);
#endif
