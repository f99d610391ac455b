#pragma once

#include "pdf/CPdfDocument.h"
#include "pdf/CPdfXRef.h"
#include "pdf/PdfSyntax.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

class COutputFile;
class CPdfInputFile;
class EmbeddedFont;

// A page box in PDF user space units: lower-left x, y, upper-right x, y.
struct PageBox {
    float x0 = 0.0f;
    float y0 = 0.0f;
    float x1 = 612.0f;
    float y1 = 792.0f;
};

// One page of the page list, in document page order.
struct PageEntry {
    uint32_t objectNumber = 0;
    PageBox box;
    // Object number of the nearest page-tree node above the page that has /Resources
    // (0 when none has): what a page without resources of its own inherits.
    int32_t inheritedResourcesFrom = 0;
    // The number after the page's own "/Rotate", or else the nearest page-tree node's above it
    // (0 when none has one), read during the walk.
    int32_t rotate = 0;
};

// One row of the output cross-reference table, packed into 8 bytes.
struct OutputXRefEntry {
    // An offset is held up to this; a larger one is stored as it, which a table cannot name
    // either (the table's writer refuses both).
    static constexpr uint64_t kMaxOffset = (uint64_t{1} << 40) - 1;
    static uint64_t held(uint64_t offset) { return offset < kMaxOffset ? offset : kMaxOffset; }

    // One 64-bit type for the three fields, so that the Microsoft layout (mingw) packs them
    // into 8 bytes as well.
    uint64_t offset : 40 = 0;
    uint64_t generation : 16 = 0;
    uint64_t inUse : 1 = false;
};
static_assert(sizeof(OutputXRefEntry) == 8);

// Up to ten rows of the font sizes file: a font size and a page-width limit.
struct SizeTable {
    static constexpr int kCapacity = 10;
    int32_t size[kCapacity] = {};
    int32_t widthLimit[kCapacity] = {};
    int32_t count = 0;
};

// One stamp job: every setting of a run with its default, and the state of the pass under way.
// The operations of the stamping engine are its members; each concern has its own source file.
class CPdfStamp {
  public:
    CPdfStamp();
    virtual ~CPdfStamp();
    CPdfStamp(const CPdfStamp&) = delete;
    CPdfStamp& operator=(const CPdfStamp&) = delete;

    // --- command line (app/) ---
    // Fills the settings from the arguments (args[0] is the program name); throws CPdfException.
    int parseOptions(const std::vector<std::string>& args);
    // Parses the options and stamps one input/output pair, or one pass per text line.
    void runPair(const std::vector<std::string>& args);

    // --- the pass ---
    // One pass: the output written and in place, then (unless intermediatePass is set) the
    // rename, the -export counter and the source's removal.
    void stampDocument();
    // The steps after the last pass of a run whose passes were intermediate: the rename, the
    // counter and the source's removal, for inputName and outputName. Throws as a pass does.
    void finishRun();
    // The checks and preparations due before the output is put in place: a -rename target that
    // denotes the input file is refused (after printing why), and the -export counter is written
    // to a temporary file that finishRun moves under its name. Throws as a pass does.
    void prepareFinalSteps();
    // Ends the run with status 1 without an exception (a list goes on): the cause is shown on
    // standard error.
    void failSoftly(const std::string& cause);
    // Throws (after printing why) when the output name denotes the input file, which writing
    // would destroy while it is read.
    void refuseOutputOverInput() const;
    // Whether the page at a 1-based position is stamped, and the number it shows.
    bool isPageSelected(int32_t position) const;
    int32_t pageNumberFor(int32_t position) const;

    // --- page walk and placement ---
    void walkPageTree(std::string_view nodeText, const PageBox& inherited, int depth = 0,
                      int32_t inheritedResourcesFrom = 0);
    // The page's /CropBox, else its /MediaBox (read from its own object when it is a
    // reference), else the fallback; -pagesize replaces them all.
    PageBox readBox(std::string_view text, const PageBox& fallback);
    void computeTextPlacement(size_t pageIndex);

    // --- fonts ---
    void loadFontSizes();
    int32_t sizeForPageWidth(int32_t width) const;
    std::string writeFontDescriptor(const std::string& fontName) const;
    std::string writeFontObject(const std::string& fontName) const;
    // -embedfont: the face read and the rows of its objects kept at the pass's start; the
    // objects written after the pages, once the pass's glyphs are known
    // (stamp/CPdfStampEmbeddedFont.cpp).
    void reserveEmbeddedFontObjects();
    void writeEmbeddedFontObjects();

    // --- text ---
    void composeText(int32_t number);

    // --- page content and resources ---
    std::string buildSaveStream() const;
    std::string buildColorOperator() const;
    // The stamp stream object of the page; valid until the next call.
    const std::string& buildStampStream(size_t pageIndex);
    std::string buildGraphicsState(float opacity) const;
    void patchPage(std::string& pageText, int32_t pageObjectNumber, size_t pageIndex);

    // --- output writer ---
    bool getObjectText(int32_t number, std::string& out);
    void copyHeader();
    void writeNumber(int64_t value);
    void addOutputObject(std::string_view text);
    bool setOutputEntry(int64_t number, uint32_t generation, uint64_t offset, bool inUse);
    void writeXRefTable();
    // Copies input bytes (offsets from the header) to the output, block by block.
    void copyInputRange(uint64_t start, uint64_t length);
    void writeTrailer(uint64_t xrefOffset);

    // --- incremental update (stamp/CPdfStampUpdate.cpp, stamp/CPdfStampSignatures.cpp) ---
    // Sets signedInput when the document carries a signature; refuses a document whose
    // certification allows no changes. A form that cannot be read counts as no signature.
    void checkSignatures();
    // The line shown (unless quiet) when a signed input is stamped as an update.
    void printSignedInputNotice() const;

    // ---------------------------------------------------------------- pass state
    CPdfInputFile* inputFile = nullptr; // the document's input, while a pass has it open
    std::unique_ptr<COutputFile> outputFile;
    std::string inputName;
    std::string outputName;
    const std::vector<XRefEntry>* inputEntries = nullptr;
    CPdfDocument document;
    CPdfXRef* xref = nullptr;
    int32_t infoObject = 0;
    int32_t rootObject = 0;
    int32_t pagesFound = 0;
    uint32_t pageCount = 0;
    std::string currentText;
    float textX = 0.0f;
    float textY = 0.0f;
    float textAngle = 0.0f;
    std::vector<OutputXRefEntry> outputTable;
    std::vector<PageEntry> pageList;
    std::string graphicsStateName;
    std::string fontResourceName;
    int32_t fontObjectNumber = 0;
    int32_t graphicsStateObjectNumber = 0;
    // The first failure of the last failed pass, shown beside "Stamp file issue".
    std::string failureCause;
    // The input of the last pass carries a signature, so it was stamped as an update.
    bool signedInput = false;

    // ---------------------------------------------------------------- settings
    int32_t startPage = 1;
    int32_t endPage = 99999;
    int32_t startNumber = 1;
    int32_t endNumber = 99999;
    int32_t maskWidth = 0;
    int32_t nth = 0;
    int32_t currentSize = 11;
    int32_t angle = 0;
    int32_t baseSize = 11;
    bool sequential = false;
    bool reverse = false;
    bool twoUp = false;
    bool abTwoUp = false;
    bool numberOnly = false;
    bool lowerRoman = false;
    bool upperRoman = false;
    bool noPageNumbers = false;
    bool forcePortrait = true;
    bool flipVertical = false;
    bool flipHorizontal = false;
    bool quiet = false;
    // The output is the input's bytes as they are with the stamp appended as an update.
    bool incremental = false;
    bool removeSource = false;
    std::string exportFile;
    std::string importFile;
    std::string prefixText = "Page ";
    std::string separatorText = " / ";
    std::string endText;
    std::string fontName = "Arial";
    // -embedfont: a font file ("file" or "file.ttc,N") whose subset draws the text as UTF-8.
    std::string embedFontFile;
    std::string alignment = "left";
    uint32_t rgbColor = 0;
    uint32_t cmykColor = 0;
    std::string renamePattern;
    std::string fontMetricsFile;
    std::string fontSizesFile;
    SizeTable sizeTable;
    int32_t opacity = 100;
    int32_t lineSpacing = 0;
    std::string textLinesFile;
    std::string listDelimiter;
    std::string listSeparator;
    std::string listColumns;
    std::string pageSizeText;
    int32_t positionX = 20;
    int32_t positionY = 10;
    // With a centred vertical position: points above the centre where the text goes (the lines
    // of a text-lines file are centred as one block).
    float centredLineOffset = 0.0f;

    // Set when the run goes on after a printed failure (a sizes file or file dates that cannot
    // be read) or a pass ended with its output written but a later step failed (a rename): the
    // run did not do all that was asked, so the process ends with status 1.
    bool softFailure = false;
    // Set for the passes of a text-lines run: their outputs are intermediate files, and the
    // steps after the output is in place wait for the last pass.
    bool intermediatePass = false;

    // Where one input object's bytes lie in the input (offsets from the header).
    struct ObjectExtent {
        uint64_t start = 0;
        uint64_t length = 0;
        bool isStream = false;
        bool isObjectStream = false;
    };
    // The extent of a type 1 object: from its offset to one byte past the "endobj" that ends
    // it (for a stream with a usable /Length, the "endobj" after its data).
    bool findObjectExtent(int32_t number, ObjectExtent& out);

  private:
    // Helpers of the pass (stamp/CPdfStampPass.cpp).
    void runPass();
    void openFiles();
    void readPageTree();
    void writeStampObjects();
    void importStartNumber();
    void copyObjects();
    void copyObject(int32_t number, const ObjectExtent& extent);
    void stampPage(int32_t number, size_t pageIndex);
    void prepareRunEnd();
    void prepareCounter();
    void placeCounter();
    void refuseRenameOverInput() const;
    void runFinalSteps();
    void removeSourceFile();
    // Runs a step; a failure closes the pass and is thrown as "Stamp file issue" with its cause.
    void runGuarded(void (CPdfStamp::*step)());
    std::string renameTarget() const;
    std::string counterTemp_; // the next counter, written beside the counter file
    void finishOutput();
    void closeAfterFailure();
    // Renames the output by the -rename pattern; result is its new name. False, with the
    // output left under its name, when the rename failed.
    bool renameOutput(std::string& result);
    std::string makeResourceName(const char* prefix) const;
    // Whether the object's row leads to its own bytes (its extent in out), or it is a member
    // of an object stream: what can be copied or stamped. Objects elsewhere are left out.
    bool locateObject(int32_t number, ObjectExtent& out);
    // Counts a page met while the objects are gone through, and shows the progress dots.
    void countPageProgress();

    // The update instead of the rewrite (stamp/CPdfStampUpdate.cpp): the whole input copied
    // first, the stamped pages after it, and a cross-reference section for just those.
    void copyWholeInput();
    void stampPagesForUpdate();
    void writeUpdateSection();
    void writeUpdateTable();
    void writeUpdateStream();
    // The update's trailer entries, one a line: /Size (at least size), /Root, /Info and /ID
    // as the input's last trailer has them, and /Prev.
    std::string updateTrailerEntries(uint64_t size) const;
    // The rows of the output written in this pass, as runs of consecutive object numbers:
    // first number and count.
    std::vector<std::pair<size_t, size_t>> updatedRuns() const;
    bool writesUpdate_ = false; // this pass appends an update

    void visitKid(int64_t kidNumber, const PageBox& nodeBox, int depth, int32_t resourcesFrom);
    // Marks the pages of the page list and sorts them by object number, after the walk.
    void indexPages();

    // Object framing (stamp/CPdfStampObjectText.cpp). Stamping a page frames the page and its
    // content stream several times, so the last few frames of the pass are kept.
    bool frameObject(int32_t number, uint64_t start, ObjectExtent& out);
    // An indirect /Length read from its bytes when it is written plainly ("N G obj 1234
    // endobj"); false otherwise, and the reader has to fetch it.
    bool readPlainLength(int32_t number, int64_t generation, int64_t& value);
    void clearExtentCache();
    struct CachedExtent {
        int32_t number = -1;
        bool found = false;
        ObjectExtent extent;
    };
    std::array<CachedExtent, 4> extentCache_{};
    size_t extentCacheNext_ = 0;
    // The frame of each page object, taken while the page tree is walked: a page is framed
    // again when it is copied or stamped, long after the small cache has lost it.
    std::vector<CachedExtent> pageFrames_;

    // Page rewrite helpers (stamp/CPdfStampPatch.cpp).
    // The edits made to the page are logged, so that an entry found before them can be
    // carried over.
    void patchContents(std::string& page, size_t dict,
                       const std::optional<pdfsyntax::DictEntry>& contents, int64_t save,
                       int64_t stamp, pdfsyntax::EditLog& edits);
    // The contents value replaced by an array of the two stamp streams alone (contents that
    // draw nothing).
    void replaceContents(std::string& page, const pdfsyntax::DictEntry& contents, int64_t save,
                         int64_t stamp, pdfsyntax::EditLog& edits);
    bool isContentsOfUnstampedPage(int32_t number);
    void patchResources(std::string& page, size_t dict,
                        const std::optional<pdfsyntax::DictEntry>& resources, size_t pageIndex);
    void addStampResources(std::string& buffer, size_t dictStart);
    std::string inheritedResources(size_t pageIndex);
    void writeRewrittenObject(int64_t number, std::string_view text);
    uint32_t outputGeneration(int64_t number) const;

    // The objects that pages left unstamped in this pass name as their /Contents, once a
    // shared contents array makes them needed.
    bool unstampedContentsKnown_ = false;
    std::vector<int32_t> unstampedContents_;
    int32_t nodeRotate_ = 0; // the /Rotate the walk's current node hands down
    // Index + 1 of the page object `number` in the page list (its first place there), or 0
    // when it is no page. Lookups in rising number order take constant time.
    int32_t pageIndexOf(size_t number);

    std::vector<bool> rewritten_; // objects that a page rewrite has written in this pass
    // Memory in proportion to the rows is one bit a row here; what belongs to pages is sized
    // by the pages the walk finds.
    std::vector<bool> isPage_; // per row: the object is in the page list
    std::vector<std::pair<uint32_t, int32_t>> pagesByNumber_; // page number, index + 1; sorted
    size_t pageCursor_ = 0;                    // the place in pagesByNumber_ last found
    std::unordered_set<int32_t> visitedNodes_; // page-tree nodes already walked in this pass
    int32_t highestShown_ = 0;
    int32_t progressCounter_ = 0;

    // Buffers kept from page to page, so that stamping a page allocates nothing once they have
    // grown: the page's text, a page met in the walk, the drawn text before escaping, the
    // save stream object and the stamp stream's content and object.
    std::string pageText_;
    std::string kidText_;
    std::string composed_;
    std::vector<size_t> composedPieces_; // with -embedfont: where each piece of it ends
    std::string saveStream_;
    std::string stampContent_;
    std::string stampObject_;

    // -embedfont: the font of the job, the page's text as glyphs and its width in thousandths.
    void layOutEmbeddedText();
    std::unique_ptr<EmbeddedFont> embeddedFont_;
    std::string glyphArray_;
    float glyphArrayWidth_ = 0.0f;
};
