#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

// The only code that talks to the operating system beyond standard C++ files: folders,
// renames, deletions, file identity, file times and the local clock.
namespace platform {

struct LocalTime {
    std::tm tm{};            // local calendar time
    int millisecond = 0;     // 0 to 999
    int64_t epochSeconds = 0;
};

struct FileTimes {
    std::tm modified{}; // last write, local time
    std::tm created{};  // birth time where the file system has one, else last status change
};

// The current local time with milliseconds.
LocalTime now();
// The input's times; false with the system's error text when they cannot be read.
bool getFileTimes(const std::string& path, FileTimes& out, std::string& errorText);

// Test hooks: replace the clock or the file times; an empty function restores the real one.
void setNowForTesting(std::function<LocalTime()> provider);
void setFileTimesForTesting(std::function<bool(const std::string&, FileTimes&)> provider);

// One level of folder; an error (such as an existing folder) is ignored.
void createDirectory(const std::string& path);
// Renames, replacing any file under the new name. False on failure.
bool renameReplacing(const std::string& from, const std::string& to);
// Deletes a file. False when it could not be deleted (a missing file included).
bool removeFile(const std::string& path);
bool fileExists(const std::string& path);
// True when both names exist and denote the same file (same device and file number).
bool sameFile(const std::string& a, const std::string& b);

// Folder separators of this platform: on POSIX both "/" and "\" separate folders.
bool isFolderSeparator(char c);
// The separator used to join a folder and a name.
char folderSeparator();
// Index one past the last folder separator of name (0 when it has none).
size_t fileNameStart(std::string_view name);
std::string joinPath(std::string_view folder, std::string_view name);

// Creates a new, empty, uniquely named file in the folder of target, opened for binary writing.
// Returns nullptr when it cannot be created.
std::FILE* createTempFileBeside(const std::string& target, std::string& tempPath);

} // namespace platform
