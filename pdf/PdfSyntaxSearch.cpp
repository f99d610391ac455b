#include "pdf/PdfSyntaxSearch.h"

#include "pdf/PdfSyntaxNumbers.h"
#include "pdf/PdfSyntaxTokens.h"

namespace pdf_syntax {

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

size_t findLastText(std::string_view buffer, std::string_view needle) {
    size_t last = 0;
    for (size_t end = findText(buffer, needle); end != 0; end = findText(buffer, needle, end + 1)) {
        last = end;
    }
    return last;
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
    pos = readDigitsModulo32(buffer, pos, magnitude);
    result.value = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
    result.isReference = buffer.substr(pos, 4) == " 0 R";
    result.found = true;
    return result;
}

} // namespace pdf_syntax
