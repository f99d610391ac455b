#include "app/ProductionLog.h"

#include "pdf/CPdfException.h"
#include "platform/Platform.h"
#include "platform/UniqueFile.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

namespace {

const char* yesNo(bool value) {
    return value ? "yes" : "no";
}

// A spreadsheet reads a cell that starts with one of these as a formula; the apostrophe before
// it makes the cell text. A plain negative number is left as it is.
std::string guarded(const std::string& field) {
    if (field.empty() || std::string_view("=+-@\t\r").find(field[0]) == std::string_view::npos) {
        return field;
    }
    const bool number = field.size() > 1 && field[0] == '-' &&
                        field.find_first_not_of("0123456789", 1) == std::string::npos;
    return number ? field : "'" + field;
}

// Whether the file's last byte ends a line; a file that cannot be read counts as ending one.
bool endsWithLineEnd(const std::string& fileName, uint64_t size) {
    std::string error;
    const UniqueFile file(platform::openRegularFile(fileName, error));
    char last = '\n';
    if (file && size > 0) {
        platform::readAt(file.get(), size - 1, &last, 1);
    }
    return last == '\n' || last == '\r';
}

} // namespace

std::vector<std::string> ProductionLog::header() {
    return {"input",       "output",     "status",    "pages",  "stamped pages", "first number",
            "last number", "first text", "last text", "update", "repaired",      "cause"};
}

std::vector<std::string> ProductionLog::fields(const Row& row) {
    std::vector<std::string> fields = {guarded(row.input), guarded(row.output),
                                       row.stamped ? "stamped" : "failed"};
    if (!row.stamped) {
        // Nothing was put in place: the document's figures are not known.
        fields.resize(header().size() - 1);
        fields.push_back(guarded(row.cause));
        return fields;
    }
    const PassResult& pass = row.pass;
    appendRanges(fields, pass);
    fields.push_back(yesNo(pass.update));
    fields.push_back(yesNo(pass.repaired));
    fields.push_back(guarded(row.cause));
    return fields;
}

void ProductionLog::appendRanges(std::vector<std::string>& fields, const PassResult& pass) {
    const bool anyStamped = pass.stampedPages > 0;
    fields.push_back(std::to_string(pass.pages));
    fields.push_back(std::to_string(pass.stampedPages));
    fields.push_back(anyStamped ? std::to_string(pass.firstNumber) : std::string());
    fields.push_back(anyStamped ? std::to_string(pass.lastNumber) : std::string());
    fields.push_back(guarded(pass.firstText));
    fields.push_back(guarded(pass.lastText));
}

std::string ProductionLog::csvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            line += ',';
        }
        const std::string& field = fields[i];
        if (field.find_first_of(",\"\r\n") == std::string::npos) {
            line += field;
            continue;
        }
        line += '"';
        for (char c : field) {
            if (c == '"') {
                line += '"';
            }
            line += c;
        }
        line += '"';
    }
    line += "\r\n";
    return line;
}

void ProductionLog::start() const {
    write(std::string_view());
}

void ProductionLog::append(const Row& row) const {
    write(csvLine(fields(row)));
}

void ProductionLog::create() const {
    // The header goes into a file of its own first, which then takes the log's name only if no
    // other run made the log meanwhile: two runs that start at once write one header.
    std::string temp;
    UniqueFile file(platform::createTempFileBeside(fileName_, temp));
    if (!file) {
        // The log is opened all the same, which reports why it cannot be written.
        return;
    }
    const std::string text = std::string(ProductionLog::kByteOrderMark) + csvLine(header());
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    if (std::fclose(file.release()) != 0 || !written ||
        !platform::renameIfAbsent(temp, fileName_)) {
        platform::removeFile(temp);
    }
}

void ProductionLog::write(std::string_view bytes) const {
    const auto fail = [this](const std::string& reason) {
        return CPdfException("\nLog file write error: '" + fileName_ + "'\n",
                             "Can't write the log file '" + fileName_ + "': " + reason);
    };
    if (!platform::fileExists(fileName_)) {
        create();
    }
    std::string error;
    UniqueFile file(platform::openForAppend(fileName_, error));
    if (!file) {
        throw fail(error);
    }
    // Unbuffered, so that a row goes out in one write: several runs appending to one log do
    // not mix their rows.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    std::string text;
    uint64_t size = 0;
    if (platform::fileSize(file.get(), size) && size == 0) {
        // A file made ready by hand, empty.
        text = std::string(ProductionLog::kByteOrderMark) + csvLine(header());
    } else if (!bytes.empty() && !endsWithLineEnd(fileName_, size)) {
        // A log edited by hand may end without a line end: the row starts a line of its own.
        text = "\r\n";
    }
    text.append(bytes);
    const bool written =
        text.empty() || std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    // The close reports a failed write of what was left pending.
    if (std::fclose(file.release()) != 0 || !written) {
        throw fail(platform::lastErrorText());
    }
}
