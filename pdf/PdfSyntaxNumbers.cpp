#include "pdf/PdfSyntaxNumbers.h"

#include "pdf/PdfSyntaxScan.h"

namespace pdf_syntax {

bool parseDecimal(std::string_view token, int64_t& out) {
    const SignedInteger integer = readSignedInteger(token, 0);
    if (!integer.digits || integer.capped || integer.end != token.size()) {
        return false;
    }
    out = integer.value;
    return true;
}

bool readReference(std::string_view value, int64_t& number, int64_t& generation) {
    // "N G R" as writers put it, read in one pass: digits, one space, digits, one space, "R".
    // Any other form goes the general way below, which gives the same for this one.
    size_t at = 0;
    int64_t plainNumber = 0;
    int64_t plainGeneration = 0;
    if (readPlainDigits(value, at, kMaxPlainDigits, plainNumber) && value[at] == ' ') {
        ++at;
        if (readPlainDigits(value, at, kMaxPlainDigits, plainGeneration) && at + 1 < value.size() &&
            value[at] == ' ' && value[at + 1] == 'R') {
            number = plainNumber;
            generation = plainGeneration;
            return true;
        }
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

} // namespace pdf_syntax
