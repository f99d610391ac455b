#include "app/RunSteps.h"

#include "pdf/CPdfException.h"
#include "pdf/PdfSyntax.h"
#include "platform/Platform.h"
#include "platform/UniqueFile.h"
#include "stamp/files/FileNameRules.h"
#include "stamp/pass/CPdfStamp.h"
#include "stamp/pass/CPdfStampPass.h"
#include "stamp/text/PageNumbering.h"

#include <cstdio>
#include <string>

namespace {

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

RunSteps::RunSteps(CPdfStamp& job) : job_(job) {}

RunSteps::~RunSteps() {
    // A counter prepared for a run that did not get to its end.
    dropCounter();
}

PassResult RunSteps::stampDocument() {
    finalOutput_.clear();
    PassResult result;
    try {
        // Before the output is put in place: the checks and the counter of the steps after.
        result = job_.stampDocument([this](const PassNumbers& numbers) { prepareRunEnd(numbers); });
    } catch (...) {
        dropCounter();
        throw;
    }
    job_.runGuarded([this] { runFinalSteps(); }, [this] { dropCounter(); });
    result.output = finalOutput_;
    return result;
}

PassResult RunSteps::stampIntermediate() {
    return job_.stampDocument([this](const PassNumbers& numbers) { numbers_ = numbers; });
}

void RunSteps::prepareFinalSteps() {
    job_.runGuarded(
        [this] {
            refuseRenameOverInput();
            prepareCounter();
        },
        [this] { dropCounter(); });
}

std::string RunSteps::finishRun() {
    job_.runGuarded([this] { runFinalSteps(); }, [this] { dropCounter(); });
    return finalOutput_;
}

void RunSteps::refuseOutputOverInput() const {
    CPdfStampPass::refuseOutputOverInput(job_, job_.reporter());
}

void RunSteps::prepareRunEnd(const PassNumbers& numbers) {
    numbers_ = numbers;
    refuseRenameOverInput();
    prepareCounter();
}

void RunSteps::refuseRenameOverInput() const {
    if (job_.renamePattern.empty()) {
        return;
    }
    if (numbers_.numberedPages == 0 &&
        (job_.renamePattern.find("[PAGESTART]") != std::string::npos ||
         job_.renamePattern.find("[PAGEEND]") != std::string::npos)) {
        // Its range would run backwards and repeat the next document's first number.
        job_.reporter().note("\nUnable to rename file, no page was stamped\n");
        throw CPdfException("Rename name refused",
                            "the -rename name '" + job_.renamePattern +
                                "' names the first and last stamped page, but no page of '" +
                                job_.inputNameShown() + "' was stamped");
    }
    const std::string target = renameTarget();
    // Refused before the output is put in place: a name Windows cannot hold fails there only
    // after the run, and copies of the output could not go there later.
    const std::string pattern = target.substr(platform::fileNameStart(job_.outputName));
    const std::string_view name = file_name_rules::lastPart(pattern);
    if (const char c = file_name_rules::forbiddenCharacter(name); c != '\0') {
        job_.reporter().note("\nUnable to rename file, check permissions, file naming\n");
        throw CPdfException("Rename name refused", "the -rename name '" + std::string(name) +
                                                       "' holds " + describeCharacter(c) +
                                                       ", which file names may not hold");
    }
    if (target == job_.inputName || platform::sameFile(job_.inputName, target)) {
        job_.reporter().note("\nOutput file is the input file: '" + target + "'\n");
        throw CPdfException("The rename target is the input file");
    }
    if (job_.refuseOutputName) {
        job_.refuseOutputName(target);
    }
}

// Only once the output is in place: a run that failed before leaves the counter as it was, and
// the source is removed only when every step succeeded and it is not the file the run made.
void RunSteps::runFinalSteps() {
    // The output is in place, so the counter moves on even when the rename fails or an earlier
    // warning (a sizes file or file dates that could not be read) ends the run with status 1:
    // a retry or the next file of a list numbers on from the pages written. The source is kept
    // unless every step succeeded.
    std::string result = job_.outputName;
    const bool renamed = job_.renamePattern.empty() || renameOutput(result);
    finalOutput_ = result;
    placeCounter();
    if (renamed && !job_.softFailure && job_.removeSource && job_.inputName != result &&
        !platform::sameFile(job_.inputName, result)) {
        removeSourceFile();
    }
}

// A source that cannot be removed is kept and the run ends with status 1, the output in place:
// a source marked read-only is one its owner asked to keep, on every system.
void RunSteps::removeSourceFile() {
    std::string reason;
    if (platform::isReadOnly(job_.inputName)) {
        reason = "it is read-only";
    } else if (!platform::removeFile(job_.inputName)) {
        reason = platform::lastFailureWasInUse() ? "it is in use by another program"
                                                 : platform::lastErrorText();
    } else {
        return;
    }
    job_.failSoftly("Can't remove the source file '" + job_.inputName + "': " + reason);
}

// The counter goes to a file of its own first, so that the counter file changes only once the
// output is in place, and a counter that cannot be written stops the run before that.
void RunSteps::prepareCounter() {
    const std::string& exportFile = job_.exportFile;
    if (exportFile.empty()) {
        return;
    }
    dropCounter();
    UniqueFile file(platform::createTempFileBeside(exportFile, counterTemp_));
    if (!file) {
        throw CPdfException("export file create error",
                            counterFileCause(exportFile, platform::lastErrorText()));
    }
    std::string next;
    pdf_syntax::appendDecimal(
        next, nextStartNumber(numbers_.firstNumber, numbers_.numberedPages, numbers_.highestShown));
    const bool written = std::fwrite(next.data(), 1, next.size(), file.get()) == next.size();
    // The close reports a failed write of what was left in the buffer.
    if (std::fclose(file.release()) != 0 || !written) {
        const std::string reason = platform::lastErrorText();
        dropCounter();
        throw CPdfException("export file create error", counterFileCause(exportFile, reason));
    }
}

void RunSteps::placeCounter() {
    if (counterTemp_.empty()) {
        return;
    }
    const bool placed = platform::renameReplacing(counterTemp_, job_.exportFile);
    const std::string reason = placed                            ? std::string()
                               : platform::lastFailureWasInUse() ? "it is in use by another program"
                                                                 : platform::lastErrorText();
    if (!placed) {
        platform::removeFile(counterTemp_);
    }
    counterTemp_.clear();
    if (!placed) {
        throw CPdfException("export file create error", counterFileCause(job_.exportFile, reason));
    }
}

void RunSteps::dropCounter() {
    if (!counterTemp_.empty()) {
        platform::removeFile(counterTemp_);
        counterTemp_.clear();
    }
}

std::string RunSteps::renameTarget() const {
    std::string pattern = job_.renamePattern;
    const std::string endText = maskedNumber(numbers_.highestShown, job_.stamp.maskWidth);
    const std::string startText = maskedNumber(numbers_.firstNumber, job_.stamp.maskWidth);
    const size_t nameStart = platform::fileNameStart(job_.outputName);
    const std::string folder = job_.outputName.substr(0, nameStart);
    const std::string base = job_.outputName.substr(nameStart);
    const std::string title = base.size() > 4 ? base.substr(0, base.size() - 4) : std::string();
    file_name_rules::replaceFirst(pattern, "[PAGESTART]", startText);
    file_name_rules::replaceFirst(pattern, "[PAGEEND]", endText);
    file_name_rules::replaceFirst(pattern, "[FILETITLE]", title);
    return folder + pattern;
}

bool RunSteps::renameOutput(std::string& result) {
    const std::string newName = renameTarget();
    job_.reporter().note("\nRenaming output file: '" + job_.outputName + "' to '" + newName +
                         "'\n");
    if (!platform::renameReplacing(job_.outputName, newName)) {
        const std::string reason = platform::lastFailureWasInUse()
                                       ? "it is in use by another program"
                                       : platform::lastErrorText();
        job_.reporter().note("Unable to rename file, check permissions, file naming\n");
        job_.failSoftly("Can't rename '" + job_.outputName + "' to '" + newName + "': " + reason);
        return false;
    }
    result = newName;
    return true;
}
