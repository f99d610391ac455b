#include "stamp/files/NumberScan.h"

#include "pdf/PdfSyntax.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

namespace number_scan {

namespace {

using pdf_syntax::isDigit;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Skips the blanks and reads the sign in front of a number; at is moved past both.
bool readSign(std::string_view text, size_t& at) {
    while (at < text.size() && isBlank(text[at])) {
        ++at;
    }
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        return text[at++] == '-';
    }
    return false;
}

// The unsigned number in the given base at text[at], as far as its digits go; at is moved past
// them. False when no digit is there; saturated when the digits go beyond 32 bits.
bool readDigits(std::string_view text, size_t& at, int base, uint32_t& value, bool& saturated) {
    const char* const end = text.data() + text.size();
    const std::from_chars_result read = std::from_chars(text.data() + at, end, value, base);
    if (read.ec == std::errc::invalid_argument) {
        return false;
    }
    saturated = read.ec == std::errc::result_out_of_range;
    at = static_cast<size_t>(read.ptr - text.data());
    return true;
}

} // namespace

bool scanDecimal(std::string_view text, size_t& pos, int32_t& value) {
    size_t at = pos;
    const bool negative = readSign(text, at);
    uint32_t magnitude = 0;
    bool saturated = false;
    if (!readDigits(text, at, 10, magnitude, saturated)) {
        return false;
    }
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    const int64_t signedValue = negative ? -int64_t{magnitude} : int64_t{magnitude};
    value = static_cast<int32_t>(saturated ? (negative ? kMin : kMax)
                                           : std::clamp(signedValue, kMin, kMax));
    pos = at;
    return true;
}

bool scanHex(std::string_view text, size_t& pos, uint32_t& value) {
    size_t at = pos;
    const bool negative = readSign(text, at);
    if (at + 2 < text.size() && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X') &&
        std::isxdigit(static_cast<unsigned char>(text[at + 2]))) {
        at += 2;
    }
    uint32_t magnitude = 0;
    bool saturated = false;
    if (!readDigits(text, at, 16, magnitude, saturated)) {
        return false;
    }
    if (saturated) {
        value = 0xFFFFFFFFu;
    } else {
        value = negative ? 0u - magnitude : magnitude;
    }
    pos = at;
    return true;
}

int32_t leadingDecimal(std::string_view text) {
    size_t pos = 0;
    int32_t value = 0;
    return scanDecimal(text, pos, value) ? value : 0;
}

float scanBoxNumber(std::string_view text, size_t& pos) {
    // A "." before the first digit is not part of the number: ".5" reads as 5.
    const bool negative = pos > 0 && text[pos - 1] == '-';
    float value = 0.0f;
    bool inFraction = false;
    double divisor = 1.0;
    for (; pos < text.size() && (isDigit(text[pos]) || text[pos] == '.'); ++pos) {
        if (text[pos] == '.') {
            inFraction = true;
            continue;
        }
        const int digit = text[pos] - '0';
        if (inFraction) {
            divisor *= 10.0;
            value = static_cast<float>(value + digit / divisor);
        } else {
            value = value * 10.0f + static_cast<float>(digit);
        }
    }
    return negative ? -value : value;
}

} // namespace number_scan
