#include "pdf/CPdfObjectShape.h"

#include "pdf/PdfSyntax.h"

#include <algorithm>
#include <cstring>

namespace {

// The positions a reading carries.
enum {
    kFrameEnd,
    kBodyStart,
    kBody,
    kFirstKey,
    kPositions = kFirstKey + CPdfObjectShape::kMaxKeys
};

bool isDigitByte(char c) {
    return static_cast<unsigned>(static_cast<unsigned char>(c) - '0') <= 9;
}

bool isRegularByte(char c) {
    return pdf_syntax::isRegular(static_cast<unsigned char>(c));
}

// Whether the frame of the object whose first bytes are window is decided there by a plain
// "endobj" with a "stream" after it: frameLength is then the frame's length, shapeEnd the end of
// that "stream". The frame depends only on the classes of the bytes before shapeEnd and on
// where the two keywords lie, not on the value or the count of a number's digits: a window of
// the same bytes but for such numbers has the frame that the positions moved by their lengths
// give. False for any other frame.
bool plainFrameShape(std::string_view window, size_t& shapeEnd, size_t& frameLength) {
    // What CPdfObjectFraming decides in its first window through the plain search of
    // findObjectKeyword: the first "stream", the first "endobj" before it, no string, comment
    // or name around the keyword that would have the tokens scanned instead, and no dictionary
    // or array left open before it.
    const size_t streamAt = pdf_syntax::findFirst(window, "stream");
    if (streamAt == std::string_view::npos) {
        return false;
    }
    const size_t endobjAt = pdf_syntax::findFirst(window.substr(0, streamAt + 6), "endobj");
    if (endobjAt == std::string_view::npos || endobjAt == 0 || window[endobjAt - 1] == '/' ||
        pdf_syntax::isRegular(static_cast<unsigned char>(window[endobjAt - 1]))) {
        return false;
    }
    shapeEnd = streamAt + 6;
    for (size_t at = 0; at < shapeEnd; ++at) {
        const char c = window[at];
        if (c == '(' || c == '%') {
            return false;
        }
        if (c == '<') {
            if (at + 1 >= shapeEnd || window[at + 1] != '<') {
                return false;
            }
            ++at;
        }
    }
    if (!pdf_syntax::nestingClosed(window.substr(0, endobjAt))) {
        return false;
    }
    // The frame ends one byte past "endobj", a byte the window holds ("stream" follows).
    frameLength = endobjAt + 7;
    return true;
}

} // namespace

void CPdfObjectShape::keepBytes(std::string_view text, std::span<const size_t> positions) {
    bytes_.assign(text);
    places_.clear();
    const size_t size = text.size();
    for (size_t pos = 0; pos < size;) {
        if (!isDigitByte(text[pos]) || (pos > 0 && isRegularByte(text[pos - 1]))) {
            ++pos;
            continue;
        }
        const size_t start = pos;
        while (pos < size && isDigitByte(text[pos])) {
            ++pos;
        }
        // A run that ends the text may go on past it: it is compared as it stands.
        if (pos < size && !isRegularByte(text[pos]) && pos - start <= kMaxPlaceDigits) {
            places_.push_back({static_cast<uint32_t>(start), static_cast<uint32_t>(pos)});
        }
    }
    shifts_.assign(places_.size(), 0);
    positions_.clear();
    for (const size_t at : positions) {
        KeptPosition kept;
        kept.at = at;
        if (at != kNoPosition) {
            while (kept.placesBefore < places_.size() && places_[kept.placesBefore].end <= at) {
                ++kept.placesBefore;
            }
        }
        positions_.push_back(kept);
    }
    makeWords();
    kept_ = true;
}

void CPdfObjectShape::makeWords() {
    keptWords_.clear();
    placeWords_.clear();
    const size_t size = bytes_.size();
    if (size < 8) {
        return;
    }
    std::string placeBytes(size, '\0');
    for (const Place& place : places_) {
        std::memset(placeBytes.data() + place.start, 0xFF, place.end - place.start);
    }
    for (size_t at = 0; at < size; at += 8) {
        const size_t from = std::min(at, size - 8);
        uint64_t value = 0;
        uint64_t places = 0;
        std::memcpy(&value, bytes_.data() + from, sizeof value);
        std::memcpy(&places, placeBytes.data() + from, sizeof places);
        keptWords_.push_back(value & ~places);
        placeWords_.push_back(places);
    }
}

bool CPdfObjectShape::sameNumberLengths(std::string_view text) const {
    const size_t words = keptWords_.size();
    if (words == 0 || text.size() < bytes_.size()) {
        return false;
    }
    constexpr uint64_t kZeros = 0x3030303030303030ULL;
    constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ULL;
    constexpr uint64_t kSix = 0x0606060606060606ULL;
    constexpr uint64_t kTen = 0x1010101010101010ULL;
    const char* const data = text.data();
    const uint64_t* const kept = keptWords_.data();
    const uint64_t* const places = placeWords_.data();
    // Outside the places the kept bytes; inside them digits: a byte less '0' of 0 to 9 has no
    // high bits, and 6 more stays below 16. (A carry from a byte below into a place only makes
    // a digit look like none, and the places are then read one by one.) Any difference is
    // gathered over all words and judged once.
    auto differs = [&](size_t word, size_t at) {
        uint64_t value = 0;
        std::memcpy(&value, data + at, sizeof value);
        const uint64_t digits = value ^ kZeros;
        return ((value & ~places[word]) ^ kept[word]) |
               (((digits & kHigh) | ((digits + kSix) & kTen)) & places[word]);
    };
    uint64_t differ = differs(words - 1, bytes_.size() - 8);
    for (size_t word = 0; word + 1 < words; ++word) {
        differ |= differs(word, word * 8);
    }
    return differ == 0;
}

bool CPdfObjectShape::matchPlaces(std::string_view text) {
    const char* const data = text.data();
    const size_t size = text.size();
    const char* const kept = bytes_.data();
    size_t keptAt = 0; // in the kept bytes
    size_t at = 0;     // in text
    int64_t shift = 0;
    for (size_t k = 0; k < places_.size(); ++k) {
        // The bytes up to the place as they stand, then a run of one to kMaxPlaceDigits digits.
        const size_t piece = places_[k].start - keptAt;
        if (size - at < piece || std::memcmp(data + at, kept + keptAt, piece) != 0) {
            return false;
        }
        at += piece;
        const size_t start = at;
        while (at < size && isDigitByte(data[at])) {
            ++at;
        }
        if (at == start || at - start > kMaxPlaceDigits) {
            return false;
        }
        shift += static_cast<int64_t>(at - start) -
                 static_cast<int64_t>(places_[k].end - places_[k].start);
        shifts_[k] = shift;
        keptAt = places_[k].end;
    }
    // The byte after each place is a piece's first one, no digit and no regular byte: the run
    // read is the whole token.
    const size_t rest = bytes_.size() - keptAt;
    return size - at >= rest && std::memcmp(data + at, kept + keptAt, rest) == 0;
}

void CPdfObjectShape::keepShifted(std::string_view text) {
    const int64_t total = places_.empty() ? 0 : shifts_.back();
    bytes_.assign(text.substr(0, static_cast<size_t>(static_cast<int64_t>(bytes_.size()) + total)));
    int64_t before = 0;
    for (size_t k = 0; k < places_.size(); ++k) {
        places_[k].start = static_cast<uint32_t>(places_[k].start + before);
        places_[k].end = static_cast<uint32_t>(static_cast<int64_t>(places_[k].end) + shifts_[k]);
        before = shifts_[k];
    }
    for (KeptPosition& kept : positions_) {
        if (kept.at != kNoPosition && kept.placesBefore > 0) {
            kept.at =
                static_cast<size_t>(static_cast<int64_t>(kept.at) + shifts_[kept.placesBefore - 1]);
        }
    }
    std::fill(shifts_.begin(), shifts_.end(), 0);
    makeWords();
}

uint64_t CPdfObjectShape::valueAt(std::string_view text, size_t index) const {
    uint64_t value = 0;
    for (size_t at = places_[index].start; at < places_[index].end; ++at) {
        value = value * 10 + static_cast<unsigned>(text[at] - '0');
    }
    return value;
}

bool CPdfObjectShape::keep(std::string_view window, const Reading& reading) {
    kept_ = false;
    size_t shapeEnd = 0;
    size_t frameLength = 0;
    if (!plainFrameShape(window, shapeEnd, frameLength) || frameLength != reading.frameLength ||
        reading.body >= frameLength) {
        return false;
    }
    const size_t positions[kPositions] = {
        frameLength,     reading.header.bodyStart, reading.body,   reading.keys[0],
        reading.keys[1], reading.keys[2],          reading.keys[3]};
    // The header: its number and generation are the first two places, the number from the
    // first byte on, and no place lies between the generation and the body. Any numbers there
    // give the header those numbers and the end moved by their lengths: its readers take the
    // digits of a run as the number and go on at the byte after it.
    if (!keepHead(window.substr(0, shapeEnd), positions) || places_.size() < 2 ||
        valueAt(window, 0) != static_cast<uint64_t>(reading.header.number) ||
        valueAt(window, 1) != static_cast<uint64_t>(reading.header.generation) ||
        places_[1].end >= reading.header.bodyStart ||
        (places_.size() > 2 && places_[2].start < reading.body)) {
        kept_ = false;
        return false;
    }
    return true;
}

void CPdfObjectShape::noteMatch() {
    misses_ = 0;
    keepAfter_ = 2;
    matchedSinceKept_ = true;
}

bool CPdfObjectShape::noteMiss() {
    if (++misses_ < keepAfter_) {
        return false;
    }
    if (!matchedSinceKept_) {
        keepAfter_ = std::min(keepAfter_ * 2, kMaxKeepAfter);
    }
    misses_ = 0;
    matchedSinceKept_ = false;
    return true;
}

void CPdfObjectShape::reset() {
    kept_ = false;
    misses_ = 0;
    keepAfter_ = 1;
    matchedSinceKept_ = true;
}

bool CPdfObjectShape::keepHead(std::string_view text, std::span<const size_t> positions) {
    keepBytes(text, positions);
    // A place from the first byte is the whole run of digits there.
    if (places_.empty() || places_[0].start != 0) {
        kept_ = false;
    }
    return kept_;
}

bool CPdfObjectShape::matchBytes(std::string_view text) {
    if (!kept_) {
        return false;
    }
    if (!sameNumberLengths(text)) {
        if (!matchPlaces(text)) {
            return false;
        }
        keepShifted(text);
    }
    return true;
}

size_t CPdfObjectShape::placeSpanning(size_t start, size_t end) const {
    for (size_t k = 0; k < places_.size(); ++k) {
        if (places_[k].start == start && places_[k].end == end) {
            return k;
        }
    }
    return kNoPosition;
}

bool CPdfObjectShape::match(std::string_view window, Reading& reading) {
    if (!matchBytes(window)) {
        return false;
    }
    // The shape now has the window's number lengths: its positions are the window's.
    reading.frameLength = positions_[kFrameEnd].at;
    reading.header.number = static_cast<int64_t>(valueAt(window, 0));
    reading.header.generation = static_cast<int64_t>(valueAt(window, 1));
    reading.header.bodyStart = positions_[kBodyStart].at;
    reading.body = positions_[kBody].at;
    for (size_t k = 0; k < kMaxKeys; ++k) {
        reading.keys[k] = positions_[kFirstKey + k].at;
    }
    return true;
}
