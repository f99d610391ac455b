#include "support/ProgramRunner.h"

#include "support/TempDir.h"

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#ifndef QUILLMARK_BINARY
#error "QUILLMARK_BINARY must name the program under test"
#endif

ProgramResult runProgram(const std::vector<std::string>& arguments,
                         const std::string& workingFolder) {
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
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    int waitStatus = 0;
    while (waitpid(child, &waitStatus, 0) < 0) {
        if (errno != EINTR) {
            throw std::runtime_error("waitpid failed");
        }
    }
    ProgramResult result;
    result.out = TempDir::read(outName);
    result.err = TempDir::read(errName);
    result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
    return result;
}
