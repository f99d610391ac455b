#include "stamp/picture/ReferenceScan.h"

#include "pdf/PdfSyntax.h"

namespace {

using pdfsyntax::isDelimiter;
using pdfsyntax::isRegular;
using pdfsyntax::isWhitespace;

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
            integer = pdfsyntax::readDigits(word, 0, INT64_MAX, digits, capped) == word.size();
            value = static_cast<int64_t>(digits);
        }
        older = last;
        last = Integer{integer, start, value};
    }
    return found;
}
