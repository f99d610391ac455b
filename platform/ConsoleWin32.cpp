#include "platform/Platform.h"
#include "platform/Win32Text.h"

#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>

namespace platform {

namespace {

UINT previousOutputCodePage = 0;

void restoreConsole() {
    if (previousOutputCodePage != 0) {
        SetConsoleOutputCP(previousOutputCodePage);
    }
}

} // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    // The wide command line: the narrow one went through the ANSI code page, where a name
    // such as "Ωmega.pdf" is turned into a different name by best-fit mapping.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> args;
    args.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        args.push_back(win32_text::toUtf8(wide[i]));
    }
    LocalFree(wide);
    return args;
}

void setUpConsole() {
    // The messages' bytes go out as they are: a "\r\n" stays "\r\n" instead of becoming
    // "\r\r\n". Names are UTF-8, and a console shows them as such.
    (void)_setmode(_fileno(stdout), _O_BINARY);
    (void)_setmode(_fileno(stderr), _O_BINARY);
    const UINT current = GetConsoleOutputCP();
    if (current != 0 && current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
        previousOutputCodePage = current;
        std::atexit(restoreConsole);
    }
}

} // namespace platform
