#pragma once

#include "pdf/CPdfObjectShape.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
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
    // The object's text as getObjectText gives it, without a copy where it can: a view into the
    // input (valid while the input stays open) for a type 1 object of an unprotected file read
    // through its mapping; otherwise the text is read into buffer and out views buffer, and
    // inBuffer says so. False where getObjectText is false. For the page-tree walk, which meets
    // each object once: a text seen in place is framed without looking among the frames kept
    // or cached, and its frame is handed to keepFrame when that keeps the same object next.
    bool getObjectTextView(int32_t number, std::string& buffer, std::string_view& out,
                           bool& inBuffer);
    // For a walk that keeps the shape of the texts getObjectTextView gives (CPdfObjectShape): the
    // bytes at the object's offset in which framing an object begins (window), where
    // getObjectTextView sees the object in place; false otherwise.
    bool firstWindow(int32_t number, std::string_view& window);
    // Whether the frame of the object whose first bytes are window is decided there by a plain
    // "endobj" with a "stream" after it: frameLength is then the frame's length, shapeEnd the end
    // of that "stream". The frame depends only on the classes of the bytes before shapeEnd and
    // on where the two keywords lie, not on the value or the count of a number's digits: a
    // window of the same bytes but for such numbers has the frame that the positions moved by
    // their lengths give. False for any other frame.
    static bool plainFrameShape(std::string_view window, size_t& shapeEnd, size_t& frameLength);
    // The text getObjectTextView gives for an object of such a window, framed to length bytes as
    // plainFrameShape found them in it (or in a window of the same shape), and its frame kept for
    // keepFrame as getObjectTextView keeps it.
    bool frameByShape(int32_t number, size_t length, std::string_view& out);
    // The bytes of a stream framed by its "endstream" up to its "stream" keyword, with the
    // /Length of that frame; false when they cannot be read.
    bool framedStreamHead(const ObjectFrame& frame, std::string& head);

    // Frames kept for the whole pass (the page objects, framed again when they are copied or
    // stamped long after the small cache has lost them). keptIndex gives the index + 1 of the
    // kept frame of an object number, 0 for none; keepFrame keeps the next one.
    void setKeptIndex(std::function<int32_t(size_t)> keptIndex) {
        keptIndex_ = std::move(keptIndex);
    }
    // ownHeaderEnd is where the object's own header ("number G obj") ends in the frame's bytes
    // as the caller read them (the header's bodyStart), which spares locateObject reading it
    // again; kNoHeader when they were not read so.
    static constexpr size_t kNoHeader = SIZE_MAX;
    void keepFrame(int32_t number, size_t ownHeaderEnd = kNoHeader);
    void forgetKeptFrames();
    void keepFirstFrames(size_t count);

    // The frame of object number when it is kept or among the last few framed (found false
    // for an object that could not be framed); false when it would have to be framed.
    bool cachedFrame(int32_t number, ObjectFrame& out, bool& found) const;

  private:
    struct CachedFrame {
        int32_t number = -1;
        bool found = false;
        ObjectFrame frame;
        // Kept frames: its bytes begin with the object's own header, as locateObject requires.
        bool ownHeader = false;
    };
    // The kept or cached frame of number, or nullptr when it has to be framed.
    const CachedFrame* knownFrame(int32_t number) const;
    // The frame of the object at start: by the kept stream shape where the object's first bytes
    // are of it, else read (readFrame), and then the shape of a stream so read kept.
    bool frameObject(int32_t number, uint64_t start, ObjectFrame& out);
    bool readFrame(int32_t number, uint64_t start, ObjectFrame& out);
    // The frame of a stream whose first bytes, up to its data, are of the kept stream shape:
    // its /Length read from its place, its "endstream" and "endobj" looked for after the data.
    // False where the shape does not hold or the data does not end so: the frame is then read.
    bool frameByStreamShape(int32_t number, uint64_t start, ObjectFrame& out);
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
    std::vector<CachedFrame> kept_;
    // Per row: a frame of the object is kept. Most objects asked for are no pages (their
    // content streams, the objects a rewrite copies), and are then looked for in the small
    // cache alone.
    std::vector<bool> isKept_;
    mutable size_t keptHint_ = 0; // the kept frame found last: pages are asked in their order
    std::function<int32_t(size_t)> keptIndex_;
    // The frame of the text getObjectTextView saw in place last, for keepFrame (number -1 for
    // none).
    CachedFrame textFrame_;
    // The first bytes, up to the data, of the plain stream framed last: one writer's content
    // streams differ only in their numbers. The place of its /Length, and the object framed by
    // the shape last whose header names it (-1 for none): locateObject need not read it again.
    CPdfObjectShape streamShape_;
    size_t streamLengthPlace_ = 0;
    int32_t ownHeaderByShape_ = -1;
};
