#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The only code that talks to the operating system beyond standard C++ files: folders,
// renames, deletions, file identity, file times, the local clock, files mapped into memory and
// the start of an output's writeback.
namespace platform {

struct LocalTime {
    std::tm tm{};        // local calendar time
    int millisecond = 0; // 0 to 999
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

// The folder and every folder above it that does not exist yet. True when the folder exists
// afterwards; else false, errorText naming the folder that could not be made and why.
bool createFolders(const std::string& path, std::string& errorText);
// Renames, replacing any file under the new name. False on failure.
bool renameReplacing(const std::string& from, const std::string& to);
// Renames only when no file has the new name, in one step: of two programs that both try,
// one wins. False when a file has the new name or the rename failed.
bool renameIfAbsent(const std::string& from, const std::string& to);
// Deletes a file. False when it could not be deleted (a missing file included).
bool removeFile(const std::string& path);
// After a failed renameReplacing or removeFile: true when it failed because another program
// holds the file open (Windows refuses both then; POSIX never does).
bool lastFailureWasInUse();
bool fileExists(const std::string& path);
// True when the file is marked read-only: Windows' read-only attribute, or on POSIX no write
// permission for anyone. Such a file is one its owner asked to keep.
bool isReadOnly(const std::string& path);
// The system's own text for why the last failed call of this thread failed, to be asked for
// right after it: on Windows the text of the system's error code when a Win32 call of this
// layer failed (creating, renaming or removing a file), else the C library's text for errno.
std::string lastErrorText();
// The readings of a name that is not valid UTF-8 in the code pages the system's own programs
// write names in, as UTF-8, most likely first: on Windows the ANSI code page, then the console's
// OEM code page ("dir" writes that one). None on POSIX, which has no such code page.
std::vector<std::string> localCodePageReadings(std::string_view bytes);
// True when the name is a folder.
bool isDirectory(const std::string& path);
// The names of the entries directly in a folder ("." and ".." left out), in the order the
// system gives them. False with errorText set when the folder cannot be read.
bool listFolder(const std::string& path, std::vector<std::string>& names, std::string& errorText);
// Opens an existing regular file for binary reading. Anything else (a folder, a FIFO, a device)
// is refused with errorText set, and is not waited on: a FIFO without a writer does not block.
std::FILE* openRegularFile(const std::string& path, std::string& errorText);
// Opens a regular file for binary appending, creating it when it does not exist: every write
// goes to its end, also when another program appended meanwhile. Anything else (a folder, a
// FIFO, a device) is refused with errorText set, without waiting on it.
std::FILE* openForAppend(const std::string& path, std::string& errorText);
// True when both names exist and denote the same file (same device and file number).
bool sameFile(const std::string& a, const std::string& b);
// The identity of an existing file as text: two names have the same key exactly when they
// denote the same file, however they are spelt (letter case on Windows, links, "./").
// False when the name denotes no file.
bool fileKey(const std::string& path, std::string& key);
// Why an output cannot be written under this name ("it is a FIFO", "it is a folder" …): it
// exists and is not a regular file, which the temporary file moved onto it would replace.
// Empty for a regular file, a link to one, or a name that does not exist.
std::string outputNameRefusal(const std::string& path);
// The name an output is written to: a symbolic link (a chain of them) is followed to the file
// it names, so that the output replaces that file and the link stays a link. Any other name
// is returned as it is.
std::string followLinks(const std::string& path);
// The size in bytes of a file opened by openRegularFile; false when it cannot be told.
bool fileSize(std::FILE* file, uint64_t& size);
// Reads count bytes at offset of a file opened by openRegularFile, whatever was read before:
// false when fewer could be read (the file ends sooner, or the read fails).
bool readAt(std::FILE* file, uint64_t offset, char* buffer, size_t count);
// Appends count bytes of source, from offset on, to the end of target: both files are open, and
// target is unbuffered with nothing of its own pending. Where the system can, it copies them
// itself (on one file system without reading them into the program, or by sharing the blocks),
// else they are read and written in pieces. False when fewer could be copied (the source ends
// sooner, or a read or a write fails); what was appended is then not to be trusted.
bool appendFileRange(std::FILE* source, uint64_t offset, uint64_t count, std::FILE* target);

// True where the file system does not tell names apart by letter case (Windows).
bool fileNamesIgnoreCase();
// Folder separators of this platform: both "/" and "\" separate folders, on POSIX and Windows.
bool isFolderSeparator(char c);
// The separator used to join a folder and a name: "/" on POSIX, "\" on Windows.
char folderSeparator();
// Index one past the last folder separator of name (0 when it has none). On Windows a drive
// prefix ("Z:" of "Z:a.pdf") ends the folder part too.
size_t fileNameStart(std::string_view name);
std::string joinPath(std::string_view folder, std::string_view name);

// Creates a new, empty, uniquely named file in the folder of target, opened for binary writing.
// Returns nullptr when it cannot be created.
std::FILE* createTempFileBeside(const std::string& target, std::string& tempPath);
// Creates a new, empty, uniquely named file in the system's folder for temporary files
// (TMPDIR or /tmp on POSIX, the user's temporary folder on Windows), opened for binary writing
// and removed should a signal end the process. Returns nullptr when it cannot be created.
std::FILE* createTempFile(std::string& tempPath);
// Keeps standard output for a document written there (-o-): returns a binary stream on what
// standard output was, and points standard output at standard error, so that every console
// text of the run goes there. Called once, before anything is printed; nullptr when standard
// output cannot be kept (it is then left as it was).
std::FILE* takeStandardOutput();
// Copies a whole file, from its start, to the stream takeStandardOutput kept (to standard
// output when it kept none) and flushes it. False when a read or a write failed.
bool sendToStandardOutput(std::FILE* file);
// Reads standard input to its end, in binary mode, and writes it to target. False when a
// read or a write failed.
bool copyStandardInput(std::FILE* target);
// The program's arguments as UTF-8, args[0] the program name. On Windows they are taken from
// the wide command line, whatever the console's code page; on POSIX they are argv as given.
std::vector<std::string> commandLineArguments(int argc, char** argv);
// Makes standard output and error write the program's bytes unchanged (no line-end
// translation) and, on a Windows console, show UTF-8 names as such.
void setUpConsole();
// Sets up the run's signals: SIGINT, SIGTERM and SIGHUP remove the files named by
// addCleanupFile and then end the process as they would have; SIGXFSZ is ignored, so that a
// write past a file-size limit fails instead of ending the process. On Windows the console's
// Ctrl+C, Ctrl+Break and close events and a crash remove the files the same way; a console
// event then ends the process with the status of an interrupt (STATUS_CONTROL_C_EXIT).
void installSignalHandlers();
// A temporary file of the run, to be removed should the process be ended by a signal. A file
// made by createTempFileBeside is added already; removeFile and a rename from it drop it.
void addCleanupFile(const std::string& path);
void dropCleanupFile(const std::string& path);
// Asks the system to start writing a range of an open file to its disk now, without waiting
// for it. A long output then goes to disk while the rest of it is made, instead of all at once
// when it replaces an existing file (which makes some file systems write it out before the
// rename returns). Only a hint: nothing happens where the system has no such call.
void startWriteback(std::FILE* file, uint64_t offset, uint64_t length);

// A whole file mapped read-only into memory, so that its bytes are read without a copy.
// Should the file shrink while it is mapped (another program rewriting it), a page that can no
// longer be read reads as zeros instead of ending the process, and the mapping is marked
// damaged: a reader checks mappingDamaged() before it trusts what it has read.
struct FileMapping {
    const char* data = nullptr; // nullptr when nothing is mapped
    uint64_t size = 0;
    int slot = -1; // where the fault handler finds this mapping
};
// Maps the first size bytes of an open file. False, with out left empty, when the file cannot
// be mapped (the caller then reads it instead).
bool mapFile(std::FILE* file, uint64_t size, FileMapping& out);
// Unmaps and empties the mapping; nothing happens for an empty one.
void unmapFile(FileMapping& mapping);
// Lets the system take back the memory that holds a range of the mapping, and the rest of the
// large pages (2 MiB) the range touches, which the system may have mapped whole. The bytes are
// read from the file again when next touched: more given back than asked costs only time.
void releaseMappedRange(const FileMapping& mapping, uint64_t offset, uint64_t length);
// Reads a range of the mapping in ahead of its use, in one call, where the system can. False
// when part of the range cannot be read (the file has shrunk), or the range is not mapped.
bool populateMappedRange(const FileMapping& mapping, uint64_t offset, uint64_t length);
// True when part of the mapping could not be read since it was mapped.
bool mappingDamaged(const FileMapping& mapping);
// Test hook: with false, mapFile refuses every file, so that the reading path is used.
void setFileMappingForTesting(bool enabled);

} // namespace platform
