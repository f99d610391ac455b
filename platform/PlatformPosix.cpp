#include "platform/Platform.h"
#include "platform/PlatformSystem.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

std::tm toLocal(time_t seconds) {
    std::tm tm{};
    localtime_r(&seconds, &tm);
    return tm;
}

// Birth time where the kernel and the file system report one, else the last status change.
time_t creationTime(const std::string& path, const struct stat& info) {
#ifdef STATX_BTIME
    struct statx extended {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &extended) == 0 &&
        (extended.stx_mask & STATX_BTIME) != 0) {
        return static_cast<time_t>(extended.stx_btime.tv_sec);
    }
#else
    (void)path;
#endif
    return info.st_ctime;
}

} // namespace

LocalTime systemNow() {
    timespec clock{};
    clock_gettime(CLOCK_REALTIME, &clock);
    LocalTime result;
    result.tm = toLocal(clock.tv_sec);
    result.millisecond = static_cast<int>(clock.tv_nsec / 1000000);
    result.epochSeconds = static_cast<int64_t>(clock.tv_sec);
    return result;
}

bool systemFileTimes(const std::string& path, FileTimes& out, std::string& errorText) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        errorText = std::strerror(errno);
        return false;
    }
    out.modified = toLocal(info.st_mtime);
    out.created = toLocal(creationTime(path, info));
    return true;
}

bool systemCreateFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0) {
        return true;
    }
    const int error = errno;
    if (error == EEXIST && isDirectory(path)) {
        return true;
    }
    errno = error;
    return false;
}

std::string systemTempFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

void setBinaryMode(std::FILE* /*stream*/) {}

std::FILE* systemTakeStandardOutput() {
    std::fflush(stdout);
    const int kept = dup(STDOUT_FILENO);
    if (kept < 0) {
        return nullptr;
    }
    std::FILE* stream = fdopen(kept, "wb");
    if (stream == nullptr || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        if (stream != nullptr) {
            std::fclose(stream);
        } else {
            close(kept);
        }
        return nullptr;
    }
    return stream;
}

bool renameReplacing(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    dropCleanupFile(from);
    return true;
}

bool renameIfAbsent(const std::string& from, const std::string& to) {
    // A second name made by link() fails when the name is taken; the first is then dropped.
    if (link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    unlink(from.c_str());
    dropCleanupFile(from);
    return true;
}

bool removeFile(const std::string& path) {
    const bool removed = unlink(path.c_str()) == 0;
    dropCleanupFile(path);
    return removed;
}

bool isReadOnly(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

std::string lastErrorText() {
    const int error = errno;
    return error != 0 ? std::strerror(error) : "the system gave no cause";
}

std::vector<std::string> localCodePageReadings(std::string_view bytes) {
    (void)bytes;
    return {};
}

bool lastFailureWasInUse() {
    // A POSIX system lets a file be renamed over or removed while others hold it open.
    return false;
}

bool listFolder(const std::string& path, std::vector<std::string>& names, std::string& errorText) {
    DIR* folder = opendir(path.c_str());
    if (folder == nullptr) {
        errorText = std::strerror(errno);
        return false;
    }
    names.clear();
    errno = 0;
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    const int error = errno;
    closedir(folder);
    if (error != 0) {
        errorText = std::strerror(error);
        return false;
    }
    return true;
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

namespace {

// Opens path with flags, without waiting (a FIFO opens at once), and keeps it only when it is a
// regular file, as a C file of the given mode.
std::FILE* openChecked(const std::string& path, int flags, const char* mode,
                       std::string& errorText) {
    const int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        errorText = std::strerror(errno);
        return nullptr;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        errorText =
            S_ISDIR(info.st_mode) ? "It is a folder, not a file" : "It is not a regular file";
        close(fd);
        return nullptr;
    }
    const int now = fcntl(fd, F_GETFL);
    if (now >= 0) {
        (void)fcntl(fd, F_SETFL, now & ~O_NONBLOCK);
    }
    std::FILE* file = fdopen(fd, mode);
    if (file == nullptr) {
        errorText = std::strerror(errno);
        close(fd);
    }
    return file;
}

} // namespace

std::FILE* openRegularFile(const std::string& path, std::string& errorText) {
    return openChecked(path, O_RDONLY, "rb", errorText);
}

std::FILE* openForAppend(const std::string& path, std::string& errorText) {
    return openChecked(path, O_WRONLY | O_CREAT | O_APPEND, "ab", errorText);
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    if (stat(a.c_str(), &first) != 0 || stat(b.c_str(), &second) != 0) {
        return false;
    }
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool fileKey(const std::string& path, std::string& key) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return false;
    }
    key = std::to_string(static_cast<uintmax_t>(info.st_dev)) + ":" +
          std::to_string(static_cast<uintmax_t>(info.st_ino));
    return true;
}

std::string outputNameRefusal(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) {
        return "";
    }
    if (S_ISDIR(info.st_mode)) {
        return "it is a folder";
    }
    if (S_ISFIFO(info.st_mode)) {
        return "it is a FIFO";
    }
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
        return "it is a device";
    }
    if (S_ISSOCK(info.st_mode)) {
        return "it is a socket";
    }
    return "it is not a regular file";
}

std::string followLinks(const std::string& path) {
    // As many links as the system itself follows before it gives up (ELOOP).
    constexpr int kMaxLinks = 40;
    std::string name = path;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat info {};
        if (lstat(name.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return name;
        }
        std::vector<char> target(PATH_MAX + 1);
        const ssize_t length = readlink(name.c_str(), target.data(), target.size() - 1);
        if (length <= 0) {
            return name;
        }
        std::string next(target.data(), static_cast<size_t>(length));
        // A relative target counts from the link's own folder.
        name = next.front() == '/' ? next : name.substr(0, fileNameStart(name)) + next;
    }
    return name;
}

bool fileSize(std::FILE* file, uint64_t& size) {
    struct stat info {};
    if (file == nullptr || fstat(fileno(file), &info) != 0 || info.st_size < 0) {
        return false;
    }
    size = static_cast<uint64_t>(info.st_size);
    return true;
}

bool readAt(std::FILE* file, uint64_t offset, char* buffer, size_t count) {
    constexpr uint64_t kLargest = static_cast<uint64_t>(INT64_MAX);
    if (file == nullptr || count > kLargest || offset > kLargest - count) {
        return false;
    }
    const int descriptor = fileno(file);
    // A read may return fewer bytes than asked for; the rest is asked for again.
    while (count > 0) {
        const ssize_t got = pread(descriptor, buffer, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        buffer += got;
        count -= static_cast<size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
    return true;
}

namespace {

// The copy through the program's memory, where the system cannot copy between the two files.
bool appendByReading(std::FILE* source, uint64_t offset, uint64_t count, int target) {
    constexpr size_t kPiece = 1024 * 1024;
    std::vector<char> buffer(static_cast<size_t>(std::min<uint64_t>(count, kPiece)));
    while (count > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(count, kPiece));
        if (!readAt(source, offset, buffer.data(), want)) {
            return false;
        }
        for (size_t done = 0; done < want;) {
            const ssize_t put = write(target, buffer.data() + done, want - done);
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put <= 0) {
                return false;
            }
            done += static_cast<size_t>(put);
        }
        offset += want;
        count -= want;
    }
    return true;
}

} // namespace

bool appendFileRange(std::FILE* source, uint64_t offset, uint64_t count, std::FILE* target) {
    constexpr uint64_t kLargest = static_cast<uint64_t>(INT64_MAX);
    if (source == nullptr || target == nullptr || count > kLargest || offset > kLargest - count) {
        return false;
    }
    const int in = fileno(source);
    const int out = fileno(target);
#if defined(__linux__)
    // At most 1 GiB a call: the kernel copies in such steps anyway, and a signal between two
    // calls is seen soon.
    constexpr uint64_t kStep = uint64_t{1} << 30;
    while (count > 0) {
        loff_t from = static_cast<loff_t>(offset);
        const ssize_t copied = copy_file_range(in, &from, out, nullptr,
                                               static_cast<size_t>(std::min(count, kStep)), 0);
        if (copied < 0 && errno == EINTR) {
            continue;
        }
        if (copied < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                           errno == EOPNOTSUPP || errno == EPERM || errno == ETXTBSY)) {
            break; // these two files cannot be copied by the system: the rest is read
        }
        if (copied <= 0) {
            return false; // a read or write error, or the source ends sooner
        }
        offset += static_cast<uint64_t>(copied);
        count -= static_cast<uint64_t>(copied);
    }
#endif
    return count == 0 || appendByReading(source, offset, count, out);
}

bool fileNamesIgnoreCase() {
    return false;
}

char folderSeparator() {
    return '/';
}

size_t fileNameStart(std::string_view name) {
    for (size_t i = name.size(); i > 0; --i) {
        if (isFolderSeparator(name[i - 1])) {
            return i;
        }
    }
    return 0;
}

std::FILE* createTempFileBeside(const std::string& target, std::string& tempPath) {
    // A short name of its own in the target's folder, so that a target name near the file
    // system's limit still gets a temporary file.
    std::string pattern = target.substr(0, fileNameStart(target)) + ".quillmark-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    // No signal between the file's creation and its name's registration for removal.
    sigset_t terminating;
    sigset_t previous;
    sigemptyset(&terminating);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&terminating, signal);
    }
    sigprocmask(SIG_BLOCK, &terminating, &previous);
    int fd = mkstemp(buffer.data());
    if (fd >= 0) {
        addCleanupFile(buffer.data());
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (fd < 0) {
        return nullptr;
    }
    // mkstemp makes the file private; give it the permissions a plain new file would get.
    mode_t mask = umask(0);
    umask(mask);
    (void)fchmod(fd, 0666 & ~mask);
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        close(fd);
        removeFile(buffer.data());
        return nullptr;
    }
    tempPath.assign(buffer.data());
    return file;
}

void startWriteback(std::FILE* file, uint64_t offset, uint64_t length) {
#if defined(__linux__)
    (void)sync_file_range(fileno(file), static_cast<off_t>(offset), static_cast<off_t>(length),
                          SYNC_FILE_RANGE_WRITE);
#else
    (void)file;
    (void)offset;
    (void)length;
#endif
}

} // namespace platform
