#pragma once

#include "pdf/PdfSyntaxTokens.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The dictionaries of raw object text: the entries of one dictionary found by its tokens,
// without looking into nested dictionaries, arrays, strings or comments; its end; the kind of a
// value (CPdfEditLog carries an entry found over the edits made to its text).
namespace pdf_syntax {

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

} // namespace pdf_syntax
