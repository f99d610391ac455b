#pragma once

#include "pdf/CPdfDocument.h"
#include "pdf/CPdfObjectFraming.h"
#include "pdf/CPdfXRef.h"
#include "pdf/PdfSyntax.h"
#include "stamp/pass/PassResult.h"
#include "stamp/pass/Reporter.h"
#include "stamp/pass/StampDefinition.h"
#include "stamp/write/COutputWriter.h"

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

class CPdfSecurityHandler;
class CPdfInputFile;
struct PlacementResult;
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

// One stamp job: the settings of a run and the definition of its stamp, each with its default,
// and the state of the pass under way. The front end fills the settings; the pass reads them.
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
    // Parses the options and stamps one input/output pair, or one pass per text line. Returns
    // what was done; its output is empty when nothing was put in place (a failure after which
    // the run goes on).
    PassResult runPair(const std::vector<std::string>& args);

    // --- the pass ---
    // One pass: the output written and in place, then (unless intermediatePass is set) the
    // rename, the -export counter and the source's removal. Returns what the pass did.
    PassResult stampDocument();
    // The steps after the last pass of a run whose passes were intermediate: the rename, the
    // counter and the source's removal, for inputName and outputName. Throws as a pass does.
    // Returns the output's name after them (renamed, when it was).
    std::string finishRun();
    // The checks and preparations due before the output is put in place: a -rename target that
    // denotes the input file is refused (after printing why), and the -export counter is written
    // to a temporary file that finishRun moves under its name. Throws as a pass does.
    void prepareFinalSteps();
    // Ends the run with status 1 without an exception (a list goes on): the cause goes to the
    // reporter as a warning.
    void failSoftly(const std::string& cause);
    // Throws (after reporting why) when the output name denotes the input file, which writing
    // would destroy while it is read.
    void refuseOutputOverInput() const;
    // Where the job's notes, progress and warnings go; none are kept unless a reporter is set.
    void setReporter(Reporter& reporter) { reporter_ = &reporter; }
    Reporter& reporter() const { return *reporter_; }

    // --- page walk and placement ---
    void walkPageTree(std::string_view nodeText, const PageBox& inherited, int depth = 0,
                      int32_t inheritedResourcesFrom = 0);
    // The page's /CropBox, else its /MediaBox (read from its own object when it is a
    // reference), else the fallback; -pagesize replaces them all.
    PageBox readBox(std::string_view text, const PageBox& fallback);
    // Where the text goes on the page of the page list, and at what angle (degrees).
    PlacementResult computeTextPlacement(size_t pageIndex);

    // --- fonts ---
    // The rows of the font sizes file (stamp.fontSizesFile); none when it cannot be read.
    SizeTable loadFontSizes();
    int32_t sizeForPageWidth(int32_t width) const;
    std::string writeFontDescriptor(const std::string& fontName) const;
    std::string writeFontObject(const std::string& fontName) const;
    // -embedfont: the face read and the rows of its objects kept at the pass's start; the
    // objects written after the pages, once the pass's glyphs are known
    // (stamp/fonts/CPdfStampEmbeddedFont.cpp).
    void reserveEmbeddedFontObjects();
    void writeEmbeddedFontObjects();

    // --- text ---
    void composeText(int32_t number);

    // --- page content and resources ---
    std::string buildSaveStream() const;
    std::string buildColorOperator() const;
    // The stamp stream object of the page; valid until the next call.
    const std::string& buildStampStream(size_t pageIndex);
    // The font's descent and ascent in thousandths of the font size, for the box behind the text.
    void stampFontExtent(float& descent, float& ascent) const;
    // Whether the catalog has /MarkInfo with /Marked true, directly or through references: the
    // document is tagged. A catalog or entry that cannot be read counts as untagged.
    bool isMarkedCatalog();
    std::string buildGraphicsState(float opacity) const;
    void patchPage(std::string& pageText, int32_t pageObjectNumber, size_t pageIndex);

    // --- copying input to the output ---
    bool getObjectText(int32_t number, std::string& out) {
        return objects_.getObjectText(number, out);
    }
    bool findObjectExtent(int32_t number, ObjectExtent& out) {
        return objects_.findObjectExtent(number, out);
    }
    void copyHeader();
    // Copies input bytes (offsets from the header) to the output, block by block.
    void copyInputRange(uint64_t start, uint64_t length);

    // --- incremental update (stamp/write/CPdfStampUpdate.cpp, stamp/pass/CPdfStampSignatures.cpp)
    // --- Sets signedInput when the document carries a signature; refuses a document whose
    // certification allows no changes. A form that cannot be read counts as no signature.
    void checkSignatures();
    // The note (unless quiet) that a signed input is stamped as an update.
    void reportSignedInput() const;
    // The warning for an input whose cross-reference data had to be rebuilt.
    void reportRepairWarning() const;

    // ---------------------------------------------------------------- pass state
    CPdfInputFile* inputFile = nullptr; // the document's input, while a pass has it open
    // The output: its file, its cross-reference rows and the table or update that ends it.
    COutputWriter output;
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
    std::vector<PageEntry> pageList;
    std::string graphicsStateName;
    std::string fontResourceName;
    int32_t fontObjectNumber = 0;
    int32_t graphicsStateObjectNumber = 0;
    // The first failure of the last failed pass, shown beside "Stamp file issue".
    std::string failureCause;
    // The input of the last pass carries a signature, so it was stamped as an update.
    bool signedInput = false;
    // The input of the last pass had its cross-reference data rebuilt, so it was rewritten.
    bool repairedInput = false;
    // The input of the pass is protected: its handler decrypts the input's object text, and the
    // writer encrypts what the update adds (nullptr for an unprotected input).
    const CPdfSecurityHandler* security = nullptr;

    // The text's size on the page under way: the sizes table's choice for its width.
    int32_t currentSize = 11;
    // The number the first stamped page counts from: -ns, or the -import counter.
    int32_t firstNumber = 1;

    // ---------------------------------------------------------------- run settings
    bool quiet = false;
    // The output is the input's bytes as they are with the stamp appended as an update.
    bool incremental = false;
    // -password: tried on a protected input as its owner's or its user's password.
    std::string password;
    // -ignorepermissions: a protected input whose permissions allow no changes is stamped.
    bool ignorePermissions = false;
    bool removeSource = false;
    std::string exportFile;
    std::string importFile;
    std::string renamePattern;
    std::string textLinesFile;
    int32_t lineSpacing = 0;

    // ---------------------------------------------------------------- the stamp
    StampDefinition stamp;

    // Set when the run goes on after a printed failure (a sizes file or file dates that cannot
    // be read) or a pass ended with its output written but a later step failed (a rename): the
    // run did not do all that was asked, so the process ends with status 1.
    bool softFailure = false;
    // Set for the passes of a text-lines run: their outputs are intermediate files, and the
    // steps after the output is in place wait for the last pass.
    bool intermediatePass = false;

  private:
    static Reporter silent_;
    Reporter* reporter_ = &silent_;

    // Helpers of the pass (stamp/pass/CPdfStampPass.cpp).
    void runPass();
    void openFiles();
    void readPageTree();
    void writeStampObjects();
    // The number the -import counter file holds.
    int32_t importStartNumber() const;
    void copyObjects();
    void copyObject(int32_t number, const ObjectExtent& extent);
    void stampPage(int32_t number, size_t pageIndex);
    // Counts a stamped page in the pass's result, with the number and text just composed.
    void noteStampedPage(size_t pageIndex, int32_t shown);
    // Refuses the file when writing object number left the output where it was at start.
    void requireObjectWritten(size_t number, uint64_t start) const;
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
    // Counts a page met while the objects are gone through, and shows the progress dots.
    void countPageProgress();

    // The update instead of the rewrite (stamp/write/CPdfStampUpdate.cpp): the whole input copied
    // first, the stamped pages after it, and a cross-reference section for just those.
    void copyWholeInput();
    void stampPagesForUpdate();
    bool writesUpdate_ = false; // this pass appends an update

    void visitKid(int64_t kidNumber, const PageBox& nodeBox, int depth, int32_t resourcesFrom);
    // Marks the pages of the page list and sorts them by object number, after the walk.
    void indexPages();

    // The input's objects as their bytes stand: frames, texts, rows that lead to their object.
    CPdfObjectFraming objects_;

    // Page rewrite helpers (stamp/write/CPdfStampPatch.cpp).
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
    // The object that the reference in entry names, edited by edit(objectText, dictStart) at
    // its dictionary and written again; left alone when it cannot be read, has been rewritten
    // in this pass already, or holds no dictionary.
    template <class Edit>
    void rewriteReferencedDictionary(std::string_view text, const pdfsyntax::DictEntry& entry,
                                     Edit edit);
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
    PassResult result_;       // what the pass under way did so far
    size_t firstStamped_ = 0; // page index of result_.firstText, and of its lastText
    size_t lastStamped_ = 0;
    int32_t progressCounter_ = 0;

    // Buffers kept from page to page, so that stamping a page allocates nothing once they have
    // grown: the page's text, a page met in the walk, the drawn text before escaping, the
    // save stream object and the stamp stream's content and object.
    std::string pageText_;
    std::string kidText_;
    std::string composed_;
    std::vector<size_t> composedPieces_; // with -embedfont: where each piece of it ends
    std::string saveStream_;      // with -under: the restore stream after the page's contents
    bool markedDocument_ = false; // the pass's document is tagged: the stamp is an artifact
    std::string stampContent_;
    std::string stampObject_;

    // -embedfont: the font of the job, the page's text as glyphs and its width in thousandths.
    void layOutEmbeddedText();
    std::unique_ptr<EmbeddedFont> embeddedFont_;
    std::string glyphArray_;
    float glyphArrayWidth_ = 0.0f;
};
