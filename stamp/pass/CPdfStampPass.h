#pragma once

#include "pdf/CPdfDictionaryShape.h"
#include "pdf/CPdfDocument.h"
#include "pdf/CPdfEditLog.h"
#include "pdf/CPdfObjectFraming.h"
#include "pdf/CPdfXRef.h"
#include "pdf/PdfSyntax.h"
#include "stamp/layout/CStampDrawing.h"
#include "stamp/layout/Placement.h"
#include "stamp/pass/CPageList.h"
#include "stamp/pass/CReporter.h"
#include "stamp/pass/CopyState.h"
#include "stamp/pass/DrawnStamp.h"
#include "stamp/pass/InputFacts.h"
#include "stamp/pass/PageBuffers.h"
#include "stamp/pass/PassNumbers.h"
#include "stamp/pass/PassResult.h"
#include "stamp/pass/PassTally.h"
#include "stamp/pass/RunSettings.h"
#include "stamp/pass/StampDefinition.h"
#include "stamp/picture/COverlayPage.h"
#include "stamp/picture/CPictureDrawing.h"
#include "stamp/picture/PictureImage.h"
#include "stamp/picture/PicturePlacement.h"
#include "stamp/text/CTextComposer.h"
#include "stamp/text/ComposeText.h"
#include "stamp/write/COutputWriter.h"
#include "stamp/write/CPlainStreamHead.h"
#include "stamp/write/ReferenceScan.h"

#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

class CPdfSecurityHandler;
class CPdfInputFile;
class CEmbeddedFont;

// One stamping pass over one input: it opens the input, writes the output with the stamp on the
// selected pages, and puts the output in place. Built from the settings of the run and the
// stamps, which it only reads; everything it finds and writes on the way is its own. The first
// stamp is the numbered series: the counter, the numbers and the texts of the result follow it.
class CPdfStampPass {
  public:
    // font, when given, is the run's -embedfont font, kept from pass to pass (its face is read
    // once, and a character it cannot draw is named once in the run); without one the pass
    // makes its own. moreStamps are drawn in the same pass after the first, each on its own
    // pages with its own numbering; at most one of all the stamps embeds a font. usedNames, when
    // given, holds the resource names the job's passes drew before, which this pass does not
    // draw again; without it the pass keeps its own.
    CPdfStampPass(const RunSettings& run, const StampDefinition& stamp, CReporter& reporter,
                  CEmbeddedFont* font = nullptr, std::span<const StampDefinition> moreStamps = {},
                  std::set<std::string>* usedNames = nullptr);
    ~CPdfStampPass();
    CPdfStampPass(const CPdfStampPass&) = delete;
    CPdfStampPass& operator=(const CPdfStampPass&) = delete;

    // Called once the output is written and before it is put in place, with the pass's numbers;
    // what it throws stops the pass with the output left out.
    using BeforePlacing = std::function<void(const PassNumbers&)>;

    // The pass from the input's opening to the output in place. Throws CPdfException; the
    // input is then closed and the output discarded.
    void stampDocument(const BeforePlacing& beforePlacing = nullptr);
    // The input opened and checked as the pass opens it (repair and decryption included) and
    // its page tree read, with no output made: result() then holds the page count and whether
    // it would be repaired or updated. Throws CPdfException as the pass would; the input is
    // closed either way.
    void readDocument();
    // What the pass did (so far, when it failed).
    const PassResult& result() const { return tally_.result; }
    const PassNumbers& numbers() const { return tally_.numbers; }
    // Closes the input and discards an output not yet in place.
    void close();

    // The note (unless quiet) that a signed input is stamped as an update.
    static void reportSignedInput(const RunSettings& run, CReporter& reporter);
    // Throws (after reporting why) when the output name denotes the input file, which writing
    // would destroy while it is read.
    static void refuseOutputOverInput(const RunSettings& run, CReporter& reporter);

  private:
    const RunSettings& run_;
    const StampDefinition& stamp_;
    CReporter& reporter_;

    std::vector<DrawnStamp> stamps_;
    // The resource names drawn by the job's passes: the job's, or the pass's own.
    std::set<std::string> ownNames_;
    std::set<std::string>* usedNames_;
    // The stamp that embeds its font (-embedfont), or nullptr.
    DrawnStamp* embeddingStamp_ = nullptr;
    // Whether any stamp is drawn on the page at position (1-based).
    bool isAnyStampSelected(int32_t position) const;

    void openFiles();
    // Opens and loads the input (its notes only when verbose).
    void openInput(bool verbose);
    void checkInput();
    void createOutput(bool verbose);
    void reportRepairWarning() const;
    void readPageTree();
    void writeStampObjects();
    // -image and -overlay: every picture stamp's file read, before anything is written; its
    // objects written once, for every page to draw.
    void readPictures();
    void writePictureObjects(DrawnStamp& drawn);
    // The picture's drawing on the page at pageIndex, appended to out.
    void appendPictureContent(DrawnStamp& drawn, size_t pageIndex, std::string& out);
    // The number the -import counter file holds.
    int32_t importStartNumber() const;
    void copyObjects();
    void copyObject(int32_t number, const ObjectFrame& frame);
    void stampPage(int32_t number, size_t pageIndex);
    // Stamps the page whose text page_.pageText holds as object number.
    void stampPageText(int32_t number, size_t pageIndex);
    // The page-tree nodes whose /Kids the output writes anew (pages listed again or written in
    // /Kids, nodes met again), each with the pages of its own places.
    void writeEditedNodes();
    void writeEditedNode(const CPageList::NodeEdit& edit);
    // The text of an own place as object place.number, /Parent naming its node; nodeText is
    // the text of that node, kids its /Kids.
    std::string ownPlaceText(const CPageList::OwnPlace& place, std::string_view nodeText,
                             const std::vector<PageTreeKid>& kids);
    // Composes the text of the stamp on the page at pageIndex and appends its drawing to out.
    void appendStampDrawing(DrawnStamp& stamp, size_t pageIndex, std::string& out);
    // Counts a page of the first stamp in the pass's result, with the number and text just
    // composed.
    void noteStampedPage(size_t pageIndex, int32_t shown);
    // Refuses the file when writing object number left the output where it was at start.
    void requireObjectWritten(size_t number, uint64_t start) const;
    void finishOutput();

    // --- warnings on a stamp drawn, but not as asked
    // Names the characters of the text just composed that the built-in font cannot draw, each
    // once in the pass.
    void reportUndrawableCharacters(const StampDefinition& stamp);
    // Notes the page when the text just composed is longer than the page has room for at the
    // stamp's angle; reportStampLength names the first such page, once for the document.
    void noteStampLength(DrawnStamp& drawn, size_t pageIndex, const PageBox& box, int32_t rotate,
                         int32_t fontSize);
    void reportStampLength();
    // "PDF/A-1B" and the like, from the XMP metadata of the catalog; empty when it claims none.
    std::string pdfaClaim();
    // A PDF/A input that the stamp takes out of conformance: a font not embedded, or
    // transparency on PDF/A-1.
    void reportPdfaConformance();
    std::string makeResourceName(const char* prefix) const;
    // Counts a page met while the objects are gone through, and shows the progress dots.
    void countPageProgress();
    bool getObjectText(int32_t number, std::string& out) {
        return objects_.getObjectText(number, out);
    }
    // An object's text to be written to the output: its references past the input's rows as
    // "null" (see nullReferencesPast), every other byte in its place.
    bool getCopiedText(int32_t number, std::string& out) {
        if (!objects_.getObjectText(number, out)) {
            return false;
        }
        noteReferencePast(number, nullReferencesPast(out, inputEntries_->size()));
        return true;
    }
    // Warns, once a pass, that object number names named (unless 0), which is not in the file.
    void noteReferencePast(int64_t number, uint64_t named);
    bool findObjectFrame(int32_t number, ObjectFrame& out) {
        return objects_.findObjectFrame(number, out);
    }

    // The update instead of the rewrite: the whole input copied first, the stamped pages after
    // it, and a cross-reference section for just those.
    void stampPagesForUpdate();

    // --- the stamp on a page
    // The drawing of the stamp being drawn on the page, for the text just composed, appended to
    // out.
    void appendDrawnStamp(DrawnStamp& drawn, size_t pageIndex, std::string& out);
    // The font's descent and ascent in thousandths of the font size, for the box behind the text.
    void stampFontExtent(const StampDefinition& stamp, float& descent, float& ascent) const;
    // Whether the catalog has /MarkInfo with /Marked true, directly or through references: the
    // document is tagged. A catalog or entry that cannot be read counts as untagged.
    bool isMarkedCatalog();
    // -embedfont: the face read and the rows of its objects kept at the pass's start; the
    // objects written after the pages, once the pass's glyphs are known.
    void reserveEmbeddedFontObjects();
    void writeEmbeddedFontObjects();
    // -embedfont: the page's text as glyphs and its width in thousandths.
    void layOutEmbeddedText();

    // --- page rewrite (stamp/pass/CPdfStampPassPatch.cpp)
    // A page's dictionary is read for its contents and resources, and the resources written in
    // it for their fonts and graphics states; the shape of the pages read last is kept.
    static constexpr std::string_view kPageKeys[] = {"Contents", "Resources"};
    static constexpr std::string_view kPageResourceKeys[] = {"Font", "ExtGState", "XObject"};
    CPdfDictionaryShape pageShape_{kPageKeys, 1, kPageResourceKeys};
    void patchPage(std::string& pageText, int32_t pageObjectNumber, size_t pageIndex);
    // The edits made to the page are logged, so that an entry found before them can be
    // carried over.
    void patchContents(std::string& page, size_t dict,
                       const std::optional<pdf_syntax::DictEntry>& contents, int64_t save,
                       int64_t stamp, CPdfEditLog& edits);
    // Contents that are a reference to object number: a stream is wrapped in an array with the
    // two stamp streams, an array object gets them at its ends, a reference to nothing is
    // replaced.
    void patchReferencedContents(std::string& page, const pdf_syntax::DictEntry& contents,
                                 int64_t number, int64_t save, int64_t stamp, CPdfEditLog& edits);
    // Whether object number is a stream, judged from the bytes at its row's offset alone: its
    // own header, a dictionary of plain entries (no strings, comments or nested dictionaries)
    // and the keyword "stream" right after it, and an "endobj" in the file after its start.
    // Such an object is framed as a stream; false leaves every other form to the framing.
    bool isPlainStreamObject(int64_t number);
    CPlainStreamHead streamHead_; // the shape of the contents' heads read last
    // Where the file's last "endobj" starts (-1 when it holds none), found once a pass.
    int64_t lastEndobjStart();
    // The contents array object number (its text in target, its array at body) with the two
    // stamp streams at its ends: written again, or given to the page as its own array when it
    // is shared.
    void patchContentsArray(std::string& page, const pdf_syntax::DictEntry& contents,
                            int64_t number, std::string& target, size_t body, int64_t save,
                            int64_t stamp, CPdfEditLog& edits);
    // The contents value replaced by an array of the two stamp streams alone (contents that
    // draw nothing).
    // The warning that a page's contents name an object that draws nothing (what it is).
    void reportMissingContents(int64_t number, std::string_view what) const;
    void replaceContents(std::string& page, const pdf_syntax::DictEntry& contents, int64_t save,
                         int64_t stamp, CPdfEditLog& edits);
    bool isContentsOfUnstampedPage(int32_t number);
    // resourceEntries: where not null, the /Font and /ExtGState entries of a resource
    // dictionary written in the page, found already.
    void patchResources(std::string& page, size_t dict,
                        const std::optional<pdf_syntax::DictEntry>& resources, size_t pageIndex,
                        const std::optional<pdf_syntax::DictEntry>* resourceEntries = nullptr);
    // Every stamp's font and graphics state into the resource dictionary at dictStart; known,
    // where not null, holds its /Font and /ExtGState entries as they stand in buffer.
    void addStampResources(std::string& buffer, size_t dictStart,
                           const std::optional<pdf_syntax::DictEntry>* known = nullptr);
    // The texts addStampResources inserts, the same on every page of the pass: made once the
    // stamps' resource objects are numbered.
    void makeStampResourceTexts();
    // The object that the reference in entry names, edited by edit(objectText, dictStart) at
    // its dictionary and written again; left alone when it cannot be read, has been rewritten
    // in this pass already, or holds no dictionary.
    template <class Edit>
    void rewriteReferencedDictionary(std::string_view text, const pdf_syntax::DictEntry& entry,
                                     Edit edit);
    std::string inheritedResources(size_t pageIndex);
    void writeRewrittenObject(int64_t number, std::string_view text);
    uint32_t outputGeneration(int64_t number) const;

    // ---------------------------------------------------------------- the input
    CPdfDocument document_;
    CPdfInputFile* inputFile_ = nullptr; // the document's input, while the pass has it open
    CPdfXRef* xref_ = nullptr;
    const std::vector<XRefEntry>* inputEntries_ = nullptr;
    // The input is protected: its handler decrypts the input's object text, and the writer
    // encrypts what the update adds (nullptr for an unprotected input).
    const CPdfSecurityHandler* security_ = nullptr;
    // The input's objects as their bytes stand: frames, texts, rows that lead to their object.
    CPdfObjectFraming objects_;
    InputFacts facts_;

    // ---------------------------------------------------------------- the output
    // Its file, its cross-reference rows and the table or update that ends it.
    COutputWriter output_;

    // ---------------------------------------------------------------- the pages
    // The pages with their own boxes: each stamp's -pagesize replaces them where it draws.
    CPageList pages_{objects_};
    uint32_t pageCount_ = 0;
    CopyState copy_;

    // ---------------------------------------------------------------- what the pass did
    PassTally tally_;

    // ---------------------------------------------------------------- the page being stamped
    PageBuffers page_;
    // Per resource kind (fonts, graphics states, images): the stamps' keys as more keys of a
    // dictionary (" /F1 12 0 R ") and as a whole entry ("/Font << /F1 12 0 R >>"); both empty
    // for a kind that no stamp adds to.
    struct ResourceTexts {
        std::string keys[std::size(kPageResourceKeys)];
        std::string entry[std::size(kPageResourceKeys)];
    } resourceTexts_;

    // -embedfont: the font of the run (or of the pass alone, which the pass then owns).
    CEmbeddedFont* embeddedFont_ = nullptr;
    std::unique_ptr<CEmbeddedFont> ownFont_;
};
