#include "pdf/PdfSyntaxObjects.h"

#include "pdf/PdfSyntaxScan.h"
#include "pdf/PdfSyntaxSearch.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace pdf_syntax {

namespace {

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
    size_t pos = skipSpace(text, 0);
    size_t end = skipRegularRun(text, pos);
    if (!parseDecimal(text.substr(pos, end - pos), header.number)) {
        return std::nullopt;
    }
    pos = skipSpace(text, end);
    end = skipRegularRun(text, pos);
    if (!parseDecimal(text.substr(pos, end - pos), header.generation)) {
        return std::nullopt;
    }
    pos = skipSpace(text, end);
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
    size_t pos = skipSpace(text, header->bodyStart);
    return pos < text.size() ? pos : npos;
}

size_t findBodyDictionary(std::string_view text) {
    size_t pos = findBody(text);
    if (pos == npos || !doubleBracketAt(text, pos, '<')) {
        return npos;
    }
    return pos;
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
    // Most objects are framed by the first keyword as plain bytes ("endobj" when it ends before
    // the first "stream" does), at the speed of a byte search, where the bytes before it show
    // that the scan of the tokens finds the same one. The tokens are scanned otherwise.
    if (pos < text.size()) {
        const std::string_view rest = text.substr(pos);
        const size_t streamAt = findFirst(rest, "stream");
        const size_t endobjAt = findFirst(
            streamAt == std::string_view::npos ? rest : rest.substr(0, streamAt + 6), "endobj");
        const char* const data = text.data();
        if (endobjAt == std::string_view::npos && streamAt == std::string_view::npos) {
            // No keyword: the scan goes on after the last token that the end may have cut, a
            // name from its "/".
            if (withoutStringsOrComments(data, pos, text.size())) {
                size_t resume = text.size();
                while (resume > pos && isRegular(static_cast<unsigned char>(data[resume - 1]))) {
                    --resume;
                }
                if (resume > pos && data[resume - 1] == '/') {
                    --resume;
                }
                return {ObjectKeyword::kNeedMore, resume};
            }
        } else {
            const bool isEndobj = endobjAt != std::string_view::npos;
            const size_t at = pos + (isEndobj ? endobjAt : streamAt);
            size_t word = at;
            while (word > pos && isRegular(static_cast<unsigned char>(data[word - 1]))) {
                --word;
            }
            if (!(word > pos && data[word - 1] == '/') &&
                withoutStringsOrComments(data, pos, word) &&
                nestingClosed(text.substr(pos, word - pos))) {
                return {isEndobj ? ObjectKeyword::kEndobj : ObjectKeyword::kStream, at};
            }
        }
    }
    return scanObjectTokens(text, pos, atHeader);
}

} // namespace pdf_syntax
