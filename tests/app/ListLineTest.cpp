#include "app/ListLine.h"
#include "pdf/CPdfException.h"
#include "platform/Platform.h"
#include "platform/UniqueFile.h"
#include "stamp/files/LineReader.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Columns = std::vector<std::string>;

std::string joined(const Columns& columns) {
    std::string text;
    for (const std::string& column : columns) {
        text += "<" + column + ">";
    }
    return text;
}

TEST(ListLineTest, ListFileNames) {
    const std::pair<const char*, bool> cases[] = {
        {"list.txt", true},  {"files.csv", true}, {".txt", true}, {"dir/a.csv", true},
        {"list.pdf", false}, {"txt", false},      {"", false},    {"a.txt ", false},
    };
    for (const auto& [name, isList] : cases) {
        EXPECT_EQ(list_line::isListFileName(name), isList) << name;
    }
    // Windows' own names match in any letter case; elsewhere the case is part of the name.
    for (const char* name : {"LIST.TXT", "a.Csv"}) {
        EXPECT_EQ(list_line::isListFileName(name), platform::fileNamesIgnoreCase()) << name;
    }
}

// Only a ".csv" list with a single spreadsheet delimiter is read as a spreadsheet writes it.
TEST(ListLineTest, SpreadsheetLists) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"l.csv", ",", true},   {"l.csv", ";", true}, {"l.csv", "\t", true}, {"l.csv", "|", false},
        {"l.csv", ";,", false}, {"l.csv", "", false}, {"l.txt", ",", false}, {"l.txt", ";", false},
    };
    for (const auto& [name, delimiter, spreadsheet] : cases) {
        EXPECT_EQ(list_line::isSpreadsheetList(name, delimiter), spreadsheet)
            << name << " " << delimiter;
    }
    EXPECT_EQ(list_line::isSpreadsheetList("L.CSV", ","), platform::fileNamesIgnoreCase());
    for (const char* blank : {"", "\n", "\r\n", " \t \r\n"}) {
        EXPECT_TRUE(list_line::isBlankLine(blank)) << testing::PrintToString(blank);
    }
    for (const char* named : {"a", " a\n", ",\n", ";"}) {
        EXPECT_FALSE(list_line::isBlankLine(named)) << named;
    }
}

TEST(ListLineTest, CsvFieldsAsSpreadsheetsWriteThem) {
    const std::pair<const char*, const char*> cases[] = {
        {"A1.pdf,\"Smith, J\",X", "<A1.pdf><Smith, J><X>"},
        {"A.pdf,\"a \"\"b,c\"\" d\",E", "<A.pdf><a \"b,c\" d><E>"},
        {"B.pdf,\"\",X", "<B.pdf><><X>"},
        {"C.pdf,\"x|y\",z", "<C.pdf><x|y><z>"},
        {"a,,\"b\",", "<a><b>"},
        {"\"", "<>"},
        {"a,\"b,c", "<a><b,c>"},
        {"a\"b,c", "<a\"b><c>"},
        {"\"q\"tail,x", "<qtail><x>"},
    };
    for (const auto& [line, expected] : cases) {
        EXPECT_EQ(joined(list_line::splitCsvFields(line)), expected) << line;
    }
}

// A spreadsheet's empty cells are columns of their own, whatever its delimiter.
TEST(ListLineTest, SpreadsheetCellsKeepTheirColumns) {
    const std::tuple<const char*, char, const char*> cases[] = {
        {"a.pdf,O'Brien,,Ref 14", ',', "<a.pdf><O'Brien><><Ref 14>"},
        {"a.pdf,,", ',', "<a.pdf><><>"},
        {",x", ',', "<><x>"},
        {"a.pdf;\"M\u00fcller / Hans\";\"Akte \"\"A\"\" 12\"", ';',
         "<a.pdf><M\u00fcller / Hans><Akte \"A\" 12>"},
        {"a.pdf;x,y;;z", ';', "<a.pdf><x,y><><z>"},
        {"a.pdf\t\tb", '\t', "<a.pdf><><b>"},
        {"", ',', "<>"},
    };
    for (const auto& [line, delimiter, expected] : cases) {
        EXPECT_EQ(joined(list_line::splitCsvFields(line, delimiter, true)), expected) << line;
    }
}

TEST(ListLineTest, SplitColumns) {
    struct Case {
        const char* line;
        const char* delimiters;
        const char* expected;
    };
    const Case cases[] = {
        {"AAA.pdf,123456,XX,11", ",", "<AAA.pdf><123456><XX><11>"},
        {"a,,b,", ",", "<a><b>"},
        {",,", ",", ""},
        {"", ",", ""},
        {"a;b c", "; ", "<a><b><c>"},
        {"a|b,c", ",", "<a|b><c>"},
        {"one", ",", "<one>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(joined(list_line::splitColumns(c.line, c.delimiters)), c.expected) << c.line;
    }
}

TEST(ListLineTest, ColumnSelection) {
    const std::pair<const char*, std::vector<int32_t>> cases[] = {
        {"1,3", {1, 3}},
        {"3,1", {3, 1}},
        {"2,2,1", {2, 2, 1}},
        {" 4, 5x,-1", {4, 5, -1}},
        {"abc", {0}},
        {"1,,2", {1, 2}},
        {"", {}},
        {"99999999999", {2147483647}},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(list_line::parseColumnSelection(text), expected) << text;
    }
}

TEST(ListLineTest, AtMostTwentyColumns) {
    std::string twenty = "1";
    // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) on "," + std::to_string(i).
    for (int i = 2; i <= 20; ++i) {
        twenty += ',';
        twenty += std::to_string(i);
    }
    EXPECT_EQ(list_line::parseColumnSelection(twenty).size(), 20u);
    try {
        list_line::parseColumnSelection(twenty + ",21");
        FAIL() << "21 columns accepted";
    } catch (const CPdfException& failure) {
        EXPECT_EQ(failure.message(), "Too many columns specified in csv/txt file.  max is 20");
    }
}

TEST(ListLineTest, LineText) {
    const Columns columns{"AAA.pdf", "123456", "XX", "11"};
    struct Case {
        const char* name;
        std::vector<int32_t> selection;
        bool selected;
        const char* separator;
        const char* expected;
    };
    const Case cases[] = {
        {"selection 1,3", {1, 3}, true, "/", "123456/11"},
        {"selection 3,1", {3, 1}, true, "/", "11/123456"},
        {"no selection", {}, false, "/", "123456/XX/11"},
        {"no separator runs pieces together", {}, false, "", "123456XX11"},
        {"duplicates", {2, 2}, true, "-", "XX-XX"},
        {"column 0 is the file name", {0, 1}, true, "/", "123456"},
        {"out of range and negative", {9, -1, 2}, true, "/", "XX"},
        {"empty selection", {}, true, "/", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(
            list_line::buildLineText(columns, c.selected ? &c.selection : nullptr, c.separator),
            c.expected)
            << c.name;
    }
}

TEST(ListLineTest, InterpretLine) {
    struct Case {
        const char* name;
        const char* line;
        ListOptions options;
        const char* fileName;
        bool hasText;
        const char* text;
    };
    const Case cases[] = {
        {"plain list, CR LF cut", "a b.pdf\r\n", {}, "a b.pdf", false, ""},
        {"plain list, LF cut", "x.pdf\nrest", {}, "x.pdf", false, ""},
        {"plain list, commas are data", "a,b.pdf", {}, "a,b.pdf", false, ""},
        {"empty line", "\n", {}, "", false, ""},
        {"columns 1,3", "AAA.pdf,123456,XX,11\n", {",", "/", "1,3"}, "AAA.pdf", true, "123456/11"},
        {"columns 3,1", "AAA.pdf,123456,XX,11", {",", "/", "3,1"}, "AAA.pdf", true, "11/123456"},
        {"all columns", "AAA.pdf,123456,XX,11", {",", "/", ""}, "AAA.pdf", true, "123456/XX/11"},
        {"csv quoting", "A1.pdf,\"Smith, J\",X\r\n", {",", "+", ""}, "A1.pdf", true, "Smith, J+X"},
        {"quoted delimiter and quotes",
         "A.pdf,\"a \"\"b,c\"\" d\",E",
         {",", "/", ""},
         "A.pdf",
         true,
         "a \"b,c\" d/E"},
        {"empty quoted field", "B.pdf,\"\",X", {",", "/", ""}, "B.pdf", true, "/X"},
        {"quoted separator", "C.pdf,\"x|y\",z", {",", "|", ""}, "C.pdf", true, "x|y|z"},
        {"quoted columns selected",
         "\"D D.pdf\",\"\",\"2\"",
         {",", "/", "2"},
         "D D.pdf",
         true,
         "2"},
        {"pipe is data without quotes", "A|1.pdf,B", {",", "", ""}, "A|1.pdf", true, "B"},
        {"quoting only for a comma delimiter", "\"a\";b", {";", "", ""}, "\"a\"", true, "b"},
        {"selection beyond the columns", "a.pdf,t", {",", "", "2"}, "a.pdf", true, ""},
        {"no text columns gives an empty text", "a.pdf", {",", "/", ""}, "a.pdf", true, ""},
        {"spreadsheet: an empty cell is a column",
         "a.pdf,O'Brien,,Ref 14\r\n",
         {",", "/", "1,3", true},
         "a.pdf",
         true,
         "O'Brien/Ref 14"},
        {"spreadsheet: semicolon cells with quotes",
         "\"a b.pdf\";\"x;y\";z",
         {";", "/", "", true},
         "a b.pdf",
         true,
         "x;y/z"},
        {"not a spreadsheet: runs of delimiters count as one",
         "a.pdf,O'Brien,,Ref 14",
         {",", "/", "1,3"},
         "a.pdf",
         true,
         "O'Brien"},
    };
    for (const Case& c : cases) {
        ListLine line = list_line::interpretLine(c.line, c.options);
        EXPECT_EQ(line.fileName, c.fileName) << c.name;
        EXPECT_EQ(line.hasText, c.hasText) << c.name;
        EXPECT_EQ(line.text, c.text) << c.name;
    }
}

// The arguments a list line gives its run: the text as the prefix, the start number as -ns.
TEST(ListLineTest, LineArguments) {
    using Args = std::vector<std::string>;
    struct Case {
        const char* name;
        Args args;
        Args expected;
    };
    const Case cases[] = {
        {"added at the end", {"q", "-ia", "-ob", "-r"}, {"q", "-ia", "-ob", "-r", "-prefix", "T"}},
        {"value replaced",
         {"q", "-ia", "-ob", "-prefix", "old", "-r"},
         {"q", "-ia", "-ob", "-prefix", "T", "-r"}},
        {"every prefix argument",
         {"q", "-ia", "-ob", "-prefix", "1", "-prefix", "2"},
         {"q", "-ia", "-ob", "-prefix", "T", "-prefix", "T"}},
        {"begins with -prefix",
         {"q", "-ia", "-ob", "-prefixx", "1"},
         {"q", "-ia", "-ob", "-prefixx", "T"}},
        {"prefix as last argument gets its value",
         {"q", "-ia", "-ob", "-prefix"},
         {"q", "-ia", "-ob", "-prefix", "T"}},
        {"the value of another option is text",
         {"q", "-ia", "-ob", "-sep", "-prefix", "-size20"},
         {"q", "-ia", "-ob", "-sep", "-prefix", "-size20", "-prefix", "T"}},
        {"a value that names an option is passed over",
         {"q", "-ia", "-ob", "-end", "-sep", "-prefix", "old", "-font", "-prefix", "-r"},
         {"q", "-ia", "-ob", "-end", "-sep", "-prefix", "T", "-font", "-prefix", "-r"}},
        {"arguments 1 and 2 are not options",
         {"q", "-prefix", "-prefix"},
         {"q", "-prefix", "-prefix", "-prefix", "T"}},
    };
    for (const Case& c : cases) {
        Args args = c.args;
        list_line::setPrefixArgument(args, "T");
        EXPECT_EQ(args, c.expected) << c.name;
        list_line::setPrefixArgument(args, "T");
        EXPECT_EQ(args, c.expected) << c.name << ", second line";
    }
    // The start number of a line with a start column: the first stamp's last option.
    const Case startCases[] = {
        {"added at the end", {"q", "-ia", "-ob", "-r"}, {"q", "-ia", "-ob", "-r", "-ns7"}},
        {"after the stamp's own -ns, so it wins",
         {"q", "-ia", "-ob", "-ns3", "-s2"},
         {"q", "-ia", "-ob", "-ns3", "-s2", "-ns7"}},
        {"the first stamp's, before -next",
         {"q", "-ia", "-ob", "-s2", "-next", "-ns1"},
         {"q", "-ia", "-ob", "-s2", "-ns7", "-next", "-ns1"}},
        {"a value that reads -next is text",
         {"q", "-ia", "-ob", "-prefix", "-next", "-r"},
         {"q", "-ia", "-ob", "-prefix", "-next", "-r", "-ns7"}},
    };
    for (const Case& c : startCases) {
        Args args = c.args;
        list_line::setStartNumberArgument(args, 7);
        EXPECT_EQ(args, c.expected) << c.name;
    }
}

// A line with a start column: the number read from it strictly, and text only from the columns
// -listusecol names.
TEST(ListLineTest, StartColumn) {
    struct Case {
        const char* name;
        const char* line;
        const char* columns;
        std::optional<int32_t> start;
        bool hasText;
        const char* text;
    };
    const Case cases[] = {
        {"a plan's row", "a.pdf,1000,3,3,1000,1002,A1,A3,\r\n", "", 1000, false, ""},
        {"negative", "a.pdf,-12,x", "", -12, false, ""},
        {"a header row", "input,start number,pages", "", std::nullopt, false, ""},
        {"a plus sign is not a start number", "a.pdf,+5", "", std::nullopt, false, ""},
        {"blanks are not a start number", "a.pdf, 5", "", std::nullopt, false, ""},
        {"beyond 32 bits", "a.pdf,2147483648", "", std::nullopt, false, ""},
        {"empty cell", "a.pdf,,x", "", std::nullopt, false, ""},
        {"no such column", "a.pdf", "", std::nullopt, false, ""},
        {"text from the chosen columns", "a.pdf,7,Smith,Ref", "3,2", 7, true, "Ref/Smith"},
    };
    for (const Case& c : cases) {
        ListOptions options;
        options.delimiter = ",";
        options.separator = "/";
        options.columns = c.columns;
        options.spreadsheet = true;
        options.startColumn = 1;
        const ListLine line = list_line::interpretLine(c.line, options);
        EXPECT_EQ(line.fileName, c.line[0] == 'i' ? "input" : "a.pdf") << c.name;
        EXPECT_EQ(line.startNumber, c.start) << c.name;
        EXPECT_EQ(line.hasText, c.hasText) << c.name;
        EXPECT_EQ(line.text, c.text) << c.name;
    }
}

TEST(LineReaderTest, ReadsLinesWithTheirLineEnds) {
    TempDir folder;
    std::string longLine(kMaxLineBytes + 10, 'x');
    std::string name =
        folder.write("lines.txt", "one\r\ntwo\n\n" + longLine + "\nmac\rold\r\rlast");
    UniqueFile file(std::fopen(name.c_str(), "rb"));
    ASSERT_TRUE(file);
    std::vector<std::string> lines;
    std::string line;
    while (readLine(file.get(), line)) {
        lines.push_back(line);
    }
    const std::vector<std::string> expected{
        "one\r\n", "two\n", "\n",  std::string(kMaxLineBytes, 'x'), "xxxxxxxxxx\n", "mac\r",
        "old\r",   "\r",    "last"};
    EXPECT_EQ(lines, expected);
    std::vector<std::string> stripped;
    for (const std::string& piece : lines) {
        stripped.emplace_back(withoutLineEnd(piece));
    }
    EXPECT_EQ(stripped[0], "one");
    EXPECT_EQ(stripped[5], "mac");
    EXPECT_EQ(stripped[7], "");
    EXPECT_EQ(stripped[8], "last");
}

// UTF-16 of the code units, with its byte-order mark first.
std::string utf16(std::u16string_view units, bool littleEndian) {
    std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t unit : units) {
        const char low = static_cast<char>(unit & 0xFF);
        const char high = static_cast<char>(unit >> 8);
        bytes += littleEndian ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
}

// Lists written by Windows tools: UTF-8 with or without its mark, UTF-16 of either byte order
// (PowerShell's "ls > list.txt"). Every line comes out as UTF-8 with its line end.
TEST(LineReaderTest, ByteOrderMarksChooseHowTheFileIsRead) {
    struct Case {
        const char* name;
        std::string bytes;
        size_t maxBytes;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"no mark", "a\xC3\xBC\r\nb", kMaxLineBytes, {"a\xC3\xBC\r\n", "b"}},
        {"UTF-8 mark",
         "\xEF\xBB\xBF"
         "a.pdf\r\nb.pdf\r\n",
         kMaxLineBytes,
         {"a.pdf\r\n", "b.pdf\r\n"}},
        {"UTF-8 mark only", "\xEF\xBB\xBF", kMaxLineBytes, {}},
        {"a lone FF is no mark", "\xFFz\n", kMaxLineBytes, {"\xFFz\n"}},
        {"UTF-16 LE",
         utf16(u"Gr\u00F6\u00DFe.pdf\r\n\u03A9\n", true),
         kMaxLineBytes,
         {"Gr\xC3\xB6\xC3\x9F"
          "e.pdf\r\n",
          "\xCE\xA9\n"}},
        {"UTF-16 BE, CR alone and CR CR",
         utf16(u"a\rb\r\rc", false),
         kMaxLineBytes,
         {"a\r", "b\r", "\r", "c"}},
        {"surrogate pair", utf16(u"\U0001F600x", true), kMaxLineBytes, {"\xF0\x9F\x98\x80x"}},
        {"unpaired high surrogate", utf16(u"\xD83Dx\n", true), kMaxLineBytes, {"\xEF\xBF\xBDx\n"}},
        {"lone low surrogate", utf16(u"\xDE00\n", false), kMaxLineBytes, {"\xEF\xBF\xBD\n"}},
        {"odd last byte dropped", utf16(u"ab", true) + "c", kMaxLineBytes, {"ab"}},
        {"no character split at the limit",
         utf16(u"ab\u20ACc\n", true),
         4,
         {"ab",
          "\xE2\x82\xAC"
          "c",
          "\n"}},
        {"CR LF not split at the limit", utf16(u"abc\r\nd", true), 4, {"abc\r\n", "d"}},
    };
    TempDir folder;
    for (const Case& c : cases) {
        const std::string name = folder.write("lines.txt", c.bytes);
        UniqueFile file(std::fopen(name.c_str(), "rb"));
        ASSERT_TRUE(file) << c.name;
        const LineEncoding encoding = startLines(file.get());
        EXPECT_EQ(countLines(file.get(), c.maxBytes, encoding), c.expected.size()) << c.name;
        // Counted, then read again from past the mark.
        std::vector<std::string> lines;
        std::string line;
        while (readLine(file.get(), line, c.maxBytes, encoding)) {
            lines.push_back(line);
        }
        EXPECT_EQ(lines, c.expected) << c.name;
    }
}

TEST(LineReaderTest, EmptyFileHasNoLines) {
    TempDir folder;
    std::string name = folder.write("empty.txt", "");
    UniqueFile file(std::fopen(name.c_str(), "rb"));
    ASSERT_TRUE(file);
    std::string line = "stale";
    EXPECT_FALSE(readLine(file.get(), line));
    EXPECT_TRUE(line.empty());
}

} // namespace
