#include "app/ListLine.h"
#include "pdf/CPdfException.h"
#include "platform/UniqueFile.h"
#include "stamp/LineReader.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
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
        {"list.txt", true},  {"files.csv", true}, {".txt", true},      {"dir/a.csv", true},
        {"list.TXT", false}, {"a.Csv", false},    {"list.pdf", false}, {"txt", false},
        {"", false},         {"a.txt ", false},
    };
    for (const auto& [name, isList] : cases) {
        EXPECT_EQ(list_line::isListFileName(name), isList) << name;
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
    };
    for (const Case& c : cases) {
        ListLine line = list_line::interpretLine(c.line, c.options);
        EXPECT_EQ(line.fileName, c.fileName) << c.name;
        EXPECT_EQ(line.hasText, c.hasText) << c.name;
        EXPECT_EQ(line.text, c.text) << c.name;
    }
}

TEST(ListLineTest, PrefixArgument) {
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
