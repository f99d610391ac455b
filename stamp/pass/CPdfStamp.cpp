#include "stamp/pass/CPdfStamp.h"

#include "pdf/CPdfException.h"
#include "pdf/PdfSyntax.h"
#include "platform/Platform.h"
#include "platform/UniqueFile.h"
#include "stamp/files/FileNameRules.h"
#include "stamp/fonts/EmbeddedFont.h"
#include "stamp/fonts/FontTable.h"
#include "stamp/pass/CPdfStampPass.h"

#include <cstdio>
#include <new>
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

Reporter CPdfStamp::silent_;

// Every setting starts at its default (see the member initialisers).
CPdfStamp::CPdfStamp() = default;

CPdfStamp::~CPdfStamp() {
    // A counter prepared for a run that did not get to its end.
    if (!counterTemp_.empty()) {
        platform::removeFile(counterTemp_);
    }
}

PassResult CPdfStamp::stampDocument() {
    finalOutput_.clear();
    bool embeds = !stamp.embedFontFile.empty();
    for (const StampDefinition& more : moreStamps) {
        embeds = embeds || !more.embedFontFile.empty();
    }
    if (embeds && !embeddedFont_) {
        embeddedFont_ = std::make_unique<EmbeddedFont>();
    }
    CPdfStampPass pass(*this, stamp, *reporter_, embeddedFont_.get(), moreStamps);
    runGuarded(
        [&] {
            // Before the output is put in place: the checks and the counter of the steps after.
            CPdfStampPass::BeforePlacing beforePlacing;
            if (!intermediatePass) {
                beforePlacing = [this](const PassNumbers& numbers) {
                    firstNumber_ = numbers.firstNumber;
                    highestShown_ = numbers.highestShown;
                    prepareRunEnd();
                };
            }
            pass.stampDocument(beforePlacing);
            firstNumber_ = pass.numbers().firstNumber;
            highestShown_ = pass.numbers().highestShown;
            if (!intermediatePass) {
                runFinalSteps();
            }
        },
        &pass);
    PassResult result = pass.result();
    if (!intermediatePass) {
        result.output = finalOutput_;
    }
    return result;
}

std::string CPdfStamp::finishRun() {
    runGuarded([this] { runFinalSteps(); }, nullptr);
    return finalOutput_;
}

template <class Step> void CPdfStamp::runGuarded(Step step, CPdfStampPass* pass) {
    std::string failureCause;
    try {
        step();
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
    if (pass != nullptr) {
        pass->close();
    }
    if (!counterTemp_.empty()) {
        platform::removeFile(counterTemp_);
        counterTemp_.clear();
    }
    while (!failureCause.empty() && (failureCause.back() == '\n' || failureCause.back() == '\r')) {
        failureCause.pop_back();
    }
    throw CPdfException(formatted("Stamp file issue: '%s'\n", inputName), failureCause);
}

void CPdfStamp::reportSignedInput() const {
    CPdfStampPass::reportSignedInput(*this, *reporter_);
}

SizeTable CPdfStamp::loadFontSizes(const StampDefinition& sizesOf) {
    SizeTable table;
    std::string openError;
    const std::string& file = sizesOf.fontSizesFile;
    if (!readFontSizes(file, table, openError)) {
        reporter_->note("Unable to open font sizes file: '" + file + "'\r\n");
        // The run goes on with -size, but not as asked: it ends with status 1.
        failSoftly("Can't open the font sizes file '" + file + "': " + openError);
    }
    return table;
}

void CPdfStamp::startNextStamp() {
    moreStamps.push_back(std::move(stamp));
    stamp = StampDefinition{};
}

void CPdfStamp::failSoftly(const std::string& cause) {
    softFailure = true;
    reporter_->warning(cause);
}

void CPdfStamp::refuseOutputOverInput() const {
    CPdfStampPass::refuseOutputOverInput(*this, *reporter_);
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

// Only once the output is in place: a run that failed before leaves the counter as it was, and
// the source is removed only when every step succeeded and it is not the file the run made.
void CPdfStamp::runFinalSteps() {
    // The output is in place, so the counter moves on even when the rename fails or an earlier
    // warning (a sizes file or file dates that could not be read) ends the run with status 1:
    // a retry or the next file of a list numbers on from the pages written. The source is kept
    // unless every step succeeded.
    std::string result = outputName;
    const bool renamed = renamePattern.empty() || renameOutput(result);
    finalOutput_ = result;
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

void CPdfStamp::prepareFinalSteps() {
    runGuarded([this] { prepareRunEnd(); }, nullptr);
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

std::string CPdfStamp::renameTarget() const {
    std::string pattern = renamePattern;
    const std::string endText = maskedNumber(highestShown_, stamp.maskWidth);
    const std::string startText = maskedNumber(firstNumber_, stamp.maskWidth);
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
