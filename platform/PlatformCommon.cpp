#include "platform/Platform.h"
#include "platform/PlatformSystem.h"

#include <utility>

// The part of the platform layer that is the same on every system: the test hooks of the clock
// and the file times, and the joining of folder and file names.
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

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    path += folderSeparator();
    path += name;
    return path;
}

} // namespace platform
