#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// Token-level scanning of raw object text, used where the stamping engine edits objects as
// bytes: it finds the entries of one dictionary without looking into nested dictionaries,
// arrays, strings or comments. Every scan stops at the end of its buffer.
namespace pdfsyntax {

inline constexpr size_t npos = static_cast<size_t>(-1);

bool isWhitespace(unsigned char c);
bool isDelimiter(unsigned char c);
bool isRegular(unsigned char c);

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

// Position of the ">>" that closes the dictionary at dictStart, or npos.
size_t findDictionaryEnd(std::string_view text, size_t dictStart);

// What a value's text is.
enum class ValueKind { Dictionary, Array, Reference, Name, Other };
ValueKind valueKind(std::string_view text, const DictEntry& entry);
// The object number and generation of a reference value "n g R".
bool readReference(std::string_view value, int64_t& number, int64_t& generation);
// The integer value of a direct integer.
bool readInteger(std::string_view value, int64_t& out);

// The keyword that ends the frame of an indirect object's text: the first "stream" or "endobj"
// at or after pos that lies outside literal and hex strings, comments and names. Inside other
// tokens the keywords are matched as the bytes they are (writers that glue "endobj" to a value
// are framed as before). With atHeader, pos is at the object's "N G obj", whose "obj" is the
// first such word of the text.
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

} // namespace pdfsyntax
