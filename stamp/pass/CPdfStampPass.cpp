#include "stamp/pass/CPdfStamp.h"

#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfInputFile.h"
#include "pdf/CPdfSecurityHandler.h"
#include "pdf/PdfSyntax.h"
#include "platform/Platform.h"
#include "platform/UniqueFile.h"
#include "stamp/files/CounterFile.h"
#include "stamp/files/FileNameRules.h"
#include "stamp/fonts/FontTable.h"
#include "stamp/text/PageNumbering.h"
#include "stamp/write/COutputFile.h"
#include "stamp/write/PseudoRandom.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <string>

namespace {

std::string formatted(const char* format, const std::string& value) {
    std::string text(format);
    size_t at = text.find("%s");
    if (at != std::string::npos) {
        text.replace(at, 2, value);
    }
    return text;
}

// "%-*.*d" with width and precision m: at least m digits, zero padded, left-justified.
std::string maskedNumber(int32_t value, int32_t mask) {
    const int width = mask < 0 ? 0 : (mask > 64 ? 64 : mask);
    char text[96];
    std::snprintf(text, sizeof text, "%-*.*d", width, width, value);
    return text;
}

// A character of a refused name as the user would type it, a control character by its code.
std::string describeCharacter(char c) {
    if (static_cast<unsigned char>(c) < 0x20) {
        return "the control character " + std::to_string(static_cast<int>(c));
    }
    return std::string("'") + c + "'";
}

std::string counterFileCause(const std::string& name, const std::string& reason) {
    return "Can't write the counter file '" + name + "': " + reason;
}

} // namespace

PassResult CPdfStamp::stampDocument() {
    result_ = PassResult{};
    runGuarded(&CPdfStamp::runPass);
    return result_;
}

std::string CPdfStamp::finishRun() {
    runGuarded(&CPdfStamp::runFinalSteps);
    return result_.output;
}

void CPdfStamp::runGuarded(void (CPdfStamp::*step)()) {
    failureCause.clear();
    try {
        (this->*step)();
        return;
    } catch (const CPdfException& e) {
        // The message first, as the user knows it, then what was found where.
        failureCause = e.message();
        while (!failureCause.empty() &&
               (failureCause.back() == '\n' || failureCause.back() == '\r')) {
            failureCause.pop_back();
        }
        if (!e.cause().empty()) {
            failureCause += ": " + e.cause();
        }
    } catch (const std::bad_alloc&) {
        failureCause = "Out of memory";
    } catch (const std::exception& e) {
        failureCause = e.what();
    } catch (...) {
        failureCause = "Unexpected failure";
    }
    closeAfterFailure();
    while (!failureCause.empty() && (failureCause.back() == '\n' || failureCause.back() == '\r')) {
        failureCause.pop_back();
    }
    throw CPdfException(formatted("Stamp file issue: '%s'\n", inputName), failureCause);
}

void CPdfStamp::failSoftly(const std::string& cause) {
    softFailure = true;
    reporter_->warning(cause);
}

void CPdfStamp::reportRepairWarning() const {
    // "was damaged" stands in the line already; other messages name the part that was.
    const std::string& message = xref->repairMessage();
    const std::string& cause = xref->repairCause();
    const std::string what =
        message == "PDF file was damaged" || message == cause ? cause : message + ": " + cause;
    reporter_->warning(
        "Warning: '" + inputName + "' was damaged (" + what +
        "); its objects were found by reading the whole file" +
        (incremental ? "; it was written in full, not as an incremental update" : ""));
}

void CPdfStamp::closeAfterFailure() {
    if (inputFile) {
        inputFile->close();
    }
    if (output.isOpen()) {
        output.file().discard();
    }
    if (!counterTemp_.empty()) {
        platform::removeFile(counterTemp_);
        counterTemp_.clear();
    }
    if (document.isOpen()) {
        security = nullptr;
        document.close();
    }
    inputFile = nullptr;
    xref = nullptr;
    inputEntries = nullptr;
}

void CPdfStamp::refuseOutputOverInput() const {
    if (inputName == outputName || platform::sameFile(inputName, outputName)) {
        reporter_->note("\nOutput file is the input file: '" + outputName + "'\n");
        throw CPdfException("The output file is the input file");
    }
}

void CPdfStamp::refuseRenameOverInput() const {
    if (renamePattern.empty()) {
        return;
    }
    const std::string target = renameTarget();
    // Refused before the output is put in place: a name Windows cannot hold fails there only
    // after the run, and copies of the output could not go there later.
    const std::string pattern = target.substr(platform::fileNameStart(outputName));
    const std::string_view name = file_name_rules::lastPart(pattern);
    if (const char c = file_name_rules::forbiddenCharacter(name); c != '\0') {
        reporter_->note("\nUnable to rename file, check permissions, file naming\n");
        throw CPdfException("Rename name refused", "the -rename name '" + std::string(name) +
                                                       "' holds " + describeCharacter(c) +
                                                       ", which file names may not hold");
    }
    if (target == inputName || platform::sameFile(inputName, target)) {
        reporter_->note("\nOutput file is the input file: '" + target + "'\n");
        throw CPdfException("The rename target is the input file");
    }
}

void CPdfStamp::runPass() {
    openFiles();
    if (writesUpdate_) {
        copyWholeInput();
    } else {
        copyHeader();
    }
    readPageTree();
    if (buildFontTable(stamp.fontMetricsFile)) {
        reporter_->note("\nUsing fonts file: '" + stamp.fontMetricsFile + "'\n");
    }
    writeStampObjects();
    firstNumber = importFile.empty() ? stamp.startNumber : importStartNumber();
    if (writesUpdate_) {
        stampPagesForUpdate();
    } else {
        copyObjects();
    }
    writeEmbeddedFontObjects();
    if (!intermediatePass) {
        prepareRunEnd();
    }
    finishOutput();
    if (!intermediatePass) {
        runFinalSteps();
    }
}

// Only once the output is in place: a run that failed before leaves the counter as it was, and
// the source is removed only when every step succeeded and it is not the file the run made.
void CPdfStamp::runFinalSteps() {
    // The output is in place, so the counter moves on even when the rename fails or an earlier
    // warning (a sizes file or file dates that could not be read) ends the run with status 1:
    // a retry or the next file of a list numbers on from the pages written. The source is kept
    // unless every step succeeded.
    std::string result = outputName;
    const bool renamed = renamePattern.empty() || renameOutput(result);
    result_.output = result;
    placeCounter();
    if (renamed && !softFailure && removeSource && inputName != result &&
        !platform::sameFile(inputName, result)) {
        removeSourceFile();
    }
}

// A source that cannot be removed is kept and the run ends with status 1, the output in place:
// a source marked read-only is one its owner asked to keep, on every system.
void CPdfStamp::removeSourceFile() {
    std::string reason;
    if (platform::isReadOnly(inputName)) {
        reason = "it is read-only";
    } else if (!platform::removeFile(inputName)) {
        reason = platform::lastFailureWasInUse() ? "it is in use by another program"
                                                 : platform::lastErrorText();
    } else {
        return;
    }
    failSoftly("Can't remove the source file '" + inputName + "': " + reason);
}

void CPdfStamp::openFiles() {
    const bool verbose = textLinesFile.empty() && !quiet;
    refuseOutputOverInput();
    if (!document.openFile(inputName)) {
        reporter_->note("Input file open error: '" + inputName + "'\n");
        throw CPdfException("Can't open the input file: " + document.input().openError());
    }
    inputFile = &document.input();
    if (verbose) {
        reporter_->note("Input file: '" + inputName + "'");
    }
    document.setPassword(password);
    security = nullptr;
    document.load();
    xref = document.getXRef();
    inputEntries = &xref->entries();
    objects_.attach(*inputFile, *xref);
    // A page is framed while the tree is walked and again when it is copied or stamped.
    objects_.setKeptIndex([this](size_t number) { return pageIndexOf(number); });
    rootObject = xref->root().number;
    infoObject = xref->info().number;
    highestShown_ = 0;
    progressCounter_ = 0;
    result_ = PassResult{};
    security = xref->security();
    if (security != nullptr && !security->ownerAccess() && !security->permitsChanges() &&
        !ignorePermissions) {
        throw CPdfException("PDF file does not permit changes (permissions of its encryption); "
                            "stamp it anyway with -ignorepermissions");
    }
    checkSignatures();
    repairedInput = xref->repaired();
    if (repairedInput && (signedInput || security != nullptr)) {
        // A rewrite would break the signature or drop the protection, and an update on a
        // broken table cannot be read safely.
        throw CPdfException("PDF file was damaged",
                            xref->repairCause() +
                                (signedInput ? "; the file is signed, and repairing it would "
                                               "break its signature"
                                             : "; the file is protected, and its protection is "
                                               "kept only in an update, which a damaged file "
                                               "cannot take"));
    }
    // A repaired file is written in full: the rewrite's table is right by construction. A
    // protected input is stamped as an update, which keeps its protection as it is.
    writesUpdate_ = (incremental || signedInput || security != nullptr) && !repairedInput;
    if (repairedInput) {
        reportRepairWarning();
    }
    result_.update = writesUpdate_;
    result_.repaired = repairedInput;
    result_.signedInput = signedInput;

    if (!output.create(outputName)) {
        const std::string reason = platform::lastErrorText();
        reporter_->note("\nOutput file create error: '" + outputName + "'\n");
        throw CPdfException("Can't create the output file: " + reason);
    }
    output.setSecurity(security);
    if (verbose) {
        reporter_->note(", output file: '" + outputName + "'\n");
        if (signedInput) {
            reportSignedInput();
        }
        reporter_->note("Processing");
    }
}

void CPdfStamp::readPageTree() {
    pageList.clear();
    objects_.forgetKeptFrames();
    pagesByNumber_.clear();
    pageCursor_ = 0;
    visitedNodes_.clear();
    isPage_.assign(inputEntries->size(), false);
    std::string rootText;
    if (!getObjectText(rootObject, rootText)) {
        throw CPdfException("PDF file was damaged", "the catalog (object " +
                                                        std::to_string(rootObject) +
                                                        ") cannot be read");
    }
    // The catalog's own /Pages: a dictionary inside the catalog (a name tree's /Names, for
    // one) may have a /Pages of its own, which is no page tree.
    const size_t catalog = pdfsyntax::findBodyDictionary(rootText);
    const std::optional<pdfsyntax::DictEntry> pagesEntry =
        catalog == pdfsyntax::npos ? std::nullopt
                                   : pdfsyntax::findEntry(rootText, catalog, "Pages");
    int64_t pages = 0;
    int64_t pagesGeneration = 0;
    if (!pagesEntry ||
        !pdfsyntax::readReference(
            std::string_view(rootText).substr(pagesEntry->valueStart,
                                              pagesEntry->valueEnd - pagesEntry->valueStart),
            pages, pagesGeneration) ||
        pages <= 0 || static_cast<uint64_t>(pages) >= inputEntries->size()) {
        throw CPdfException("PDF file was damaged",
                            std::string(pagesEntry
                                            ? "/Pages is no reference to an object of the file"
                                            : "no /Pages") +
                                " in the catalog (object " + std::to_string(rootObject) + ")");
    }
    const XRefEntry& pagesRow = (*inputEntries)[static_cast<size_t>(pages)];
    CPdfElement pagesRoot;
    xref->fetchObject(static_cast<int32_t>(pages), pagesRow.type == 1 ? pagesRow.generation : 0,
                      pagesRoot);
    if (pagesRoot.kind() != ElementKind::Dictionary) {
        throw CPdfException("PDF file was damaged", "the root of the page tree (object " +
                                                        std::to_string(pages) +
                                                        ") is no dictionary");
    }
    int64_t count = -1;
    CPdfElement countValue;
    pagesRoot.getDictionary()->getEntry("Count", countValue);
    if (countValue.kind() == ElementKind::Integer) {
        count = countValue.getInteger64();
    } else if (countValue.kind() == ElementKind::Null) {
        count = 0;
    }
    countValue.clear();
    pagesRoot.clear();
    pagesFound = 0;
    rewritten_.assign(inputEntries->size(), false);
    unstampedContentsKnown_ = false;

    std::string nodeText;
    if (!getObjectText(static_cast<int32_t>(pages), nodeText)) {
        throw CPdfException("PDF file was damaged", "the root of the page tree (object " +
                                                        std::to_string(pages) + ") cannot be read");
    }
    walkPageTree(nodeText, PageBox{});
    // The root's /Count is the page count where the tree has that many pages. A larger one
    // (even one larger than the table could hold) cannot be right: the page count is then the
    // number of pages the walk found. A smaller one is what viewers show, and pages past it
    // are not stamped.
    if (count >= 0 && count < pagesFound) {
        pagesFound = static_cast<int32_t>(count);
        pageList.resize(static_cast<size_t>(count));
        objects_.keepFirstFrames(static_cast<size_t>(count));
    }
    pageCount = static_cast<uint32_t>(pagesFound);
    result_.pages = pageCount;
    indexPages();
}

std::string CPdfStamp::makeResourceName(const char* prefix) const {
    // Passes that follow one another within a millisecond would draw the same number, and a
    // pass over an earlier pass's output would then add a second key of the same name.
    static std::set<std::string> used;
    const platform::LocalTime now = platform::now();
    PseudoRandom numbers(static_cast<uint32_t>(now.epochSeconds + now.millisecond));
    std::string name;
    do {
        name = prefix + std::to_string(static_cast<int64_t>(numbers.next()) + now.millisecond);
    } while (!used.insert(name).second);
    return name;
}

void CPdfStamp::writeStampObjects() {
    // The input's rows, the three stamp objects and two streams for each page: the table is
    // allocated once, at its full size.
    output.startRows(inputEntries->size(),
                     inputEntries->size() + 3 + 2 * static_cast<size_t>(pageCount));
    fontResourceName = makeResourceName("F");
    if (stamp.embedFontFile.empty()) {
        output.addOutputObject(writeFontDescriptor(stamp.fontName));
        fontObjectNumber =
            static_cast<int32_t>(output.addOutputObject(writeFontObject(stamp.fontName)));
    } else {
        reserveEmbeddedFontObjects();
    }

    graphicsStateName = makeResourceName("GS");
    graphicsStateObjectNumber = static_cast<int32_t>(
        output.addOutputObject(buildGraphicsState(static_cast<float>(stamp.opacity))));
    // The same save stream goes in front of every page's contents (with -under, the same
    // restore after them).
    saveStream_ = buildSaveStream();
    markedDocument_ = isMarkedCatalog();
}

int32_t CPdfStamp::importStartNumber() const {
    // A counter that cannot be read ends the run: numbering from 0 would restart the series.
    int32_t number = 0;
    std::string cause;
    if (!counter_file::read(importFile, number, cause)) {
        throw CPdfException("Import file error\n", cause);
    }
    return number;
}

void CPdfStamp::countPageProgress() {
    progressCounter_ += 1;
    if (progressCounter_ > 10) {
        if (!quiet) {
            reporter_->progress();
        }
        progressCounter_ = 0;
    }
    progressCounter_ += 1;
}

// A row leads to the object's own bytes. A member that cannot be taken out of its object stream
// has none, and its row would lead to the next object's: the document would lose the object, so
// the file is refused.
void CPdfStamp::requireObjectWritten(size_t number, uint64_t start) const {
    if (output.offset() != start) {
        return;
    }
    std::string cause = "Object " + std::to_string(number);
    const XRefEntry& row = (*inputEntries)[number];
    if (row.type == 2) {
        cause += " in object stream " + std::to_string(row.offset);
    }
    throw CPdfException(cause + " cannot be read");
}

void CPdfStamp::copyObjects() {
    const std::vector<XRefEntry>& entries = *inputEntries;
    for (size_t j = 0; j < entries.size(); ++j) {
        const int32_t number = static_cast<int32_t>(j);
        if (entries[j].type == 0 || output.row(j).inUse) {
            continue;
        }
        ObjectExtent extent;
        if (!objects_.locateObject(number, extent)) {
            continue;
        }
        const uint64_t start = output.offset();
        output.row(j).offset = OutputXRefEntry::held(start);
        const int32_t pageIndex = pageIndexOf(j);
        if (pageIndex > 0) {
            countPageProgress();
        }
        if (pageIndex > 0 && isPageSelected(stamp, pageIndex)) {
            stampPage(number, static_cast<size_t>(pageIndex - 1));
        } else {
            copyObject(number, extent);
        }
        requireObjectWritten(j, start);
        output.row(j).inUse = true;
        output.row(j).generation =
            entries[j].type == 1 ? static_cast<uint32_t>(entries[j].generation) : 0;
    }
}

void CPdfStamp::copyObject(int32_t number, const ObjectExtent& extent) {
    if ((*inputEntries)[static_cast<size_t>(number)].type == 1) {
        if (extent.framedLength >= 0) {
            // A stream framed by its "endstream", written with the /Length of that frame.
            std::string head;
            if (!objects_.framedStreamHead(extent, head)) {
                throw CPdfException("Can't read the input file");
            }
            output.write(head);
            copyInputRange(extent.keywordStart,
                           extent.length - (extent.keywordStart - extent.start));
            return;
        }
        copyInputRange(extent.start, extent.length);
        return;
    }
    std::string text;
    if (getObjectText(number, text)) {
        output.write(text);
    }
}

void CPdfStamp::stampPage(int32_t number, size_t pageIndex) {
    if (!getObjectText(number, pageText_)) {
        return;
    }
    const int32_t shown =
        pageNumberFor(stamp, firstNumber, pageCount, static_cast<int32_t>(pageIndex + 1));
    if (shown > highestShown_) {
        highestShown_ = shown;
    }
    composeText(shown);
    noteStampedPage(pageIndex, shown);
    if (stamp.under) {
        // The page's contents go between the two streams: first the stamp, then the restore.
        output.addOutputObject(buildStampStream(pageIndex));
        output.addOutputObject(saveStream_);
    } else {
        output.addOutputObject(saveStream_);
        output.addOutputObject(buildStampStream(pageIndex));
    }
    patchPage(pageText_, number, pageIndex);
}

// Pages are stamped in object-number order: the first and last in page order are kept apart.
void CPdfStamp::noteStampedPage(size_t pageIndex, int32_t shown) {
    if (result_.stampedPages == 0 || pageIndex < firstStamped_) {
        firstStamped_ = pageIndex;
        result_.firstNumber = shown;
        result_.firstText = composed_;
    }
    if (result_.stampedPages == 0 || pageIndex > lastStamped_) {
        lastStamped_ = pageIndex;
        result_.lastNumber = shown;
        result_.lastText = composed_;
    }
    result_.stampedPages += 1;
}

void CPdfStamp::prepareFinalSteps() {
    runGuarded(&CPdfStamp::prepareRunEnd);
}

void CPdfStamp::prepareRunEnd() {
    refuseRenameOverInput();
    prepareCounter();
}

// The counter goes to a file of its own first, so that the counter file changes only once the
// output is in place, and a counter that cannot be written stops the run before that.
void CPdfStamp::prepareCounter() {
    if (exportFile.empty()) {
        return;
    }
    if (!counterTemp_.empty()) {
        platform::removeFile(counterTemp_);
        counterTemp_.clear();
    }
    UniqueFile file(platform::createTempFileBeside(exportFile, counterTemp_));
    if (!file) {
        throw CPdfException("export file create error",
                            counterFileCause(exportFile, platform::lastErrorText()));
    }
    std::string next;
    pdfsyntax::appendDecimal(next, static_cast<int64_t>(highestShown_) + 1);
    const bool written = std::fwrite(next.data(), 1, next.size(), file.get()) == next.size();
    // The close reports a failed write of what was left in the buffer.
    if (std::fclose(file.release()) != 0 || !written) {
        const std::string reason = platform::lastErrorText();
        platform::removeFile(counterTemp_);
        counterTemp_.clear();
        throw CPdfException("export file create error", counterFileCause(exportFile, reason));
    }
}

void CPdfStamp::placeCounter() {
    if (counterTemp_.empty()) {
        return;
    }
    const bool placed = platform::renameReplacing(counterTemp_, exportFile);
    const std::string reason = placed                            ? std::string()
                               : platform::lastFailureWasInUse() ? "it is in use by another program"
                                                                 : platform::lastErrorText();
    if (!placed) {
        platform::removeFile(counterTemp_);
    }
    counterTemp_.clear();
    if (!placed) {
        throw CPdfException("export file create error", counterFileCause(exportFile, reason));
    }
}

void CPdfStamp::finishOutput() {
    // Without its catalog the output could not be read at all. An update leaves it where the
    // input has it, read already when the page tree was found.
    if (!writesUpdate_ &&
        (rootObject <= 0 || static_cast<size_t>(rootObject) >= output.rowCount() ||
         !output.row(static_cast<size_t>(rootObject)).inUse)) {
        throw CPdfException("PDF file was damaged", "the catalog (object " +
                                                        std::to_string(rootObject) +
                                                        ") is not in the file");
    }
    // A file that shrank or could not be read while it was copied gave wrong bytes (zeros where
    // its pages were gone, or objects left out): such an output is not kept.
    if (inputFile->failed()) {
        throw CPdfException("Input file read error");
    }
    if (writesUpdate_) {
        output.writeUpdateSection(*xref);
    } else {
        const uint64_t xrefOffset = output.offset();
        output.writeXRefTable();
        output.writeTrailer(xrefOffset, rootObject, infoObject);
    }
    inputFile->close();
    if (!output.file().commit()) {
        if (output.file().targetInUse()) {
            throw CPdfException("Output file write error",
                                "the output file '" + outputName +
                                    "' is in use by another program: close it and run again");
        }
        throw CPdfException("Output file write error");
    }
    security = nullptr;
    document.close();
    inputFile = nullptr;
    xref = nullptr;
    inputEntries = nullptr;
}

std::string CPdfStamp::renameTarget() const {
    std::string pattern = renamePattern;
    const std::string endText = maskedNumber(highestShown_, stamp.maskWidth);
    const std::string startText = maskedNumber(firstNumber, stamp.maskWidth);
    const size_t nameStart = platform::fileNameStart(outputName);
    const std::string folder = outputName.substr(0, nameStart);
    const std::string base = outputName.substr(nameStart);
    const std::string title = base.size() > 4 ? base.substr(0, base.size() - 4) : std::string();
    file_name_rules::replaceFirst(pattern, "[PAGESTART]", startText);
    file_name_rules::replaceFirst(pattern, "[PAGEEND]", endText);
    file_name_rules::replaceFirst(pattern, "[FILETITLE]", title);
    return folder + pattern;
}

bool CPdfStamp::renameOutput(std::string& result) {
    const std::string newName = renameTarget();
    reporter_->note("\nRenaming output file: '" + outputName + "' to '" + newName + "'\n");
    if (!platform::renameReplacing(outputName, newName)) {
        const std::string reason = platform::lastFailureWasInUse()
                                       ? "it is in use by another program"
                                       : platform::lastErrorText();
        reporter_->note("Unable to rename file, check permissions, file naming\n");
        failSoftly("Can't rename '" + outputName + "' to '" + newName + "': " + reason);
        return false;
    }
    result = newName;
    return true;
}
