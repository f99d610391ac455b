#include "stamp/pass/CPdfStamp.h"

#include "app/RunSteps.h"
#include "app/StandardInputCopy.h"
#include "pdf/CPdfException.h"
#include "platform/Platform.h"
#include "platform/UniqueFile.h"
#include "stamp/files/LineReader.h"
#include "stamp/write/COutputFile.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

// A text-lines file is read as fgets with a 255-byte buffer reads it: a longer line is drawn
// as several lines of at most this many bytes.
constexpr size_t kMaxTextLineBytes = 254;

// The intermediate files of a run, removed on the way out unless handed on.
class IntermediateFiles {
  public:
    IntermediateFiles() = default;
    IntermediateFiles(const IntermediateFiles&) = delete;
    IntermediateFiles& operator=(const IntermediateFiles&) = delete;
    ~IntermediateFiles() {
        for (const std::string& name : names_) {
            platform::removeFile(name);
        }
    }
    // A new, empty file of a unique name beside the output (in the system's temporary folder
    // for standard output): never an input of the run nor any file that was there before.
    std::string create(const std::string& output) {
        std::string name;
        const UniqueFile file(COutputFile::isStandardOutput(output)
                                  ? platform::createTempFile(name)
                                  : platform::createTempFileBeside(output, name));
        if (!file) {
            const std::string reason = platform::lastErrorText();
            throw CPdfException("\nOutput file create error: '" + output + "'\n",
                                "Can't create the output file: " + reason);
        }
        names_.push_back(name);
        return name;
    }
    void remove(const std::string& name) {
        platform::removeFile(name);
        forget(name);
    }
    void forget(const std::string& name) {
        names_.erase(std::remove(names_.begin(), names_.end(), name), names_.end());
    }

  private:
    std::vector<std::string> names_;
};

// The last pass's output of a text-lines run given -o-, copied to standard output.
void sendToStandardOutput(const std::string& path) {
    std::string error;
    const UniqueFile file(platform::openRegularFile(path, error));
    if (!file || !platform::sendToStandardOutput(file.get())) {
        const std::string reason = file ? platform::lastErrorText() : error;
        throw CPdfException("\nOutput file write error: '-'\n",
                            "Can't write the output to standard output: " + reason);
    }
}

// Makes the folders of an output name that do not exist yet.
void createOutputFolders(const std::string& output) {
    const std::string folder = output.substr(0, platform::fileNameStart(output));
    std::string error;
    if (!folder.empty() && !platform::createFolders(folder, error)) {
        throw CPdfException("\nOutput file create error: '" + output + "'\n",
                            "Can't create the output file: " + error);
    }
}

// What a name of standard input or output cannot do: be removed, or be renamed.
void refuseStandardStreams(const CPdfStamp& job) {
    if (job.removeSource && StandardInputCopy::isStandardInput(job.inputName)) {
        throw CPdfException("-removesourcefile cannot be used with -i-: standard input is no "
                            "file to remove\n");
    }
    if (!job.renamePattern.empty() && COutputFile::isStandardOutput(job.outputName)) {
        throw CPdfException("-rename cannot be used with -o-: standard output is no file to "
                            "rename\n");
    }
}

// One pass per line of the text-lines file, each drawing its line one line spacing below the
// one before. Pass 1 reads the input, each later pass the output of the one before; every pass
// writes a new intermediate file, and the last of these becomes the output. The rename, the
// counter and the source's removal follow only then. The result is the first pass's, with the
// last pass's number and text on the last stamped page and the output's final name; nothing is
// put in place when the text file cannot be read or holds no lines.
PassResult runTextLines(CPdfStamp& job, RunSteps& steps) {
    if (job.lineSpacing == 0) {
        job.lineSpacing = job.stamp.baseSize + 3;
    }
    std::string openError;
    UniqueFile lines(platform::openRegularFile(job.textLinesFile, openError));
    if (!lines) {
        std::printf("Unable to open text file: '%s'\r\n", job.textLinesFile.c_str());
        job.failSoftly("Can't open the text file '" + job.textLinesFile + "': " + openError);
        return PassResult{};
    }
    steps.refuseOutputOverInput();
    const std::string runInput = job.inputName;
    const std::string runOutput = job.outputName;
    // The later passes read the pass before's output; their messages name the run's input.
    if (job.shownInputName.empty()) {
        job.shownInputName = runInput;
    }
    job.reporter().note("Input file: '" + job.inputNameShown() + "'");
    const LineEncoding encoding = startLines(lines.get());
    // Vertically centred lines are centred as a block, the first line at its top.
    const bool centred = job.stamp.positionY == -1;
    if (centred) {
        const size_t count = countLines(lines.get(), kMaxTextLineBytes, encoding);
        job.stamp.centredLineOffset = static_cast<float>(count > 0 ? count - 1 : 0) *
                                      static_cast<float>(job.lineSpacing) * 0.5f;
    }

    // Beside the file a link names, so that the last pass's output can be moved onto it.
    const std::string writtenOutput = platform::followLinks(runOutput);
    IntermediateFiles intermediates;
    std::string line;
    std::string lastOutput;
    PassResult result;
    bool signedInput = false;
    for (int pass = 1; readLine(lines.get(), line, kMaxTextLineBytes, encoding); ++pass) {
        job.stamp.separatorText.clear();
        job.stamp.noPageNumbers = true;
        job.stamp.prefixText = withoutLineEnd(line);
        job.inputName = pass > 1 ? lastOutput : runInput;
        job.outputName = intermediates.create(writtenOutput);
        const PassResult passResult = steps.stampIntermediate();
        signedInput = passResult.signedInput;
        if (pass == 1) {
            result = passResult;
        } else {
            result.lastNumber = passResult.lastNumber;
            result.lastText = passResult.lastText;
        }
        if (centred) {
            job.stamp.centredLineOffset -= static_cast<float>(job.lineSpacing);
        } else {
            job.stamp.positionY -= job.lineSpacing;
        }
        if (pass > 1) {
            intermediates.remove(lastOutput);
        }
        lastOutput = job.outputName;
    }
    lines.reset();

    job.inputName = runInput;
    job.outputName = runOutput;
    if (lastOutput.empty()) {
        // The output name is left alone.
        std::printf("\nNothing to stamp, the text file has no lines: '%s'\n",
                    job.textLinesFile.c_str());
        job.failSoftly("Nothing to stamp: the text file '" + job.textLinesFile + "' is empty");
        return PassResult{};
    }
    steps.prepareFinalSteps();
    if (COutputFile::isStandardOutput(runOutput)) {
        sendToStandardOutput(lastOutput);
        intermediates.remove(lastOutput);
    } else if (!platform::renameReplacing(lastOutput, writtenOutput)) {
        const std::string reason = platform::lastFailureWasInUse()
                                       ? "it is in use by another program"
                                       : platform::lastErrorText();
        throw CPdfException("\nOutput file create error: '" + runOutput + "'\n",
                            "Can't move the last pass's output to '" + runOutput + "': " + reason);
    }
    intermediates.forget(lastOutput);
    job.reporter().note(", output file: '" + runOutput + "'\n");
    if (signedInput) {
        job.reportSignedInput();
    }
    result.output = steps.finishRun();
    return result;
}

} // namespace

PassResult CPdfStamp::runPair(const std::vector<std::string>& args) {
    parseOptions(args);
    refuseStandardStreams(*this);
    const bool toFile = !COutputFile::isStandardOutput(outputName);
    // A device, a FIFO or a folder would be replaced by the output's file: refused before the
    // input is read.
    if (const std::string refusal = toFile ? platform::outputNameRefusal(outputName) : "";
        !refusal.empty()) {
        throw CPdfException("\nOutput file create error: '" + outputName + "'\n",
                            "Can't create the output file: " + refusal);
    }
    if (refuseOutputName) {
        // Shown as a refused rename target is: a failure of this document, its cause named.
        runGuarded([this] { refuseOutputName(outputName); }, {});
    }
    if (toFile) {
        createOutputFolders(outputName);
    }
    // Held for the whole run, and removed when it ends.
    std::optional<StandardInputCopy> standardInput;
    if (StandardInputCopy::isStandardInput(inputName)) {
        standardInput.emplace();
        shownInputName = inputName;
        inputName = standardInput->path();
    }
    if (!stamp.fontSizesFile.empty()) {
        stamp.sizeTable = loadFontSizes(stamp);
    }
    for (StampDefinition& more : moreStamps) {
        if (!more.fontSizesFile.empty()) {
            more.sizeTable = loadFontSizes(more);
        }
    }
    RunSteps steps(*this);
    if (textLinesFile.empty()) {
        return steps.stampDocument();
    }
    return runTextLines(*this, steps);
}
