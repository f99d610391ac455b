#pragma once

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The byte syntax of PDF, shared by the object parser, the cross-reference table scanner and
// the stamping engine's byte edits: the classes of bytes, the reading of numbers, and the
// token-level scans of raw object text that find the entries of one dictionary without looking
// into nested dictionaries, arrays, strings or comments, and the keyword that ends an object.
// Every scan stops at the end of its buffer.
namespace pdfsyntax {

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

// Appends the decimal digits of value, with a "-" in front when it is negative, to out: a
// string, or any buffer with append(std::string_view). Object numbers, offsets, lengths and the
// numbers of content streams are all written through here.
template <typename Out> inline void appendDecimal(Out& out, int64_t value) {
    char digits[20]; // "-9223372036854775808"
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(std::string_view(digits, static_cast<size_t>(end - digits)));
}

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

// Numbers. Every reader checks its bounds: a run of digits of any length reads without
// overflow, under the rule its caller names.

// value * 10 + digit, held at limit once it would pass it (for digits read one at a time from a
// stream). With a constant limit the two bounds are constants: no division per digit.
inline uint64_t appendDigit(uint64_t value, unsigned digit, uint64_t limit) {
    const uint64_t tenth = limit / 10;
    if (value < tenth || (value == tenth && digit <= limit % 10)) {
        return value * 10 + digit;
    }
    return limit;
}

// The decimal digits at pos into value, held at limit (capped is then set); the position after
// them, which is pos when there are none.
inline size_t readDigits(std::string_view text, size_t pos, uint64_t limit, uint64_t& value,
                         bool& capped) {
    const char* const data = text.data();
    const size_t size = text.size();
    // Below safe any digit keeps the value within limit: one comparison a digit, and the exact
    // one only near the limit.
    const uint64_t safe = limit < 9 ? 0 : (limit - 9) / 10 + 1;
    const uint64_t tenth = limit / 10;
    const uint64_t last = limit % 10;
    uint64_t number = 0; // a local, so that the loop keeps it in a register
    bool held = false;
    for (; pos < size; ++pos) {
        // The byte's value less '0': above 9 for every byte that is no digit.
        const unsigned digit = static_cast<unsigned char>(data[pos]) - unsigned{'0'};
        if (digit > 9) {
            break;
        }
        if (number < safe || number < tenth || (number == tenth && digit <= last)) {
            number = number * 10 + digit;
        } else {
            number = limit;
            held = true;
        }
    }
    value = number;
    capped = held;
    return pos;
}

// At most maxDigits (19 or fewer, which cannot overflow) decimal digits at pos into value: the
// position after them. The digits past maxDigits are left where they are.
inline size_t readShortDigits(std::string_view text, size_t pos, size_t maxDigits,
                              uint64_t& value) {
    const char* const data = text.data();
    const size_t stop = pos + maxDigits < text.size() ? pos + maxDigits : text.size();
    uint64_t number = 0;
    for (; pos < stop; ++pos) {
        const unsigned digit = static_cast<unsigned char>(data[pos]) - unsigned{'0'};
        if (digit > 9) {
            break;
        }
        number = number * 10 + digit;
    }
    value = number;
    return pos;
}

// The decimal digits at pos as 32-bit unsigned arithmetic, which wraps on overflow (the
// readings that take the number modulo 2^32); the position after them.
inline size_t readDigitsModulo32(std::string_view text, size_t pos, uint32_t& value) {
    uint32_t number = 0;
    for (; pos < text.size() && isDigit(static_cast<unsigned char>(text[pos])); ++pos) {
        number = number * 10u + static_cast<uint32_t>(text[pos] - '0');
    }
    value = number;
    return pos;
}

// An integer as PDF writes it: an optional "+" or "-", then decimal digits.
struct SignedInteger {
    int64_t value = 0;     // held at INT64_MIN or INT64_MAX beyond the 64-bit range, as strtoll
    size_t end = 0;        // one past the last digit (past the sign when there is no digit)
    bool digits = false;   // at least one digit
    bool negative = false; // a "-" stood before the digits
    bool capped = false;   // the value was held at the end of the range
};
inline SignedInteger readSignedInteger(std::string_view text, size_t pos) {
    SignedInteger integer;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        integer.negative = text[pos] == '-';
        ++pos;
    }
    // The magnitude of INT64_MIN is one more than INT64_MAX.
    constexpr uint64_t kLimit = uint64_t{INT64_MAX} + 1;
    uint64_t magnitude = 0;
    integer.end = readDigits(text, pos, kLimit, magnitude, integer.capped);
    integer.digits = integer.end > pos;
    if (integer.negative) {
        integer.value = magnitude == kLimit ? INT64_MIN : -static_cast<int64_t>(magnitude);
    } else if (magnitude > uint64_t{INT64_MAX}) {
        integer.value = INT64_MAX;
        integer.capped = true;
    } else {
        integer.value = static_cast<int64_t>(magnitude);
    }
    return integer;
}

// Position of the first occurrence of needle in text, or npos (also for an empty needle).
inline size_t findFirst(std::string_view text, std::string_view needle) {
    if (needle.empty() || needle.size() > text.size()) {
        return std::string_view::npos;
    }
    // Candidates are found by the needle's last byte: the keys and keywords searched begin with
    // "/" or a letter common in PDF text, and end in one that is rarer there.
    const size_t head = needle.size() - 1;
    size_t pos = head;
    while (pos < text.size()) {
        const void* hit = std::memchr(text.data() + pos, needle.back(), text.size() - pos);
        if (hit == nullptr) {
            break;
        }
        pos = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
        // The first byte is compared before the rest: most candidates fail on it.
        if (text[pos - head] == needle[0] &&
            std::memcmp(text.data() + pos - head, needle.data(), head) == 0) {
            return pos - head;
        }
        ++pos;
    }
    return std::string_view::npos;
}

// Searches in the raw bytes of an object's text, where the first occurrence of a key counts
// wherever it stands.

// Index of the last byte of the first occurrence of needle at or after start, or 0 when there
// is none (a match that ends at index 0 therefore reads as absent, as does an empty needle).
size_t findText(std::string_view buffer, std::string_view needle, size_t start = 0);
// As findText, for the last occurrence: where a key is given twice, its last value holds.
size_t findLastText(std::string_view buffer, std::string_view needle);

struct NumberAfter {
    int32_t value = 0;
    // The digits are followed by " 0 R": a reference with generation 0.
    bool isReference = false;
    // The key and a digit after it were found.
    bool found = false;
};

// The integer that follows key: from the key, forward to the first decimal digit; negative when
// a "-" stands right before that digit. Digits accumulate in 32 bits and wrap on overflow.
NumberAfter readNumberAfter(std::string_view buffer, std::string_view key);

// Position of the first byte at or after pos that is neither white-space nor in a comment.
size_t skipWhitespace(std::string_view text, size_t pos);
// Position just past the one complete object starting at pos (an "n g R" reference counts as
// one object), or npos when the object is malformed or runs past the end.
size_t skipObject(std::string_view text, size_t pos);

// The header "n g obj" at the start of an indirect object's text.
struct ObjectHeader {
    int64_t number = -1;
    int64_t generation = -1;
    size_t bodyStart = 0; // first byte after "obj"
};
std::optional<ObjectHeader> readObjectHeader(std::string_view text);

// Position of the "<<" that opens the body of an indirect object, or npos when the body is not
// a dictionary.
size_t findBodyDictionary(std::string_view text);
// Position of the first byte of the body of an indirect object (after "obj" and white-space).
size_t findBody(std::string_view text);

// One entry of a dictionary: the key (with its "/") and the value's extent.
struct DictEntry {
    size_t keyStart = 0;
    size_t valueStart = 0;
    size_t valueEnd = 0; // one past the value's last byte
};
// The entry with the given key (without "/") among the top-level entries of the dictionary
// whose "<<" stands at dictStart; nullopt when it is absent or the dictionary is malformed
// before it.
std::optional<DictEntry> findEntry(std::string_view text, size_t dictStart, std::string_view key);
// The entries of several keys, each as findEntry finds it, in one scan of the dictionary:
// found[i] belongs to keys[i]. Keys past the first kMaxKeys are not looked for.
inline constexpr size_t kMaxKeys = 4;
void findEntries(std::string_view text, size_t dictStart, std::span<const std::string_view> keys,
                 std::span<std::optional<DictEntry>> found);
// The entries as findEntries finds them, and from the same scan the position of the ">>" that
// closes the dictionary, as findDictionaryEnd gives it (npos when it does not close).
size_t findEntriesAndEnd(std::string_view text, size_t dictStart,
                         std::span<const std::string_view> keys,
                         std::span<std::optional<DictEntry>> found);
// The edits made to a text, at positions of the text before them, so that an entry found
// before them can be carried over to the edited text instead of being looked for again.
class EditLog {
  public:
    // The bytes [pos, pos + removed) replaced by added bytes (removed 0: an insertion at pos).
    void record(size_t pos, size_t removed, size_t added);
    // An edit that may have changed how the text reads: entries are to be looked for again.
    void markUnsure() { unsure_ = true; }
    // The entry moved along with the bytes before it; false when the log is unsure or an edit
    // falls inside the entry, and the entry is then to be looked for again.
    bool carry(DictEntry& entry) const;

  private:
    struct Edit {
        size_t pos = 0;
        size_t removed = 0;
        size_t added = 0;
    };
    static constexpr size_t kCapacity = 4;
    Edit edits_[kCapacity];
    size_t count_ = 0;
    bool unsure_ = false;
};

// Removes every entry of key (without "/") from the dictionary at dictStart but the last, the
// one in force, each replaced by a blank; the count removed.
size_t dropEarlierEntries(std::string& text, size_t dictStart, std::string_view key);

// Position of the ">>" that closes the dictionary at dictStart, or npos.
size_t findDictionaryEnd(std::string_view text, size_t dictStart);

// What a value's text is.
enum class ValueKind { Dictionary, Array, Reference, Name, Other };
ValueKind valueKind(std::string_view text, const DictEntry& entry);
// The object number and generation of a reference value "n g R".
bool readReference(std::string_view value, int64_t& number, int64_t& generation);
// The integer value of a direct integer: the whole text is one, within the 64-bit range.
bool readInteger(std::string_view value, int64_t& out);

// Whether the dictionaries and arrays opened in text are closed at its end, as the parser
// reads them (">>" closes a dictionary, "]" an array, a closing token of the other kind closes
// nothing); for text without strings and comments, whose every "<" opens a dictionary.
bool nestingClosed(std::string_view text);

// The keyword that ends the frame of an indirect object's text: the first "stream" or "endobj"
// at or after pos that lies outside literal and hex strings, comments and names, and outside
// every dictionary and array of the object (a keyword there is a stray token). Inside other
// tokens the keywords are matched as the bytes they are, so that an "endobj" glued to the value
// before it ("5endobj", as some writers put it) still ends the object. With atHeader, pos is at the
// object's "N G obj", whose "obj" is the first such word of the text.
struct ObjectKeyword {
    enum Kind : unsigned char {
        kStream,
        kEndobj,
        // The text ended before a keyword: resume is where a scan of the bytes that follow,
        // from the same start of a token, goes on (the start of a token cut by the end).
        kNeedMore,
        // The next object's "obj" came first, or a string ran into a line or a word that starts
        // "N G obj": the object is not closed where it should be, and its tokens cannot frame
        // it.
        kNextObject,
    };
    Kind kind = kNeedMore;
    size_t at = 0; // the keyword's first byte, or the resume position
};
ObjectKeyword findObjectKeyword(std::string_view text, size_t pos, bool atHeader);

// The body of an integer object written plainly, from bodyStart (just after "obj"): spaces or
// line ends, an unsigned decimal of at most nine digits, spaces or line ends, "endobj". False
// for any other form, which a full reading has to judge.
bool readPlainIntegerBody(std::string_view text, size_t bodyStart, int64_t& value);

// The entries of keys in the dictionary at dictStart, each as findEntries finds it, and, where
// the entry found for keys[nestedKey] has a dictionary as its value, the entries of nestedKeys
// in that dictionary as findEntries finds them there, read in the same scan (the value is
// skipped by reading its entries). True when nestedFound holds them; false when the value is
// no dictionary, the key is absent or its entries could not be read in one scan, and they are
// then to be looked for apart. Needs at least two keys.
bool findEntriesAndNested(std::string_view text, size_t dictStart,
                          std::span<const std::string_view> keys,
                          std::span<std::optional<DictEntry>> found, size_t nestedKey,
                          std::span<const std::string_view> nestedKeys,
                          std::span<std::optional<DictEntry>> nestedFound);

// One past the ">>" that closes the dictionary at dictStart when it is plain, as pages are
// written: names, numbers, references and other words, and dictionaries and arrays of those a
// few levels deep, between white-space, without strings, comments or other delimiters; npos
// for any other text. The scans above read such a dictionary by its tokens alone.
size_t skipPlainDictionary(std::string_view text, size_t dictStart);

} // namespace pdfsyntax
