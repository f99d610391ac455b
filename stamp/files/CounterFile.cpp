#include "stamp/files/CounterFile.h"

#include "platform/Platform.h"
#include "platform/UniqueFile.h"
#include "stamp/files/NumberScan.h"

#include <cctype>

namespace counter_file {

namespace {

// UTF-16 text of a counter holds only ASCII: each unit's high byte is 0. Anything else is not a
// number, and comes out as a byte that is none.
std::string narrowUtf16(std::string_view units, bool littleEndian) {
    std::string text;
    for (size_t i = 0; i + 1 < units.size(); i += 2) {
        const unsigned char low =
            static_cast<unsigned char>(littleEndian ? units[i] : units[i + 1]);
        const unsigned char high =
            static_cast<unsigned char>(littleEndian ? units[i + 1] : units[i]);
        text += high == 0 && low < 0x80 ? static_cast<char>(low) : '\x80';
    }
    if (units.size() % 2 != 0) {
        text += '\x80';
    }
    return text;
}

bool isBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

} // namespace

bool parse(std::string_view bytes, int32_t& value) {
    std::string text;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        text = bytes.substr(3);
    } else if (bytes.substr(0, 2) == "\xFF\xFE") {
        text = narrowUtf16(bytes.substr(2), true);
    } else if (bytes.substr(0, 2) == "\xFE\xFF") {
        text = narrowUtf16(bytes.substr(2), false);
    } else {
        text = bytes;
    }
    size_t pos = 0;
    int32_t number = 0;
    if (!number_scan::scanDecimal(text, pos, number)) {
        return false;
    }
    for (; pos < text.size(); ++pos) {
        if (!isBlank(text[pos])) {
            return false;
        }
    }
    value = number;
    return true;
}

bool read(const std::string& path, int32_t& value, std::string& cause) {
    std::string error;
    UniqueFile file(platform::openRegularFile(path, error));
    if (!file) {
        cause = "Can't open the counter file '" + path + "': " + error;
        return false;
    }
    char buffer[kMaxCounterBytes + 1];
    const size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    if (got > kMaxCounterBytes) {
        cause = "The counter file '" + path + "' is no counter file: it holds more than " +
                std::to_string(kMaxCounterBytes) + " bytes";
        return false;
    }
    if (!parse(std::string_view(buffer, got), value)) {
        cause = "The counter file '" + path + "' holds no number";
        return false;
    }
    return true;
}

} // namespace counter_file
