#pragma once

#include <string>
#include <vector>

// Runs one command line (args[0] is the program name) and returns the process exit status:
// 0 when the run did what was asked, 1 after any failure message.
int runQuillmark(const std::vector<std::string>& args);
