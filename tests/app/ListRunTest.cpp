// Batch lists run through the real program: each line of a ".txt" or ".csv" list stamps one
// input into the "-f" folder under its own name; with a list delimiter the line's columns become
// that file's stamp text.
#include "RunTestUtil.h"
#include "support/ExternalTools.h"
#include "support/PdfBuilder.h"
#include "support/ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

using namespace run_test;

namespace {

const std::string kNoFolder = "please specify -f for output folder, e.g. -fc:\\test\n";
const std::string kTooManyColumns = "Too many columns specified in csv/txt file.  max is 20\n";

// The literal strings drawn by the stamp streams of a file (the blocks positioned with "Tm"),
// in file order, exactly as the bytes hold them.
std::vector<std::string> stampStrings(const std::string& file) {
    std::vector<std::string> strings;
    size_t at = 0;
    while ((at = file.find(" Tm", at)) != std::string::npos) {
        const size_t end = file.find("\nET", at);
        const size_t open = file.find('(', at);
        const size_t close = file.rfind(") Tj", end);
        at += 3;
        if (end == std::string::npos || open == std::string::npos || close == std::string::npos ||
            open > end || close < open) {
            continue;
        }
        strings.push_back(file.substr(open + 1, close - open - 1));
    }
    return strings;
}

int countOf(const std::string& text, const std::string& piece) {
    int count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

struct PlainCase {
    const char* name;
    std::string list;
    bool quiet;
    std::vector<std::string> stamped; // inputs named by the list, in order
};

TEST(ListRunTest, PlainListStampsEachFileIntoTheFolder) {
    const std::vector<PlainCase> cases = {
        {"LF line ends", "a.pdf\nb.pdf\nc.pdf\n", false, {"a.pdf", "b.pdf", "c.pdf"}},
        {"CR LF line ends, quiet",
         "a.pdf\r\nb.pdf\r\nc.pdf\r\n",
         true,
         {"a.pdf", "b.pdf", "c.pdf"}},
        {"last line without an end", "c.pdf\na.pdf", false, {"c.pdf", "a.pdf"}},
        {"CR line ends", "a.pdf\rb.pdf\rc.pdf", true, {"a.pdf", "b.pdf", "c.pdf"}},
        {"UTF-8 byte-order mark skipped",
         "\xEF\xBB\xBF"
         "b.pdf\r\na.pdf\r\n",
         true,
         {"b.pdf", "a.pdf"}},
    };
    for (const PlainCase& c : cases) {
        TempDir folder;
        for (const char* tag : {"a", "b", "c"}) {
            folder.write(std::string(tag) + ".pdf", sheet(tag));
        }
        folder.write("list.txt", c.list);
        std::vector<std::string> args = {"-ilist.txt", "-fout", "-pos100,600"};
        if (c.quiet) {
            args.push_back("-quiet");
        }
        ProgramResult result = runProgram(args, folder.path());

        std::string expected = c.quiet ? "" : kBanner;
        std::vector<std::string> entries = {"a.pdf", "b.pdf", "c.pdf", "list.txt", "out/"};
        for (const std::string& name : c.stamped) {
            if (!c.quiet) {
                expected += "Input file: '" + name + "', output file: '" + listOutput("out", name) +
                            "'\nProcessing";
            }
            expected += kDone;
            entries.push_back("out/" + name);
        }
        std::sort(entries.begin(), entries.end());
        EXPECT_EQ(result.out, expected) << c.name;
        EXPECT_EQ(result.err, "") << c.name;
        EXPECT_EQ(result.status, 0) << c.name;
        EXPECT_EQ(listing(folder.path()), entries) << c.name;
        for (const std::string& name : c.stamped) {
            EXPECT_EQ(stampStrings(TempDir::read(folder.file("out/" + name))),
                      std::vector<std::string>{"Page 1 / 1"})
                << c.name << ": " << name;
            if (haveTools()) {
                expectPdfText(folder.file("out/" + name),
                              "Sheet " + name.substr(0, 1) + " Page 1 / 1",
                              std::string(c.name) + ": " + name);
            }
        }
    }
    if (!haveTools()) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
}

struct CsvCase {
    const char* name;
    std::string line;                 // the list line; its first column names the input
    std::vector<std::string> options; // list settings and stamp options
    std::string drawn;                // the stamp text
};

std::string twentyOnes() {
    std::string selection = "1";
    for (int i = 1; i < 20; ++i) {
        selection += ",1";
    }
    return selection;
}

std::string repeated(const std::string& piece, int times, const std::string& separator) {
    std::string text = piece;
    for (int i = 1; i < times; ++i) {
        text += separator + piece;
    }
    return text;
}

TEST(ListRunTest, ColumnsBecomeTheStampText) {
    const std::string example = "AAA.pdf,123456,XX,11";
    // Comma-delimited columns joined with "/", and further options.
    auto commaSlash = [](const std::vector<std::string>& more = {}) {
        return withArgs({"-listdelim", ",", "-listsep", "/"}, more);
    };
    const std::vector<CsvCase> cases = {
        {"quoted column holding a comma", "A1.pdf,\"Smith, J\",X", commaSlash(), "Smith, J/X"},
        {"two quotes in a row leave one", "A1.pdf,\"say \"\"hi\"\"\",X", commaSlash(),
         "say \"hi\"/X"},
        {"without quotes a bar is data", "A1.pdf,a|b,c", commaSlash(), "a|b/c"},
        {"semicolon spreadsheet: quotes honoured",
         "A1.pdf;\"x;y\";z",
         {"-listdelim", ";", "-listsep", "/"},
         "x;y/z"},
        {"spreadsheet: an empty cell keeps its column", "A1.pdf,O'Brien,,Ref 14",
         commaSlash({"-listusecol", "1,3"}), "O'Brien/Ref 14"},
        {"tab spreadsheet",
         "A1.pdf\t\"a b\"\t\tc",
         {"-listdelim", "\t", "-listsep", "/"},
         "a b//c"},
        {"every delimiter character splits, runs count as one",
         "A1.pdf;p,q;;r,",
         {"-listdelim", ";,", "-listsep", "/"},
         "p/q/r"},
        {"no separator runs the pieces together", "A1.pdf,12,34", {"-listdelim", ","}, "1234"},
        {"separator of several characters",
         "A1.pdf,12,34",
         {"-listdelim", ",", "-listsep", " - "},
         "12 - 34"},
        {"all columns in line order", example, commaSlash(), "123456/XX/11"},
        {"selection 1,3", example, commaSlash({"-listusecol", "1,3"}), "123456/11"},
        {"selection in its own order", example, commaSlash({"-listusecol", "3,1"}), "11/123456"},
        {"duplicates kept", example, commaSlash({"-listusecol", "2,2,1"}), "XX/XX/123456"},
        {"columns the line lacks, column 0 and negatives left out", example,
         commaSlash({"-listusecol", "9,0,2,-1,4"}), "XX"},
        {"numbers read as atoi reads them", example, commaSlash({"-listusecol", " 3,,1x,abc"}),
         "11/123456"},
        {"twenty numbers are accepted", "A1.pdf,7,8", commaSlash({"-listusecol", twentyOnes()}),
         repeated("7", 20, "/")},
        {"selection of a missing column gives an empty text",
         "A1.pdf,x",
         {"-listdelim", ",", "-listusecol", "2"},
         ""},
        {"list text replaces the command line prefix",
         "A1.pdf,from list",
         {"-prefix", "command line", "-listdelim", ","},
         "from list"},
    };
    for (const CsvCase& c : cases) {
        TempDir folder;
        const std::string input = c.line.substr(0, 6) == "AAA.pd" ? "AAA.pdf" : "A1.pdf";
        folder.write(input, sheet("one"));
        folder.write("list.csv", c.line + "\n");
        ProgramResult result = runProgram(
            withArgs({"-ilist.csv", "-fout", "-quiet", "-nopg", "-sep", "", "-pos100,600"},
                     c.options),
            folder.path());
        EXPECT_EQ(result.out, kDone) << c.name;
        EXPECT_EQ(result.status, 0) << c.name;
        const std::string output = folder.file("out/" + input);
        ASSERT_TRUE(fs::exists(output)) << c.name;
        EXPECT_EQ(stampStrings(TempDir::read(output)), std::vector<std::string>{c.drawn}) << c.name;
        if (haveTools()) {
            expectPdfText(output, tools::normalizeSpace("Sheet one " + c.drawn), c.name);
        }
    }
    if (!haveTools()) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
}

struct LineTextCase {
    const char* name;
    std::string list;
    std::vector<std::string> options;
    std::vector<std::string> outputs; // below the test folder, one per line
    std::vector<std::string> drawn;   // the stamp text of each output
};

// What one line sets does not carry over to the next: each line's own text, and placeholders
// expanded for each line's own input.
TEST(ListRunTest, EachLineGetsItsOwnText) {
    const std::vector<std::string> ab = {"out/a.pdf", "out/b.pdf"};
    const std::vector<LineTextCase> cases = {
        {"a line without text columns has an empty prefix, not the default",
         "a.pdf,first\nb.pdf\n",
         {"-listdelim", ","},
         ab,
         {"first1 / 1", "1 / 1"}},
        {"a later line replaces the prefix the list added",
         "a.pdf,first\nb.pdf,second\n",
         {"-listdelim", ",", "-nopg", "-sep", ""},
         ab,
         {"first", "second"}},
        {"placeholder in a column expands per line",
         "a.pdf,Title [FILETITLE]\nb.pdf,Title [FILETITLE]\n",
         {"-listdelim", ",", "-nopg", "-sep", ""},
         ab,
         {"Title a", "Title b"}},
        {"placeholder in the command line prefix expands per line",
         "a.pdf\nb.pdf\n",
         {"-prefix", "File [FILENAME]", "-nopg", "-sep", ""},
         ab,
         {"File a.pdf", "File b.pdf"}},
        // Without a delimiter the whole line "b.pdf,x" names the input.
        {"without a delimiter the list settings are not used",
         "a.pdf\nb.pdf,x\n",
         {"-prefix", "Plain", "-nopg", "-sep", "", "-listsep", "/", "-listusecol",
          twentyOnes() + ",1"},
         {"out/a.pdf", "out/b.pdf,x"},
         {"Plain", "Plain"}},
    };
    for (const LineTextCase& c : cases) {
        TempDir folder;
        folder.write("a.pdf", sheet("a"));
        folder.write("b.pdf", sheet("b"));
        folder.write("b.pdf,x", sheet("b"));
        folder.write("list.txt", c.list);
        ProgramResult result = runProgram(
            withArgs({"-ilist.txt", "-fout", "-quiet", "-pos100,600"}, c.options), folder.path());
        EXPECT_EQ(result.out, kDone + kDone) << c.name;
        EXPECT_EQ(result.status, 0) << c.name;
        for (size_t i = 0; i < c.outputs.size(); ++i) {
            const std::string output = folder.file(c.outputs[i]);
            EXPECT_EQ(stampStrings(TempDir::read(output)), std::vector<std::string>{c.drawn[i]})
                << c.name << ": " << c.outputs[i];
            if (haveTools()) {
                expectPdfText(output,
                              tools::normalizeSpace(std::string("Sheet ") + (i == 0 ? "a " : "b ") +
                                                    c.drawn[i]),
                              std::string(c.name) + ": " + c.outputs[i]);
            }
        }
    }
    if (!haveTools()) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
}

struct FailingLineCase {
    const char* name;
    std::string line;  // the second of three lines
    std::string named; // the input name in the failure message
};

// The first line is stamped, the failing second line ends the list: the third never runs.
TEST(ListRunTest, FailedLineEndsTheList) {
    const std::vector<FailingLineCase> cases = {
        {"missing file", "missing.pdf", "missing.pdf"},
        {"damaged file", "damaged.pdf", "damaged.pdf"},
    };
    for (const FailingLineCase& c : cases) {
        TempDir folder;
        folder.write("a.pdf", sheet("a"));
        folder.write("b.pdf", sheet("b"));
        folder.write("damaged.pdf", "%PDF-1.7\nthis is not a document\n");
        folder.write("list.txt", "a.pdf\n" + c.line + "\nb.pdf\n");
        ProgramResult result = runProgram({"-ilist.txt", "-fout", "-quiet"}, folder.path());
        const std::string failure = "Stamp file issue: '" + c.named + "'\n";
        EXPECT_EQ(result.out.substr(0, kDone.size()), kDone) << c.name << "\n" << result.out;
        ASSERT_GE(result.out.size(), failure.size()) << c.name;
        EXPECT_EQ(result.out.substr(result.out.size() - failure.size()), failure) << c.name << "\n"
                                                                                  << result.out;
        EXPECT_EQ(countOf(result.out, kDone), 1) << c.name;
        EXPECT_NE(result.err, "") << c.name;
        EXPECT_EQ(result.status, 1) << c.name;
        EXPECT_EQ(listing(folder.file("out")), std::vector<std::string>{"a.pdf"}) << c.name;
    }
}

// Blank lines (an extra Enter in Notepad, at the end or between names) name no file.
TEST(ListRunTest, BlankLinesAreSkipped) {
    for (const char* list : {"\r\na.pdf\r\n\r\n \t\r\nb.pdf\r\n\r\n", "a.pdf\n\nb.pdf\n\n\n"}) {
        TempDir folder;
        folder.write("a.pdf", sheet("a"));
        folder.write("b.pdf", sheet("b"));
        folder.write("list.txt", list);
        ProgramResult result = runProgram({"-ilist.txt", "-fout", "-quiet"}, folder.path());
        EXPECT_EQ(result.out, kDone + kDone) << testing::PrintToString(list);
        EXPECT_EQ(result.err, "") << testing::PrintToString(list);
        EXPECT_EQ(result.status, 0) << testing::PrintToString(list);
        EXPECT_EQ(listing(folder.file("out")), (std::vector<std::string>{"a.pdf", "b.pdf"}));
    }
}

struct RefusalCase {
    const char* name;
    std::vector<std::string> args;
    std::string out;
    std::vector<std::string> entries; // the folder afterwards
};

TEST(ListRunTest, RefusedLists) {
    const std::vector<std::string> untouched = {"a.pdf", "list.csv", "list.txt"};
    const std::vector<std::string> withEmptyOut = {"a.pdf", "list.csv", "list.txt", "out/"};
    const std::vector<RefusalCase> cases = {
        {"list with -o instead of -f", {"-ilist.txt", "-oout.pdf"}, kBanner + kNoFolder, untouched},
        {"list as the only argument", {"-ilist.txt"}, kBanner + kNoFolder, untouched},
        {"csv list, -f later on the line", {"-ilist.csv", "-quiet", "-fout"}, kNoFolder, untouched},
        {"-f without a folder", {"-ilist.txt", "-f", "-quiet"}, kNoFolder, untouched},
        {"list file that cannot be opened",
         {"-imissing.txt", "-fout", "-quiet"},
         "Unable to open file list: 'missing.txt'\r\n",
         withEmptyOut},
        {"twenty-one column numbers",
         {"-ilist.csv", "-fout", "-quiet", "-listdelim", ",", "-listusecol", twentyOnes() + ",1"},
         kTooManyColumns,
         withEmptyOut},
        {"twenty-one numbers counted after empty pieces are dropped",
         {"-ilist.csv", "-fout", "-listdelim", ",", "-listusecol",
          "1,,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21"},
         kBanner + kTooManyColumns,
         withEmptyOut},
    };
    for (const RefusalCase& c : cases) {
        TempDir folder;
        folder.write("a.pdf", sheet("a"));
        folder.write("list.txt", "a.pdf\n");
        folder.write("list.csv", "a.pdf,x\n");
        ProgramResult result = runProgram(c.args, folder.path());
        EXPECT_EQ(result.out, c.out) << c.name;
        EXPECT_EQ(result.status, 1) << c.name;
        EXPECT_EQ(listing(folder.path()), c.entries) << c.name;
    }
}

// Only names ending in ".txt" or ".csv" are lists, compared case-sensitively where the system
// tells names apart by case: another name is a single input, which "-f" puts into the folder
// under its own name. On Windows "LIST.TXT" is a list.
TEST(ListRunTest, OtherNamesAreNotLists) {
    for (const char* name : {"LIST.TXT", "list.Csv"}) {
        if (!platform::fileNamesIgnoreCase()) {
            continue;
        }
        TempDir folder;
        folder.write(name, "a.pdf\n");
        folder.write("a.pdf", sheet("a"));
        ProgramResult result =
            runProgram({std::string("-i") + name, "-fout", "-quiet"}, folder.path());
        EXPECT_EQ(result.out, kDone) << name;
        EXPECT_EQ(result.status, 0) << name;
        EXPECT_EQ(listing(folder.file("out")), std::vector<std::string>{"a.pdf"}) << name;
    }
    for (const char* name : {"LIST.TXT", "list.Csv", "list.txt.pdf"}) {
        if (platform::fileNamesIgnoreCase() && std::string_view(name) != "list.txt.pdf") {
            continue;
        }
        TempDir folder;
        folder.write(name, sheet("a"));
        ProgramResult result =
            runProgram({std::string("-i") + name, "-fout", "-quiet"}, folder.path());
        EXPECT_EQ(result.out, "") << name;
        EXPECT_EQ(result.status, 0) << name << ": " << result.err;
        EXPECT_EQ(listing(folder.file("out")), std::vector<std::string>{name}) << name;
    }
}

struct PathCase {
    const char* name;
    std::string line;
    std::string folderOption; // the "-f" value
    bool makeSubfolder;       // out/sub exists before the run
    std::string out;          // standard output
    std::string output;       // the stamped file below the test folder; empty when none
};

// The output is the folder and the line's name joined with "/"; a path in the line stays below
// the folder, whose missing subfolders are made. Long names are neither cut nor refused; a
// name the file system cannot take fails its line.
TEST(ListRunTest, OutputNamesJoinTheFolderAndTheLine) {
    const std::string longFolder(150, 'f');
    const std::string longName = std::string(200, 'n') + ".pdf";
    const std::string tooLong = std::string(300, 'n') + ".pdf";
    const std::vector<PathCase> cases = {
        {"path in the line, subfolder there", "sub/a.pdf", "out", true, kDone, "out/sub/a.pdf"},
        {"path in the line, no subfolder", "sub/a.pdf", "out", false, kDone, "out/sub/a.pdf"},
        {"long folder and file names", longName, longFolder, false, kDone,
         longFolder + "/" + longName},
        {"name longer than the file system takes", tooLong, "out", false,
         "Input file open error: '" + tooLong + "'\nStamp file issue: '" + tooLong + "'\n", ""},
    };
    for (const PathCase& c : cases) {
        TempDir folder;
        fs::create_directory(folder.file("sub"));
        folder.write("sub/a.pdf", sheet("a"));
        folder.write(longName, sheet("a"));
        folder.write("list.txt", c.line + "\n");
        if (c.makeSubfolder) {
            fs::create_directories(folder.file("out/sub"));
        }
        ProgramResult result = runProgram(
            {"-ilist.txt", "-f" + c.folderOption, "-quiet", "-nopg", "-sep", "", "-prefix", "Mark"},
            folder.path());
        EXPECT_EQ(result.out, c.out) << c.name;
        EXPECT_EQ(result.status, c.output.empty() ? 1 : 0) << c.name;
        if (c.output.empty()) {
            EXPECT_EQ(listing(folder.file(c.folderOption)),
                      std::vector<std::string>(c.makeSubfolder ? 1 : 0, "sub/"))
                << c.name;
            continue;
        }
        std::vector<std::string> entries = {c.output.substr(c.folderOption.size() + 1)};
        if (c.line.rfind("sub/", 0) == 0) {
            entries.insert(entries.begin(), "sub/");
        }
        EXPECT_EQ(listing(folder.file(c.folderOption)), entries) << c.name;
        EXPECT_EQ(stampStrings(TempDir::read(folder.file(c.output))),
                  std::vector<std::string>{"Mark"})
            << c.name;
    }
}

// A name of 251 bytes fits the file system (255 bytes a name), so its line must be stamped: the
// temporary file the output is first written to must fit as well.
TEST(ListRunTest, NameNearTheFileSystemLimitIsStamped) {
    TempDir folder;
    const std::string name = std::string(247, 'n') + ".pdf";
    folder.write(name, sheet("a"));
    folder.write("list.txt", name + "\n");
    ProgramResult result = runProgram({"-ilist.txt", "-fout", "-quiet"}, folder.path());
    EXPECT_EQ(result.out, kDone);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(listing(folder.file("out")), std::vector<std::string>{name}) << result.err;
}

// Two lines that would put their outputs under one name: the first output stays, the second is
// refused with the line that wrote it, with and without -keepgoing.
TEST(ListRunTest, OneOutputPerNameInARun) {
    struct Case {
        const char* name;
        std::vector<std::string> lines; // with "@" for the test's folder
        std::vector<std::string> options;
        std::string output; // the first line's, kept
    };
    const std::vector<Case> cases = {
        {"one file listed twice", {"letter.pdf", "letter.pdf"}, {}, "letter.pdf"},
        {"absolute paths of two folders",
         {"@/one/letter.pdf", "@/two/letter.pdf"},
         {},
         "letter.pdf"},
        {"-rename ranges that repeat",
         {"letter.pdf", "two.pdf"},
         {"-rename", "X[PAGEEND].pdf"},
         "X1.pdf"},
    };
    for (const Case& c : cases) {
        for (const bool keepGoing : {false, true}) {
            const std::string label = std::string(c.name) + (keepGoing ? ", -keepgoing" : "");
            TempDir folder;
            fs::create_directory(folder.file("one"));
            fs::create_directory(folder.file("two"));
            folder.write("letter.pdf", sheet("one"));
            folder.write("one/letter.pdf", sheet("one"));
            folder.write("two/letter.pdf", sheet("two"));
            folder.write("two.pdf", sheet("two"));
            std::string list;
            for (const std::string& line : c.lines) {
                list += (line[0] == '@' ? folder.path() + line.substr(1) : line) + "\n";
            }
            folder.write("list.txt", list);
            std::vector<std::string> args = withArgs({"-ilist.txt", "-fout", "-quiet"}, c.options);
            if (keepGoing) {
                args.push_back("-keepgoing");
            }
            const ProgramResult run = runProgram(args, folder.path());
            const std::string output = listOutput("out", c.output);
            EXPECT_EQ(run.status, 1) << label;
            // The cause line names the second line's input first.
            const std::string refusal =
                "': Output file '" + output + "' was already written by line 1 of the list\n";
            const size_t lastLine = run.err.rfind('\n', run.err.size() - 2);
            EXPECT_EQ(run.err[lastLine == std::string::npos ? 0 : lastLine + 1], '\'')
                << label << ": " << run.err;
            EXPECT_TRUE(run.err.ends_with(refusal)) << label << ": " << run.err;
            EXPECT_EQ(run.out.find("Stamped 1 of 2 files; 1 failed\n") != std::string::npos,
                      keepGoing)
                << label << "\n"
                << run.out;
            EXPECT_EQ(listing(folder.file("out")), std::vector<std::string>{c.output}) << label;
            if (haveTools()) {
                const std::vector<std::string> pages =
                    tools::pdfTextPages(folder.file(output), true);
                ASSERT_EQ(pages.size(), 1u) << label;
                EXPECT_EQ(tools::normalizeSpace(pages[0]).substr(0, 9), "Sheet one") << label;
            }
        }
    }
}

} // namespace
