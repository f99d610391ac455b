#include "platform/Platform.h"
#include "platform/PlatformSystem.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

// The part of the platform layer that is the same on every system: the test hooks of the clock
// and the file times and of file mapping, the checks in front of a mapping, the large-page
// steps in which mapped memory is given back, and the joining of folder and file names.
namespace platform {

namespace {

std::function<LocalTime()>& nowProvider() {
    static std::function<LocalTime()> provider;
    return provider;
}

std::function<bool(const std::string&, FileTimes&)>& fileTimesProvider() {
    static std::function<bool(const std::string&, FileTimes&)> provider;
    return provider;
}

std::atomic<bool> mappingEnabled{true};

// The largest page the system maps a file with (x86-64 and most others: 2 MiB). A file that
// the page cache holds in large pages is mapped a large page at a time, so its memory is
// given back a large page at a time too (on Windows in the same steps).
constexpr uint64_t kLargePage = 2 * 1024 * 1024;

// Standard output as takeStandardOutput kept it for the document; nullptr until then.
std::FILE* keptOutput = nullptr;

// Copies source from where it stands to its end onto target. False when a read or a write
// failed.
bool copyStream(std::FILE* source, std::FILE* target) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const size_t count = std::fread(buffer.data(), 1, buffer.size(), source);
        if (count > 0 && std::fwrite(buffer.data(), 1, count, target) != count) {
            return false;
        }
        if (count < buffer.size()) {
            return std::ferror(source) == 0;
        }
    }
}

} // namespace

LocalTime now() {
    if (nowProvider()) {
        return nowProvider()();
    }
    return systemNow();
}

bool getFileTimes(const std::string& path, FileTimes& out, std::string& errorText) {
    if (fileTimesProvider()) {
        if (fileTimesProvider()(path, out)) {
            return true;
        }
        errorText = "File times not available";
        return false;
    }
    return systemFileTimes(path, out, errorText);
}

void setNowForTesting(std::function<LocalTime()> provider) {
    nowProvider() = std::move(provider);
}

void setFileTimesForTesting(std::function<bool(const std::string&, FileTimes&)> provider) {
    fileTimesProvider() = std::move(provider);
}

bool isFolderSeparator(char c) {
    return c == '/' || c == '\\';
}

bool createFolders(const std::string& path, std::string& errorText) {
    std::string folder = path;
    while (folder.size() > 1 && isFolderSeparator(folder.back())) {
        folder.pop_back();
    }
    // The folders that do not exist, deepest first, up to the first that does.
    std::vector<std::string> missing;
    while (!folder.empty() && !isDirectory(folder)) {
        missing.push_back(folder);
        size_t end = fileNameStart(folder);
        while (end > 1 && isFolderSeparator(folder[end - 1]) && folder[end - 2] != ':') {
            --end;
        }
        if (end >= folder.size()) {
            break;
        }
        folder.resize(end);
    }
    for (auto level = missing.rbegin(); level != missing.rend(); ++level) {
        if (!systemCreateFolder(*level)) {
            errorText = "the folder '" + *level + "' cannot be made: " + lastErrorText();
            return false;
        }
    }
    return true;
}

std::FILE* createTempFile(std::string& tempPath) {
    std::string folder = systemTempFolder();
    while (folder.size() > 1 && isFolderSeparator(folder.back())) {
        folder.pop_back();
    }
    return createTempFileBeside(joinPath(folder, "quillmark"), tempPath);
}

std::FILE* takeStandardOutput() {
    if (keptOutput == nullptr) {
        keptOutput = systemTakeStandardOutput();
    }
    return keptOutput;
}

bool sendToStandardOutput(std::FILE* file) {
    std::FILE* target = keptOutput != nullptr ? keptOutput : stdout;
    setBinaryMode(target);
    const bool copied = copyStream(file, target);
    return std::fflush(target) == 0 && copied;
}

bool copyStandardInput(std::FILE* target) {
    setBinaryMode(stdin);
    return copyStream(stdin, target);
}

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    path += folderSeparator();
    path += name;
    return path;
}

uint64_t mappedEnd(const FileMapping& mapping, uint64_t offset, uint64_t length) {
    return length > mapping.size - offset ? mapping.size : offset + length;
}

bool mapFile(std::FILE* file, uint64_t size, FileMapping& out) {
    out = FileMapping{};
    if (file == nullptr || size == 0 || size > SIZE_MAX / 2 ||
        !mappingEnabled.load(std::memory_order_relaxed)) {
        return false;
    }
    return systemMapFile(file, size, out);
}

void releaseMappedRange(const FileMapping& mapping, uint64_t offset, uint64_t length) {
    if (mapping.data == nullptr || offset >= mapping.size) {
        return;
    }
    // Whole large pages, from the one that holds the first byte to the one that holds the last.
    const uint64_t start = offset - offset % kLargePage;
    const uint64_t last = mappedEnd(mapping, offset, length);
    const uint64_t end = std::min((last + kLargePage - 1) / kLargePage * kLargePage, mapping.size);
    systemReleasePages(mapping.data + start, end - start);
}

void setFileMappingForTesting(bool enabled) {
    mappingEnabled.store(enabled, std::memory_order_relaxed);
}

} // namespace platform
