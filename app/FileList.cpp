#include "app/FileList.h"

#include "app/ConsoleReporter.h"
#include "app/DocumentRun.h"
#include "app/FolderInput.h"
#include "app/ListName.h"
#include "app/OptionTable.h"
#include "app/ProductionLog.h"
#include "app/ProductionPlan.h"
#include "pdf/CPdfException.h"
#include "platform/Platform.h"
#include "platform/UniqueFile.h"
#include "stamp/files/LineReader.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

// Why a list is refused, on standard error as one line.
void refuseList(const std::string& cause) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", cause.c_str());
}

// The outputs a list has put in place, each with the line that wrote it: one output per name,
// so that a later line does not replace an earlier line's document. Names are compared as the
// file system tells files apart (letter case on Windows, links), by the file each denotes.
class WrittenOutputs {
  public:
    void add(const std::string& name, size_t line) {
        std::string key;
        if (platform::fileKey(name, key)) {
            lines_.emplace(key, line);
        }
    }
    void refuse(const std::string& name) const {
        std::string key;
        if (!platform::fileKey(name, key)) {
            return;
        }
        if (const auto found = lines_.find(key); found != lines_.end()) {
            throw CPdfException("Output file '" + name + "' was already written by line " +
                                std::to_string(found->second) + " of the list\n");
        }
    }

  private:
    std::unordered_map<std::string, size_t> lines_;
};

// Whether the command line gives the option (its word, not the value of another option).
bool hasOption(const std::vector<std::string>& args, std::string_view word) {
    for (size_t i = 3; i < args.size(); ++i) {
        if (args[i] == word) {
            return true;
        }
        if (OptionTable::isValueOption(args[i])) {
            ++i;
        }
    }
    return false;
}

// Why -liststartcol cannot be taken as given; empty when it can (or is not given).
std::string startColumnRefusal(const std::vector<std::string>& args, const ListOptions& options) {
    if (options.startColumn < 0) {
        return "-liststartcol needs a column number from 1 on";
    }
    if (options.startColumn == 0) {
        return "";
    }
    if (options.delimiter.empty()) {
        return "-liststartcol needs -listdelim: the start number is a column of the line";
    }
    if (hasOption(args, "-import")) {
        return "-liststartcol cannot be used with -import: each line gives its document's start "
               "number";
    }
    return "";
}

// A line whose start column holds no number: its document fails, unstamped, and is logged so.
DocumentRun missingStartNumber(const std::string& fileName, int32_t column,
                               const ProductionLog& log) {
    DocumentRun outcome;
    outcome.failed = true;
    outcome.failure =
        CPdfException("List line error: '" + fileName + "'\n",
                      "the list line holds no start number in column " + std::to_string(column));
    if (log.enabled()) {
        ProductionLog::Row row;
        row.input = fileName;
        row.cause = ConsoleReporter::causeLine(*outcome.failure);
        log.append(row);
    }
    outcome.failure = ConsoleReporter::namingFile(*outcome.failure, fileName);
    return outcome;
}

// One document of a list: the line that names it (its number counted from 1), its input and its
// output.
struct ListEntry {
    ListLine line;
    std::string input;
    std::string output;
    size_t number = 0;
};

// The documents of a list file's lines, or of a folder given as the input, one at a time.
class ListEntries {
  public:
    ListEntries(std::string outputFolder, const ListOptions& options)
        : outputFolder_(std::move(outputFolder)), options_(options) {}

    bool openList(const std::string& listName, std::string& errorText) {
        list_.reset(platform::openRegularFile(listName, errorText));
        if (list_) {
            encoding_ = startLines(list_.get());
        }
        return list_ != nullptr;
    }
    bool openFolder(const std::string& folder, std::string& errorText) {
        inputFolder_ = folder;
        return folder_input::documentNames(folder, names_, errorText);
    }

    // The next document; false after the last.
    bool next(ListEntry& entry) {
        if (!list_) {
            if (nextName_ >= names_.size()) {
                return false;
            }
            const std::string& name = names_[nextName_++];
            entry = ListEntry{};
            entry.line.fileName = name;
            entry.input = platform::joinPath(inputFolder_, name);
            entry.output = platform::joinPath(outputFolder_, name);
            entry.number = nextName_;
            return true;
        }
        while (readLine(list_.get(), rawLine_, kMaxLineBytes, encoding_)) {
            ++lineNumber_;
            const std::string_view text = lineNumber_ == 1 ? list_line::skipByteOrderMark(rawLine_)
                                                           : std::string_view(rawLine_);
            // An empty line (an extra Enter at the end of the list) names no file.
            if (list_line::isBlankLine(text)) {
                continue;
            }
            entry.line = list_line::interpretLine(text, options_);
            entry.input = list_name::resolve(entry.line.fileName);
            // A line "-" names a file of that name, not standard input.
            if (entry.input == "-") {
                entry.input = platform::joinPath(".", entry.input);
            }
            entry.output = list_name::outputName(outputFolder_, entry.input);
            entry.number = lineNumber_;
            return true;
        }
        return false;
    }

  private:
    std::string outputFolder_;
    const ListOptions& options_;
    UniqueFile list_;
    LineEncoding encoding_{};
    std::string rawLine_;
    size_t lineNumber_ = 0;
    std::string inputFolder_;
    std::vector<std::string> names_;
    size_t nextName_ = 0;
};

// The summary of a plan on standard output.
void printPlanSummary(const ProductionPlan& plan, const std::string& fileName) {
    size_t failed = 0;
    uint64_t pages = 0;
    for (const ProductionPlan::Row& row : plan.rows()) {
        failed += row.failed ? 1 : 0;
        pages += row.pass.stampedPages;
    }
    const std::string summary = "Planned " + std::to_string(plan.rows().size()) + " files, " +
                                std::to_string(pages) + " pages to stamp; " +
                                std::to_string(failed) + " would fail; plan written to '" +
                                fileName + "'\n";
    std::fputs(summary.c_str(), stdout);
}

} // namespace

int runFileList(const std::string& listName, std::vector<std::string> args,
                const ListOptions& options, const ProductionLog& log) {
    // A folder is a list of its PDF files when an output folder is given; with "-o" it is
    // refused as any input that is no file is.
    const bool folderInput =
        args.size() > 2 && args[2].rfind("-f", 0) == 0 && platform::isDirectory(listName);
    if (!folderInput && !list_line::isListFileName(listName)) {
        return kNotAList;
    }
    // "-f" alone (often an unset shell variable) would put the outputs at the root.
    if (args.size() < 3 || args[2].rfind("-f", 0) != 0 || args[2].size() == 2) {
        std::fputs("please specify -f for output folder, e.g. -fc:\\test\n", stdout);
        refuseList("A list needs -f<folder> as its second argument");
        return kListRefused;
    }
    if (const std::string refusal = startColumnRefusal(args, options); !refusal.empty()) {
        refuseList(refusal);
        return kListRefused;
    }
    if (folderInput && options.startColumn > 0) {
        refuseList("-liststartcol needs a list file: the files of the folder '" + listName +
                   "' have no columns");
        return kListRefused;
    }
    const std::string folder = args[2].substr(2);
    std::optional<ProductionPlan> plan;
    std::string error;
    if (options.planFile.empty()) {
        if (!platform::createFolders(folder, error)) {
            throw CPdfException("\nOutput folder create error: '" + folder + "'\n",
                                "Can't create the output folder '" + folder + "': " + error);
        }
    } else {
        plan.emplace(options.planFile);
    }

    ListOptions lineOptions = options;
    lineOptions.spreadsheet = list_line::isSpreadsheetList(listName, options.delimiter);
    ListEntries entries(folder, lineOptions);
    if (folderInput && !entries.openFolder(listName, error)) {
        refuseList("Can't read the folder '" + listName + "': " + error);
        return kListRefused;
    }
    if (!folderInput && !entries.openList(listName, error)) {
        std::printf("Unable to open file list: '%s'\r\n", listName.c_str());
        refuseList("Can't open the file list '" + listName + "': " + error);
        return kListRefused;
    }

    bool anyFailure = false;
    size_t documents = 0;
    size_t failed = 0;
    bool firstNamed = true; // the line is the first that names a file
    std::vector<std::string> lineArgs;
    WrittenOutputs written;
    // The inputs so far, each with its first line: an input listed again is stamped again.
    std::unordered_map<std::string, size_t> inputLines;
    const auto refuseWritten = [&written](const std::string& name) { written.refuse(name); };
    ListEntry entry;
    while (entries.next(entry)) {
        const ListLine& line = entry.line;
        const bool header = firstNamed && options.startColumn > 0 && !line.startNumber;
        firstNamed = false;
        // A first line without a start number is a header row (a plan's).
        if (header) {
            continue;
        }
        if (line.hasText) {
            list_line::setPrefixArgument(args, line.text);
        }
        const std::string& fileName = entry.input;
        args[1] = "-i" + fileName;
        args[2] = "-o" + entry.output;

        ++documents;
        if (plan) {
            failed += plan->addDocument(args).failed ? 1 : 0;
            continue;
        }
        lineArgs = args;
        if (options.startColumn > 0 && line.startNumber) {
            list_line::setStartNumberArgument(lineArgs, *line.startNumber);
        }
        std::string inputKey;
        if (!platform::fileKey(fileName, inputKey)) {
            inputKey = fileName;
        }
        const auto input = inputLines.emplace(inputKey, entry.number).first;
        const std::string again = input->second == entry.number
                                      ? std::string()
                                      : "Warning: '" + fileName + "' is listed again on line " +
                                            std::to_string(entry.number) + " (first on line " +
                                            std::to_string(input->second) +
                                            "): it is stamped again";
        DocumentRun document = options.startColumn > 0 && !line.startNumber
                                   ? missingStartNumber(fileName, options.startColumn, log)
                                   : DocumentRun::run(lineArgs, log, refuseWritten, again);
        written.add(document.output, entry.number);
        if (document.failed) {
            ++failed;
        }
        if (document.softFailure || document.failed) {
            anyFailure = true;
        }
        if (document.failure) {
            if (!options.keepGoing) {
                throw *document.failure;
            }
            // Shown as a run that it ended would show it; its output and the counter are as
            // any failed run leaves them, and the next line goes on from there.
            ConsoleReporter::printFailure(*document.failure, std::string());
            continue;
        }
        ConsoleReporter::print("\nDone.\n");
    }
    if (plan) {
        plan->write();
        printPlanSummary(*plan, options.planFile);
        return failed > 0 ? kListProcessedWithFailures : kListProcessed;
    }
    if (options.keepGoing) {
        const std::string summary = "Stamped " + std::to_string(documents - failed) + " of " +
                                    std::to_string(documents) + " files; " +
                                    std::to_string(failed) + " failed\n";
        std::fputs(summary.c_str(), stdout);
    }
    return anyFailure ? kListProcessedWithFailures : kListProcessed;
}
