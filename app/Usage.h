#pragma once

// Program name and version as the banner and "--version" show them.
inline constexpr const char* kProgramName = "Quillmark";
inline constexpr const char* kProgramVersion = "1.24";

// An empty line, the program name and version, an empty line; CR LF line ends.
void printBanner();
// The banner, then the option summary and examples.
void printUsage();
// "Quillmark 1.24" on one line.
void printVersion();
