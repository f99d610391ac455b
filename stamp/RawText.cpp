#include "stamp/RawText.h"

namespace rawtext {

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
    while (pos < buffer.size() && !pdfsyntax::isDigit(buffer[pos])) {
        ++pos;
    }
    if (pos == buffer.size()) {
        return result;
    }
    const bool negative = buffer[pos - 1] == '-';
    // Unsigned arithmetic so that a hostile run of digits wraps instead of overflowing.
    uint32_t magnitude = 0;
    pos = pdfsyntax::readDigitsModulo32(buffer, pos, magnitude);
    result.value = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
    result.isReference = buffer.substr(pos, 4) == " 0 R";
    result.found = true;
    return result;
}

} // namespace rawtext
