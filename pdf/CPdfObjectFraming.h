#pragma once

#include "pdf/CPdfObjectShape.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CPdfInputFile;
class CPdfSecurityHandler;
class CPdfXRef;
struct XRefEntry;

// Where one input object's bytes lie in the input (offsets from the header).
struct ObjectFrame {
    uint64_t start = 0;
    uint64_t length = 0;
    bool isStream = false;
    bool isObjectStream = false;
    // A stream whose /Length does not end at its "endstream" is framed by the "endstream": the
    // length of its data so framed, which a copy writes as its /Length; -1 when the /Length
    // holds.
    int64_t framedLength = -1;
    // Where the "stream" keyword starts (streams framed by their "endstream").
    uint64_t keywordStart = 0;
};

// Raw access to the objects of a loaded document: whether the bytes at a row's offset are the
// object's own, where each object begins and ends (its frame), and its text as it stands in the
// file, for a byte copy that keeps every object as it was written.
//
// A dictionary is read in one of three ways, each where its cost and its exactness fit:
// - The byte search (pdf_syntax::findLastText, readNumberAfter) finds the last occurrence of a
//   key anywhere in an object's text (a key given twice has its last value). The page tree walk
//   reads /Kids, /Rotate, /Pages, /CropBox and /MediaBox so: it runs once for every page of
//   documents with tens of thousands of pages, and these keys occur only at the top of page and
//   page-tree dictionaries as writers produce them.
// - The token-aware scans (pdf_syntax::findEntry, findEntries, findObjectKeyword) find an entry
//   among one dictionary's own entries, past strings, comments, names and nested values, and
//   give its exact byte frame. They serve wherever bytes are edited or a frame is decided:
//   the frames of this class (a stream's /Type and /Length, the keyword that ends an object),
//   the catalog's /Pages, a page's /Contents and /Resources that the stamp rewrites in place.
// - The object model (CPdfXRef::fetchObject, CPdfElement) parses an object completely, with
//   decryption and references resolved. It reads what is judged rather than copied: the
//   trailer, the root of the page tree and its /Count, the signature fields of the form, and an
//   indirect /Length that is not written plainly.
class CPdfObjectFraming {
  public:
    // Whether text, the bytes at an object's offset, begins with that object's own header
    // "number generation obj" (white-space and comments before it pass); any generation when
    // generation is kAnyGeneration. bodyStart receives the position after "obj".
    static constexpr int64_t kAnyGeneration = -1;
    static bool headerNames(std::string_view text, int64_t number, int64_t generation,
                            size_t& bodyStart);
    // The bytes at offset that headerNames judges: the window in which a header has to lie.
    static bool headerWindow(CPdfInputFile& input, uint64_t offset, std::string_view& text);

    // The document's input and its table; the frames of another document are forgotten.
    void attach(CPdfInputFile& input, CPdfXRef& xref);

    // The frame of a type 1 object: from its offset to one byte past the "endobj" that ends it
    // (for a stream with a usable /Length, the "endobj" after its data).
    bool findObjectFrame(int32_t number, ObjectFrame& out);
    // Whether the object's row leads to its own bytes (its frame in out), or it is a member of
    // an object stream: what can be copied. Objects elsewhere are to be left out.
    bool locateObject(int32_t number, ObjectFrame& out);
    // The object's text: its frame's bytes (strings decrypted for a protected file), or a
    // member of an object stream written as an indirect object of its own.
    bool getObjectText(int32_t number, std::string& out);
    // An object as a walk that meets each object once reads it (the page-tree walk): its text as
    // getObjectText gives it, with its header, its body and the last place of each of the
    // caller's keys, as out describes them. The text is seen where it lies in the input where
    // it can (a type 1 object of an unprotected file read through its mapping), else read into
    // buffer. False where getObjectText is false.
    //
    // One writer's pages are the same bytes but for their numbers: the shape of an object read
    // so is kept (CPdfObjectShape), and an object of the same shape has its frame, header, body
    // and keys where the shape puts them, without framing it or searching it. The frame of
    // every object read here is kept for the whole pass: the pages are framed again when they
    // are copied or stamped, long after the few last frames have moved on.
    struct WalkedObject {
        std::string_view text;
        bool inBuffer = false;
        std::optional<pdf_syntax::ObjectHeader> header;
        // Where the body starts (pdf_syntax::skipWhitespace from the header's end); npos for an
        // object without a header or a body.
        size_t body = pdf_syntax::npos;
        // The last place of each key the caller's finder looks for, npos for none; found where
        // there is a body.
        size_t keys[CPdfObjectShape::kMaxKeys] = {pdf_syntax::npos, pdf_syntax::npos,
                                                  pdf_syntax::npos, pdf_syntax::npos};
    };
    // Finds the keys in an object's text: at receives kMaxKeys places. What it finds may depend
    // on the classes of the text's bytes, never on a number's value or its count of digits (the
    // kept shape moves its places by those lengths).
    using KeyFinder = void (*)(std::string_view text, size_t* at);
    bool readWalkedObject(int32_t number, KeyFinder findKeys, std::string& buffer,
                          WalkedObject& out);
    // The bytes of a stream framed by its "endstream" up to its "stream" keyword, with the
    // /Length of that frame; false when they cannot be read.
    bool framedStreamHead(const ObjectFrame& frame, std::string& head);

  private:
    struct CachedFrame {
        int32_t number = -1;
        bool found = false;
        ObjectFrame frame;
        // Its bytes begin with the object's own header, as locateObject requires: the header
        // was read from the frame's first bytes when it was framed or walked.
        bool ownHeader = false;
    };
    // The frame of a walked object kept for the pass, packed (a page's frame: no stream, found,
    // shorter than 1 GiB), as the walk keeps one for each of up to millions of pages.
    struct KeptFrame {
        static constexpr uint64_t kMaxLength = (uint64_t{1} << 30) - 1;
        uint64_t start = 0;
        int32_t number = 0;
        uint32_t length : 30 = 0;
        uint32_t ownHeader : 1 = 0;
    };
    static_assert(sizeof(KeptFrame) == 16);
    static constexpr size_t kNoHeader = SIZE_MAX;
    // The kept or cached frame of number, or nullptr when it has to be framed (valid until the
    // next call).
    const CachedFrame* knownFrame(int32_t number) const;
    // The kept frame of number (isKept_ says there is one), or nullptr where finding it would
    // cost more than framing it.
    const KeptFrame* keptFrame(int32_t number) const;
    // The frame of the object at start: by the kept stream shape where the object's first bytes
    // are of it, else read (readFrame), and then the shape of a stream so read kept.
    // ownHeader receives whether the frame's first bytes were read as the object's own header.
    bool frameObject(int32_t number, uint64_t start, ObjectFrame& out, bool& ownHeader);
    bool readFrame(int32_t number, uint64_t start, ObjectFrame& out);
    // The frame of a stream whose first bytes, up to its data, are of the kept stream shape:
    // its /Length read from its place, its "endstream" and "endobj" looked for after the data.
    // False where the shape does not hold or the data does not end so: the frame is then read.
    bool frameByStreamShape(int32_t number, uint64_t start, ObjectFrame& out, bool& ownHeader);
    // Keeps the frame of a walked object for the pass. ownHeaderEnd is where the object's own
    // header ends in the frame's bytes as the walk read them, kNoHeader where they were not.
    void keepWalkedFrame(int32_t number, bool found, const ObjectFrame& frame, size_t ownHeaderEnd);
    // Keeps the shape of bytes, a stream's first bytes up to its data (dataAt), whose /Length is
    // the direct integer at [lengthStart, lengthEnd) and whose frame was read as that /Length
    // gives it, where the shape decides such a frame: the header is the object's own ("N G obj"
    // at the first byte), the line end after "stream" is LF or CR LF, the bytes fit the first
    // keyword window, and the /Length is a place.
    void keepStreamShape(int32_t number, std::string_view bytes, size_t dataAt, size_t lengthStart,
                         size_t lengthEnd);
    // The plain frame: from start to the byte after the "endobj" that ends at endobj (or to the
    // end of the file); false when there is none (endobj < 0).
    bool frameToEndobj(uint64_t start, int64_t endobj, ObjectFrame& out) const;
    // The plain frame up to the first "endobj" after start.
    bool frameToFirstEndobj(uint64_t start, ObjectFrame& out) const;
    // A stream whose /Length does not end at "endstream": its data framed by the first
    // "endstream" after its start, as viewers read it; the copy writes the /Length of that frame.
    bool frameByEndstream(uint64_t start, uint64_t keywordStart, uint64_t dataStart,
                          ObjectFrame& out) const;
    // The value of object number's indirect /Length (-1 when it is no integer); false when the
    // reference cannot be followed and the plain frame is taken.
    bool resolveIndirectLength(int32_t number, int64_t lengthNumber, int64_t lengthGeneration,
                               int64_t& length);
    // An indirect /Length read from its bytes when it is written plainly ("N G obj 1234
    // endobj"); false otherwise, and the reader has to fetch it.
    bool readPlainLength(int32_t number, int64_t generation, int64_t& value);

    CPdfInputFile* input_ = nullptr;
    CPdfXRef* xref_ = nullptr;
    const std::vector<XRefEntry>* entries_ = nullptr;
    const CPdfSecurityHandler* security_ = nullptr;
    // Stamping a page frames the page and its content stream several times, so the last few
    // frames are kept.
    std::array<CachedFrame, 4> cache_{};
    size_t cacheNext_ = 0;
    // The frames of the objects the walk read, kept for the whole pass in the order it read them
    // (pages are asked for again in that order: the hint is the one found last). Per row, one
    // bit: a frame of the object is kept; most objects asked for are no pages and are looked
    // for in the small cache alone. The index of the kept frames by number is made when a
    // lookup needs it and is sorted again only once the frames kept since have doubled (see
    // keptFrame), so that lookups between keeps cost no more than framing anew.
    std::vector<KeptFrame> kept_;
    std::vector<bool> isKept_;
    mutable std::vector<uint32_t> keptByNumber_; // indexes into kept_, by number
    mutable size_t keptHint_ = 0;
    mutable CachedFrame keptUnpacked_; // the kept frame knownFrame gave last
    // The shape of an object readWalkedObject read in place, with what it found there.
    CPdfObjectShape walkShape_;
    // The first bytes, up to the data, of the plain stream framed last: one writer's content
    // streams differ only in their numbers. The place of its /Length.
    CPdfObjectShape streamShape_;
    size_t streamLengthPlace_ = 0;
};
