#include "pdf/PdfSyntaxDictionaries.h"

#include "pdf/PdfSyntaxNumbers.h"
#include "pdf/PdfSyntaxScan.h"
#include "pdf/PdfSyntaxSearch.h"

#include <algorithm>
#include <cstring>

namespace pdf_syntax {

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

} // namespace pdf_syntax
