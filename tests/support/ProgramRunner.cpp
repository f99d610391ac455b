#include "support/ProgramRunner.h"

#include "support/TempDir.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef QUILLMARK_BINARY
#error "QUILLMARK_BINARY must name the program under test"
#endif

ProgramResult runProgram(const std::vector<std::string>& arguments,
                         const std::string& workingFolder, const RunControl& control) {
    TempDir capture;
    const std::string outName = capture.file("stdout");
    const std::string errName = capture.file("stderr");

    std::vector<std::string> argv{QUILLMARK_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& argument : argv) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);

    pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        int out = open(outName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
            dup2(in, 0) < 0) {
            _exit(126);
        }
        if (!workingFolder.empty() && chdir(workingFolder.c_str()) != 0) {
            _exit(126);
        }
        if (control.fileSizeLimit != 0) {
            struct rlimit limit {};
            limit.rlim_cur = static_cast<rlim_t>(control.fileSizeLimit);
            limit.rlim_max = static_cast<rlim_t>(control.fileSizeLimit);
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                _exit(126);
            }
        }
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    if (control.whileRunning) {
        control.whileRunning(static_cast<int>(child));
    }
    if (control.timeoutSeconds > 0) {
        // Polled without reaping the child, which the wait below does.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::seconds(control.timeoutSeconds);
        for (;;) {
            siginfo_t info{};
            if (waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                info.si_pid != 0) {
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                kill(child, SIGKILL);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    int waitStatus = 0;
    struct rusage usage {};
    while (wait4(child, &waitStatus, 0, &usage) < 0) {
        if (errno != EINTR) {
            throw std::runtime_error("waitpid failed");
        }
    }
    ProgramResult result;
    result.out = TempDir::read(outName);
    result.err = TempDir::read(errName);
    result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
    result.signal = WIFSIGNALED(waitStatus) ? WTERMSIG(waitStatus) : 0;
    result.peakKiB = usage.ru_maxrss;
    return result;
}
