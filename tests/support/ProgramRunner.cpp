#include "support/ProgramRunner.h"

#include "support/TempDir.h"

#include <stdexcept>

#ifndef QUILLMARK_BINARY
#error "QUILLMARK_BINARY must name the program under test"
#endif

#ifdef _WIN32

#ifndef QUILLMARK_SEND_CTRL_C
#error "QUILLMARK_SEND_CTRL_C must name the helper that presses Ctrl+C in a console"
#endif

#include <filesystem>
#include <string>
#include <windows.h>

#include <psapi.h>

namespace {

std::wstring wide(const std::string& text) {
    const std::u8string utf8(text.begin(), text.end());
    return std::filesystem::path(utf8).wstring();
}

// One argument as CommandLineToArgvW splits it again: quoted, with the backslashes before a
// quote (and before the closing quote) doubled.
std::wstring quotedArgument(const std::wstring& argument) {
    std::wstring text = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        text.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        text += c;
    }
    text.append(backslashes * 2, L'\\');
    return text + L"\"";
}

HANDLE inheritableFile(const std::string& name, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(wide(name).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The Windows runner: a process made with CreateProcessW, its streams in files. A file-size
// limit cannot be set for one process here (the tests that need one run on POSIX only).
ProgramResult runBinary(const char* binary, const std::vector<std::string>& arguments,
                        const std::string& workingFolder, const RunControl& control) {
    TempDir capture;
    const std::string outName = capture.file("stdout");
    const std::string errName = capture.file("stderr");
    const std::string inName = capture.write("stdin", control.input.value_or(""));
    // Made absolute in the test's own folder, which a working folder of the run may not be.
    const std::wstring program = std::filesystem::absolute(binary).wstring();
    std::wstring commandLine = quotedArgument(program);
    for (const std::string& argument : arguments) {
        commandLine += L" " + quotedArgument(wide(argument));
    }
    HANDLE out = inheritableFile(outName, true);
    HANDLE err = inheritableFile(errName, true);
    HANDLE in = inheritableFile(inName, false);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    startup.hStdInput = in;
    PROCESS_INFORMATION process{};
    const std::wstring folder = workingFolder.empty() ? std::wstring() : wide(workingFolder);
    const bool opened =
        out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE && in != INVALID_HANDLE_VALUE;
    DWORD error = opened ? ERROR_SUCCESS : GetLastError();
    BOOL started = FALSE;
    // Under wine a process start once failed for a moment, with nothing wrong in the call, and
    // failed the test it ran for: a second and a third try are made before the test fails.
    for (int attempt = 0; opened && !started && attempt < 3; ++attempt) {
        if (attempt > 0) {
            Sleep(200);
        }
        std::wstring line = commandLine; // CreateProcessW may write into its command line
        started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                                 control.ownConsole ? CREATE_NO_WINDOW : 0, nullptr,
                                 folder.empty() ? nullptr : folder.c_str(), &startup, &process);
        error = started ? ERROR_SUCCESS : GetLastError();
    }
    for (HANDLE handle : {out, err, in}) {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
    if (!started) {
        throw std::runtime_error(std::string(opened ? "CreateProcessW" : "CreateFileW") +
                                 " failed, error " + std::to_string(error));
    }
    if (control.whileRunning) {
        control.whileRunning(static_cast<int>(process.dwProcessId));
    }
    const DWORD wait =
        control.timeoutSeconds > 0 ? static_cast<DWORD>(control.timeoutSeconds) * 1000 : INFINITE;
    ProgramResult result;
    if (WaitForSingleObject(process.hProcess, wait) == WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        result.signal = 9; // reported as a kill, as on POSIX
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    PROCESS_MEMORY_COUNTERS memory{};
    if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory)) {
        result.peakKiB = static_cast<long>(memory.PeakWorkingSetSize / 1024);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    result.out = TempDir::read(outName);
    result.err = TempDir::read(errName);
    // A crash ends a Windows process with its exception code as the status.
    result.status = result.signal == 0 && exitCode < 256 ? static_cast<int>(exitCode) : -1;
    result.exitCode = exitCode;
    return result;
}

} // namespace

ProgramResult runProgram(const std::vector<std::string>& arguments,
                         const std::string& workingFolder, const RunControl& control) {
    return runBinary(QUILLMARK_BINARY, arguments, workingFolder, control);
}

ProgramResult sendCtrlC(int pid) {
    RunControl control;
    control.timeoutSeconds = 60;
    return runBinary(QUILLMARK_SEND_CTRL_C, {std::to_string(pid)}, std::string(), control);
}

#else

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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

    int inputPipe[2] = {-1, -1};
    if (control.input && pipe(inputPipe) != 0) {
        throw std::runtime_error("pipe failed");
    }
    pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        int out = open(outName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int in = control.input ? inputPipe[0] : open("/dev/null", O_RDONLY);
        if (control.input) {
            close(inputPipe[1]);
        }
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
    if (control.input) {
        // Written while the child reads; a child that stops reading ends the write with EPIPE.
        close(inputPipe[0]);
        const auto previous = signal(SIGPIPE, SIG_IGN);
        for (size_t done = 0; done < control.input->size();) {
            const ssize_t count =
                write(inputPipe[1], control.input->data() + done, control.input->size() - done);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count <= 0) {
                break;
            }
            done += static_cast<size_t>(count);
        }
        close(inputPipe[1]);
        signal(SIGPIPE, previous);
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

#endif
