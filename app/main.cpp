#include "app/EntryPoint.h"
#include "platform/Platform.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    platform::installSignalHandlers();
    platform::setUpConsole();
    return runQuillmark(platform::commandLineArguments(argc, argv));
}
