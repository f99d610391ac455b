#include "platform/Platform.h"
#include "platform/PlatformSystem.h"
#include "platform/Win32Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <random>
#include <vector>
#include <windows.h>

namespace platform {

namespace {

// Set by the file operations that can fail because another program holds the file open.
thread_local bool lastFailureInUse = false;

bool isInUseError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_USER_MAPPED_FILE;
}

// errno after a failed Win32 call of this layer, whose own error code is kept beside it: no
// C library error has this value.
constexpr int kSystemErrorMarker = 0x5157;
thread_local DWORD lastSystemError = 0;

void recordSystemError(DWORD error) {
    lastSystemError = error;
    errno = kSystemErrorMarker;
}

// A rename over or a deletion of a file that another program holds open without delete
// sharing fails as "access denied" too; a read-only file or a folder gives the same error,
// so those are told apart by the file's attributes.
void noteFailure(DWORD error, const std::wstring& target) {
    lastFailureInUse = isInUseError(error);
    if (error == ERROR_ACCESS_DENIED) {
        const DWORD attributes = GetFileAttributesW(target.c_str());
        lastFailureInUse = attributes != INVALID_FILE_ATTRIBUTES &&
                           (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
    }
    recordSystemError(error);
}

std::tm toTm(const SYSTEMTIME& time) {
    std::tm tm{};
    tm.tm_year = time.wYear - 1900;
    tm.tm_mon = time.wMonth - 1;
    tm.tm_mday = time.wDay;
    tm.tm_hour = time.wHour;
    tm.tm_min = time.wMinute;
    tm.tm_sec = time.wSecond;
    tm.tm_wday = time.wDayOfWeek;
    static constexpr int kDaysBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const int year = time.wYear;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    tm.tm_yday = kDaysBefore[tm.tm_mon] + tm.tm_mday - 1 + (leap && tm.tm_mon > 1 ? 1 : 0);
    tm.tm_isdst = -1;
    return tm;
}

// A file time (UTC) as local calendar time, with the time-zone rules of that date.
bool toLocalTm(const FILETIME& time, std::tm& out) {
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    if (!FileTimeToSystemTime(&time, &utc) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return false;
    }
    out = toTm(local);
    return true;
}

// 100-nanosecond intervals from 1601 to 1970.
constexpr uint64_t kUnixEpochInFileTime = 116444736000000000ULL;

uint64_t fileTimeValue(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

HANDLE handleOf(std::FILE* file) {
    if (file == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    const int descriptor = _fileno(file);
    return descriptor < 0 ? INVALID_HANDLE_VALUE
                          : reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
}

// A C file over a system handle; the handle is closed when the file cannot be made.
std::FILE* wrapHandle(HANDLE handle, int flags, const char* mode) {
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
    if (descriptor < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, mode);
    if (file == nullptr) {
        _close(descriptor);
    }
    return file;
}

bool fileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    // No access asked for: the identity of a file held open by another program is still read.
    HANDLE handle = CreateFileW(win32_text::toWide(path).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool got = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    return got;
}

bool isDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

LocalTime systemNow() {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    FILETIME utc{};
    GetSystemTimeAsFileTime(&utc);
    LocalTime result;
    result.tm = toTm(local);
    result.millisecond = local.wMilliseconds;
    result.epochSeconds =
        static_cast<int64_t>((fileTimeValue(utc) - kUnixEpochInFileTime) / 10000000ULL);
    return result;
}

bool systemFileTimes(const std::string& path, FileTimes& out, std::string& errorText) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(win32_text::toWide(path).c_str(), GetFileExInfoStandard, &data)) {
        errorText = win32_text::systemMessage(GetLastError());
        return false;
    }
    if (!toLocalTm(data.ftLastWriteTime, out.modified) ||
        !toLocalTm(data.ftCreationTime, out.created)) {
        errorText = win32_text::systemMessage(GetLastError());
        return false;
    }
    return true;
}

bool systemCreateFolder(const std::string& path) {
    if (CreateDirectoryW(win32_text::toWide(path).c_str(), nullptr)) {
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS && isDirectory(path)) {
        return true;
    }
    recordSystemError(error);
    return false;
}

std::string systemTempFolder() {
    wchar_t buffer[MAX_PATH + 2];
    const DWORD length = GetTempPathW(MAX_PATH + 2, buffer);
    if (length == 0 || length > MAX_PATH + 1) {
        return ".";
    }
    return win32_text::toUtf8(std::wstring_view(buffer, length));
}

void setBinaryMode(std::FILE* stream) {
    (void)_setmode(_fileno(stream), _O_BINARY);
}

std::FILE* systemTakeStandardOutput() {
    std::fflush(stdout);
    const int kept = _dup(_fileno(stdout));
    if (kept < 0) {
        return nullptr;
    }
    (void)_setmode(kept, _O_BINARY);
    std::FILE* stream = _fdopen(kept, "wb");
    if (stream == nullptr || _dup2(_fileno(stderr), _fileno(stdout)) != 0) {
        if (stream != nullptr) {
            std::fclose(stream);
        } else {
            _close(kept);
        }
        return nullptr;
    }
    return stream;
}

bool renameReplacing(const std::string& from, const std::string& to) {
    const std::wstring target = win32_text::toWide(to);
    if (!MoveFileExW(win32_text::toWide(from).c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        noteFailure(GetLastError(), target);
        return false;
    }
    lastFailureInUse = false;
    dropCleanupFile(from);
    return true;
}

bool renameIfAbsent(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the new name is taken.
    if (!MoveFileExW(win32_text::toWide(from).c_str(), win32_text::toWide(to).c_str(), 0)) {
        return false;
    }
    dropCleanupFile(from);
    return true;
}

bool removeFile(const std::string& path) {
    const std::wstring name = win32_text::toWide(path);
    const bool removed = DeleteFileW(name.c_str()) != 0;
    if (removed) {
        lastFailureInUse = false;
    } else {
        noteFailure(GetLastError(), name);
    }
    dropCleanupFile(path);
    return removed;
}

bool isReadOnly(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(win32_text::toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

std::string lastErrorText() {
    const int error = errno;
    if (error == kSystemErrorMarker) {
        return win32_text::systemMessage(lastSystemError);
    }
    return error != 0 ? std::strerror(error) : "the system gave no cause";
}

std::vector<std::string> localCodePageReadings(std::string_view bytes) {
    std::vector<std::string> readings;
    for (const UINT codePage : {GetACP(), GetOEMCP()}) {
        const std::string reading = win32_text::fromCodePage(codePage, bytes);
        if (!reading.empty() &&
            std::find(readings.begin(), readings.end(), reading) == readings.end()) {
            readings.push_back(reading);
        }
    }
    return readings;
}

bool lastFailureWasInUse() {
    return lastFailureInUse;
}

bool listFolder(const std::string& path, std::vector<std::string>& names, std::string& errorText) {
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(win32_text::toWide(joinPath(path, "*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        recordSystemError(GetLastError());
        errorText = lastErrorText();
        return false;
    }
    names.clear();
    do {
        const std::string name = win32_text::toUtf8(found.cFileName);
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (FindNextFileW(search, &found));
    const DWORD error = GetLastError();
    FindClose(search);
    if (error != ERROR_NO_MORE_FILES) {
        recordSystemError(error);
        errorText = lastErrorText();
        return false;
    }
    return true;
}

bool isDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(win32_text::toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool fileExists(const std::string& path) {
    return GetFileAttributesW(win32_text::toWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

// Opens path for access, shared so that others may go on reading and writing it and remove it,
// and keeps it only when it is a file on disk, as a C file of the given flags and mode.
std::FILE* openDiskFile(const std::string& path, DWORD access, DWORD disposition, int flags,
                        const char* mode, std::string& errorText) {
    const std::wstring name = win32_text::toWide(path);
    HANDLE handle =
        CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        errorText = isDirectory(path)     ? "It is a folder, not a file"
                    : isInUseError(error) ? "The file is in use by another program"
                                          : win32_text::systemMessage(error);
        return nullptr;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        errorText = "It is not a regular file";
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = wrapHandle(handle, flags, mode);
    if (file == nullptr) {
        errorText = std::strerror(errno);
    }
    return file;
}

} // namespace

std::FILE* openRegularFile(const std::string& path, std::string& errorText) {
    // An intermediate file of the run that is the input of the next pass must go when the run
    // is interrupted, so it may be removed while it is read. A folder does not open this way.
    return openDiskFile(path, GENERIC_READ, OPEN_EXISTING, _O_RDONLY | _O_BINARY, "rb", errorText);
}

std::FILE* openForAppend(const std::string& path, std::string& errorText) {
    // Appending only: each write goes to the file's end. Others may go on reading it (a log
    // open in an editor).
    return openDiskFile(path, FILE_APPEND_DATA | SYNCHRONIZE, OPEN_ALWAYS,
                        _O_WRONLY | _O_APPEND | _O_BINARY, "ab", errorText);
}

bool sameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    if (!fileIdentity(a, first) || !fileIdentity(b, second)) {
        return false;
    }
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

bool fileKey(const std::string& path, std::string& key) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!fileIdentity(path, info)) {
        return false;
    }
    key = std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) +
          ":" + std::to_string(info.nFileIndexLow);
    return true;
}

std::string outputNameRefusal(const std::string& path) {
    // Devices ("NUL", "CON") are names of every folder on Windows: no file of such a name can
    // be made, and the rename onto it fails with the system's cause.
    return isDirectory(path) ? "it is a folder" : "";
}

std::string followLinks(const std::string& path) {
    // A rename onto a Windows link replaces the link; links to files are rare there and are
    // replaced as files.
    return path;
}

bool fileSize(std::FILE* file, uint64_t& size) {
    LARGE_INTEGER length{};
    const HANDLE handle = handleOf(file);
    if (handle == INVALID_HANDLE_VALUE || !GetFileSizeEx(handle, &length) || length.QuadPart < 0) {
        return false;
    }
    size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

bool readAt(std::FILE* file, uint64_t offset, char* buffer, size_t count) {
    constexpr uint64_t kLargest = static_cast<uint64_t>(INT64_MAX);
    const HANDLE handle = handleOf(file);
    if (handle == INVALID_HANDLE_VALUE || count > kLargest || offset > kLargest - count) {
        return false;
    }
    // A read at an offset of its own; a read may return fewer bytes, the rest is asked again.
    while (count > 0) {
        const DWORD want = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset & 0xffffffffULL);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        if (!ReadFile(handle, buffer, want, &got, &at) || got == 0) {
            return false;
        }
        buffer += got;
        count -= got;
        offset += got;
    }
    return true;
}

bool appendFileRange(std::FILE* source, uint64_t offset, uint64_t count, std::FILE* target) {
    // Windows has no copy between two open files at given offsets: the bytes are read and
    // written in pieces of 1 MiB.
    constexpr uint64_t kLargest = static_cast<uint64_t>(INT64_MAX);
    constexpr size_t kPiece = 1024 * 1024;
    if (source == nullptr || target == nullptr || count > kLargest || offset > kLargest - count) {
        return false;
    }
    std::vector<char> buffer(static_cast<size_t>(count < kPiece ? count : kPiece));
    while (count > 0) {
        const size_t want = static_cast<size_t>(count < kPiece ? count : kPiece);
        if (!readAt(source, offset, buffer.data(), want) ||
            std::fwrite(buffer.data(), 1, want, target) != want) {
            return false;
        }
        offset += want;
        count -= want;
    }
    return true;
}

bool fileNamesIgnoreCase() {
    return true;
}

char folderSeparator() {
    return '\\';
}

size_t fileNameStart(std::string_view name) {
    for (size_t i = name.size(); i > 0; --i) {
        if (isFolderSeparator(name[i - 1])) {
            return i;
        }
    }
    // "Z:name" names a file in the current folder of drive Z.
    if (name.size() >= 2 && name[1] == ':' && isDriveLetter(name[0])) {
        return 2;
    }
    return 0;
}

std::FILE* createTempFileBeside(const std::string& target, std::string& tempPath) {
    // A short name of its own in the target's folder, made with CREATE_NEW so that a name
    // another run took first is never opened twice; a taken name is followed by another.
    const std::string folder = target.substr(0, fileNameStart(target));
    static std::mt19937_64 names{std::random_device{}() ^ GetCurrentProcessId() ^ GetTickCount64()};
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = folder + ".quillmark-";
        uint64_t bits = names();
        for (int i = 0; i < 8; ++i, bits /= 36) {
            name += kDigits[bits % 36];
        }
        HANDLE handle = CreateFileW(win32_text::toWide(name).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
                continue;
            }
            recordSystemError(error);
            return nullptr;
        }
        addCleanupFile(name);
        std::FILE* file = wrapHandle(handle, _O_WRONLY | _O_BINARY, "wb");
        if (file == nullptr) {
            removeFile(name);
            return nullptr;
        }
        tempPath = name;
        return file;
    }
    return nullptr;
}

void startWriteback(std::FILE* file, uint64_t offset, uint64_t length) {
    // Windows has no call that starts a range's writeback without waiting for it.
    (void)file;
    (void)offset;
    (void)length;
}

} // namespace platform
