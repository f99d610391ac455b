#include "stamp/CPdfStamp.h"

#include "app/LineReader.h"
#include "pdf/CPdfException.h"
#include "platform/Platform.h"

#include <cstdio>

namespace {

// A text-lines file is read as fgets with a 255-byte buffer reads it: a longer line is drawn
// as several lines of at most this many bytes.
constexpr size_t kMaxTextLineBytes = 254;

bool isRunInput(const std::string& name, const std::string& runInput) {
    return name == runInput || platform::sameFile(name, runInput);
}

// One pass per line of the text-lines file, each drawing its line one line spacing below the
// one before. Pass i reads the output of pass i - 1 and writes "<output>-<i>"; the last of
// these becomes the output.
void runTextLines(CPdfStamp& job) {
    if (job.lineSpacing == 0) {
        job.lineSpacing = job.currentSize + 3;
    }
    UniqueFile lines(std::fopen(job.textLinesFile.c_str(), "rb"));
    if (!lines) {
        std::printf("Unable to open text file: '%s'\r\n", job.textLinesFile.c_str());
        job.softFailure = true;
        return;
    }
    job.refuseOutputOverInput();
    const std::string runInput = job.inputName;
    const std::string runOutput = job.outputName;
    std::printf("Input file: '%s'", runInput.c_str());
    // Vertically centred lines are centred as a block, the first line at its top.
    const bool centred = job.positionY == -1;
    if (centred) {
        const size_t count = countLines(lines.get(), kMaxTextLineBytes);
        job.centredLineOffset = static_cast<float>(count > 0 ? count - 1 : 0) *
                                static_cast<float>(job.lineSpacing) * 0.5f;
    }

    std::string line;
    std::string lastOutput;
    for (int pass = 1; readLine(lines.get(), line, kMaxTextLineBytes); ++pass) {
        job.separatorText.clear();
        job.noPageNumbers = true;
        job.prefixText = withoutLineEnd(line);
        if (pass > 1) {
            job.inputName = lastOutput;
        }
        job.outputName = runOutput + "-" + std::to_string(pass);
        try {
            job.stampDocument();
        } catch (...) {
            // Leave the output folder as the run found it.
            if (pass > 1 && !isRunInput(job.inputName, runInput)) {
                platform::removeFile(job.inputName);
            }
            throw;
        }
        if (centred) {
            job.centredLineOffset -= static_cast<float>(job.lineSpacing);
        } else {
            job.positionY -= job.lineSpacing;
        }
        if (pass > 1 && !isRunInput(job.inputName, runInput)) {
            platform::removeFile(job.inputName);
        }
        lastOutput = job.outputName;
    }
    lines.reset();

    if (lastOutput.empty()) {
        platform::removeFile(runOutput);
    } else if (!platform::renameReplacing(lastOutput, runOutput)) {
        platform::removeFile(lastOutput);
        throw CPdfException("Unable to rename '" + lastOutput + "' to '" + runOutput + "'\n");
    }
    std::printf(", output file: '%s'\n", runOutput.c_str());
}

} // namespace

void CPdfStamp::runPair(const std::vector<std::string>& args) {
    parseOptions(args);
    if (!fontSizesFile.empty()) {
        loadFontSizes();
    }
    if (textLinesFile.empty()) {
        stampDocument();
        return;
    }
    runTextLines(*this);
}
