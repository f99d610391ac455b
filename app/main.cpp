#include "app/EntryPoint.h"
#include "platform/Platform.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    platform::installSignalHandlers();
    std::vector<std::string> args(argv, argv + argc);
    return runQuillmark(args);
}
