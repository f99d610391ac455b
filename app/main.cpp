#include "app/EntryPoint.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    return runQuillmark(args);
}
