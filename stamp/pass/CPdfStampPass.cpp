#include "stamp/pass/CPdfStampPass.h"

#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfInputFile.h"
#include "pdf/CPdfSecurityHandler.h"
#include "pdf/Limits.h"
#include "pdf/PdfSyntax.h"
#include "platform/Platform.h"
#include "stamp/files/CounterFile.h"
#include "stamp/fonts/CEmbeddedFont.h"
#include "stamp/fonts/FontTable.h"
#include "stamp/layout/StampContent.h"
#include "stamp/pass/SignatureCheck.h"
#include "stamp/text/PageNumbering.h"
#include "stamp/text/TextEncoding.h"
#include "stamp/write/COutputFile.h"
#include "stamp/write/CPseudoRandom.h"
#include "stamp/write/InputCopy.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

CPdfStampPass::CPdfStampPass(const RunSettings& run, const StampDefinition& stamp,
                             CReporter& reporter, CEmbeddedFont* font,
                             std::span<const StampDefinition> moreStamps,
                             std::set<std::string>* usedNames)
    : run_(run), stamp_(stamp), reporter_(reporter),
      usedNames_(usedNames != nullptr ? usedNames : &ownNames_), embeddedFont_(font) {
    stamps_.reserve(1 + moreStamps.size());
    stamps_.emplace_back().definition = &stamp;
    for (const StampDefinition& more : moreStamps) {
        stamps_.emplace_back().definition = &more;
    }
    for (DrawnStamp& drawn : stamps_) {
        if (!drawn.definition->pageSizeText.empty()) {
            drawn.fixedBox = true;
            drawn.box = readPageSize(drawn.definition->pageSizeText);
        }
        if (embeddingStamp_ == nullptr && !drawn.definition->embedFontFile.empty()) {
            embeddingStamp_ = &drawn;
        }
        auto plain = [](std::string_view text) {
            return std::none_of(text.begin(), text.end(), [](char c) {
                const auto byte = static_cast<unsigned char>(c);
                return byte == 0 || byte >= 0x80 || c == '(' || c == ')' || c == '\\';
            });
        };
        drawn.plainText = plain(drawn.definition->prefixText) &&
                          plain(drawn.definition->separatorText) &&
                          plain(drawn.definition->endText);
        drawn.overlay = !drawn.definition->overlayFile.empty();
        drawn.picture = drawn.overlay || !drawn.definition->imageFile.empty();
    }
}

// A pass that did not get to its end leaves no output behind.
CPdfStampPass::~CPdfStampPass() {
    close();
}

void CPdfStampPass::stampDocument(const BeforePlacing& beforePlacing) {
    readPictures();
    openFiles();
    if (facts_.writesUpdate) {
        copyWholeInput(*inputFile_, output_);
    } else {
        copyHeader(*inputFile_, *inputEntries_, output_);
    }
    readPageTree();
    // One fonts file serves the run: the first stamp's that names one.
    const std::string* metricsFile = &stamp_.fontMetricsFile;
    for (const DrawnStamp& drawn : stamps_) {
        if (!drawn.definition->fontMetricsFile.empty()) {
            metricsFile = &drawn.definition->fontMetricsFile;
            break;
        }
    }
    if (buildFontTable(*metricsFile)) {
        reporter_.note("\nUsing fonts file: '" + *metricsFile + "'\n");
    }
    writeStampObjects();
    tally_.numbers.firstNumber = run_.importFile.empty() ? stamp_.startNumber : importStartNumber();
    if (facts_.writesUpdate) {
        stampPagesForUpdate();
    } else {
        copyObjects();
    }
    writeEmbeddedFontObjects();
    reportStampLength();
    reportPdfaConformance();
    if (beforePlacing) {
        beforePlacing(tally_.numbers);
    }
    finishOutput();
}

void CPdfStampPass::close() {
    if (inputFile_) {
        inputFile_->close();
    }
    if (output_.isOpen()) {
        output_.file().discard();
    }
    if (document_.isOpen()) {
        security_ = nullptr;
        document_.close();
    }
    inputFile_ = nullptr;
    xref_ = nullptr;
    inputEntries_ = nullptr;
}

void CPdfStampPass::refuseOutputOverInput(const RunSettings& run, CReporter& reporter) {
    if (run.inputName == run.outputName || platform::sameFile(run.inputName, run.outputName)) {
        reporter.note("\nOutput file is the input file: '" + run.outputName + "'\n");
        throw CPdfException("The output file is the input file");
    }
}

void CPdfStampPass::reportSignedInput(const RunSettings& run, CReporter& reporter) {
    if (!run.quiet) {
        reporter.note("Signed PDF file: the stamp is added as an incremental update, so that "
                      "the signature stays valid\n");
    }
}

void CPdfStampPass::reportRepairWarning() const {
    // "was damaged" stands in the line already; other messages name the part that was.
    const std::string& message = xref_->repairMessage();
    const std::string& cause = xref_->repairCause();
    const std::string what =
        message == "PDF file was damaged" || message == cause ? cause : message + ": " + cause;
    reporter_.warning(
        "Warning: '" + run_.inputNameShown() + "' was damaged (" + what +
        "); its objects were found by reading the whole file" +
        (run_.incremental ? "; it was written in full, not as an incremental update" : ""));
}

void CPdfStampPass::openFiles() {
    const bool verbose = run_.textLinesFile.empty() && !run_.quiet;
    refuseOutputOverInput(run_, reporter_);
    openInput(verbose);
    checkInput();
    createOutput(verbose);
}

void CPdfStampPass::readDocument() {
    openInput(false);
    checkInput();
    readPageTree();
    close();
}

void CPdfStampPass::openInput(bool verbose) {
    if (!document_.openFile(run_.inputName)) {
        reporter_.note("Input file open error: '" + run_.inputNameShown() + "'\n");
        throw CPdfException("Can't open the input file: " + document_.input().openError());
    }
    inputFile_ = &document_.input();
    if (inputFile_->size() == 0) {
        throw CPdfException("the file is empty");
    }
    if (verbose) {
        reporter_.note("Input file: '" + run_.inputNameShown() + "'");
    }
    document_.setPassword(run_.password);
    security_ = nullptr;
    document_.load();
    xref_ = document_.getXRef();
    inputEntries_ = &xref_->entries();
    objects_.attach(*inputFile_, *xref_);
    facts_.rootObject = xref_->root().number;
    facts_.infoObject = xref_->info().number;
    tally_.numbers.highestShown = 0;
    tally_.numbers.numberedPages = 0;
    tally_.progressCounter = 0;
    tally_.undrawableReported.clear();
    tally_.overflowPage = PassTally::kNoPage;
    tally_.result = PassResult{};
}

// What the input allows and how it is written: refused when its permissions or its
// certification allow no changes, or when it is damaged and signed or protected.
void CPdfStampPass::checkInput() {
    security_ = xref_->security();
    if (security_ != nullptr && !security_->ownerAccess() && !security_->permitsChanges() &&
        !run_.ignorePermissions) {
        throw CPdfException("PDF file does not permit changes (permissions of its encryption); "
                            "stamp it anyway with -ignorepermissions");
    }
    facts_.signedInput = checkSignatures(*xref_, facts_.rootObject);
    facts_.repairedInput = xref_->repaired();
    if (facts_.repairedInput && (facts_.signedInput || security_ != nullptr)) {
        // A rewrite would break the signature or drop the protection, and an update on a
        // broken table cannot be read safely.
        throw CPdfException("PDF file was damaged",
                            xref_->repairCause() +
                                (facts_.signedInput
                                     ? "; the file is signed, and repairing it would "
                                       "break its signature"
                                     : "; the file is protected, and its protection is "
                                       "kept only in an update, which a damaged file "
                                       "cannot take"));
    }
    // A repaired file is written in full: the rewrite's table is right by construction. A
    // protected input is stamped as an update, which keeps its protection as it is.
    facts_.writesUpdate =
        (run_.incremental || facts_.signedInput || security_ != nullptr) && !facts_.repairedInput;
    if (facts_.repairedInput) {
        reportRepairWarning();
    }
    tally_.result.update = facts_.writesUpdate;
    tally_.result.repaired = facts_.repairedInput;
    tally_.result.signedInput = facts_.signedInput;
}

void CPdfStampPass::createOutput(bool verbose) {
    if (!output_.create(run_.outputName)) {
        const std::string reason = platform::lastErrorText();
        reporter_.note("\nOutput file create error: '" + run_.outputName + "'\n");
        throw CPdfException("Can't create the output file: " + reason);
    }
    output_.setSecurity(security_);
    if (verbose) {
        reporter_.note(", output file: '" + run_.outputName + "'\n");
        if (facts_.signedInput) {
            reportSignedInput(run_, reporter_);
        }
        reporter_.note("Processing");
    }
}

void CPdfStampPass::readPageTree() {
    pages_.read(*xref_, facts_.rootObject);
    copy_.rewritten.assign(inputEntries_->size(), false);
    copy_.unstampedContentsKnown = false;
    copy_.referencePastNoted = false;
    copy_.lastEndobjKnown = false;
    pageCount_ = static_cast<uint32_t>(pages_.size());
    tally_.result.pages = pageCount_;
}

std::string CPdfStampPass::makeResourceName(const char* prefix) const {
    // Passes of a job that follow one another within a millisecond would draw the same number,
    // and a pass over an earlier pass's output would then add a second key of the same name.
    // The names are the job's own, so that a document's names do not depend on the documents
    // a process stamped before it.
    std::set<std::string>& used = *usedNames_;
    const platform::LocalTime now = platform::now();
    CPseudoRandom numbers(static_cast<uint32_t>(now.epochSeconds + now.millisecond));
    std::string name;
    do {
        // Appended, not added up: GCC 12 warns wrongly (-Wrestrict) of "prefix + number".
        name.clear();
        name.append(prefix);
        pdf_syntax::appendDecimal(name, static_cast<int64_t>(numbers.next()) + now.millisecond);
    } while (!used.insert(name).second);
    return name;
}

void CPdfStampPass::writeStampObjects() {
    // The input's rows, three objects for each stamp (a picture's image, mask and graphics
    // state) and two streams for each page: the table is allocated once, at its full size.
    // A page of another file adds the objects it needs.
    const size_t ownPlaces = pages_.ownPlaces().size();
    size_t overlayObjects = 0;
    for (const DrawnStamp& drawn : stamps_) {
        overlayObjects += drawn.overlayPage.objectCount();
    }
    const size_t added =
        3 * stamps_.size() + overlayObjects + ownPlaces + 2 * static_cast<size_t>(pageCount_);
    // A rewrite writes references to nothing as "null" wherever it copies them; an update
    // leaves the input as it is, so its objects take numbers no reference there names (the
    // objects of an embedded font, added later, are counted with a margin).
    constexpr size_t kLaterObjects = 16;
    const size_t rows = inputEntries_->size();
    const size_t first = facts_.writesUpdate
                             ? firstUnnamedNumbers(*inputFile_, rows, added + kLaterObjects,
                                                   static_cast<size_t>(limits::kMaxObjectCount))
                             : rows;
    output_.startRows(first, first + added);
    for (DrawnStamp& drawn : stamps_) {
        const StampDefinition& stamp = *drawn.definition;
        drawn.fontResourceName = makeResourceName("F");
        if (drawn.picture) {
            writePictureObjects(drawn);
        } else if (stamp.embedFontFile.empty()) {
            const size_t descriptor = output_.addOutputObject(writeFontDescriptor(stamp.fontName));
            drawn.fontObjectNumber = static_cast<int32_t>(output_.addOutputObject(
                writeFontObject(stamp.fontName, drawn.fontResourceName, descriptor)));
        } else if (&drawn == embeddingStamp_) {
            reserveEmbeddedFontObjects();
        } else {
            throw CPdfException("Only one stamp of a run can embed a font (-embedfont)");
        }
        drawn.graphicsStateName = makeResourceName("GS");
        drawn.graphicsStateObjectNumber = static_cast<int32_t>(
            output_.addOutputObject(formatGraphicsState(static_cast<float>(stamp.opacity))));
    }
    // The pages that get objects of their own are numbered before any is written, so that
    // their nodes can name them wherever the copy meets the nodes.
    if (ownPlaces > 0) {
        pages_.numberOwnPlaces(static_cast<uint32_t>(output_.reserveRows(ownPlaces)));
    }
    // A page without a stamp under its contents gets the same save stream in front of them, and
    // one without a stamp on top the same restore after them.
    page_.saveObject = formatStreamObject(fixedStreamText(false));
    page_.restoreObject = formatStreamObject(fixedStreamText(true));
    makeStampResourceTexts();
    facts_.markedDocument = isMarkedCatalog();
    for (DrawnStamp& drawn : stamps_) {
        StampStyle style = CStampDrawing::styleOf(*drawn.definition, drawn.graphicsStateName,
                                                  drawn.fontResourceName, facts_.markedDocument);
        style.pageWrap = false; // stampPage writes the restore and the save once per stream
        drawn.drawing.setStyle(style);
        drawn.pictureDrawing.setStyle(drawn.graphicsStateName, drawn.imageName,
                                      facts_.markedDocument);
        drawn.placedFrom.reset();
        drawn.room.known = false;
        drawn.composer = CTextComposer(*drawn.definition, pageCount_);
    }
}

bool CPdfStampPass::isAnyStampSelected(int32_t position) const {
    for (const DrawnStamp& drawn : stamps_) {
        if (isPageSelected(*drawn.definition, position)) {
            return true;
        }
    }
    return false;
}

int32_t CPdfStampPass::importStartNumber() const {
    // A counter that cannot be read ends the run: numbering from 0 would restart the series.
    int32_t number = 0;
    std::string cause;
    if (!counter_file::read(run_.importFile, number, cause)) {
        throw CPdfException("Import file error\n", cause);
    }
    return number;
}

void CPdfStampPass::countPageProgress() {
    tally_.progressCounter += 1;
    if (tally_.progressCounter > 10) {
        if (!run_.quiet) {
            reporter_.progress();
        }
        tally_.progressCounter = 0;
    }
    tally_.progressCounter += 1;
}

// A row leads to the object's own bytes. A member that cannot be taken out of its object stream
// has none, and its row would lead to the next object's: the document would lose the object, so
// the file is refused.
void CPdfStampPass::requireObjectWritten(size_t number, uint64_t start) const {
    if (output_.offset() != start) {
        return;
    }
    std::string cause = "Object " + std::to_string(number);
    const XRefEntry& row = (*inputEntries_)[number];
    if (row.type == 2) {
        cause += " in object stream " + std::to_string(row.offset);
    }
    throw CPdfException(cause + " cannot be read");
}

void CPdfStampPass::copyObjects() {
    const std::vector<XRefEntry>& entries = *inputEntries_;
    for (size_t j = 0; j < entries.size(); ++j) {
        const int32_t number = static_cast<int32_t>(j);
        // A node whose /Kids is written anew is written with its new pages after the copy.
        if (entries[j].type == 0 || output_.row(j).inUse || pages_.nodeEdit(j) != nullptr) {
            continue;
        }
        ObjectFrame frame;
        if (!objects_.locateObject(number, frame)) {
            continue;
        }
        const uint64_t start = output_.offset();
        output_.row(j).offset = OutputXRefEntry::held(start);
        const int32_t pageIndex = pages_.indexOf(j);
        if (pageIndex > 0) {
            countPageProgress();
        }
        if (pageIndex > 0 && isAnyStampSelected(pageIndex)) {
            stampPage(number, static_cast<size_t>(pageIndex - 1));
        } else {
            copyObject(number, frame);
        }
        requireObjectWritten(j, start);
        output_.row(j).inUse = true;
        output_.row(j).generation =
            entries[j].type == 1 ? static_cast<uint32_t>(entries[j].generation) : 0;
    }
    writeEditedNodes();
}

void CPdfStampPass::copyObject(int32_t number, const ObjectFrame& frame) {
    if ((*inputEntries_)[static_cast<size_t>(number)].type == 1) {
        if (frame.framedLength >= 0) {
            // A stream framed by its "endstream", written with the /Length of that frame.
            std::string head;
            if (!objects_.framedStreamHead(frame, head)) {
                throw CPdfException("Can't read the input file");
            }
            noteReferencePast(number, nullReferencesPast(head, inputEntries_->size()));
            output_.write(head);
            copyInputRange(*inputFile_, output_, frame.keywordStart,
                           frame.length - (frame.keywordStart - frame.start));
            return;
        }
        noteReferencePast(number, copyInputObject(*inputFile_, output_, frame.start, frame.length,
                                                  frame.isStream, inputEntries_->size()));
        return;
    }
    std::string text;
    if (getCopiedText(number, text)) {
        output_.write(text);
    }
}

void CPdfStampPass::stampPage(int32_t number, size_t pageIndex) {
    if (getCopiedText(number, page_.pageText)) {
        stampPageText(number, pageIndex);
    }
}

void CPdfStampPass::stampPageText(int32_t number, size_t pageIndex) {
    // The page's contents go between two streams: the first holds the stamps drawn under them,
    // each in its own save and restore, and then the save of the contents' graphics state; the
    // last holds the restore and then the stamps drawn on top, each its own text object.
    const int32_t position = static_cast<int32_t>(pageIndex + 1);
    page_.firstContent.clear();
    page_.lastContent.clear();
    for (DrawnStamp& drawn : stamps_) {
        if (!isPageSelected(*drawn.definition, position)) {
            continue;
        }
        const bool under = drawn.definition->under;
        std::string& out = under ? page_.firstContent : page_.lastContent;
        if (!under && out.empty()) {
            out += "\nQ\n"; // the restore of the contents' state, once
        }
        appendStampDrawing(drawn, pageIndex, out);
    }
    if (!page_.firstContent.empty()) {
        page_.firstContent += fixedStreamText(false); // the save for the contents, once
    }
    std::string* objects[2] = {&page_.saveObject, &page_.restoreObject};
    if (!page_.firstContent.empty()) {
        page_.firstObject.clear();
        appendStreamObject(page_.firstObject, page_.firstContent);
        objects[0] = &page_.firstObject;
    }
    if (!page_.lastContent.empty()) {
        page_.lastObject.clear();
        appendStreamObject(page_.lastObject, page_.lastContent);
        objects[1] = &page_.lastObject;
    }
    tally_.result.stampedPages += 1;
    output_.addOutputObject(*objects[0]);
    output_.addOutputObject(*objects[1]);
    patchPage(page_.pageText, number, pageIndex);
}

void CPdfStampPass::appendStampDrawing(DrawnStamp& drawn, size_t pageIndex, std::string& out) {
    const StampDefinition& stamp = *drawn.definition;
    const bool first = &drawn == &stamps_.front();
    const int32_t shown =
        pageNumberFor(stamp, first ? tally_.numbers.firstNumber : stamp.startNumber, pageCount_,
                      static_cast<int32_t>(pageIndex + 1));
    if (first) {
        tally_.numbers.numberedPages += 1;
        tally_.numbers.highestShown = std::max(tally_.numbers.highestShown, shown);
    }
    if (drawn.picture) {
        if (first) {
            page_.composed.text.clear(); // a picture shows no text
            noteStampedPage(pageIndex, shown);
        }
        appendPictureContent(drawn, pageIndex, out);
        return;
    }
    drawn.composer.compose(shown, page_.composed);
    if (stamp.embedFontFile.empty() && drawn.plainText) {
        page_.literalText = page_.composed.text;
    } else if (stamp.embedFontFile.empty()) {
        toLiteralText(page_.composed.text, page_.literalBuffer);
        page_.literalText = page_.literalBuffer;
        reportUndrawableCharacters(stamp);
    } else {
        layOutEmbeddedText();
    }
    if (first) {
        noteStampedPage(pageIndex, shown);
    }
    appendDrawnStamp(drawn, pageIndex, out);
}

// Pages are stamped in object-number order: the first and last in page order are kept apart.
void CPdfStampPass::noteStampedPage(size_t pageIndex, int32_t shown) {
    if (tally_.firstStampPages == 0 || pageIndex < tally_.firstStamped) {
        tally_.firstStamped = pageIndex;
        tally_.result.firstNumber = shown;
        tally_.result.firstText = page_.composed.text;
    }
    if (tally_.firstStampPages == 0 || pageIndex > tally_.lastStamped) {
        tally_.lastStamped = pageIndex;
        tally_.result.lastNumber = shown;
        tally_.result.lastText = page_.composed.text;
    }
    tally_.firstStampPages += 1;
}

void CPdfStampPass::finishOutput() {
    // Without its catalog the output could not be read at all. An update leaves it where the
    // input has it, read already when the page tree was found.
    if (!facts_.writesUpdate &&
        (facts_.rootObject <= 0 || static_cast<size_t>(facts_.rootObject) >= output_.rowCount() ||
         !output_.row(static_cast<size_t>(facts_.rootObject)).inUse)) {
        throw CPdfException("PDF file was damaged", "the catalog (object " +
                                                        std::to_string(facts_.rootObject) +
                                                        ") is not in the file");
    }
    // A file that shrank or could not be read while it was copied gave wrong bytes (zeros where
    // its pages were gone, or objects left out): such an output is not kept.
    if (inputFile_->failed()) {
        throw CPdfException("Input file read error");
    }
    if (facts_.writesUpdate) {
        output_.writeUpdateSection(*xref_);
    } else {
        const uint64_t xrefOffset = output_.offset();
        output_.writeXRefTable();
        output_.writeTrailer(xrefOffset, facts_.rootObject, facts_.infoObject);
    }
    inputFile_->close();
    if (!output_.file().commit()) {
        if (output_.file().targetInUse()) {
            throw CPdfException("Output file write error",
                                "the output file '" + run_.outputName +
                                    "' is in use by another program: close it and run again");
        }
        throw CPdfException("Output file write error");
    }
    security_ = nullptr;
    document_.close();
    inputFile_ = nullptr;
    xref_ = nullptr;
    inputEntries_ = nullptr;
}

void CPdfStampPass::stampPagesForUpdate() {
    // The pages in object-number order, as the rewrite meets them; only those stamped are
    // read beyond what the page tree showed.
    for (const auto& [number, position] : pages_.byNumber()) {
        const int32_t object = static_cast<int32_t>(number);
        ObjectFrame frame;
        if (output_.row(number).inUse || !objects_.locateObject(object, frame)) {
            continue;
        }
        countPageProgress();
        if (!isAnyStampSelected(position)) {
            continue;
        }
        const uint64_t start = output_.offset();
        stampPage(object, static_cast<size_t>(position - 1));
        requireObjectWritten(number, start);
    }
    writeEditedNodes();
}

void CPdfStampPass::appendDrawnStamp(DrawnStamp& drawn, size_t pageIndex, std::string& out) {
    const StampDefinition& stamp = *drawn.definition;
    const bool embedded = !stamp.embedFontFile.empty();
    const std::string_view shown =
        embedded ? std::string_view(page_.glyphArray) : page_.literalText;
    const PageEntry& entry = pages_[pageIndex];
    const PageBox& box = drawn.fixedBox ? drawn.box : entry.box;
    // The sizes file picks the size from the width of the box the text is placed in.
    PageEntry page = entry;
    page.box = box;
    const int32_t size = sizeForPageWidth(stamp, boxWidth(box));
    noteStampLength(drawn, pageIndex, box, entry.rotate, size);
    DrawnStamp::PlaceInputs inputs;
    inputs.placement = textPlacementInput(stamp, page, size, page_.literalText,
                                          embedded ? page_.glyphArrayWidth : -1.0f);
    if (stamp.boxSet) {
        inputs.boxAdvance =
            embedded ? page_.glyphArrayWidth
                     : static_cast<float>(getTextWidth(stamp.fontName, page_.literalText));
    }
    StampPlace& place = drawn.place;
    if (drawn.placedFrom != inputs) {
        const PlacementResult placed = placeText(inputs.placement);
        place = StampPlace{};
        place.x = placed.x;
        place.y = placed.y;
        place.angleRadians = stampAngleRadians(placed.angle);
        place.fontSize = size;
        if (stamp.boxSet) {
            float descent = 0.0f;
            float ascent = 0.0f;
            stampFontExtent(stamp, descent, ascent);
            const StampBox stampBox = stampBoxRect(inputs.boxAdvance, descent, ascent, size);
            place.boxX = stampBox.x;
            place.boxY = stampBox.y;
            place.boxWidth = stampBox.width;
            place.boxHeight = stampBox.height;
        }
        drawn.placedFrom = inputs;
    }
    drawn.drawing.appendPage(out, place, shown);
}

void CPdfStampPass::stampFontExtent(const StampDefinition& stamp, float& descent,
                                    float& ascent) const {
    if (embeddedFont_ != nullptr && !stamp.embedFontFile.empty()) {
        descent = embeddedFont_->descent();
        ascent = embeddedFont_->ascent();
    } else if (const FontMetrics* font = findFont(stamp.fontName)) {
        descent = static_cast<float>(font->bbox[1]);
        ascent = static_cast<float>(font->bbox[3]);
    } else {
        descent = 0.0f;
        ascent = 0.0f;
    }
    // A metrics file's box may be anything: the box stays within two ems, and a font without
    // a usable height gets the usual one.
    descent = std::clamp(descent, -1000.0f, 0.0f);
    ascent = std::clamp(ascent, 0.0f, 1000.0f);
    if (ascent - descent < 100.0f) {
        descent = -200.0f;
        ascent = 800.0f;
    }
}

bool CPdfStampPass::isMarkedCatalog() {
    try {
        CPdfElement catalog;
        xref_->fetchObject(facts_.rootObject, xref_->root().generation, catalog);
        if (!catalog.is(ElementKind::Dictionary)) {
            return false;
        }
        CPdfElement markInfo;
        catalog.getDictionary()->getEntry("MarkInfo", markInfo);
        if (!markInfo.is(ElementKind::Dictionary)) {
            return false;
        }
        CPdfElement marked;
        markInfo.getDictionary()->getEntry("Marked", marked);
        return marked.is(ElementKind::Boolean) && marked.getBoolean();
    } catch (const CPdfException&) {
        return false;
    }
}

void CPdfStampPass::reserveEmbeddedFontObjects() {
    if (embeddedFont_ == nullptr) {
        ownFont_ = std::make_unique<CEmbeddedFont>();
        embeddedFont_ = ownFont_.get();
    }
    try {
        embeddedFont_->open(embeddingStamp_->definition->embedFontFile);
    } catch (const CPdfException& e) {
        throw CPdfException("Font file error", e.message());
    }
    embeddedFont_->beginPass();
    // The rows stay free until the objects are written after the pages; the Type0 font comes
    // first and is what the pages name.
    embeddingStamp_->fontObjectNumber =
        static_cast<int32_t>(output_.reserveRows(CEmbeddedFont::kObjectCount));
}

void CPdfStampPass::writeEmbeddedFontObjects() {
    if (embeddingStamp_ == nullptr) {
        return;
    }
    const int32_t first = embeddingStamp_->fontObjectNumber;
    const std::vector<std::string> objects = embeddedFont_->writeObjects(first);
    for (size_t i = 0; i < objects.size(); ++i) {
        const int32_t number = first + static_cast<int32_t>(i);
        output_.setOutputEntry(number, 0, output_.offset(), true);
        output_.writeObject(number, 0, std::to_string(number) + objects[i], true);
    }
}

void CPdfStampPass::layOutEmbeddedText() {
    embeddedFont_->layOut(page_.composed.text, page_.composed.pieces, page_.glyphArray,
                          page_.glyphArrayWidth);
    // Every character the font cannot draw is named once in the run; the page shows .notdef.
    for (uint32_t c : embeddedFont_->takeMissingCharacters()) {
        std::string character;
        text_encoding::appendUtf8(character, c);
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", c);
        reporter_.warning("Warning: the font '" + embeddingStamp_->definition->embedFontFile +
                          "' has no glyph for " + code + " '" + character + "': drawn as .notdef");
    }
}

void CPdfStampPass::readPictures() {
    for (DrawnStamp& drawn : stamps_) {
        const StampDefinition& stamp = *drawn.definition;
        if (drawn.overlay && !stamp.imageFile.empty()) {
            throw CPdfException("A stamp draws one picture: -image '" + stamp.imageFile +
                                "' and -overlay '" + stamp.overlayFile + "' were both given\n");
        }
        if (drawn.overlay) {
            drawn.overlayPage = COverlayPage::read(stamp.overlayFile, stamp.overlayPage);
            drawn.pictureSize = pictureSize(
                stamp, PictureSize{drawn.overlayPage.width(), drawn.overlayPage.height()});
        } else if (drawn.picture) {
            drawn.image = readPictureFile(stamp.imageFile);
            drawn.pictureSize = pictureSize(stamp, drawn.image);
        }
    }
}

void CPdfStampPass::writePictureObjects(DrawnStamp& drawn) {
    drawn.fontObjectNumber = 0;
    if (drawn.overlay) {
        // The form first, then the objects it needs, numbered on from it.
        drawn.imageName = makeResourceName("Fm");
        const auto first = static_cast<int64_t>(output_.rowCount());
        drawn.imageObjectNumber = static_cast<int32_t>(first);
        for (size_t i = 0; i < drawn.overlayPage.objectCount(); ++i) {
            output_.addOutputObject(drawn.overlayPage.formattedObject(i, first));
        }
        return;
    }
    int64_t softMask = 0;
    if (drawn.image.hasSoftMask) {
        softMask = static_cast<int64_t>(
            output_.addOutputObject(formatImageObject(drawn.image.softMask, 0)));
    }
    drawn.imageName = makeResourceName("Im");
    drawn.imageObjectNumber = static_cast<int32_t>(
        output_.addOutputObject(formatImageObject(drawn.image.image, softMask)));
}

void CPdfStampPass::appendPictureContent(DrawnStamp& drawn, size_t pageIndex, std::string& out) {
    PageEntry page = pages_[pageIndex];
    if (drawn.fixedBox) {
        page.box = drawn.box;
    }
    drawn.pictureDrawing.appendPage(out, placePicture(*drawn.definition, page, drawn.pictureSize));
}
