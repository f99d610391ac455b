#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// The tokens of PDF's byte syntax: the classes of bytes, and the skips of white-space, comments
// and whole objects. Every scan stops at the end of its buffer.
namespace pdf_syntax {

inline constexpr size_t npos = static_cast<size_t>(-1);

// The classes of bytes. The lookups are inline: the lexer and the scans classify every byte
// they pass.
enum ByteClass : unsigned char { kRegular, kWhitespace, kDelimiter };

inline constexpr std::array<unsigned char, 256> kByteClasses = [] {
    std::array<unsigned char, 256> classes{};
    for (unsigned char c : {0, 9, 10, 12, 13, 32}) {
        classes[c] = kWhitespace;
    }
    for (unsigned char c : {'%', '(', ')', '/', '<', '>', '[', ']', '{', '}'}) {
        classes[c] = kDelimiter;
    }
    return classes;
}();

// c is a byte (0 to 255), or -1 for the end of a stream's input, which is of no class. A char
// is cast to unsigned char first: a byte above 127 would otherwise read as the end.
inline bool isWhitespace(int c) {
    return static_cast<unsigned>(c) < 256 && kByteClasses[static_cast<size_t>(c)] == kWhitespace;
}
inline bool isDelimiter(int c) {
    return static_cast<unsigned>(c) < 256 && kByteClasses[static_cast<size_t>(c)] == kDelimiter;
}
inline bool isRegular(int c) {
    return static_cast<unsigned>(c) < 256 && kByteClasses[static_cast<size_t>(c)] == kRegular;
}
inline bool isDigit(int c) {
    return c >= '0' && c <= '9';
}
bool isWhitespace(char) = delete;
bool isDelimiter(char) = delete;
bool isRegular(char) = delete;

// The spaces and line ends that writers put between the tokens of plain objects.
inline bool isPlainSpace(char c) {
    return c == ' ' || c == '\n' || c == '\r';
}

// The value of a hexadecimal digit (either case), or -1 for any other byte.
inline int hexValue(int c) {
    if (c >= '0' && c <= '9') {
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

// Position of the first byte at or after pos that is neither white-space nor in a comment.
size_t skipWhitespace(std::string_view text, size_t pos);
// Position just past the one complete object starting at pos (an "n g R" reference counts as
// one object), or npos when the object is malformed or runs past the end.
size_t skipObject(std::string_view text, size_t pos);

} // namespace pdf_syntax
