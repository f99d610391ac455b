#include "pdf/CPdfDictionaryShape.h"

#include "pdf/Limits.h"

#include <algorithm>
#include <cstring>

using pdfsyntax::DictEntry;
using pdfsyntax::npos;

namespace {

// The longest integer token that fills a place: more digits are compared as they stand.
constexpr size_t kMaxPlaceDigits = 18;

// Whether a digit at pos starts an integer token that is a place: after white-space or a
// bracket (not after "/", where the digits are a name, nor after a sign or other regular byte).
bool startsPlace(std::string_view text, size_t pos) {
    if (pos == 0) {
        return false;
    }
    const char before = text[pos - 1];
    return pdfsyntax::isWhitespace(static_cast<unsigned char>(before)) || before == '<' ||
           before == '>' || before == '[' || before == ']';
}

// Whether the n bytes at a and b are the same: eight bytes at a time (the last eight
// overlapping the ones before), as the pieces between two numbers are mostly short.
inline bool sameBytes(const char* a, const char* b, size_t n) {
    auto word = [](const char* p) {
        uint64_t value = 0;
        std::memcpy(&value, p, sizeof value);
        return value;
    };
    if (n >= 8) {
        for (size_t i = 0; i + 8 < n; i += 8) {
            if (word(a + i) != word(b + i)) {
                return false;
            }
        }
        return word(a + n - 8) == word(b + n - 8);
    }
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

CPdfDictionaryShape::CPdfDictionaryShape(std::span<const std::string_view> keys, size_t nestedKey,
                                         std::span<const std::string_view> nestedKeys)
    : keys_(keys.first(std::min(keys.size(), pdfsyntax::kMaxKeys))), nestedKey_(nestedKey),
      nestedKeys_(nestedKeys.first(std::min(nestedKeys.size(), pdfsyntax::kMaxKeys))) {}

bool CPdfDictionaryShape::findEntries(std::string_view text, size_t dictStart,
                                      std::span<std::optional<DictEntry>> found,
                                      std::span<std::optional<DictEntry>> nestedFound) {
    bool together = false;
    if (kept_ && matchKept(text, dictStart, found, nestedFound, together)) {
        misses_ = 0;
        keepAfter_ = kFirstKeepAfter;
        matchedSinceKept_ = true;
        return together;
    }
    together = pdfsyntax::findEntriesAndNested(text, dictStart, keys_, found, nestedKey_,
                                               nestedKeys_, nestedFound);
    if (!kept_ || ++misses_ >= keepAfter_) {
        const size_t end = pdfsyntax::skipPlainDictionary(text, dictStart);
        if (end != npos && end - dictStart <= limits::kMaxKeptDictionaryBytes) {
            // A form that no page matched before the next is kept: the pages' forms differ,
            // and each next form is kept after twice as many of them.
            if (kept_ && !matchedSinceKept_) {
                keepAfter_ = std::min(keepAfter_ * 2, kLastKeepAfter);
            }
            keep(text, dictStart, end, found, nestedFound, together);
            misses_ = 0;
            matchedSinceKept_ = false;
        }
    }
    return together;
}

bool CPdfDictionaryShape::matchKept(std::string_view text, size_t dictStart,
                                    std::span<std::optional<DictEntry>> found,
                                    std::span<std::optional<DictEntry>> nestedFound,
                                    bool& together) {
    if (dictStart > text.size()) {
        return false;
    }
    const char* const data = text.data() + dictStart;
    const size_t size = text.size() - dictStart;
    bool shifted = false;
    if (!sameNumberLengths(data, size)) {
        if (!matchPlaces(data, size)) {
            return false;
        }
        shifted = true;
    }
    // The kept entries, moved by the places before each position.
    auto moved = [&](const KeptEntry& kept) {
        auto position = [&](size_t keptPosition, uint32_t placesBefore) {
            const int64_t by = !shifted || placesBefore == 0 ? 0 : shifts_[placesBefore - 1];
            return static_cast<size_t>(static_cast<int64_t>(dictStart + keptPosition) + by);
        };
        return DictEntry{position(kept.entry.keyStart, kept.placesBefore[0]),
                         position(kept.entry.valueStart, kept.placesBefore[1]),
                         position(kept.entry.valueEnd, kept.placesBefore[2])};
    };
    std::fill(found.begin(), found.end(), std::nullopt);
    for (size_t k = 0; k < keys_.size() && k < found.size(); ++k) {
        if (found_[k]) {
            found[k] = moved(*found_[k]);
        }
    }
    if (together_) {
        std::fill(nestedFound.begin(), nestedFound.end(), std::nullopt);
        for (size_t k = 0; k < nestedKeys_.size() && k < nestedFound.size(); ++k) {
            if (nestedFound_[k]) {
                nestedFound[k] = moved(*nestedFound_[k]);
            }
        }
    }
    together = together_;
    if (shifted) {
        // The next page most likely has numbers of these lengths: its form is this one.
        keepShifted(text, dictStart);
    }
    return true;
}

bool CPdfDictionaryShape::sameNumberLengths(const char* data, size_t size) const {
    if (words_.empty() || size < bytes_.size()) {
        return false;
    }
    constexpr uint64_t kZeros = 0x3030303030303030ULL;
    constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ULL;
    constexpr uint64_t kSix = 0x0606060606060606ULL;
    constexpr uint64_t kTen = 0x1010101010101010ULL;
    for (const Word& word : words_) {
        uint64_t value = 0;
        std::memcpy(&value, data + word.at, sizeof value);
        // Outside the places the kept bytes; inside them digits: a byte less '0' of 0 to 9 has
        // no high bits, and 6 more stays below 16. (A carry from a byte below into a place
        // only makes a digit look like none, and the places are then compared one by one.)
        const uint64_t digits = value ^ kZeros;
        if ((value & ~word.places) != word.kept ||
            (((digits & kHigh) | ((digits + kSix) & kTen)) & word.places) != 0) {
            return false;
        }
    }
    return true;
}

bool CPdfDictionaryShape::matchPlaces(const char* data, size_t size) {
    const char* const kept = bytes_.data();
    // The bytes between the places are the kept ones; each place holds an integer token.
    size_t at = 0;  // in the kept bytes
    size_t pos = 0; // in the text, from the dictionary's "<<"
    int64_t shift = 0;
    for (size_t i = 0; i < places_.size(); ++i) {
        const Place& place = places_[i];
        const size_t same = place.start - at;
        if (size - pos < same || !sameBytes(data + pos, kept + at, same)) {
            return false;
        }
        pos += same;
        const size_t digits = pos;
        const size_t stop = std::min(size, pos + kMaxPlaceDigits + 1);
        while (pos < stop && pdfsyntax::isDigit(static_cast<unsigned char>(data[pos]))) {
            ++pos;
        }
        if (pos == digits || pos - digits > kMaxPlaceDigits) {
            return false;
        }
        shift += static_cast<int64_t>(pos - digits) - static_cast<int64_t>(place.end - place.start);
        shifts_[i] = shift;
        at = place.end;
    }
    const size_t rest = bytes_.size() - at;
    return size - pos >= rest && sameBytes(data + pos, kept + at, rest);
}

void CPdfDictionaryShape::keepShifted(std::string_view text, size_t dictStart) {
    const int64_t total = places_.empty() ? 0 : shifts_.back();
    bytes_.assign(
        text.substr(dictStart, static_cast<size_t>(static_cast<int64_t>(bytes_.size()) + total)));
    int64_t before = 0;
    for (size_t i = 0; i < places_.size(); ++i) {
        places_[i].start = static_cast<uint32_t>(places_[i].start + before);
        places_[i].end = static_cast<uint32_t>(static_cast<int64_t>(places_[i].end) + shifts_[i]);
        before = shifts_[i];
    }
    auto move = [this](std::optional<KeptEntry>& kept) {
        if (!kept) {
            return;
        }
        size_t* positions[3] = {&kept->entry.keyStart, &kept->entry.valueStart,
                                &kept->entry.valueEnd};
        for (size_t i = 0; i < 3; ++i) {
            if (kept->placesBefore[i] > 0) {
                *positions[i] = static_cast<size_t>(static_cast<int64_t>(*positions[i]) +
                                                    shifts_[kept->placesBefore[i] - 1]);
            }
        }
    };
    for (size_t k = 0; k < pdfsyntax::kMaxKeys; ++k) {
        move(found_[k]);
        move(nestedFound_[k]);
    }
    makeWords();
}

void CPdfDictionaryShape::makeWords() {
    words_.clear();
    const size_t size = bytes_.size();
    if (size < 8) {
        return;
    }
    // 0xFF for each byte in a place, then eight bytes at a time, the last eight overlapping
    // the ones before.
    placeBytes_.assign(size, '\0');
    for (const Place& place : places_) {
        std::memset(placeBytes_.data() + place.start, 0xFF, place.end - place.start);
    }
    for (size_t at = 0; at < size; at += 8) {
        Word word;
        word.at = static_cast<uint32_t>(std::min(at, size - 8));
        uint64_t value = 0;
        std::memcpy(&value, bytes_.data() + word.at, sizeof value);
        std::memcpy(&word.places, placeBytes_.data() + word.at, sizeof word.places);
        word.kept = value & ~word.places;
        words_.push_back(word);
    }
}

void CPdfDictionaryShape::keep(std::string_view text, size_t dictStart, size_t end,
                               std::span<const std::optional<DictEntry>> found,
                               std::span<const std::optional<DictEntry>> nestedFound,
                               bool together) {
    bytes_.assign(text.substr(dictStart, end - dictStart));
    places_.clear();
    const std::string_view bytes = bytes_;
    for (size_t pos = 0; pos < bytes.size(); ++pos) {
        if (!pdfsyntax::isDigit(static_cast<unsigned char>(bytes[pos])) ||
            !startsPlace(bytes, pos)) {
            continue;
        }
        size_t digitsEnd = pos;
        while (digitsEnd < bytes.size() &&
               pdfsyntax::isDigit(static_cast<unsigned char>(bytes[digitsEnd]))) {
            ++digitsEnd;
        }
        // A whole token of at most kMaxPlaceDigits digits; others stay bytes to compare.
        if (digitsEnd - pos <= kMaxPlaceDigits &&
            (digitsEnd == bytes.size() ||
             !pdfsyntax::isRegular(static_cast<unsigned char>(bytes[digitsEnd])))) {
            places_.push_back(Place{static_cast<uint32_t>(pos), static_cast<uint32_t>(digitsEnd)});
        }
        pos = digitsEnd;
    }
    shifts_.assign(places_.size(), 0);
    makeWords();
    for (size_t k = 0; k < pdfsyntax::kMaxKeys; ++k) {
        found_[k].reset();
        nestedFound_[k].reset();
    }
    for (size_t k = 0; k < keys_.size() && k < found.size(); ++k) {
        if (found[k]) {
            found_[k] = keptEntry(*found[k], dictStart);
        }
    }
    together_ = together;
    if (together) {
        for (size_t k = 0; k < nestedKeys_.size() && k < nestedFound.size(); ++k) {
            if (nestedFound[k]) {
                nestedFound_[k] = keptEntry(*nestedFound[k], dictStart);
            }
        }
    }
    kept_ = true;
}

CPdfDictionaryShape::KeptEntry CPdfDictionaryShape::keptEntry(const DictEntry& entry,
                                                              size_t dictStart) const {
    KeptEntry kept;
    kept.entry = DictEntry{entry.keyStart - dictStart, entry.valueStart - dictStart,
                           entry.valueEnd - dictStart};
    const size_t positions[3] = {kept.entry.keyStart, kept.entry.valueStart, kept.entry.valueEnd};
    for (size_t i = 0; i < 3; ++i) {
        // The places that end at or before the position: a position is never inside one.
        kept.placesBefore[i] =
            static_cast<uint32_t>(std::upper_bound(places_.begin(), places_.end(), positions[i],
                                                   [](size_t position, const Place& place) {
                                                       return position < place.end;
                                                   }) -
                                  places_.begin());
    }
    return kept;
}
