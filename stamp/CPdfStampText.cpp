#include "stamp/CPdfStamp.h"

#include "stamp/CRomanNumeral.h"
#include "stamp/TextEncoding.h"

#include <algorithm>
#include <charconv>

namespace {

// Longer masks pad beyond anything a page can show; the cap keeps hostile widths from
// allocating without bound.
constexpr int32_t kMaskWidthLimit = 64;

int32_t decimalDigits(uint64_t magnitude) {
    int32_t digits = 0;
    while (magnitude != 0) {
        ++digits;
        magnitude /= 10;
    }
    return digits;
}

// Appends number padded to the mask width with zeros. A number counts its digits, except 0,
// which counts none (so mask 3 turns 0 into "0000"); a minus sign is not a digit and stays
// behind the zeros.
void appendMaskedDecimal(std::string& out, int64_t number, int32_t maskWidth) {
    if (maskWidth > 0) {
        uint64_t magnitude =
            number < 0 ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
        int32_t width = std::min(maskWidth, kMaskWidthLimit);
        int32_t missing = width - decimalDigits(magnitude);
        if (missing > 0) {
            out.append(static_cast<size_t>(missing), '0');
        }
    }
    char digits[24];
    const char* end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out.append(digits, static_cast<size_t>(end - digits));
}

// "(" and ")" become octal escapes so the text can sit inside "(...) Tj"; a trailing odd run
// of backslashes would escape the closing parenthesis, so its last backslash is doubled.
std::string escapeForLiteralString(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        if (c == '\0') {
            break;
        }
        if (c == '(') {
            escaped += "\\050";
        } else if (c == ')') {
            escaped += "\\051";
        } else {
            escaped += c;
        }
    }
    size_t trailing = 0;
    while (trailing < escaped.size() && escaped[escaped.size() - 1 - trailing] == '\\') {
        ++trailing;
    }
    if (trailing % 2 == 1) {
        escaped += '\\';
    }
    return escaped;
}

} // namespace

void CPdfStamp::composeText(int32_t number) {
    // The page's number and the page count, roman or decimal; numbers without a roman form are
    // shown in decimal, unmasked.
    auto append = [&](std::string& out, int64_t value) {
        if (upperRoman || lowerRoman) {
            if (value < 0 || value > CRomanNumeral::kLargest) {
                appendMaskedDecimal(out, value, 0);
                return;
            }
            CRomanNumeral roman;
            out += roman.toRoman(static_cast<int32_t>(value), !upperRoman);
            return;
        }
        appendMaskedDecimal(out, value, maskWidth);
    };

    std::string text;
    text.reserve(prefixText.size() + separatorText.size() + endText.size() + 48);
    text += prefixText;
    if (noPageNumbers) {
        text += separatorText;
    } else if (numberOnly) {
        append(text, number);
        text += separatorText;
    } else {
        append(text, number);
        text += separatorText;
        append(text, pageCount);
    }
    text += endText;

    currentText = escapeForLiteralString(text_encoding::toWinAnsi(text));
}
