#pragma once

#include "pdf/PdfSyntaxTokens.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The numbers of PDF's byte syntax, written and read: decimal digits under a bound that each
// reader names (held at a limit, at most N digits, or modulo 2^32), signed integers, and
// references "n g R".
namespace pdf_syntax {

// Appends the decimal digits of value, with a "-" in front when it is negative, to out: a
// string, or any buffer with append(std::string_view). Object numbers, offsets, lengths and the
// numbers of content streams are all written through here.
template <typename Out> inline void appendDecimal(Out& out, int64_t value) {
    char digits[20]; // "-9223372036854775808"
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(std::string_view(digits, static_cast<size_t>(end - digits)));
}

// Numbers. Every reader checks its bounds: a run of digits of any length reads without
// overflow, under the rule its caller names.

// value * 10 + digit, held at limit once it would pass it (for digits read one at a time from a
// stream). With a constant limit the two bounds are constants: no division per digit.
inline uint64_t appendDigit(uint64_t value, unsigned digit, uint64_t limit) {
    const uint64_t tenth = limit / 10;
    if (value < tenth || (value == tenth && digit <= limit % 10)) {
        return value * 10 + digit;
    }
    return limit;
}

// The decimal digits at pos into value, held at limit (capped is then set); the position after
// them, which is pos when there are none.
inline size_t readDigits(std::string_view text, size_t pos, uint64_t limit, uint64_t& value,
                         bool& capped) {
    const char* const data = text.data();
    const size_t size = text.size();
    // Below safe any digit keeps the value within limit: one comparison a digit, and the exact
    // one only near the limit.
    const uint64_t safe = limit < 9 ? 0 : (limit - 9) / 10 + 1;
    const uint64_t tenth = limit / 10;
    const uint64_t last = limit % 10;
    uint64_t number = 0; // a local, so that the loop keeps it in a register
    bool held = false;
    for (; pos < size; ++pos) {
        // The byte's value less '0': above 9 for every byte that is no digit.
        const unsigned digit = static_cast<unsigned char>(data[pos]) - unsigned{'0'};
        if (digit > 9) {
            break;
        }
        if (number < safe || number < tenth || (number == tenth && digit <= last)) {
            number = number * 10 + digit;
        } else {
            number = limit;
            held = true;
        }
    }
    value = number;
    capped = held;
    return pos;
}

// At most maxDigits (19 or fewer, which cannot overflow) decimal digits at pos into value: the
// position after them. The digits past maxDigits are left where they are.
inline size_t readShortDigits(std::string_view text, size_t pos, size_t maxDigits,
                              uint64_t& value) {
    const char* const data = text.data();
    const size_t stop = pos + maxDigits < text.size() ? pos + maxDigits : text.size();
    uint64_t number = 0;
    for (; pos < stop; ++pos) {
        const unsigned digit = static_cast<unsigned char>(data[pos]) - unsigned{'0'};
        if (digit > 9) {
            break;
        }
        number = number * 10 + digit;
    }
    value = number;
    return pos;
}

// The decimal digits at pos as 32-bit unsigned arithmetic, which wraps on overflow (the
// readings that take the number modulo 2^32); the position after them.
inline size_t readDigitsModulo32(std::string_view text, size_t pos, uint32_t& value) {
    uint32_t number = 0;
    for (; pos < text.size() && isDigit(static_cast<unsigned char>(text[pos])); ++pos) {
        number = number * 10u + static_cast<uint32_t>(text[pos] - '0');
    }
    value = number;
    return pos;
}

// An integer as PDF writes it: an optional "+" or "-", then decimal digits.
struct SignedInteger {
    int64_t value = 0;     // held at INT64_MIN or INT64_MAX beyond the 64-bit range, as strtoll
    size_t end = 0;        // one past the last digit (past the sign when there is no digit)
    bool digits = false;   // at least one digit
    bool negative = false; // a "-" stood before the digits
    bool capped = false;   // the value was held at the end of the range
};
inline SignedInteger readSignedInteger(std::string_view text, size_t pos) {
    SignedInteger integer;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        integer.negative = text[pos] == '-';
        ++pos;
    }
    // The magnitude of INT64_MIN is one more than INT64_MAX.
    constexpr uint64_t kLimit = uint64_t{INT64_MAX} + 1;
    uint64_t magnitude = 0;
    integer.end = readDigits(text, pos, kLimit, magnitude, integer.capped);
    integer.digits = integer.end > pos;
    if (integer.negative) {
        integer.value = magnitude == kLimit ? INT64_MIN : -static_cast<int64_t>(magnitude);
    } else if (magnitude > uint64_t{INT64_MAX}) {
        integer.value = INT64_MAX;
        integer.capped = true;
    } else {
        integer.value = static_cast<int64_t>(magnitude);
    }
    return integer;
}

// The object number and generation of a reference value "n g R".
bool readReference(std::string_view value, int64_t& number, int64_t& generation);
// The integer value of a direct integer: the whole text is one, within the 64-bit range.
bool readInteger(std::string_view value, int64_t& out);

} // namespace pdf_syntax
