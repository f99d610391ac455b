#include "app/ListLine.h"

#include "app/OptionTable.h"
#include "pdf/CPdfException.h"
#include "platform/Platform.h"
#include "stamp/files/NumberScan.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstddef>

namespace list_line {

namespace {

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool hasExtension(std::string_view name, std::string_view extension) {
    if (!platform::fileNamesIgnoreCase()) {
        return endsWith(name, extension);
    }
    if (name.size() < extension.size()) {
        return false;
    }
    const std::string_view end = name.substr(name.size() - extension.size());
    return std::equal(end.begin(), end.end(), extension.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

} // namespace

bool isListFileName(std::string_view name) {
    return hasExtension(name, ".txt") || hasExtension(name, ".csv");
}

bool isSpreadsheetList(std::string_view listName, std::string_view delimiter) {
    return hasExtension(listName, ".csv") &&
           (delimiter == "," || delimiter == ";" || delimiter == "\t");
}

bool isBlankLine(std::string_view rawLine) {
    return rawLine.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

std::string_view skipByteOrderMark(std::string_view line) {
    constexpr std::string_view kMark = "\xEF\xBB\xBF";
    return line.substr(0, kMark.size()) == kMark ? line.substr(kMark.size()) : line;
}

std::string_view cutAtLineEnd(std::string_view line) {
    size_t end = line.find_first_of("\r\n");
    return end == std::string_view::npos ? line : line.substr(0, end);
}

std::vector<std::string> splitCsvFields(std::string_view line, char delimiter, bool keepEmpty) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;   // the field began with a quote
    bool inQuotes = false; // inside its quotes
    auto endField = [&]() {
        if (quoted || keepEmpty || !field.empty()) {
            fields.push_back(std::move(field));
        }
        field.clear();
        quoted = false;
    };
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (inQuotes) {
            if (c != '"') {
                field += c;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                inQuotes = false;
            }
        } else if (c == delimiter) {
            endField();
        } else if (c == '"' && field.empty() && !quoted) {
            quoted = true;
            inQuotes = true;
        } else {
            field += c;
        }
    }
    endField();
    return fields;
}

std::vector<std::string> splitColumns(std::string_view line, std::string_view delimiters) {
    std::vector<std::string> columns;
    size_t pos = 0;
    while (pos < line.size()) {
        size_t start = line.find_first_not_of(delimiters, pos);
        if (start == std::string_view::npos) {
            break;
        }
        size_t end = line.find_first_of(delimiters, start);
        if (end == std::string_view::npos) {
            end = line.size();
        }
        columns.emplace_back(line.substr(start, end - start));
        pos = end;
    }
    return columns;
}

std::vector<int32_t> parseColumnSelection(std::string_view selection) {
    std::vector<int32_t> numbers;
    for (const std::string& piece : splitColumns(selection, ",")) {
        if (numbers.size() == kMaxSelectedColumns) {
            throw CPdfException("Too many columns specified in csv/txt file.  max is 20");
        }
        numbers.push_back(number_scan::leadingDecimal(piece));
    }
    return numbers;
}

std::string buildLineText(const std::vector<std::string>& columns,
                          const std::vector<int32_t>* selection, std::string_view separator) {
    std::string text;
    bool first = true;
    auto append = [&](const std::string& piece) {
        if (!first) {
            text += separator;
        }
        text += piece;
        first = false;
    };
    if (selection != nullptr) {
        for (int32_t column : *selection) {
            if (column > 0 && static_cast<size_t>(column) < columns.size()) {
                append(columns[static_cast<size_t>(column)]);
            }
        }
    } else {
        for (size_t column = 1; column < columns.size(); ++column) {
            append(columns[column]);
        }
    }
    return text;
}

ListLine interpretLine(std::string_view rawLine, const ListOptions& options) {
    ListLine result;
    std::string_view line = cutAtLineEnd(rawLine);
    if (options.delimiter.empty()) {
        result.fileName = std::string(line);
        return result;
    }
    std::vector<int32_t> selection;
    bool hasSelection = !options.columns.empty();
    if (hasSelection) {
        selection = parseColumnSelection(options.columns);
    }
    // A spreadsheet's line keeps its empty cells; elsewhere a comma-delimited line with quotes
    // is read as CSV, and other lines split at the delimiters.
    std::vector<std::string> columns;
    if (options.spreadsheet) {
        columns = splitCsvFields(line, options.delimiter[0], true);
    } else if (options.delimiter == "," && line.find('"') != std::string_view::npos) {
        columns = splitCsvFields(line);
    } else {
        columns = splitColumns(line, options.delimiter);
    }
    if (!columns.empty()) {
        result.fileName = columns[0];
    }
    if (options.startColumn > 0) {
        const auto column = static_cast<size_t>(options.startColumn);
        if (column < columns.size()) {
            result.startNumber = parseStartNumber(columns[column]);
        }
        // The list's other columns are the plan's figures: text only where chosen.
        if (!hasSelection) {
            return result;
        }
    }
    result.text = buildLineText(columns, hasSelection ? &selection : nullptr, options.separator);
    result.hasText = true;
    return result;
}

std::optional<int32_t> parseStartNumber(std::string_view field) {
    int32_t value = 0;
    const char* end = field.data() + field.size();
    // from_chars takes a minus sign but no plus sign nor blanks.
    const auto [at, error] = std::from_chars(field.data(), end, value);
    if (field.empty() || error != std::errc() || at != end) {
        return std::nullopt;
    }
    return value;
}

void setStartNumberArgument(std::vector<std::string>& args, int32_t number) {
    size_t at = args.size();
    for (size_t i = 3; i < args.size(); ++i) {
        if (args[i] == "-next") {
            at = i;
            break;
        }
        if (OptionTable::isValueOption(args[i])) {
            ++i;
        }
    }
    args.insert(args.begin() + static_cast<std::ptrdiff_t>(at), "-ns" + std::to_string(number));
}

void setPrefixArgument(std::vector<std::string>& args, const std::string& text) {
    bool found = false;
    for (size_t i = 3; i < args.size(); ++i) {
        if (args[i].rfind("-prefix", 0) != 0) {
            // The value of another option ("-sep -prefix") is text, not an option.
            if (OptionTable::isValueOption(args[i])) {
                ++i;
            }
            continue;
        }
        found = true;
        if (i + 1 < args.size()) {
            args[i + 1] = text;
        } else {
            args.push_back(text);
        }
        ++i; // the value just written is not an option
    }
    if (!found) {
        args.push_back("-prefix");
        args.push_back(text);
    }
}

} // namespace list_line
