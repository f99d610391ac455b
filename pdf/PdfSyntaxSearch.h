#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// Searches in the raw bytes of an object's text, where the first occurrence of a key counts
// wherever it stands: no token is read, so a key inside a string or a nested dictionary counts
// as well. Every search stops at the end of its buffer.
namespace pdf_syntax {

// Position of the first occurrence of needle in text, or npos (also for an empty needle).
inline size_t findFirst(std::string_view text, std::string_view needle) {
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

// Index of the last byte of the first occurrence of needle at or after start, or 0 when there
// is none (a match that ends at index 0 therefore reads as absent, as does an empty needle).
size_t findText(std::string_view buffer, std::string_view needle, size_t start = 0);
// As findText, for the last occurrence: where a key is given twice, its last value holds.
size_t findLastText(std::string_view buffer, std::string_view needle);

struct NumberAfter {
    int32_t value = 0;
    // The digits are followed by " 0 R": a reference with generation 0.
    bool isReference = false;
    // The key and a digit after it were found.
    bool found = false;
};

// The integer that follows key: from the key, forward to the first decimal digit; negative when
// a "-" stands right before that digit. Digits accumulate in 32 bits and wrap on overflow.
NumberAfter readNumberAfter(std::string_view buffer, std::string_view key);

} // namespace pdf_syntax
