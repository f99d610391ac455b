#include "app/ListName.h"

#include "platform/Platform.h"
#include "stamp/text/TextEncoding.h"

#include <vector>

namespace list_name {

std::string resolve(std::string_view bytes) {
    if (text_encoding::isValidUtf8(bytes)) {
        return std::string(bytes);
    }
    std::vector<std::string> readings = platform::localCodePageReadings(bytes);
    if (readings.empty()) {
        readings.push_back(text_encoding::fromWinAnsi(bytes));
    }
    for (const std::string& reading : readings) {
        if (platform::fileExists(reading)) {
            return reading;
        }
    }
    return readings.front();
}

bool isAbsolute(std::string_view name) {
    auto separator = [](char c) { return c == '/' || c == '\\'; };
    if (!name.empty() && separator(name[0])) {
        return true;
    }
    const bool letter =
        !name.empty() && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
    return letter && name.size() >= 3 && name[1] == ':' && separator(name[2]);
}

std::string outputName(std::string_view folder, std::string_view name) {
    if (isAbsolute(name)) {
        name = name.substr(name.find_last_of("/\\") + 1);
    }
    return platform::joinPath(folder, name);
}

} // namespace list_name
