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

// One past the last byte of a range of the mapping (offset inside it), cut at its end.
uint64_t mappedEnd(const FileMapping& mapping, uint64_t offset, uint64_t length);

} // namespace platform
