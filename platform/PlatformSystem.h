#pragma once

#include "platform/Platform.h"

#include <string>

// The system's side of the calls that the test hooks can replace: each system's source defines
// them, and platform/PlatformCommon.cpp calls them when no hook is set.
namespace platform {

// The local time now, from the system clock.
LocalTime systemNow();
// The file's modification and creation times from the file system; false with the system's
// error text when they cannot be read.
bool systemFileTimes(const std::string& path, FileTimes& out, std::string& errorText);

} // namespace platform
