#include "stamp/NumberScan.h"

#include <algorithm>
#include <limits>

namespace numberscan {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexDigit(char c) {
    if (isDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
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

} // namespace

bool scanDecimal(std::string_view text, size_t& pos, int32_t& value) {
    size_t at = pos;
    const bool negative = readSign(text, at);
    // The magnitude stops one past the largest int32 value, which the minus sign still reaches.
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t magnitude = 0;
    const size_t digitsStart = at;
    for (; at < text.size() && isDigit(text[at]); ++at) {
        magnitude = std::min<int64_t>(magnitude * 10 + (text[at] - '0'), kLimit);
    }
    if (at == digitsStart) {
        return false;
    }
    value = static_cast<int32_t>(std::min<int64_t>(negative ? -magnitude : magnitude, kLimit - 1));
    pos = at;
    return true;
}

bool scanHex(std::string_view text, size_t& pos, uint32_t& value) {
    size_t at = pos;
    const bool negative = readSign(text, at);
    if (at + 2 < text.size() && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X') &&
        hexDigit(text[at + 2]) >= 0) {
        at += 2;
    }
    constexpr uint64_t kLimit = uint64_t{0xFFFFFFFF} + 1;
    uint64_t magnitude = 0;
    const size_t digitsStart = at;
    for (; at < text.size() && hexDigit(text[at]) >= 0; ++at) {
        magnitude =
            std::min<uint64_t>(magnitude * 16 + static_cast<uint64_t>(hexDigit(text[at])), kLimit);
    }
    if (at == digitsStart) {
        return false;
    }
    if (magnitude == kLimit) {
        value = 0xFFFFFFFFu;
    } else {
        value = negative ? 0u - static_cast<uint32_t>(magnitude) : static_cast<uint32_t>(magnitude);
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

} // namespace numberscan
