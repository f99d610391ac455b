#include "pdf/CPdfDictionaryShape.h"

#include "pdf/Limits.h"

#include <algorithm>

using pdf_syntax::DictEntry;
using pdf_syntax::npos;

CPdfDictionaryShape::CPdfDictionaryShape(std::span<const std::string_view> keys, size_t nestedKey,
                                         std::span<const std::string_view> nestedKeys)
    : keys_(keys.first(std::min(keys.size(), pdf_syntax::kMaxKeys))), nestedKey_(nestedKey),
      nestedKeys_(nestedKeys.first(std::min(nestedKeys.size(), pdf_syntax::kMaxKeys))) {}

bool CPdfDictionaryShape::findEntries(std::string_view text, size_t dictStart,
                                      std::span<std::optional<DictEntry>> found,
                                      std::span<std::optional<DictEntry>> nestedFound) {
    bool together = false;
    if (form_.isKept() && matchKept(text, dictStart, found, nestedFound, together)) {
        form_.noteMatch();
        return together;
    }
    together = pdf_syntax::findEntriesAndNested(text, dictStart, keys_, found, nestedKey_,
                                                nestedKeys_, nestedFound);
    if (form_.noteMiss()) {
        const size_t end = pdf_syntax::skipPlainDictionary(text, dictStart);
        if (end != npos && end - dictStart <= limits::kMaxKeptDictionaryBytes) {
            keep(text, dictStart, end, found, nestedFound, together);
        }
    }
    return together;
}

bool CPdfDictionaryShape::matchKept(std::string_view text, size_t dictStart,
                                    std::span<std::optional<DictEntry>> found,
                                    std::span<std::optional<DictEntry>> nestedFound,
                                    bool& together) {
    if (dictStart > text.size() || !form_.matchBytes(text.substr(dictStart))) {
        return false;
    }
    // The shape now has this dictionary's number lengths: its positions are this one's.
    auto entryAt = [&](size_t first, std::optional<DictEntry>& out) {
        const size_t keyStart = form_.position(first);
        if (keyStart == CPdfObjectShape::kNoPosition) {
            out.reset();
            return;
        }
        out = DictEntry{dictStart + keyStart, dictStart + form_.position(first + 1),
                        dictStart + form_.position(first + 2)};
    };
    std::fill(found.begin(), found.end(), std::nullopt);
    for (size_t k = 0; k < keys_.size() && k < found.size(); ++k) {
        entryAt(k * kPositionsPerEntry, found[k]);
    }
    if (together_) {
        std::fill(nestedFound.begin(), nestedFound.end(), std::nullopt);
        for (size_t k = 0; k < nestedKeys_.size() && k < nestedFound.size(); ++k) {
            entryAt((pdf_syntax::kMaxKeys + k) * kPositionsPerEntry, nestedFound[k]);
        }
    }
    together = together_;
    return true;
}

void CPdfDictionaryShape::keep(std::string_view text, size_t dictStart, size_t end,
                               std::span<const std::optional<DictEntry>> found,
                               std::span<const std::optional<DictEntry>> nestedFound,
                               bool together) {
    size_t positions[kPositions];
    std::fill(std::begin(positions), std::end(positions), CPdfObjectShape::kNoPosition);
    auto keepEntry = [&](size_t first, const std::optional<DictEntry>& entry) {
        if (entry) {
            positions[first] = entry->keyStart - dictStart;
            positions[first + 1] = entry->valueStart - dictStart;
            positions[first + 2] = entry->valueEnd - dictStart;
        }
    };
    for (size_t k = 0; k < keys_.size() && k < found.size(); ++k) {
        keepEntry(k * kPositionsPerEntry, found[k]);
    }
    together_ = together;
    if (together) {
        for (size_t k = 0; k < nestedKeys_.size() && k < nestedFound.size(); ++k) {
            keepEntry((pdf_syntax::kMaxKeys + k) * kPositionsPerEntry, nestedFound[k]);
        }
    }
    form_.keepBytes(text.substr(dictStart, end - dictStart), positions);
}
