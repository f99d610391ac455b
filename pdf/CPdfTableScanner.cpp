#include "pdf/CPdfTableScanner.h"

#include "pdf/CPdfStream.h"

namespace {

bool isWhite(int c) { return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32; }

bool isDelimiter(int c)
{
    switch (c) {
    case '%': case '(': case ')': case '/': case '<': case '>': case '[': case ']': case '{': case '}':
        return true;
    default:
        return false;
    }
}

bool isRegular(int c) { return c >= 0 && !isWhite(c) && !isDelimiter(c); }

} // namespace

void CPdfTableScanner::skipSpace()
{
    for (;;) {
        int c = source_.peekChar();
        if (isWhite(c)) {
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

CPdfTableScanner::Token CPdfTableScanner::next()
{
    Token token;
    skipSpace();
    int c = source_.getChar();
    if (c < 0) {
        return token;
    }
    if (c == '-' || c == '.' || (c >= '0' && c <= '9')) {
        // As the lexer: the first byte, then digits and dots; a dot makes it no integer.
        bool negative = c == '-';
        bool real = c == '.';
        uint64_t value = c >= '0' ? static_cast<uint64_t>(c - '0') : 0;
        for (int d = source_.peekChar(); (d >= '0' && d <= '9') || d == '.'; d = source_.peekChar()) {
            source_.getChar();
            if (d == '.') {
                real = true;
            } else if (value < (uint64_t(1) << 60)) {
                value = value * 10 + static_cast<uint64_t>(d - '0');
            }
        }
        token.kind = real ? Kind::Other : Kind::Integer;
        token.value = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
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

void CPdfTableScanner::skipRowComment()
{
    for (int c = source_.peekChar(); c == ' ' || c == '\t' || c == 0 || c == '\f'; c = source_.peekChar()) {
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
