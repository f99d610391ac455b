#include "pdf/PdfSyntax.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace pdfsyntax {

namespace {

// Nesting of containers that a scan follows before it gives up on the text.
constexpr int kMaxDepth = 256;

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

// Spaces and line ends from pos, as writers put them between the tokens of a plain object;
// true when there was at least one.
bool skipPlainSpaces(std::string_view text, size_t& pos) {
    const char* const data = text.data();
    const size_t size = text.size();
    size_t at = pos;
    while (at < size && isPlainSpace(data[at])) {
        ++at;
    }
    const bool skipped = at > pos;
    pos = at;
    return skipped;
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
bool isStrayClose(char c) {
    return c == ')' || c == '}';
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

// A whole token that is an integer within the 64-bit range.
bool parseDecimal(std::string_view token, int64_t& out) {
    const SignedInteger integer = readSignedInteger(token, 0);
    if (!integer.digits || integer.capped || integer.end != token.size()) {
        return false;
    }
    out = integer.value;
    return true;
}

} // namespace

size_t skipWhitespace(std::string_view text, size_t pos) {
    return skipSpace(text, pos);
}

size_t skipObject(std::string_view text, size_t pos) {
    return skipObjectAt(text, pos, 0);
}

namespace {

// "N G obj" as writers put it: digits, line ends or spaces, digits, line ends or spaces, "obj".
// Any other form is left to the general reading, which gives the same header for this one.
bool readPlainObjectHeader(std::string_view text, ObjectHeader& header) {
    const char* const data = text.data();
    const size_t size = text.size();
    size_t pos = 0;
    // One to kMaxPlainDigits digits and then a space or line end; the value in number.
    auto plainNumber = [&](int64_t& number) {
        const size_t start = pos;
        const size_t stop = std::min(size, start + kMaxPlainDigits);
        uint64_t value = 0;
        while (pos < stop) {
            const unsigned digit = static_cast<unsigned char>(data[pos]) - unsigned{'0'};
            if (digit > 9) {
                break;
            }
            value = value * 10 + digit;
            ++pos;
        }
        number = static_cast<int64_t>(value);
        if (pos == start || pos >= size || !isPlainSpace(data[pos])) {
            return false;
        }
        do {
            ++pos;
        } while (pos < size && isPlainSpace(data[pos]));
        return true;
    };
    while (pos < size && isPlainSpace(data[pos])) {
        ++pos;
    }
    int64_t number = 0;
    int64_t generation = 0;
    if (!plainNumber(number) || !plainNumber(generation) || size - pos < 3 || data[pos] != 'o' ||
        data[pos + 1] != 'b' || data[pos + 2] != 'j' ||
        (pos + 3 < size && regularByte(data[pos + 3]))) {
        return false;
    }
    header.number = number;
    header.generation = generation;
    header.bodyStart = pos + 3;
    return true;
}

// Any other form of the header, which is rare: out of line, so that the plain reading does not
// pay for this one's set-up.
[[gnu::noinline]] std::optional<ObjectHeader> readGeneralObjectHeader(std::string_view text) {
    ObjectHeader header;
    size_t pos = skipWhitespace(text, 0);
    size_t end = skipRegularRun(text, pos);
    if (!parseDecimal(text.substr(pos, end - pos), header.number)) {
        return std::nullopt;
    }
    pos = skipWhitespace(text, end);
    end = skipRegularRun(text, pos);
    if (!parseDecimal(text.substr(pos, end - pos), header.generation)) {
        return std::nullopt;
    }
    pos = skipWhitespace(text, end);
    if (text.compare(pos, 3, "obj") != 0) {
        return std::nullopt;
    }
    pos += 3;
    if (pos < text.size() && isRegular(static_cast<unsigned char>(text[pos]))) {
        return std::nullopt;
    }
    header.bodyStart = pos;
    return header;
}

} // namespace

std::optional<ObjectHeader> readObjectHeader(std::string_view text) {
    ObjectHeader header;
    if (readPlainObjectHeader(text, header)) {
        return header;
    }
    return readGeneralObjectHeader(text);
}

size_t findBody(std::string_view text) {
    auto header = readObjectHeader(text);
    if (!header) {
        return npos;
    }
    size_t pos = skipWhitespace(text, header->bodyStart);
    return pos < text.size() ? pos : npos;
}

size_t findBodyDictionary(std::string_view text) {
    size_t pos = findBody(text);
    if (pos == npos || !doubleBracketAt(text, pos, '<')) {
        return npos;
    }
    return pos;
}

namespace {

// Whether "/key" stands in the text from pos for one of the keys: an entry found may be given
// again further on, and the last value of a key is the one in force.
bool keyAgain(std::string_view text, size_t pos, std::span<const std::string_view> keys) {
    const std::string_view rest = text.substr(std::min(pos, text.size()));
    for (const std::string_view key : keys) {
        char name[64];
        if (key.size() >= sizeof name) {
            return true;
        }
        name[0] = '/';
        key.copy(name + 1, key.size());
        if (findFirst(rest, std::string_view(name, key.size() + 1)) != npos) {
            return true;
        }
    }
    return false;
}

// The entries of the dictionary at dictStart ("<<") for the keys wanted, each found at its
// last place; the scan ends when all are found and none stands again in the text, at the
// dictionary's end, or where the text fails. valueEndOf(key, valueStart) may give the end of a
// value by reading it itself; npos has the value skipped as any other.
template <class ValueEnd>
void scanEntries(std::string_view text, size_t dictStart, std::span<const std::string_view> keys,
                 bool* wantedKey, size_t wanted, std::span<std::optional<DictEntry>> found,
                 ValueEnd valueEndOf) {
    size_t pos = dictStart + 2;
    // All wanted keys found, and one of them may be given again: the scan goes on to the end.
    bool again = false;
    while (wanted > 0 || again) {
        pos = skipSpace(text, pos);
        if (pos >= text.size() || doubleBracketAt(text, pos, '>')) {
            return;
        }
        if (text[pos] != '/') {
            // Not a key: step over the stray object (a stray closing byte alone, as other
            // readers pass it over) and look for the next key.
            pos = isStrayClose(text[pos]) ? pos + 1 : skipObjectAt(text, pos, 0);
            if (pos == npos) {
                return;
            }
            continue;
        }
        const size_t keyStart = pos;
        const size_t keyEnd = skipRegularRun(text, pos + 1);
        const size_t valueStart = skipSpace(text, keyEnd);
        if (valueStart >= text.size() || doubleBracketAt(text, valueStart, '>')) {
            return;
        }
        const std::string_view key = text.substr(keyStart + 1, keyEnd - keyStart - 1);
        size_t valueEnd = valueEndOf(key, valueStart);
        if (valueEnd == npos) {
            valueEnd = skipSimpleValue(text, valueStart);
        }
        if (valueEnd == npos) {
            valueEnd = skipObjectAt(text, valueStart, 0);
        }
        if (valueEnd == npos) {
            return;
        }
        bool matched = false;
        for (size_t k = 0; k < keys.size(); ++k) {
            if (key == keys[k]) {
                found[k] = DictEntry{keyStart, valueStart, valueEnd};
                matched = true;
                if (wantedKey[k]) {
                    wantedKey[k] = false;
                    --wanted;
                }
            }
        }
        pos = valueEnd;
        if (matched && wanted == 0 && !again) {
            again = keyAgain(text, pos, keys);
        }
    }
}

} // namespace

void findEntries(std::string_view text, size_t dictStart, std::span<const std::string_view> keys,
                 std::span<std::optional<DictEntry>> found) {
    for (std::optional<DictEntry>& entry : found) {
        entry.reset();
    }
    const size_t count = std::min({keys.size(), found.size(), kMaxKeys});
    if (dictStart >= text.size() || !doubleBracketAt(text, dictStart, '<')) {
        return;
    }
    // An entry found is "/key" in the text: for a single key whose bytes do not occur at all,
    // the scan of the dictionary is spared. Where several keys are looked for, one of them is
    // nearly always there (a page's contents and resources, a stream's length), the scan is
    // made anyway, and the search for each key would only add to it.
    size_t wanted = 0;
    bool wantedKey[kMaxKeys] = {};
    for (size_t k = 0; k < count; ++k) {
        char name[64];
        if (count > 1 || keys[k].size() >= sizeof name) {
            wantedKey[k] = true;
        } else {
            name[0] = '/';
            keys[k].copy(name + 1, keys[k].size());
            wantedKey[k] =
                findFirst(text.substr(dictStart), std::string_view(name, keys[k].size() + 1)) !=
                std::string_view::npos;
        }
        wanted += wantedKey[k] ? 1 : 0;
    }
    scanEntries(text, dictStart, keys.first(count), wantedKey, wanted, found,
                [](std::string_view, size_t) { return npos; });
}

size_t findEntriesAndEnd(std::string_view text, size_t dictStart,
                         std::span<const std::string_view> keys,
                         std::span<std::optional<DictEntry>> found) {
    for (std::optional<DictEntry>& entry : found) {
        entry.reset();
    }
    const size_t count = std::min({keys.size(), found.size(), kMaxKeys});
    if (dictStart >= text.size() || !doubleBracketAt(text, dictStart, '<')) {
        return npos;
    }
    // The values are skipped one level down, as the skip of the whole dictionary reads them.
    // Where that fails the two are made apart: findEntries reads its values from level 0, and
    // keeps what it found before the point where the text fails.
    size_t pos = dictStart + 2;
    while (true) {
        pos = skipSpace(text, pos);
        if (pos >= text.size()) {
            break;
        }
        if (doubleBracketAt(text, pos, '>')) {
            return pos;
        }
        if (text[pos] != '/') {
            pos = isStrayClose(text[pos]) ? pos + 1 : skipObjectAt(text, pos, 1);
            if (pos == npos) {
                break;
            }
            continue;
        }
        const size_t keyStart = pos;
        const size_t keyEnd = skipRegularRun(text, pos + 1);
        const size_t valueStart = skipSpace(text, keyEnd);
        if (valueStart >= text.size()) {
            break;
        }
        if (doubleBracketAt(text, valueStart, '>')) {
            // A key without a value ends the entries; the name is the last object.
            return valueStart;
        }
        size_t valueEnd = skipSimpleValue(text, valueStart);
        if (valueEnd == npos) {
            valueEnd = skipObjectAt(text, valueStart, 1);
        }
        if (valueEnd == npos) {
            break;
        }
        const std::string_view key = text.substr(keyStart + 1, keyEnd - keyStart - 1);
        for (size_t k = 0; k < count; ++k) {
            if (key == keys[k]) {
                found[k] = DictEntry{keyStart, valueStart, valueEnd};
            }
        }
        pos = valueEnd;
    }
    findEntries(text, dictStart, keys, found);
    return findDictionaryEnd(text, dictStart);
}

std::optional<DictEntry> findEntry(std::string_view text, size_t dictStart, std::string_view key) {
    std::optional<DictEntry> found[1];
    findEntries(text, dictStart, std::span<const std::string_view>(&key, 1), found);
    return found[0];
}

size_t dropEarlierEntries(std::string& text, size_t dictStart, std::string_view key) {
    size_t dropped = 0;
    // The entry before the last is the last of the text cut where the last begins.
    for (auto last = findEntry(text, dictStart, key); last;
         last = findEntry(text, dictStart, key)) {
        const auto before =
            findEntry(std::string_view(text).substr(0, last->keyStart), dictStart, key);
        if (!before) {
            break;
        }
        text.replace(before->keyStart, before->valueEnd - before->keyStart, 1, ' ');
        ++dropped;
    }
    return dropped;
}

void EditLog::record(size_t pos, size_t removed, size_t added) {
    if (count_ == kCapacity) {
        unsure_ = true;
        return;
    }
    edits_[count_++] = Edit{pos, removed, added};
}

bool EditLog::carry(DictEntry& entry) const {
    if (unsure_) {
        return false;
    }
    size_t grown = 0;
    size_t shrunk = 0;
    for (size_t i = 0; i < count_; ++i) {
        const Edit& edit = edits_[i];
        if (edit.pos + edit.removed <= entry.keyStart) {
            grown += edit.added;
            shrunk += edit.removed;
        } else if (edit.pos < entry.valueEnd) {
            return false;
        }
    }
    entry.keyStart = entry.keyStart + grown - shrunk;
    entry.valueStart = entry.valueStart + grown - shrunk;
    entry.valueEnd = entry.valueEnd + grown - shrunk;
    return true;
}

size_t findDictionaryEnd(std::string_view text, size_t dictStart) {
    size_t end = skipObject(text, dictStart);
    if (end == npos || dictStart >= text.size() || !doubleBracketAt(text, dictStart, '<')) {
        return npos;
    }
    return end - 2;
}

ValueKind valueKind(std::string_view text, const DictEntry& entry) {
    std::string_view value = text.substr(entry.valueStart, entry.valueEnd - entry.valueStart);
    if (value.substr(0, 2) == "<<") {
        return ValueKind::Dictionary;
    }
    if (!value.empty() && value[0] == '[') {
        return ValueKind::Array;
    }
    if (!value.empty() && value[0] == '/') {
        return ValueKind::Name;
    }
    int64_t number = 0;
    int64_t generation = 0;
    if (readReference(value, number, generation)) {
        return ValueKind::Reference;
    }
    return ValueKind::Other;
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
    size_t genStart = skipWhitespace(value, end);
    size_t genEnd = skipRegularRun(value, genStart);
    if (genStart == end || !parseDecimal(value.substr(genStart, genEnd - genStart), generation)) {
        return false;
    }
    size_t r = skipWhitespace(value, genEnd);
    return r != genEnd && r < value.size() && value[r] == 'R' && number >= 0 && generation >= 0;
}

namespace {

// What an object's framing scan makes of a byte: the bytes that start a token to be stepped
// over whole, a byte of an ordinary token, a bracket, or one that is only passed.
enum FrameClass : unsigned char {
    kPass,
    kWord,
    kLiteral,
    kHex,
    kComment,
    kName,
    kOpenArray,
    kCloseArray,
    kClose
};

constexpr std::array<unsigned char, 256> kFrameClasses = [] {
    std::array<unsigned char, 256> classes{};
    for (size_t c = 0; c < 256; ++c) {
        classes[c] = kByteClasses[c] == kRegular ? kWord : kPass;
    }
    classes['('] = kLiteral;
    classes['<'] = kHex;
    classes['%'] = kComment;
    classes['/'] = kName;
    classes['['] = kOpenArray;
    classes[']'] = kCloseArray;
    classes['>'] = kClose;
    return classes;
}();

// The dictionaries and arrays open at a point of an object's text, read as the parser reads
// them: ">>" closes a dictionary and "]" an array; a closing token of the other kind, or one
// with nothing open, is a stray token that closes nothing. A keyword inside an open value is
// a stray token too, and does not end the object.
class Nesting {
  public:
    void open(bool dictionary) {
        if (depth_ < kKnownLevels) {
            kinds_ =
                dictionary ? kinds_ | (uint64_t{1} << depth_) : kinds_ & ~(uint64_t{1} << depth_);
        }
        ++depth_;
    }
    void close(bool dictionary) {
        // Levels past the known ones are closed by either token.
        if (depth_ > 0 &&
            (depth_ > kKnownLevels || (((kinds_ >> (depth_ - 1)) & 1) != 0) == dictionary)) {
            --depth_;
        }
    }
    bool closed() const { return depth_ == 0; }

  private:
    static constexpr size_t kKnownLevels = 64;
    uint64_t kinds_ = 0; // a set bit for a dictionary, one a level
    size_t depth_ = 0;
};

} // namespace

bool nestingClosed(std::string_view text) {
    const char* const data = text.data();
    const size_t size = text.size();
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    // The flags of x's zero bytes. None is missed; a byte above a zero one may be flagged
    // falsely, which only has a byte that is no bracket read.
    auto zeroFlags = [](uint64_t x) { return (x - kOnes) & ~x & (kOnes * 0x80); };
    Nesting nesting;
    auto take = [&](size_t& at) {
        switch (data[at]) {
        case '<':
            nesting.open(true);
            ++at;
            break;
        case '>':
            if (at + 1 < size && data[at + 1] == '>') {
                nesting.close(true);
                ++at;
            }
            break;
        case '[':
            nesting.open(false);
            break;
        case ']':
            nesting.close(false);
            break;
        default:
            break;
        }
        ++at;
    };
    size_t at = 0;
    while (at + 8 <= size) {
        // Eight bytes at a time: "<" and ">" are the bytes that OR 0x02 makes 0x3E, "[" and "]"
        // are among those that OR 0x06 makes 0x5F. The scan goes on from the first such byte,
        // so only brackets (and the odd "Y" or "_") are read one by one.
        uint64_t word = 0;
        std::memcpy(&word, data + at, 8);
        const uint64_t flags = zeroFlags((word | (kOnes * 0x02)) ^ (kOnes * 0x3E)) |
                               zeroFlags((word | (kOnes * 0x06)) ^ (kOnes * 0x5F));
        if (flags == 0) {
            at += 8;
            continue;
        }
        // The first flagged byte in the text's order: the lowest on a little-endian machine.
        size_t first = 0;
        if constexpr (std::endian::native == std::endian::little) {
            first = static_cast<size_t>(std::countr_zero(flags)) / 8;
        } else {
            first = static_cast<size_t>(std::countl_zero(flags)) / 8;
        }
        at += first;
        take(at);
    }
    while (at < size) {
        take(at);
    }
    return nesting.closed();
}

namespace {

// Whether the text at pos begins with "N G obj", the header of the next object.
// cut is set when the text ends before that is known.
bool objectHeaderAt(std::string_view text, size_t pos, bool& cut) {
    const size_t size = text.size();
    auto digits = [&](size_t& at) {
        const size_t from = at;
        while (at < size && isDigit(static_cast<unsigned char>(text[at]))) {
            ++at;
        }
        return at > from;
    };
    auto spaces = [&](size_t& at) {
        const size_t from = at;
        while (at < size && isWhitespace(static_cast<unsigned char>(text[at]))) {
            ++at;
        }
        return at > from;
    };
    size_t at = pos;
    spaces(at);
    const bool header = digits(at) && spaces(at) && digits(at) && spaces(at) &&
                        text.compare(at, 3, "obj") == 0 &&
                        (at + 3 == size || !isRegular(static_cast<unsigned char>(text[at + 3])));
    // Any prefix of a header that the text ends in may still become one.
    cut = !header && at + 3 >= size;
    return header;
}

// The end of the string that opens at pos ("(" or "<"), or npos when the text ends first;
// unclosed is set when, after a white-space byte inside it, the next object's header starts.
size_t skipFramedString(std::string_view text, size_t pos, bool& unclosed) {
    const char* const data = text.data();
    const size_t size = text.size();
    const bool literal = data[pos] == '(';
    int nesting = 0;
    while (pos < size) {
        const char c = data[pos++];
        if (isWhitespace(static_cast<unsigned char>(c))) {
            bool cut = false;
            if (objectHeaderAt(text, pos, cut)) {
                unclosed = true;
                return npos;
            }
            if (cut) {
                return npos;
            }
        } else if (!literal) {
            if (c == '>') {
                return pos;
            }
        } else if (c == '\\') {
            ++pos;
        } else if (c == '(') {
            ++nesting;
        } else if (c == ')' && --nesting == 0) {
            return pos;
        }
    }
    return npos;
}

// The first "stream" or "endobj" in the ordinary token [from, to), or npos.
size_t keywordInWord(const char* data, size_t from, size_t to) {
    for (size_t at = from; at + 6 <= to; ++at) {
        if ((data[at] == 'e' && std::memcmp(data + at, "endobj", 6) == 0) ||
            (data[at] == 's' && std::memcmp(data + at, "stream", 6) == 0)) {
            return at;
        }
    }
    return npos;
}

// True when [from, to) holds no string and no comment: no "(", no "%" and no "<" that does not
// open a dictionary. Such bytes are tokens that are scanned alike whether their keywords are
// matched by the tokens or as plain bytes, names aside.
bool withoutStringsOrComments(const char* data, size_t from, size_t to) {
    if (std::memchr(data + from, '(', to - from) != nullptr ||
        std::memchr(data + from, '%', to - from) != nullptr) {
        return false;
    }
    for (size_t at = from; at < to; at += 2) {
        const void* open = std::memchr(data + at, '<', to - at);
        if (open == nullptr) {
            return true;
        }
        at = static_cast<size_t>(static_cast<const char*>(open) - data);
        if (at + 1 >= to || data[at + 1] != '<') {
            return false;
        }
    }
    return true;
}

// The first keyword as plain bytes ("endobj" when it ends before the first "stream" does), when
// the bytes before it show that the scan of the tokens finds the same one; most objects are
// framed this way, at the speed of a byte search. False when the tokens have to be scanned.
bool findPlainObjectKeyword(std::string_view text, size_t pos, ObjectKeyword& out) {
    const std::string_view rest = text.substr(pos);
    const size_t streamAt = findFirst(rest, "stream");
    const size_t endobjAt = findFirst(
        streamAt == std::string_view::npos ? rest : rest.substr(0, streamAt + 6), "endobj");
    const char* const data = text.data();
    if (endobjAt == std::string_view::npos && streamAt == std::string_view::npos) {
        // No keyword: the scan goes on after the last token that the end may have cut, a name
        // from its "/".
        if (!withoutStringsOrComments(data, pos, text.size())) {
            return false;
        }
        size_t resume = text.size();
        while (resume > pos && isRegular(static_cast<unsigned char>(data[resume - 1]))) {
            --resume;
        }
        if (resume > pos && data[resume - 1] == '/') {
            --resume;
        }
        out = {ObjectKeyword::kNeedMore, resume};
        return true;
    }
    const bool isEndobj = endobjAt != std::string_view::npos;
    const size_t at = pos + (isEndobj ? endobjAt : streamAt);
    size_t word = at;
    while (word > pos && isRegular(static_cast<unsigned char>(data[word - 1]))) {
        --word;
    }
    if ((word > pos && data[word - 1] == '/') || !withoutStringsOrComments(data, pos, word) ||
        !nestingClosed(text.substr(pos, word - pos))) {
        return false;
    }
    out = {isEndobj ? ObjectKeyword::kEndobj : ObjectKeyword::kStream, at};
    return true;
}

// The scan of the tokens that findObjectKeyword makes where the plain search cannot decide.
ObjectKeyword scanObjectTokens(std::string_view text, size_t pos, bool atHeader) {
    const char* const data = text.data();
    const size_t size = text.size();
    bool headerSeen = !atHeader;
    Nesting nesting;
    while (pos < size) {
        const size_t token = pos;
        switch (kFrameClasses[static_cast<unsigned char>(data[pos])]) {
        case kPass:
            ++pos;
            continue;
        case kOpenArray:
            nesting.open(false);
            ++pos;
            continue;
        case kCloseArray:
            nesting.close(false);
            ++pos;
            continue;
        case kClose:
            if (pos + 1 < size && data[pos + 1] == '>') {
                nesting.close(true);
                ++pos;
            }
            ++pos;
            continue;
        case kWord: {
            while (pos < size && isRegular(static_cast<unsigned char>(data[pos]))) {
                ++pos;
            }
            if (pos - token == 3 && std::memcmp(data + token, "obj", 3) == 0) {
                if (headerSeen) {
                    return {ObjectKeyword::kNextObject, token};
                }
                headerSeen = true;
            }
            if (pos - token >= 6 && nesting.closed()) {
                if (const size_t at = keywordInWord(data, token, pos); at != npos) {
                    return {data[at] == 's' ? ObjectKeyword::kStream : ObjectKeyword::kEndobj, at};
                }
            }
            if (pos == size) {
                return {ObjectKeyword::kNeedMore, token};
            }
            continue;
        }
        case kHex:
            if (token + 1 < size && data[token + 1] == '<') {
                nesting.open(true);
                pos += 2;
                continue;
            }
            [[fallthrough]];
        case kLiteral: {
            bool unclosed = false;
            pos = skipFramedString(text, token, unclosed);
            if (unclosed) {
                return {ObjectKeyword::kNextObject, token};
            }
            break;
        }
        case kComment:
            while (pos < size && data[pos] != '\r' && data[pos] != '\n') {
                ++pos;
            }
            if (pos == size) {
                pos = npos;
            }
            break;
        case kName:
            pos = skipRegularRun(text, pos + 1);
            if (pos == size) {
                pos = npos;
            }
            break;
        }
        if (pos == npos) {
            return {ObjectKeyword::kNeedMore, token};
        }
    }
    return {ObjectKeyword::kNeedMore, pos};
}

} // namespace

ObjectKeyword findObjectKeyword(std::string_view text, size_t pos, bool atHeader) {
    ObjectKeyword plain;
    if (pos < text.size() && findPlainObjectKeyword(text, pos, plain)) {
        return plain;
    }
    return scanObjectTokens(text, pos, atHeader);
}

bool readPlainIntegerBody(std::string_view text, size_t bodyStart, int64_t& value) {
    constexpr size_t kMaxDigits = 9; // the reader's integers up to here are 32-bit
    size_t pos = bodyStart;
    skipPlainSpaces(text, pos);
    int64_t digits = 0;
    if (!readPlainDigits(text, pos, kMaxDigits, digits) || !skipPlainSpaces(text, pos) ||
        text.compare(pos, 6, "endobj") != 0) {
        return false;
    }
    value = digits;
    return true;
}

bool readInteger(std::string_view value, int64_t& out) {
    return parseDecimal(value, out);
}

size_t findText(std::string_view buffer, std::string_view needle, size_t start) {
    if (needle.empty() || start >= buffer.size()) {
        return 0;
    }
    const size_t at = findFirst(buffer.substr(start), needle);
    if (at == std::string_view::npos) {
        return 0;
    }
    return start + at + needle.size() - 1;
}

size_t findLastText(std::string_view buffer, std::string_view needle) {
    size_t last = 0;
    for (size_t end = findText(buffer, needle); end != 0; end = findText(buffer, needle, end + 1)) {
        last = end;
    }
    return last;
}

NumberAfter readNumberAfter(std::string_view buffer, std::string_view key) {
    NumberAfter result;
    size_t pos = findText(buffer, key);
    if (pos == 0) {
        return result;
    }
    while (pos < buffer.size() && !isDigit(buffer[pos])) {
        ++pos;
    }
    if (pos == buffer.size()) {
        return result;
    }
    const bool negative = buffer[pos - 1] == '-';
    // Unsigned arithmetic so that a hostile run of digits wraps instead of overflowing.
    uint32_t magnitude = 0;
    pos = readDigitsModulo32(buffer, pos, magnitude);
    result.value = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
    result.isReference = buffer.substr(pos, 4) == " 0 R";
    result.found = true;
    return result;
}

namespace {

// The plain scan: the dictionaries of pages as writers write them, made of names, numbers,
// references and other words, and of dictionaries and arrays of those a few levels deep,
// between white-space. For such a text it gives what findEntriesAndNested's general scan gives,
// in one pass over the bytes; it gives up (npos) on anything else: a string, a comment, a
// brace, a lone "<" or ">", a stray value where a key belongs, a key without a value, a value
// nested deeper than kPlainDepth, the end of the text. The general scan then reads the text.
constexpr int kPlainDepth = 16;

inline bool plainSpace(char c) {
    return kByteClasses[static_cast<unsigned char>(c)] == kWhitespace;
}

inline size_t skipPlainSpaces(const char* data, size_t size, size_t pos) {
    while (pos < size && plainSpace(data[pos])) {
        ++pos;
    }
    return pos;
}

// After an integer that ends at end, before a byte that is not regular: the end of "G R" when a
// reference follows, else end, as extendReference decides it; npos where a comment or the end
// of the text comes first.
size_t plainReferenceEnd(const char* data, size_t size, size_t end) {
    const size_t generation = skipPlainSpaces(data, size, end);
    if (generation >= size || data[generation] == '%') {
        return npos;
    }
    if (generation == end) {
        return end;
    }
    bool integer = false;
    const size_t at = signedDigitsEnd(data, size, generation, integer);
    if (!integer) {
        return end;
    }
    const size_t r = skipPlainSpaces(data, size, at);
    if (r >= size || data[r] == '%') {
        return npos;
    }
    if (r == at || data[r] != 'R' || (r + 1 < size && regularByte(data[r + 1]))) {
        return end;
    }
    return r + 1;
}

// The end of the word at pos (a regular byte): an integer with the reference it may begin, or
// another word; npos where the plain scan gives up.
inline size_t skipPlainWord(std::string_view text, size_t pos) {
    const char* const data = text.data();
    const size_t size = text.size();
    bool integer = false;
    const size_t at = signedDigitsEnd(data, size, pos, integer);
    if (!integer) {
        return skipRegularRun(text, at);
    }
    // "N G R" with single spaces, as writers put it, decided here; other forms by the bytes.
    if (at + 3 < size && data[at] == ' ' && isDigit(static_cast<unsigned char>(data[at + 1]))) {
        size_t r = at + 2;
        while (r < size && isDigit(static_cast<unsigned char>(data[r]))) {
            ++r;
        }
        if (r + 1 < size && data[r] == ' ' && data[r + 1] == 'R' &&
            (r + 2 == size || !regularByte(data[r + 2]))) {
            return r + 2;
        }
    }
    return plainReferenceEnd(data, size, at);
}

// The end of the dictionary or array that opens at pos, nested at most kPlainDepth deep, or
// npos.
size_t skipPlainContainer(std::string_view text, size_t pos) {
    const char* const data = text.data();
    const size_t size = text.size();
    int depth = 0;
    uint32_t dictionaries = 0; // one bit a level, the innermost lowest: 1 for a dictionary
    while (true) {
        // A value starts at pos.
        const char c = data[pos];
        if (c == '/') {
            pos = skipRegularRun(text, pos + 1);
        } else if (regularByte(c)) {
            pos = skipPlainWord(text, pos);
            if (pos == npos) {
                return npos;
            }
        } else if ((c == '[' || doubleBracketAt(text, pos, '<')) && depth < kPlainDepth) {
            dictionaries = dictionaries << 1 | (c == '<' ? 1u : 0u);
            ++depth;
            pos += c == '<' ? 2 : 1;
        } else {
            return npos;
        }
        // Close what ends here; then the next value of the innermost container, or the end.
        while (true) {
            if (depth == 0) {
                return pos;
            }
            pos = skipPlainSpaces(data, size, pos);
            if (pos >= size) {
                return npos;
            }
            const bool closes =
                (dictionaries & 1u) != 0 ? doubleBracketAt(text, pos, '>') : data[pos] == ']';
            if (!closes) {
                break;
            }
            pos += (dictionaries & 1u) != 0 ? 2 : 1;
            dictionaries >>= 1;
            --depth;
        }
    }
}

// The entries of keys found in a plain dictionary: one bit a key found.
struct PlainEntries {
    DictEntry entries[kMaxKeys];
    unsigned found = 0;
};

// The keys among keys that the key [start, end) (after its "/") equals, one bit each.
inline unsigned matchingKeys(const char* data, size_t start, size_t end,
                             std::span<const std::string_view> keys) {
    unsigned match = 0;
    const size_t length = end - start;
    for (size_t k = 0; k < keys.size(); ++k) {
        const std::string_view key = keys[k];
        if (key.size() == length &&
            (length == 0 ||
             (data[start] == key[0] && std::memcmp(data + start, key.data(), length) == 0))) {
            match |= 1u << k;
        }
    }
    return match;
}

// The nested dictionary of a plain scan: the value of keys[key] (its last entry), whose
// entries for nestedKeys are read into entries; read is set once it is.
struct PlainNested {
    size_t key = 0;
    std::span<const std::string_view> keys;
    PlainEntries entries;
    bool read = false;
};

// The entries of the plain dictionary whose entries start at pos (after its "<<"), each key at
// its last entry; the position after its ">>", or, where all keys are found, none stands again
// in the text and nested is given (the page's dictionary, whose scan ends there as the general
// scan does), after that entry; npos where the text is not plain. nested, where given, has its
// dictionary read too.
size_t readPlainEntries(std::string_view text, size_t pos, std::span<const std::string_view> keys,
                        PlainEntries& out, PlainNested* nested) {
    const char* const data = text.data();
    const size_t size = text.size();
    const unsigned allKeys = (1u << keys.size()) - 1;
    while (true) {
        pos = skipPlainSpaces(data, size, pos);
        if (pos + 1 >= size) {
            return npos;
        }
        if (data[pos] != '/') {
            return data[pos] == '>' && data[pos + 1] == '>' ? pos + 2 : npos;
        }
        const size_t keyStart = pos;
        pos = skipRegularRun(text, pos + 1);
        const unsigned match = matchingKeys(data, keyStart + 1, pos, keys);
        pos = skipPlainSpaces(data, size, pos);
        if (pos >= size) {
            return npos;
        }
        const size_t valueStart = pos;
        const char c = data[pos];
        if (c == '/') {
            pos = skipRegularRun(text, pos + 1);
        } else if (regularByte(c)) {
            pos = skipPlainWord(text, pos);
        } else if (nested != nullptr && (match & (1u << nested->key)) != 0 &&
                   doubleBracketAt(text, pos, '<')) {
            nested->entries = PlainEntries{};
            pos = readPlainEntries(text, pos + 2, nested->keys, nested->entries, nullptr);
            nested->read = pos != npos;
        } else {
            pos = c == '[' || c == '<' ? skipPlainContainer(text, pos) : npos;
        }
        if (nested != nullptr && (match & (1u << nested->key)) != 0 && c != '<') {
            nested->read = false; // given again, and no dictionary now
        }
        if (pos == npos) {
            return npos;
        }
        if (match != 0) {
            for (size_t k = 0; k < keys.size(); ++k) {
                if ((match >> k) & 1u) {
                    out.entries[k] = DictEntry{keyStart, valueStart, pos};
                }
            }
            out.found |= match;
            if (nested != nullptr && out.found == allKeys && !keyAgain(text, pos, keys)) {
                return pos;
            }
        }
    }
}

// findEntriesAndNested for a plain dictionary: true when it decided, with the entries in found
// and, where nestedRead is set, those of the nested dictionary in nestedFound; false where the
// text is not plain up to where the general scan ends, and then nothing is set.
bool findPlainEntriesAndNested(std::string_view text, size_t dictStart,
                               std::span<const std::string_view> keys,
                               std::span<std::optional<DictEntry>> found, size_t nestedKey,
                               std::span<const std::string_view> nestedKeys,
                               std::span<std::optional<DictEntry>> nestedFound, bool& nestedRead) {
    PlainEntries entries;
    PlainNested nested;
    nested.key = nestedKey;
    nested.keys = nestedKeys;
    if (readPlainEntries(text, dictStart + 2, keys, entries, &nested) == npos) {
        return false;
    }
    for (size_t k = 0; k < keys.size(); ++k) {
        if ((entries.found >> k) & 1u) {
            found[k] = entries.entries[k];
        }
    }
    if (nested.read) {
        std::fill(nestedFound.begin(), nestedFound.end(), std::nullopt);
        for (size_t k = 0; k < nestedKeys.size(); ++k) {
            if ((nested.entries.found >> k) & 1u) {
                nestedFound[k] = nested.entries.entries[k];
            }
        }
    }
    nestedRead = nested.read;
    return true;
}

} // namespace

size_t skipPlainDictionary(std::string_view text, size_t dictStart) {
    if (dictStart >= text.size() || !doubleBracketAt(text, dictStart, '<')) {
        return npos;
    }
    return skipPlainContainer(text, dictStart);
}

bool findEntriesAndNested(std::string_view text, size_t dictStart,
                          std::span<const std::string_view> keys,
                          std::span<std::optional<DictEntry>> found, size_t nestedKey,
                          std::span<const std::string_view> nestedKeys,
                          std::span<std::optional<DictEntry>> nestedFound) {
    const size_t count = std::min({keys.size(), found.size(), kMaxKeys});
    if (count < 2 || nestedKey >= count) {
        // One key is looked for with findEntries' search for its bytes first.
        findEntries(text, dictStart, keys, found);
        return false;
    }
    for (std::optional<DictEntry>& entry : found) {
        entry.reset();
    }
    if (dictStart >= text.size() || !doubleBracketAt(text, dictStart, '<')) {
        return false;
    }
    // A plain dictionary, as pages are written, is read by the plain scan; any other by the
    // general one.
    const size_t nestedCount = std::min({nestedKeys.size(), nestedFound.size(), kMaxKeys});
    bool nestedRead = false;
    if (findPlainEntriesAndNested(text, dictStart, keys.first(count), found, nestedKey,
                                  nestedKeys.first(nestedCount), nestedFound, nestedRead)) {
        return nestedRead;
    }
    // The scan of findEntries for several keys; only the value of the nested key, where it is
    // a dictionary, is skipped by reading its entries, which ends where skipping it ends.
    bool wantedKey[kMaxKeys] = {};
    std::fill(wantedKey, wantedKey + count, true);
    // The nested entries are those of the last value of the key that was read to its end; they
    // count only where that value is the entry found (a later value of the key that cannot be
    // read leaves the earlier one found, one that is no dictionary replaces it).
    for (std::optional<DictEntry>& entry : nestedFound.first(nestedCount)) {
        entry.reset();
    }
    size_t readValueStart = npos;
    std::optional<DictEntry> candidate[kMaxKeys];
    const std::span<std::optional<DictEntry>> candidates(candidate, nestedCount);
    scanEntries(text, dictStart, keys.first(count), wantedKey, count, found,
                [&](std::string_view key, size_t valueStart) {
                    if (key != keys[nestedKey] || !doubleBracketAt(text, valueStart, '<')) {
                        return npos;
                    }
                    const size_t close = findEntriesAndEnd(
                        text, valueStart, nestedKeys.first(nestedCount), candidates);
                    if (close == npos) {
                        return npos;
                    }
                    std::copy(candidates.begin(), candidates.end(), nestedFound.begin());
                    readValueStart = valueStart;
                    return close + 2;
                });
    return found[nestedKey].has_value() && found[nestedKey]->valueStart == readValueStart;
}

} // namespace pdfsyntax
