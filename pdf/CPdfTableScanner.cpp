#include "pdf/CPdfTableScanner.h"

#include "pdf/CPdfStream.h"
#include "pdf/PdfSyntax.h"

#include <bit>
#include <cstring>

using pdfsyntax::isDigit;
using pdfsyntax::isRegular;
using pdfsyntax::isWhitespace;

namespace {

// Bytes [from, from + count) of a row as a decimal number, or -1 when one is no digit.
int64_t rowNumber(const unsigned char* row, int from, int count) {
    // Every byte is taken and the misfits noted on the way: no branch for each digit.
    uint64_t value = 0; // unsigned: misfits may wrap it before they are found out
    unsigned misfit = 0;
    for (int i = from; i < from + count; ++i) {
        const unsigned digit = static_cast<unsigned>(row[i]) - '0';
        misfit |= static_cast<unsigned>(digit > 9);
        value = value * 10 + digit;
    }
    return misfit != 0 ? -1 : static_cast<int64_t>(value);
}

// The ten digits of a row's offset, or -1 when one is no digit. The first eight are taken as
// one 64-bit word, one digit a byte, the first digit in the lowest byte whatever the machine's
// byte order, and turned into their number in three steps of pairs.
int64_t rowOffsetNumber(const unsigned char* row) {
    uint64_t word = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&word, row, sizeof word);
    } else {
        for (int i = 7; i >= 0; --i) {
            word = (word << 8) | row[i];
        }
    }
    constexpr uint64_t kHighNibbles = 0xF0F0F0F0F0F0F0F0ULL;
    constexpr uint64_t kZeros = 0x3030303030303030ULL;
    // Every byte 0x30 to 0x39: its high nibble is 3, and stays 3 when 6 is added.
    constexpr uint64_t kSixes = 0x0606060606060606ULL;
    if ((word & kHighNibbles) != kZeros || ((word + kSixes) & kHighNibbles) != kZeros) {
        return -1;
    }
    uint64_t value = word - kZeros;
    value = (value * 10 + (value >> 8)) & 0x00FF00FF00FF00FFULL;     // two digits a lane
    value = (value * 100 + (value >> 16)) & 0x0000FFFF0000FFFFULL;   // four digits a lane
    value = (value * 10000 + (value >> 32)) & 0x00000000FFFFFFFFULL; // eight digits
    const int64_t last = rowNumber(row, 8, 2);
    return last < 0 ? -1 : static_cast<int64_t>(value) * 100 + last;
}

// The two bytes after the type letter: " \r", " \n" or "\r\n". Each ends the row for
// skipRowComment, and the white-space it leaves is what the next token skips.
bool isRowEnd(unsigned char first, unsigned char second) {
    return (first == ' ' && (second == '\r' || second == '\n')) ||
           (first == '\r' && second == '\n');
}

} // namespace

void CPdfTableScanner::skipSpace() {
    for (;;) {
        int c = source_.peekChar();
        if (isWhitespace(c)) {
            source_.getChar();
        } else if (c == '%') {
            do {
                c = source_.getChar();
            } while (c >= 0 && c != '\r' && c != '\n');
        } else {
            return;
        }
    }
}

CPdfTableScanner::Token CPdfTableScanner::next() {
    Token token;
    skipSpace();
    int c = source_.getChar();
    if (c < 0) {
        return token;
    }
    if (c == '-' || c == '.' || isDigit(c)) {
        // As the lexer: the first byte, then digits and dots; a dot makes it no integer, and
        // the value is held at the 64-bit range.
        const bool negative = c == '-';
        bool real = c == '.';
        uint64_t value = isDigit(c) ? static_cast<uint64_t>(c - '0') : 0;
        const uint64_t limit = uint64_t{INT64_MAX} + (negative ? 1 : 0);
        for (int d = source_.peekChar(); isDigit(d) || d == '.'; d = source_.peekChar()) {
            source_.getChar();
            if (d == '.') {
                real = true;
            } else {
                value = pdfsyntax::appendDigit(value, static_cast<unsigned>(d - '0'), limit);
            }
        }
        token.kind = real ? Kind::Other : Kind::Integer;
        if (!negative) {
            token.value = static_cast<int64_t>(value);
        } else {
            token.value = value == limit ? INT64_MIN : -static_cast<int64_t>(value);
        }
        return token;
    }
    if (isRegular(c)) {
        token.kind = Kind::Word;
        token.text.push_back(static_cast<char>(c));
        while (isRegular(source_.peekChar()) && token.text.size() < 64) {
            token.text.push_back(static_cast<char>(source_.getChar()));
        }
        return token;
    }
    token.kind = Kind::Other;
    return token;
}

namespace {

constexpr int kRowBytes = 20;

// The 20 bytes of a row in the layout writers use, "oooooooooo ggggg n\r\n": false for any
// other bytes.
bool readRow(const unsigned char* row, int64_t& offset, int64_t& generation, bool& inUse) {
    const int64_t rowOffset = rowOffsetNumber(row);
    const int64_t rowGeneration = rowNumber(row, 11, 5);
    if (rowOffset < 0 || rowGeneration < 0 || row[10] != ' ' || row[16] != ' ' ||
        (row[17] != 'n' && row[17] != 'f') || !isRowEnd(row[18], row[19])) {
        return false;
    }
    offset = rowOffset;
    generation = rowGeneration;
    inUse = row[17] == 'n';
    return true;
}

} // namespace

bool CPdfTableScanner::nextStandardRow(int64_t& offset, int64_t& generation, bool& inUse) {
    // The row read in place where the stream has it (and white-space before it) ahead: the
    // same checks on the same bytes, without a call for each of them.
    const unsigned char* ahead = nullptr;
    const size_t available = source_.buffered(ahead);
    size_t lead = 0;
    while (lead < available && isWhitespace(ahead[lead])) {
        ++lead;
    }
    if (lead < available && ahead[lead] != '%' && available - lead >= kRowBytes) {
        const bool standard = readRow(ahead + lead, offset, generation, inUse);
        // Without a row the white-space is still passed over, as skipSpace does below.
        source_.skipBuffered(standard ? lead + kRowBytes : lead);
        return standard;
    }
    skipSpace();
    const uint64_t start = source_.getPos();
    unsigned char row[kRowBytes];
    if (source_.getChars(row, kRowBytes) != kRowBytes || !readRow(row, offset, generation, inUse)) {
        source_.setPos(static_cast<int64_t>(start), 0);
        return false;
    }
    return true;
}

void CPdfTableScanner::skipRowComment() {
    for (int c = source_.peekChar(); c == ' ' || c == '\t' || c == 0 || c == '\f';
         c = source_.peekChar()) {
        source_.getChar();
    }
    int c = source_.peekChar();
    if (c < 0 || c == '\r' || c == '\n' || c == '%') {
        return;
    }
    const uint64_t start = source_.getPos();
    Token word = next();
    source_.setPos(static_cast<int64_t>(start), 0);
    if (word.kind == Kind::Integer || word.kind == Kind::End || word.isWord("trailer")) {
        return;
    }
    for (c = source_.peekChar(); c >= 0 && c != '\r' && c != '\n'; c = source_.peekChar()) {
        source_.getChar();
    }
}
