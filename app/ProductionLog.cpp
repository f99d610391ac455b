#include "app/ProductionLog.h"

#include "pdf/CPdfException.h"
#include "platform/Platform.h"
#include "platform/UniqueFile.h"

#include <cstdio>

namespace {

const char* yesNo(bool value) {
    return value ? "yes" : "no";
}

} // namespace

std::vector<std::string> ProductionLog::header() {
    return {"input",       "output",     "status",    "pages",  "stamped pages", "first number",
            "last number", "first text", "last text", "update", "repaired",      "cause"};
}

std::vector<std::string> ProductionLog::fields(const Row& row) {
    std::vector<std::string> fields = {row.input, row.output, row.stamped ? "stamped" : "failed"};
    if (!row.stamped) {
        // Nothing was put in place: the document's figures are not known.
        fields.resize(header().size() - 1);
        fields.push_back(row.cause);
        return fields;
    }
    const PassResult& pass = row.pass;
    appendRanges(fields, pass);
    fields.push_back(yesNo(pass.update));
    fields.push_back(yesNo(pass.repaired));
    fields.push_back(row.cause);
    return fields;
}

void ProductionLog::appendRanges(std::vector<std::string>& fields, const PassResult& pass) {
    const bool anyStamped = pass.stampedPages > 0;
    fields.push_back(std::to_string(pass.pages));
    fields.push_back(std::to_string(pass.stampedPages));
    fields.push_back(anyStamped ? std::to_string(pass.firstNumber) : std::string());
    fields.push_back(anyStamped ? std::to_string(pass.lastNumber) : std::string());
    fields.push_back(pass.firstText);
    fields.push_back(pass.lastText);
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

void ProductionLog::write(std::string_view bytes) const {
    const auto fail = [this](const std::string& reason) {
        return CPdfException("\nLog file write error: '" + fileName_ + "'\n",
                             "Can't write the log file '" + fileName_ + "': " + reason);
    };
    std::string error;
    UniqueFile file(platform::openForAppend(fileName_, error));
    if (!file) {
        throw fail(error);
    }
    // Unbuffered, so that a row goes out in one write: several runs appending to one log do
    // not mix their rows.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    std::string text;
    if (std::fseek(file.get(), 0, SEEK_END) == 0 && std::ftell(file.get()) == 0) {
        text = csvLine(header());
    }
    text.append(bytes);
    const bool written =
        text.empty() || std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    // The close reports a failed write of what was left pending.
    if (std::fclose(file.release()) != 0 || !written) {
        throw fail(platform::lastErrorText());
    }
}
