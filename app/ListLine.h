#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The pure parts of list mode: what one line of a list file means.

// The list settings of the command line ("-listdelim", "-listsep", "-listusecol"), as the entry
// point's pre-scan found them.
struct ListOptions {
    std::string delimiter;
    std::string separator;
    std::string columns;
};

// What a list line asks for: the input file name and, with a delimiter, the stamp text.
struct ListLine {
    std::string fileName;
    std::string text;
    bool hasText = false; // a delimiter was set, so text replaces the prefix
};

namespace list_line {

inline constexpr size_t kMaxSelectedColumns = 20;

// A list file is named "*.txt" or "*.csv" (case-sensitive).
bool isListFileName(std::string_view name);

// The line up to its first CR or LF.
std::string_view cutAtLineEnd(std::string_view line);

// CSV quoting: each double quote is removed and toggles the inside-quotes state; each comma
// outside quotes becomes "|". The character that moves into a removed quote's place is tested as
// a comma (with the new state) but not as a quote, so "" leaves one quote in the data.
std::string rewriteCsvQuotes(std::string_view line);

// The runs of characters between delimiters (every character of delimiters is one); empty
// fields are not columns.
std::vector<std::string> splitColumns(std::string_view line, std::string_view delimiters);

// Comma-separated column numbers, read as atoi does, in order, duplicates kept. Throws
// CPdfException when more than 20 are given.
std::vector<int32_t> parseColumnSelection(std::string_view selection);

// The selected columns (or, without a selection, columns 1 onward) joined with separator.
// Column 0, the file name, and columns the line does not have are left out.
std::string buildLineText(const std::vector<std::string>& columns,
                          const std::vector<int32_t>* selection, std::string_view separator);

// Reads one raw list line (its line end may still be there).
ListLine interpretLine(std::string_view rawLine, const ListOptions& options);

// Gives every "-prefix..." argument from index 3 on the text as its value; without one,
// appends "-prefix" and the text.
void setPrefixArgument(std::vector<std::string>& args, const std::string& text);

} // namespace list_line
