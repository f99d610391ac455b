#include "stamp/RawText.h"

#include <cstring>

namespace rawtext {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

size_t findFirst(std::string_view text, std::string_view needle) {
    if (needle.empty() || needle.size() > text.size()) {
        return std::string_view::npos;
    }
    // Candidates are found by the needle's last byte: the keys and keywords searched begin with
    // "/" or a letter common in PDF text, and end in one that is rarer there.
    const size_t head = needle.size() - 1;
    size_t pos = head;
    while (pos < text.size()) {
        const void* hit = std::memchr(text.data() + pos, needle.back(), text.size() - pos);
        if (hit == nullptr) {
            break;
        }
        pos = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
        // The first byte is compared before the rest: most candidates fail on it.
        if (text[pos - head] == needle[0] &&
            std::memcmp(text.data() + pos - head, needle.data(), head) == 0) {
            return pos - head;
        }
        ++pos;
    }
    return std::string_view::npos;
}

size_t findText(std::string_view buffer, std::string_view needle, size_t start) {
    if (needle.empty() || start >= buffer.size()) {
        return 0;
    }
    const size_t at = findFirst(buffer.substr(start), needle);
    if (at == std::string_view::npos) {
        return 0;
    }
    return start + at + needle.size() - 1;
}

NumberAfter readNumberAfter(std::string_view buffer, std::string_view key) {
    NumberAfter result;
    size_t pos = findText(buffer, key);
    if (pos == 0) {
        return result;
    }
    while (pos < buffer.size() && !isDigit(buffer[pos])) {
        ++pos;
    }
    if (pos == buffer.size()) {
        return result;
    }
    const bool negative = buffer[pos - 1] == '-';
    // Unsigned arithmetic so that a hostile run of digits wraps instead of overflowing.
    uint32_t magnitude = 0;
    while (pos < buffer.size() && isDigit(buffer[pos])) {
        magnitude = magnitude * 10u + static_cast<uint32_t>(buffer[pos] - '0');
        ++pos;
    }
    result.value = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
    result.isReference = buffer.substr(pos, 4) == " 0 R";
    result.found = true;
    return result;
}

} // namespace rawtext
