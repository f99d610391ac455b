#include "platform/Platform.h"

namespace platform {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void setUpConsole() {}

} // namespace platform
