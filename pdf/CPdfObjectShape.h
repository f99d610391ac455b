#pragma once

#include "pdf/PdfSyntax.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The shape of a text kept to recognise the next text of the same shape: its bytes, in which
// each integer token of up to kMaxPlaceDigits digits is a place that any such token fills, and
// positions in it that a reader found. A text of the same shape has those positions moved by the
// lengths of the numbers before them. One writer's objects of a kind (its pages, say) are the
// same bytes but for their numbers, so a reader whose findings depend on the bytes' classes
// and not on a digit's value or the count of digits finds them at the moved positions.
//
// Kept for the first bytes at an object's offset (the window in which CPdfObjectFraming
// begins to frame it) where they are of its plain shape (an "endobj" that ends the frame, then a
// "stream"): what the framing, the header's reading and a search of the frame for keys found there.
// keepBytes and matchBytes keep and match the shape alone, for readers that judge what its
// places and positions mean themselves: a stream's first bytes up to its data
// (CPdfObjectFraming), a content stream's head (CPlainStreamHead) and a page's dictionary with
// its entries (CPdfDictionaryShape).
//
// A place is a whole integer token: its digits stand at the start of the text or after a byte
// that is no regular one, and before a byte that is no regular one (so "-5", "1.5", "/F1" and
// "5endobj" are compared as the bytes they are).
class CPdfObjectShape {
  public:
    static constexpr size_t kMaxPlaceDigits = 9;
    static constexpr size_t kNoPosition = SIZE_MAX;

    static constexpr size_t kMaxKeys = 4;

    // What the readers found in an object's text: the length of its frame (the text the
    // framing gives), its header (pdf_syntax::readObjectHeader of the frame), its body
    // (pdf_syntax::skipWhitespace from the header's end) and the last place of each of a few
    // keys in the frame (kNoPosition for none).
    struct Reading {
        size_t frameLength = 0;
        pdf_syntax::ObjectHeader header;
        size_t body = 0;
        size_t keys[kMaxKeys] = {kNoPosition, kNoPosition, kNoPosition, kNoPosition};
    };

    // Keeps the shape of window, the first bytes at an object's offset, with what the readers
    // found in it; false (and no shape kept) where the window is not of the plain shape, the
    // frame is not the one that shape gives, or the header is not two places from the first
    // byte on followed by its "obj".
    bool keep(std::string_view window, const Reading& reading);
    void forget() { kept_ = false; }
    bool isKept() const { return kept_; }

    // When a reader that meets texts of other shapes keeps a shape again: after as many such
    // texts in a row as it waits for, one at first and two after a match, and twice as many
    // each time no text matched the shape kept last (up to kMaxKeepAfter), so that texts of
    // many shapes, or of none that can be kept, do not pay for keeping each. noteMatch after a
    // text that matched; noteMiss after one that did not, true when its shape is to be kept
    // (or tried) now. reset forgets the shape and starts waiting anew.
    void noteMatch();
    bool noteMiss();
    void reset();

    // Whether window, the first bytes at an object's offset, begins with the kept shape: reading
    // then receives what the readers find in that object, from the kept reading.
    bool match(std::string_view window, Reading& reading);

    // The shape alone, for readers that judge what its positions and places mean themselves.
    // keepBytes keeps text's bytes and places, with positions in it (kNoPosition stays so).
    void keepBytes(std::string_view text, std::span<const size_t> positions);
    // keepBytes for text, an object's first bytes, where the header's number is the first
    // place, from the first byte: a text of the shape then names the object whose number fills
    // it (valueAt(text, 0)). False, and no shape kept, otherwise.
    bool keepHead(std::string_view text, std::span<const size_t> positions);
    // Whether text begins with the kept bytes, each place filled by an integer token: the shape
    // then has the text's number lengths, and its positions and places are the text's.
    bool matchBytes(std::string_view text);
    // The kept bytes' length, and the position kept as index (after a match, the text's).
    size_t length() const { return bytes_.size(); }
    size_t position(size_t index) const { return positions_[index].at; }
    // The index of the place that spans [start, end) of the kept bytes, or kNoPosition.
    size_t placeSpanning(size_t start, size_t end) const;
    // The value of the integer token that fills place index in text after a match (text is
    // then of the kept shape), or in the text kept.
    uint64_t valueAt(std::string_view text, size_t index) const;

  private:
    // Whether text begins with the kept bytes with numbers of the kept lengths: compared eight
    // bytes at a time.
    bool sameNumberLengths(std::string_view text) const;
    // Whether text begins with the kept bytes, each place filled by an integer token of any
    // length (up to kMaxPlaceDigits): shifts_ then holds the lengths against the kept ones.
    bool matchPlaces(std::string_view text);
    // Takes the shape just matched by its places, with the lengths its numbers have: the next
    // object most likely has numbers of these lengths.
    void keepShifted(std::string_view text);
    // The words of the kept bytes that sameNumberLengths compares.
    void makeWords();

    struct Place {
        uint32_t start = 0; // in the kept bytes
        uint32_t end = 0;
    };
    struct KeptPosition {
        size_t at = kNoPosition;
        uint32_t placesBefore = 0; // places that end at or before it
    };

    bool kept_ = false;
    static constexpr int kMaxKeepAfter = 256;
    int misses_ = 0;
    int keepAfter_ = 1;
    bool matchedSinceKept_ = true;
    std::string bytes_;
    std::vector<Place> places_;
    std::vector<KeptPosition> positions_;
    // The shift of each place of the text being matched (its length less the kept one's),
    // summed over it and the places before it.
    std::vector<int64_t> shifts_;
    // The kept bytes eight at a time, the last eight overlapping the ones before: the bytes
    // outside the places (those inside them as 0), and which bytes are in places (0xFF each).
    std::vector<uint64_t> keptWords_;
    std::vector<uint64_t> placeWords_;
};
