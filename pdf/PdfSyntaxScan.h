#pragma once

#include "pdf/PdfSyntaxNumbers.h"
#include "pdf/PdfSyntaxTokens.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// The steps that the token scans of raw object text share: tests of one or two bytes, the runs
// of regular bytes and of white-space, the word that may begin a reference, and the plain
// numbers of objects and references as writers put them. Only the pieces of the byte syntax
// include this; inline, as the scans take these steps at every token.
namespace pdf_syntax {

// True when the two bytes at pos are "<<" or ">>" (pair is '<' or '>').
inline bool doubleBracketAt(std::string_view text, size_t pos, char pair) {
    return pos + 1 < text.size() && text[pos] == pair && text[pos + 1] == pair;
}

inline bool regularByte(char c) {
    return kByteClasses[static_cast<unsigned char>(c)] == kRegular;
}

// Where the digits of a word at pos end, after its sign if it has one; integer tells whether
// they make the whole word (digits, and no regular byte after them).
inline size_t signedDigitsEnd(const char* data, size_t size, size_t pos, bool& integer) {
    size_t at = pos + (data[pos] == '+' || data[pos] == '-' ? 1 : 0);
    const size_t digits = at;
    while (at < size && isDigit(static_cast<unsigned char>(data[at]))) {
        ++at;
    }
    integer = at != digits && !(at < size && regularByte(data[at]));
    return at;
}

inline size_t skipRegularRun(std::string_view text, size_t pos) {
    const char* const data = text.data();
    const size_t size = text.size();
    // Four bytes a round while four remain, with one check of the end for the four.
    for (; pos + 4 <= size; pos += 4) {
        if (!regularByte(data[pos])) {
            return pos;
        }
        if (!regularByte(data[pos + 1])) {
            return pos + 1;
        }
        if (!regularByte(data[pos + 2])) {
            return pos + 2;
        }
        if (!regularByte(data[pos + 3])) {
            return pos + 3;
        }
    }
    while (pos < size && regularByte(data[pos])) {
        ++pos;
    }
    return pos;
}

// White-space and comments from pos; the scans call this between every two tokens.
inline size_t skipSpace(std::string_view text, size_t pos) {
    const char* const data = text.data();
    const size_t size = text.size();
    while (pos < size) {
        const unsigned char c = static_cast<unsigned char>(data[pos]);
        if (kByteClasses[c] == kWhitespace) {
            ++pos;
        } else if (c == '%') {
            while (pos < size && data[pos] != '\r' && data[pos] != '\n') {
                ++pos;
            }
        } else {
            break;
        }
    }
    return pos;
}

// After an integer that ends at end: the end of "G R" when a reference follows, else end.
size_t extendReference(std::string_view text, size_t end);

// The same as extendReference, deciding the forms writers put after an integer ("N G R" with
// single spaces, or a space or delimiter before something that cannot be a generation) from
// the bytes at hand, and the rest by the general reading.
inline size_t referenceEnd(std::string_view text, size_t end) {
    const char* const data = text.data();
    const size_t size = text.size();
    if (end + 1 >= size) {
        return extendReference(text, end);
    }
    const char after = data[end];
    if (after != ' ') {
        // Not white-space: nothing is skipped, so no generation can follow.
        return after == '%' || isWhitespace(static_cast<unsigned char>(after))
                   ? extendReference(text, end)
                   : end;
    }
    const unsigned char next = static_cast<unsigned char>(data[end + 1]);
    if (!isDigit(next)) {
        // A generation begins with a sign or a digit, after any white-space or comment.
        return next == '+' || next == '-' || next == '%' || isWhitespace(next)
                   ? extendReference(text, end)
                   : end;
    }
    size_t at = end + 2;
    while (at < size && isDigit(static_cast<unsigned char>(data[at]))) {
        ++at;
    }
    if (at + 1 < size && data[at] == ' ') {
        const char r = data[at + 1];
        if (r == 'R') {
            return at + 2 == size || !regularByte(data[at + 2]) ? at + 2 : end;
        }
        if (r != '%' && !isWhitespace(static_cast<unsigned char>(r))) {
            return end;
        }
    } else if (at < size && regularByte(data[at])) {
        // The generation's token goes on past its digits: it is no integer.
        return end;
    }
    return extendReference(text, end);
}

// Digits of the numbers in plain objects and references: no overflow in 64 bits.
constexpr size_t kMaxPlainDigits = 18;

// An unsigned decimal of one to maxDigits digits at pos, followed by a byte that is not a digit.
inline bool readPlainDigits(std::string_view text, size_t& pos, size_t maxDigits, int64_t& value) {
    const size_t start = pos;
    uint64_t number = 0;
    pos = readShortDigits(text, start, maxDigits, number);
    value = static_cast<int64_t>(number);
    return pos > start && pos < text.size() && !isDigit(static_cast<unsigned char>(text[pos]));
}

// The token of regular bytes at pos: an integer with the reference it may begin, or another
// word (a real number, a keyword).
inline size_t skipWord(std::string_view text, size_t pos) {
    bool integer = false;
    const size_t at = signedDigitsEnd(text.data(), text.size(), pos, integer);
    if (!integer) {
        return skipRegularRun(text, at);
    }
    return referenceEnd(text, at);
}

// The end of the value at pos (within the text) when it is a name or a word, as skipObjectAt
// gives it, without that scan's set-up; npos for a value that skipObjectAt is to read.
inline size_t skipSimpleValue(std::string_view text, size_t pos) {
    const char c = text[pos];
    if (c == '/') {
        return skipRegularRun(text, pos + 1);
    }
    return regularByte(c) ? skipWord(text, pos) : npos;
}

// A ")" or "}" where an object should begin closes nothing: readers pass it over.
inline bool isStrayClose(char c) {
    return c == ')' || c == '}';
}

// One object from pos, nested containers followed with a stack of their kinds instead of
// calls within calls: every value inside n open containers is read at depth + n, and one
// deeper than kMaxDepth makes the object malformed.
size_t skipObjectAt(std::string_view text, size_t pos, int depth);

// A whole token that is an integer within the 64-bit range.
bool parseDecimal(std::string_view token, int64_t& out);

} // namespace pdf_syntax
