#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <cstdio>
#include <string>

// The system's side of the calls that the test hooks can replace: each system's source defines
// them, and platform/PlatformCommon.cpp calls them when no hook is set and the
// common checks have passed.
namespace platform {

// The local time now, from the system clock.
LocalTime systemNow();
// The file's modification and creation times from the file system; false with the system's
// error text when they cannot be read.
bool systemFileTimes(const std::string& path, FileTimes& out, std::string& errorText);

// Maps the file of size bytes (not zero, at most half the address space) with the system's
// calls; false when it cannot be mapped.
bool systemMapFile(std::FILE* file, uint64_t size, FileMapping& out);
// Gives the memory of mapped pages back to the system; the pages are read from the file again
// when next touched. start is at a large page of the mapping.
void systemReleasePages(const char* start, uint64_t length);

// Makes one folder whose parent exists. True when it was made or a folder has the name already;
// else false, the cause then given by lastErrorText.
bool systemCreateFolder(const std::string& path);
// The system's folder for temporary files.
std::string systemTempFolder();
// Sets standard input or output to binary mode, where the system has a text mode (Windows).
void setBinaryMode(std::FILE* stream);
// A binary stream on standard output as it is, which is then pointed at standard error;
// nullptr, with standard output left as it was, when that cannot be done.
std::FILE* systemTakeStandardOutput();

// One past the last byte of a range of the mapping (offset inside it), cut at its end.
uint64_t mappedEnd(const FileMapping& mapping, uint64_t offset, uint64_t length);

} // namespace platform
