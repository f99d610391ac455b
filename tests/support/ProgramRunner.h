#pragma once

#include <string>
#include <vector>

// What one run of the program printed and returned.
struct ProgramResult {
    std::string out;
    std::string err;
    int status = -1; // exit status; -1 when the program did not exit normally
};

// Runs the built quillmark with the given arguments (without the program name) in the given
// working folder (the current one when empty), capturing both streams byte for byte.
ProgramResult runProgram(const std::vector<std::string>& arguments,
                         const std::string& workingFolder = std::string());
