#include "app/ProductionPlan.h"

#include "app/ConsoleReporter.h"
#include "app/ProductionLog.h"
#include "pdf/CPdfException.h"
#include "platform/Platform.h"
#include "platform/UniqueFile.h"
#include "stamp/files/CounterFile.h"
#include "stamp/pass/CPdfStamp.h"
#include "stamp/text/CTextComposer.h"
#include "stamp/text/PageNumbering.h"

#include <algorithm>
#include <cstdio>

namespace {

bool anySelected(const StampDefinition& stamp, const std::vector<StampDefinition>& moreStamps,
                 int32_t position) {
    if (isPageSelected(stamp, position)) {
        return true;
    }
    for (const StampDefinition& more : moreStamps) {
        if (isPageSelected(more, position)) {
            return true;
        }
    }
    return false;
}

// The counter runs on through the same file when the run imports the file it exports.
bool chainsCounter(const CPdfStamp& job) {
    return !job.importFile.empty() &&
           (job.importFile == job.exportFile || platform::sameFile(job.importFile, job.exportFile));
}

// Writes bytes to a file of its own beside name, then moves it under name: the file is replaced
// only once it is whole.
void writeReplacing(const std::string& name, const std::string& bytes, const char* what) {
    const auto fail = [&](const std::string& reason) {
        return CPdfException(std::string(what) + " write error: '" + name + "'\n",
                             "Can't write the " + std::string(what) + " file '" + name +
                                 "': " + reason);
    };
    std::string temp;
    UniqueFile file(platform::createTempFileBeside(name, temp));
    if (!file) {
        throw fail(platform::lastErrorText());
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    if (std::fclose(file.release()) != 0 || !written) {
        const std::string reason = platform::lastErrorText();
        platform::removeFile(temp);
        throw fail(reason);
    }
    if (!platform::renameReplacing(temp, name)) {
        const std::string reason = platform::lastErrorText();
        platform::removeFile(temp);
        throw fail(reason);
    }
}

} // namespace

ProductionPlan::Numbers
ProductionPlan::numberDocument(const StampDefinition& stamp,
                               const std::vector<StampDefinition>& moreStamps, int32_t startNumber,
                               uint32_t pageCount) {
    Numbers numbers;
    numbers.pass.pages = pageCount;
    const CTextComposer composer(stamp, pageCount);
    ComposedText composed;
    bool anyFirst = false;
    int32_t highest = 0;
    for (uint32_t index = 0; index < pageCount; ++index) {
        const auto position = static_cast<int32_t>(index + 1);
        if (!anySelected(stamp, moreStamps, position)) {
            continue;
        }
        numbers.pass.stampedPages += 1;
        if (!isPageSelected(stamp, position)) {
            continue;
        }
        const int32_t shown = pageNumberFor(stamp, startNumber, pageCount, position);
        // Only the first and last page's texts are kept; the pages between need their numbers.
        if (!anyFirst || shown > highest) {
            highest = shown;
        }
        if (!anyFirst) {
            composer.compose(shown, composed);
            numbers.pass.firstNumber = shown;
            numbers.pass.firstText = composed.text;
        }
        numbers.pass.lastNumber = shown;
        anyFirst = true;
    }
    if (anyFirst) {
        composer.compose(numbers.pass.lastNumber, composed);
        numbers.pass.lastText = composed.text;
    }
    // As the counter is kept: one after the highest number shown, counted from 0.
    numbers.nextNumber = anyFirst ? std::max<int64_t>(highest, 0) + 1 : startNumber;
    return numbers;
}

int32_t ProductionPlan::startNumberOf(const CPdfStamp& job) {
    if (job.importFile.empty()) {
        return job.stamp.startNumber;
    }
    if (!counter_) {
        int32_t number = 0;
        std::string cause;
        if (!counter_file::read(job.importFile, number, cause)) {
            throw CPdfException("Import file error\n", cause);
        }
        counter_ = number;
    }
    return *counter_;
}

void ProductionPlan::noteNextNumber(const CPdfStamp& job, int64_t next) {
    if (chainsCounter(job)) {
        // The counter file is read back saturated to 32 bits.
        counter_ = static_cast<int32_t>(std::min<int64_t>(next, INT32_MAX));
    }
    if (!job.exportFile.empty()) {
        exportFile_ = job.exportFile;
        exported_ = next;
    }
}

const ProductionPlan::Row& ProductionPlan::addDocument(const std::vector<std::string>& args) {
    ConsoleReporter console;
    CPdfStamp job;
    job.setReporter(console);
    Row& row = rows_.emplace_back();
    row.input = args.size() > 1 && args[1].rfind("-i", 0) == 0 ? args[1].substr(2) : std::string();
    const auto fail = [&row](const CPdfException& failure) -> const Row& {
        row.failed = true;
        row.pass = PassResult{};
        row.cause = ConsoleReporter::causeLine(failure);
        return row;
    };
    try {
        job.parseOptions(args);
    } catch (const CPdfException& failure) {
        return fail(failure);
    }
    if (!job.textLinesFile.empty()) {
        throw CPdfException("-plan cannot be used with -textfile: its lines are stamped in "
                            "passes of their own\n");
    }
    row.startNumber = startNumberOf(job);
    try {
        const PassResult read = job.readDocument();
        const Numbers numbers =
            numberDocument(job.stamp, job.moreStamps, row.startNumber, read.pages);
        row.pass = numbers.pass;
        row.pass.update = read.update;
        row.pass.repaired = read.repaired;
        row.cause = console.warnings();
        if (numbers.pass.stampedPages == 0) {
            const std::string nothing = read.pages == 0
                                            ? "Nothing stamped: the document has no pages"
                                            : "Nothing stamped: no page is chosen by -s, -e or -n";
            row.cause = row.cause.empty() ? nothing : nothing + "; " + row.cause;
        }
        noteNextNumber(job, numbers.nextNumber);
    } catch (const CPdfException& failure) {
        return fail(failure);
    }
    return row;
}

void ProductionPlan::write() const {
    std::string text =
        std::string(ProductionLog::kByteOrderMark) + ProductionLog::csvLine(header());
    for (const Row& row : rows_) {
        text += ProductionLog::csvLine(fields(row));
    }
    writeReplacing(fileName_, text, "Plan");
    if (exported_) {
        writeReplacing(exportFile_, std::to_string(*exported_), "Counter");
    }
}

std::vector<std::string> ProductionPlan::header() {
    return {"input",       "start number", "pages",     "stamped pages", "first number",
            "last number", "first text",   "last text", "cause"};
}

std::vector<std::string> ProductionPlan::fields(const Row& row) {
    std::vector<std::string> fields = {row.input, std::to_string(row.startNumber)};
    if (row.failed) {
        fields.resize(header().size() - 1);
        fields.push_back(row.cause);
        return fields;
    }
    ProductionLog::appendRanges(fields, row.pass);
    fields.push_back(row.cause);
    return fields;
}
