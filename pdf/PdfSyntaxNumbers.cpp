#include "pdf/PdfSyntaxNumbers.h"

#include "pdf/PdfSyntaxScan.h"

namespace pdfsyntax {

namespace {

// "N G R" at pos as writers put it: digits, one space, digits, one space, "R". end is one past
// the "R". Any other form is left to the general reading, which gives the same for this one.
inline bool readPlainReference(std::string_view text, size_t pos, size_t& end, int64_t& number,
                               int64_t& generation) {
    size_t at = pos;
    if (!readPlainDigits(text, at, kMaxPlainDigits, number) || text[at] != ' ') {
        return false;
    }
    ++at;
    if (!readPlainDigits(text, at, kMaxPlainDigits, generation) || at + 1 >= text.size() ||
        text[at] != ' ' || text[at + 1] != 'R') {
        return false;
    }
    end = at + 2;
    return true;
}

} // namespace

bool parseDecimal(std::string_view token, int64_t& out) {
    const SignedInteger integer = readSignedInteger(token, 0);
    if (!integer.digits || integer.capped || integer.end != token.size()) {
        return false;
    }
    out = integer.value;
    return true;
}

bool readReference(std::string_view value, int64_t& number, int64_t& generation) {
    // "N G R" as writers put it, read in one pass; any other form goes the general way.
    size_t plainEnd = 0;
    int64_t plainNumber = 0;
    int64_t plainGeneration = 0;
    if (readPlainReference(value, 0, plainEnd, plainNumber, plainGeneration)) {
        number = plainNumber;
        generation = plainGeneration;
        return true;
    }
    // The shortest reference, "0 0 R", has five bytes: a shorter value is none (a /Length).
    if (value.size() < 5) {
        return false;
    }
    size_t end = skipRegularRun(value, 0);
    if (!parseDecimal(value.substr(0, end), number)) {
        return false;
    }
    size_t genStart = skipSpace(value, end);
    size_t genEnd = skipRegularRun(value, genStart);
    if (genStart == end || !parseDecimal(value.substr(genStart, genEnd - genStart), generation)) {
        return false;
    }
    size_t r = skipSpace(value, genEnd);
    return r != genEnd && r < value.size() && value[r] == 'R' && number >= 0 && generation >= 0;
}

bool readInteger(std::string_view value, int64_t& out) {
    return parseDecimal(value, out);
}

} // namespace pdfsyntax
