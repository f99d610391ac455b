#include "app/FileList.h"

#include "app/ConsoleReporter.h"
#include "app/DocumentRun.h"
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
    if (!list_line::isListFileName(listName)) {
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
    const std::string folder = args[2].substr(2);
    std::optional<ProductionPlan> plan;
    if (options.planFile.empty()) {
        platform::createDirectory(folder);
    } else {
        plan.emplace(options.planFile);
    }

    std::string error;
    UniqueFile list(platform::openRegularFile(listName, error));
    if (!list) {
        std::printf("Unable to open file list: '%s'\r\n", listName.c_str());
        refuseList("Can't open the file list '" + listName + "': " + error);
        return kListRefused;
    }

    ListOptions lineOptions = options;
    lineOptions.spreadsheet = list_line::isSpreadsheetList(listName, options.delimiter);
    bool anyFailure = false;
    size_t documents = 0;
    size_t failed = 0;
    std::string rawLine;
    bool firstNamed = true; // the line is the first that names a file
    std::vector<std::string> lineArgs;
    const LineEncoding encoding = startLines(list.get());
    WrittenOutputs written;
    // The inputs so far, each with its first line: an input listed again is stamped again.
    std::unordered_map<std::string, size_t> inputLines;
    const auto refuseWritten = [&written](const std::string& name) { written.refuse(name); };
    size_t lineNumber = 0;
    for (bool first = true; readLine(list.get(), rawLine, kMaxLineBytes, encoding); first = false) {
        ++lineNumber;
        const std::string_view text =
            first ? list_line::skipByteOrderMark(rawLine) : std::string_view(rawLine);
        // An empty line (an extra Enter at the end of the list) names no file.
        if (list_line::isBlankLine(text)) {
            continue;
        }
        ListLine line = list_line::interpretLine(text, lineOptions);
        const bool header = firstNamed && options.startColumn > 0 && !line.startNumber;
        firstNamed = false;
        // A first line without a start number is a header row (a plan's).
        if (header) {
            continue;
        }
        if (line.hasText) {
            list_line::setPrefixArgument(args, line.text);
        }
        const std::string fileName = list_name::resolve(line.fileName);
        args[1] = "-i" + fileName;
        args[2] = "-o" + list_name::outputName(folder, fileName);

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
        const auto input = inputLines.emplace(inputKey, lineNumber).first;
        const std::string again = input->second == lineNumber
                                      ? std::string()
                                      : "Warning: '" + fileName + "' is listed again on line " +
                                            std::to_string(lineNumber) + " (first on line " +
                                            std::to_string(input->second) +
                                            "): it is stamped again";
        DocumentRun document = options.startColumn > 0 && !line.startNumber
                                   ? missingStartNumber(fileName, options.startColumn, log)
                                   : DocumentRun::run(lineArgs, log, refuseWritten, again);
        written.add(document.output, lineNumber);
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
