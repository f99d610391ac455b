#pragma once

// Program name and version as the banner and "--version" show them; the build sets
// QUILLMARK_VERSION from the project's version.
inline constexpr const char* kProgramName = "Quillmark";
inline constexpr const char* kProgramVersion = QUILLMARK_VERSION;

// An empty line, the program name and version, an empty line; CR LF line ends.
void printBanner();
// The banner, then the option summary and examples.
void printUsage();
// "Quillmark 1.24" on one line.
void printVersion();
