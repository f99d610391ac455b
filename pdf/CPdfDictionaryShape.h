#pragma once

#include "pdf/PdfSyntax.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The entries of a page's dictionary as pdfsyntax::findEntriesAndNested finds them, for a
// fixed set of keys, with the form of the last dictionaries read kept: their bytes, in which
// each integer token is a place that any other integer token fills, and the entries found in
// them. The pages that one writer made mostly differ only in such numbers (their parent, their
// contents, their fonts), so a page of the same form has its entries where that one had them,
// moved by the lengths of the numbers before them: one comparison of the bytes instead of a
// reading of the tokens.
//
// A form is kept only of a plain dictionary (pdfsyntax::skipPlainDictionary), read through to
// its ">>": the scan's tokens, and so its entries, depend on no byte of an integer token but
// that it is a digit, and on no byte past that ">>".
class CPdfDictionaryShape {
  public:
    // keys and nestedKeys as findEntriesAndNested takes them (at most kMaxKeys each); the
    // views must outlive the shape.
    CPdfDictionaryShape(std::span<const std::string_view> keys, size_t nestedKey,
                        std::span<const std::string_view> nestedKeys);

    // What findEntriesAndNested(text, dictStart, keys, found, nestedKey, nestedKeys,
    // nestedFound) gives, found and nestedFound as it leaves them.
    bool findEntries(std::string_view text, size_t dictStart,
                     std::span<std::optional<pdfsyntax::DictEntry>> found,
                     std::span<std::optional<pdfsyntax::DictEntry>> nestedFound);

  private:
    // An integer token of the kept bytes: [start, end).
    struct Place {
        uint32_t start = 0;
        uint32_t end = 0;
    };
    // An entry of the kept bytes, and how many places end at or before each of its positions.
    struct KeptEntry {
        pdfsyntax::DictEntry entry;
        uint32_t placesBefore[3] = {0, 0, 0};
    };

    // True when the dictionary at dictStart has the kept form: found and nestedFound are then
    // set (nestedFound only where the nested dictionary was read), and the result in together.
    bool matchKept(std::string_view text, size_t dictStart,
                   std::span<std::optional<pdfsyntax::DictEntry>> found,
                   std::span<std::optional<pdfsyntax::DictEntry>> nestedFound, bool& together);
    // Whether the bytes have the kept form with numbers of the kept lengths: compared eight
    // bytes at a time.
    bool sameNumberLengths(const char* data, size_t size) const;
    // Whether the bytes have the kept form, each place filled by an integer token of any
    // length (up to kMaxPlaceDigits): shifts_ then holds their lengths against the kept ones.
    bool matchPlaces(const char* data, size_t size);
    // Keeps the form of the dictionary at dictStart just matched by its places, with the
    // lengths its numbers have.
    void keepShifted(std::string_view text, size_t dictStart);
    // The words of the kept bytes that sameNumberLengths compares.
    void makeWords();
    // Keeps the form of the plain dictionary [dictStart, end) with the entries found in it.
    void keep(std::string_view text, size_t dictStart, size_t end,
              std::span<const std::optional<pdfsyntax::DictEntry>> found,
              std::span<const std::optional<pdfsyntax::DictEntry>> nestedFound, bool together);
    KeptEntry keptEntry(const pdfsyntax::DictEntry& entry, size_t dictStart) const;

    std::span<const std::string_view> keys_;
    size_t nestedKey_ = 0;
    std::span<const std::string_view> nestedKeys_;

    bool kept_ = false;
    std::string bytes_;
    std::vector<Place> places_;
    std::optional<KeptEntry> found_[pdfsyntax::kMaxKeys];
    std::optional<KeptEntry> nestedFound_[pdfsyntax::kMaxKeys];
    bool together_ = false;
    // Dictionaries read in a row that had another form: a form is kept again after keepAfter_
    // of them, two at first, so that pages of two forms taking turns do not replace it every
    // time; more while no page matches the forms kept, so that pages of many forms are not
    // slowed by keeping each.
    static constexpr int kFirstKeepAfter = 2;
    static constexpr int kLastKeepAfter = 256;
    int misses_ = 0;
    int keepAfter_ = kFirstKeepAfter;
    bool matchedSinceKept_ = false;
    // Eight kept bytes from at: the bytes outside the places (those inside them as 0) and
    // which bytes are in places (0xFF each).
    struct Word {
        uint32_t at = 0;
        uint64_t kept = 0;
        uint64_t places = 0;
    };
    std::vector<Word> words_;
    std::string placeBytes_;
    // The shift of each place of the dictionary being matched (its length less the kept one's),
    // summed over it and the places before it.
    std::vector<int64_t> shifts_;
};
