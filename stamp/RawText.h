#pragma once

#include "pdf/PdfSyntax.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// Searches in the raw bytes of PDF objects. Every scan stops at the end of its buffer.
namespace rawtext {

using pdfsyntax::findFirst;

// Index of the last byte of the first occurrence of needle at or after start, or 0 when there
// is none (a match that ends at index 0 therefore reads as absent, as does an empty needle).
size_t findText(std::string_view buffer, std::string_view needle, size_t start = 0);

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

} // namespace rawtext
