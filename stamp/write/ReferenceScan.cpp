#include "stamp/write/ReferenceScan.h"

#include "pdf/PdfSyntax.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

using pdf_syntax::isDelimiter;
using pdf_syntax::isRegular;
using pdf_syntax::isWhitespace;

int byteAt(std::string_view text, size_t pos) {
    return static_cast<unsigned char>(text[pos]);
}

// The position after the literal string that opens at pos: parentheses nest, a backslash
// escapes the byte after it.
size_t skipLiteral(std::string_view text, size_t pos) {
    int depth = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '\\') {
            ++pos;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            return pos + 1;
        }
    }
    return text.size();
}

} // namespace

std::vector<ReferenceSpan> findReferences(std::string_view text) {
    std::vector<ReferenceSpan> found;
    // The two tokens before the current one, when they were unsigned integers.
    struct Integer {
        bool valid = false;
        size_t start = 0;
        int64_t value = 0;
    };
    Integer older;
    Integer last;
    size_t pos = 0;
    while (pos < text.size()) {
        const int c = byteAt(text, pos);
        if (isWhitespace(c)) {
            ++pos;
            continue;
        }
        const size_t start = pos;
        bool integer = false;
        int64_t value = 0;
        if (c == '%') {
            while (pos < text.size() && text[pos] != '\n' && text[pos] != '\r') {
                ++pos;
            }
            continue; // a comment separates tokens without being one
        }
        if (c == '(') {
            pos = skipLiteral(text, pos);
        } else if (c == '<' && pos + 1 < text.size() && text[pos + 1] == '<') {
            pos += 2;
        } else if (c == '<') {
            const size_t close = text.find('>', pos);
            pos = close == std::string_view::npos ? text.size() : close + 1;
        } else if (c == '>' && pos + 1 < text.size() && text[pos + 1] == '>') {
            pos += 2;
        } else if (c == '/') {
            ++pos;
            while (pos < text.size() && isRegular(byteAt(text, pos))) {
                ++pos;
            }
        } else if (isDelimiter(c)) {
            ++pos;
        } else {
            while (pos < text.size() && isRegular(byteAt(text, pos))) {
                ++pos;
            }
            const std::string_view word = text.substr(start, pos - start);
            if (word == "R" && older.valid && last.valid) {
                found.push_back({older.start, pos, older.value, last.value});
                older = last = Integer{};
                continue;
            }
            uint64_t digits = 0;
            bool capped = false;
            integer = pdf_syntax::readDigits(word, 0, INT64_MAX, digits, capped) == word.size();
            value = static_cast<int64_t>(digits);
        }
        older = last;
        last = Integer{integer, start, value};
    }
    return found;
}

namespace {

// The start of the white-space that ends at end (end itself when there is none).
size_t whitespaceBefore(std::string_view text, size_t end) {
    while (end > 0 && isWhitespace(byteAt(text, end - 1))) {
        --end;
    }
    return end;
}

// The start of the digits that end at end (end itself when there are none).
size_t digitsBefore(std::string_view text, size_t end) {
    while (end > 0 && pdf_syntax::isDigit(byteAt(text, end - 1))) {
        --end;
    }
    return end;
}

// The digits of the smallest number of rows or more: a number with fewer is below rows.
size_t digitsOf(size_t rows) {
    size_t digits = 1;
    for (; rows >= 10; rows /= 10) {
        ++digits;
    }
    return digits;
}

// Calls found(start, end) with the digits of the number of each "N G R" that the look back
// from an "R" finds in text (white-space, the generation's digits, white-space and the number's
// digits, which begin a token of their own) where the number has at least minDigits digits.
// Stops when found returns true. It runs over every object a rewrite copies: the byte before
// an "R" turns most of those that are no reference away first ("/Resources", "/Rotate").
template <typename Found>
bool anyReferenceNumber(std::string_view text, size_t minDigits, Found found) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    for (const char* r = begin; r < end; ++r) {
        r = static_cast<const char*>(std::memchr(r, 'R', static_cast<size_t>(end - r)));
        if (r == nullptr) {
            return false;
        }
        if (r == begin || !isWhitespace(static_cast<unsigned char>(r[-1])) ||
            (r + 1 < end && isRegular(static_cast<unsigned char>(r[1])))) {
            continue;
        }
        const size_t at = static_cast<size_t>(r - begin);
        const size_t generationEnd = whitespaceBefore(text, at);
        const size_t generationStart = digitsBefore(text, generationEnd);
        const size_t numberEnd = whitespaceBefore(text, generationStart);
        const size_t numberStart = digitsBefore(text, numberEnd);
        if (generationStart == generationEnd || numberEnd == generationStart ||
            numberEnd - numberStart < minDigits ||
            (numberStart > 0 && isRegular(byteAt(text, numberStart - 1)))) {
            continue;
        }
        if (found(numberStart, numberEnd)) {
            return true;
        }
    }
    return false;
}

// The value of the digits from start to end, held at limit once it reaches it (the value only
// grows with each digit).
size_t valueUpTo(std::string_view text, size_t start, size_t end, size_t limit) {
    size_t value = 0;
    for (size_t k = start; k < end && value < limit; ++k) {
        value = value * 10 + static_cast<size_t>(text[k] - '0');
    }
    return value < limit ? value : limit;
}

} // namespace

bool mayReferencePast(std::string_view text, size_t rows) {
    // A comment may stand between a reference's tokens, where the look back would not pass
    // it: such text is left to the full scan.
    if (text.find('%') != std::string_view::npos) {
        return true;
    }
    return anyReferenceNumber(text, digitsOf(rows), [&](size_t start, size_t end) {
        return valueUpTo(text, start, end, rows) >= rows;
    });
}

void markNumbersPast(std::string_view text, size_t rows, size_t limit, std::vector<bool>& named) {
    anyReferenceNumber(text, digitsOf(rows), [&](size_t start, size_t end) {
        const size_t value = valueUpTo(text, start, end, limit);
        if (value >= rows && value < limit) {
            if (value - rows >= named.size()) {
                named.resize(value - rows + 1, false);
            }
            named[value - rows] = true;
        }
        return false;
    });
}

size_t firstNumbersUnnamed(const std::vector<bool>& named, size_t rows, size_t count) {
    size_t run = 0;
    for (size_t k = 0; k < named.size(); ++k) {
        run = named[k] ? 0 : run + 1;
        if (run == count) {
            return rows + k + 1 - count;
        }
    }
    return rows + named.size() - run;
}

uint64_t nullReferencesPast(std::string& text, size_t rows) {
    if (rows == 0 || !mayReferencePast(text, rows)) {
        return 0;
    }
    uint64_t first = 0;
    for (const ReferenceSpan& reference : findReferences(text)) {
        if (static_cast<uint64_t>(reference.number) < rows) {
            continue;
        }
        // "N G R" has at least five bytes.
        text.replace(reference.start, 4, "null");
        std::fill(text.begin() + static_cast<std::ptrdiff_t>(reference.start + 4),
                  text.begin() + static_cast<std::ptrdiff_t>(reference.end), ' ');
        if (first == 0) {
            first = static_cast<uint64_t>(reference.number);
        }
    }
    return first;
}
