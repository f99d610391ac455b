#pragma once

#include "pdf/CPdfObjectShape.h"
#include "pdf/PdfSyntax.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

// The entries of a page's dictionary as pdf_syntax::findEntriesAndNested finds them, for a
// fixed set of keys, with the shape of the last dictionaries read kept (CPdfObjectShape): their
// bytes, in which each integer token is a place that any other integer token fills, and the
// entries found in them. The pages that one writer made mostly differ only in such numbers
// (their parent, their contents, their fonts), so a page of the same shape has its entries where
// that one had them, moved by the lengths of the numbers before them: one comparison of the
// bytes instead of a reading of the tokens.
//
// A shape is kept only of a plain dictionary (pdf_syntax::skipPlainDictionary), read through to
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
                     std::span<std::optional<pdf_syntax::DictEntry>> found,
                     std::span<std::optional<pdf_syntax::DictEntry>> nestedFound);

  private:
    // The positions kept in the shape: for each key, then each nested key, the entry's key
    // start, value start and value end (kNoPosition for an entry not found).
    static constexpr size_t kPositionsPerEntry = 3;
    static constexpr size_t kPositions = 2 * pdf_syntax::kMaxKeys * kPositionsPerEntry;

    // True when the dictionary at dictStart has the kept shape: found and nestedFound are then
    // set (nestedFound only where the nested dictionary was read), and the result in together.
    bool matchKept(std::string_view text, size_t dictStart,
                   std::span<std::optional<pdf_syntax::DictEntry>> found,
                   std::span<std::optional<pdf_syntax::DictEntry>> nestedFound, bool& together);
    // Keeps the shape of the plain dictionary [dictStart, end) with the entries found in it.
    void keep(std::string_view text, size_t dictStart, size_t end,
              std::span<const std::optional<pdf_syntax::DictEntry>> found,
              std::span<const std::optional<pdf_syntax::DictEntry>> nestedFound, bool together);

    std::span<const std::string_view> keys_;
    size_t nestedKey_ = 0;
    std::span<const std::string_view> nestedKeys_;

    // The kept dictionary's bytes from its "<<", with its entries' positions.
    CPdfObjectShape form_;
    bool together_ = false;
};
