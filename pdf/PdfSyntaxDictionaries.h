#pragma once

#include "pdf/PdfSyntaxTokens.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The dictionaries of raw object text: the entries of one dictionary found by its tokens,
// without looking into nested dictionaries, arrays, strings or comments; its end; the kind of a
// value; and the edits that an entry found is carried over.
namespace pdfsyntax {

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
