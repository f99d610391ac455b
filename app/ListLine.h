#pragma once

#include <cstdint>
#include <optional>
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
    // A ".csv" list delimited by one ",", ";" or tab: its lines are read as spreadsheets write
    // them (set by the list runner from the list's name).
    bool spreadsheet = false;
    // "-keepgoing": a line that fails is reported and the list goes on with the next one.
    bool keepGoing = false;
    // "-liststartcol": the column (1 on) that holds the number the line's document starts at;
    // 0 when not given, -1 when given as anything but a column number from 1 on.
    int32_t startColumn = 0;
    // "-plan": the file the list's plan is written to, instead of stamping the list.
    std::string planFile = {};
};

// What a list line asks for: the input file name and, with a delimiter, the stamp text.
struct ListLine {
    std::string fileName;
    std::string text;
    bool hasText = false; // a delimiter was set, so text replaces the prefix
    // With a start column: the number the document starts at, when the column holds one.
    std::optional<int32_t> startNumber;
};

namespace list_line {

inline constexpr size_t kMaxSelectedColumns = 20;

// A list file is named "*.txt" or "*.csv": case-sensitive, but in any case where the system's
// file names are (Windows).
bool isListFileName(std::string_view name);

// Whether the lines of this list are read as spreadsheets write them: a ".csv" list whose
// delimiter is a single ",", ";" or tab.
bool isSpreadsheetList(std::string_view listName, std::string_view delimiter);

// True for a line that holds nothing but blanks and its line end: it names no file.
bool isBlankLine(std::string_view rawLine);

// The line without a leading UTF-8 byte-order mark, which spreadsheets write at the start of
// "CSV UTF-8" files.
std::string_view skipByteOrderMark(std::string_view line);

// The line up to its first CR or LF.
std::string_view cutAtLineEnd(std::string_view line);

// The fields of a CSV line, as spreadsheets write them: a field that begins with a double quote
// runs to the closing quote and may hold the delimiter, any other character and "" for one
// quote; an empty quoted field ("") is a field. Unquoted empty fields are fields only with
// keepEmpty (a spreadsheet's empty cell); without it they are left out, as splitColumns does.
std::vector<std::string> splitCsvFields(std::string_view line, char delimiter = ',',
                                        bool keepEmpty = false);

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

// Reads one raw list line (its line end may still be there). With a start column the line's
// text is made of the columns -listusecol names only, and none without it.
ListLine interpretLine(std::string_view rawLine, const ListOptions& options);

// A start number as a list column holds it: an optional minus sign and decimal digits, nothing
// else, within 32 bits.
std::optional<int32_t> parseStartNumber(std::string_view field);

// Makes the first stamp count from number: "-ns<number>" goes in as the last option of the
// first stamp (before the first "-next" from index 3 on, else at the end), so that it wins over
// any -ns the stamp has. The values of value options are passed over, whatever they hold.
void setStartNumberArgument(std::vector<std::string>& args, int32_t number);

// Gives every "-prefix..." argument from index 3 on the text as its value; without one,
// appends "-prefix" and the text. The values of other value options are passed over, whatever
// they hold.
void setPrefixArgument(std::vector<std::string>& args, const std::string& text);

} // namespace list_line
