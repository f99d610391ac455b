#include "pdf/CPdfTableScanner.h"

#include "pdf/CPdfStream.h"
#include "pdf/PdfSyntax.h"

#include <bit>
#include <cstring>

using pdf_syntax::isDigit;
using pdf_syntax::isRegular;
using pdf_syntax::isWhitespace;

namespace {

// Eight bytes as one 64-bit word, the first byte in the lowest lane whatever the machine's
// byte order.
uint64_t laneWord(const unsigned char* bytes) {
    uint64_t word = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&word, bytes, sizeof word);
    } else {
        for (int i = 7; i >= 0; --i) {
            word = (word << 8) | bytes[i];
        }
    }
    return word;
}

constexpr uint64_t kHighNibbles = 0xF0F0F0F0F0F0F0F0ULL;
constexpr uint64_t kZeros = 0x3030303030303030ULL;

// Whether every lane of both words holds a digit: its high nibble is 3, and stays 3 when 6 is
// added (a lane whose high nibble is not 3 fails before its carry into the next can matter).
bool allDigits(uint64_t first, uint64_t second) {
    constexpr uint64_t kSixes = 0x0606060606060606ULL;
    return (((first & kHighNibbles) ^ kZeros) | ((second & kHighNibbles) ^ kZeros) |
            (((first + kSixes) & kHighNibbles) ^ kZeros) |
            (((second + kSixes) & kHighNibbles) ^ kZeros)) == 0;
}

// The number that eight digit lanes write, the first digit in the lowest lane, turned into its
// value in three steps of pairs.
uint64_t eightDigitsValue(uint64_t word) {
    uint64_t value = word - kZeros;
    value = (value * 10 + (value >> 8)) & 0x00FF00FF00FF00FFULL;     // two digits a lane
    value = (value * 100 + (value >> 16)) & 0x0000FFFF0000FFFFULL;   // four digits a lane
    value = (value * 10000 + (value >> 32)) & 0x00000000FFFFFFFFULL; // eight digits
    return value;
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
                value = pdf_syntax::appendDigit(value, static_cast<unsigned>(d - '0'), limit);
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
// other bytes. The bytes are taken as two words of eight and the four after them: the first
// word holds eight digits of the offset, the second its last two, the space and the five
// digits of the generation, read as one number of eight digits with the space as a 0.
bool readRow(const unsigned char* row, int64_t& offset, int64_t& generation, bool& inUse) {
    const uint64_t head = laneWord(row);
    uint64_t tail = laneWord(row + 8);
    constexpr uint64_t kSpaceLane = uint64_t{0xFF} << 16; // byte 10 of the row
    if ((tail & kSpaceLane) != uint64_t{' '} << 16) {
        return false;
    }
    tail ^= uint64_t{' ' ^ '0'} << 16;
    if (!allDigits(head, tail) || row[16] != ' ' || (row[17] != 'n' && row[17] != 'f') ||
        !isRowEnd(row[18], row[19])) {
        return false;
    }
    // The tail's number: the offset's last two digits times a million, then the generation.
    const uint64_t tailValue = eightDigitsValue(tail);
    offset = static_cast<int64_t>(eightDigitsValue(head) * 100 + tailValue / 1000000);
    generation = static_cast<int64_t>(tailValue % 1000000);
    inUse = row[17] == 'n';
    return true;
}

} // namespace

size_t CPdfTableScanner::nextStandardRows(StandardRow* rows, size_t max) {
    const unsigned char* ahead = nullptr;
    const size_t available = max == 0 ? 0 : source_.buffered(ahead);
    size_t consumed = 0;
    size_t count = 0;
    while (count < max) {
        size_t lead = consumed;
        while (lead < available && isWhitespace(ahead[lead])) {
            ++lead;
        }
        if (lead >= available || ahead[lead] == '%' || available - lead < kRowBytes) {
            break;
        }
        StandardRow& row = rows[count];
        if (!readRow(ahead + lead, row.offset, row.generation, row.inUse)) {
            consumed = lead;
            break;
        }
        consumed = lead + kRowBytes;
        ++count;
    }
    source_.skipBuffered(consumed);
    return count;
}

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
