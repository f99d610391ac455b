#include "pdf/PdfSyntaxTokens.h"

#include "pdf/PdfSyntaxScan.h"

namespace pdf_syntax {

namespace {

// Nesting of containers that a scan follows before it gives up on the text.
constexpr int kMaxDepth = 256;

size_t skipLiteralString(std::string_view text, size_t pos) {
    int nesting = 0;
    while (pos < text.size()) {
        char c = text[pos++];
        if (c == '\\') {
            ++pos;
        } else if (c == '(') {
            ++nesting;
        } else if (c == ')') {
            if (--nesting == 0) {
                return pos;
            }
        }
    }
    return npos;
}

size_t skipHexString(std::string_view text, size_t pos) {
    size_t close = text.find('>', pos + 1);
    return close == std::string_view::npos ? npos : close + 1;
}

// The end of the integer token at pos (an optional sign and digits, then a byte that is not
// regular, or the end), or npos when the token at pos is not an integer.
size_t integerTokenEnd(std::string_view text, size_t pos) {
    size_t p = pos;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        ++p;
    }
    const size_t digits = p;
    while (p < text.size() && isDigit(static_cast<unsigned char>(text[p]))) {
        ++p;
    }
    if (p == digits || (p < text.size() && isRegular(static_cast<unsigned char>(text[p])))) {
        return npos;
    }
    return p;
}

} // namespace

// After an integer at [start, end): the end of "g R" when a reference follows, else end.
size_t extendReference(std::string_view text, size_t end) {
    size_t genStart = skipWhitespace(text, end);
    if (genStart == end || genStart >= text.size()) {
        return end;
    }
    size_t genEnd = integerTokenEnd(text, genStart);
    if (genEnd == npos) {
        return end;
    }
    size_t rStart = skipWhitespace(text, genEnd);
    if (rStart == genEnd || rStart >= text.size() || text[rStart] != 'R') {
        return end;
    }
    size_t rEnd = rStart + 1;
    if (rEnd < text.size() && isRegular(static_cast<unsigned char>(text[rEnd]))) {
        return end;
    }
    return rEnd;
}

// One object from pos, nested containers followed with a stack of their kinds instead of
// calls within calls: every value inside n open containers is read at depth + n, and one
// deeper than kMaxDepth makes the object malformed.
size_t skipObjectAt(std::string_view text, size_t pos, int depth) {
    const char* const data = text.data();
    const size_t size = text.size();
    char open[kMaxDepth + 2]; // '<' for a dictionary, '[' for an array, innermost last
    int count = 0;
    while (true) {
        // A value starts at pos.
        if (pos >= size || depth + count > kMaxDepth) {
            return npos;
        }
        const unsigned char c = static_cast<unsigned char>(data[pos]);
        switch (c) {
        case '(':
            pos = skipLiteralString(text, pos);
            break;
        case '<':
            if (pos + 1 < size && data[pos + 1] == '<') {
                open[count++] = '<';
                pos += 2;
            } else {
                pos = skipHexString(text, pos);
            }
            break;
        case '[':
            open[count++] = '[';
            pos += 1;
            break;
        case '/':
            pos = skipRegularRun(text, pos + 1);
            break;
        default:
            if (count > 0 && isStrayClose(static_cast<char>(c))) {
                pos += 1; // inside a container, a stray closing byte is passed over
                break;
            }
            if (isDelimiter(c)) {
                return npos;
            }
            pos = skipWord(text, pos);
            break;
        }
        if (pos == npos) {
            return npos;
        }
        // The value (or the opening of a container) is complete: close what ends here, then
        // go on with the next value of the innermost container, or end with the outermost.
        while (true) {
            if (count == 0) {
                return pos;
            }
            pos = skipSpace(text, pos);
            if (pos >= size) {
                return npos;
            }
            if (open[count - 1] == '<' ? doubleBracketAt(text, pos, '>') : data[pos] == ']') {
                pos += open[count - 1] == '<' ? 2 : 1;
                --count;
                continue;
            }
            break;
        }
    }
}

size_t skipWhitespace(std::string_view text, size_t pos) {
    return skipSpace(text, pos);
}

size_t skipObject(std::string_view text, size_t pos) {
    return skipObjectAt(text, pos, 0);
}

} // namespace pdf_syntax
