// Lists, counters and names as Windows users' own tools make them ("dir /B > list.txt", Excel,
// Notepad, PowerShell), and the causes and habits around them, through the real program.
#include "RunTestUtil.h"
#include "support/ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

using namespace runtest;
using namespace std::string_literals;

namespace {

struct MadeListCase {
    const char* name;
    std::string listName;
    std::string list; // the list's bytes; "<abs>" stands for the test folder
    std::vector<std::string> options;
    std::vector<std::string> outputs; // below "out", sorted
    std::string drawn;                // the stamp text of the first output, when checked
};

TEST(UserFilesRunTest, ListsAsWindowsToolsWriteThem) {
    const std::vector<std::string> text = {"-nopg", "-sep", "", "-prefix", "Mark"};
    std::vector<MadeListCase> cases = {
        {"dir /B in code page 1252, CR LF",
         "list.txt",
         "caf\xe9.pdf\r\nb.pdf\r\n",
         text,
         {"b.pdf", "caf\u00e9.pdf"},
         "Mark"},
        {"Excel CSV in code page 1252 with an empty cell",
         "list.csv",
         "caf\xe9.pdf,O'Brien,,Ref 14\r\n",
         {"-listdelim", ",", "-listsep", "/", "-listusecol", "1,3", "-nopg", "-sep", ""},
         {"caf\u00e9.pdf"},
         "O'Brien/Ref 14"},
        {"German Excel: semicolons and quotes",
         "list.csv",
         "\xEF\xBB\xBF"
         "b.pdf;\"M\xc3\xbcller / Hans\";\"Akte \"\"A\"\" 12\"\r\n",
         {"-listdelim", ";", "-listsep", " / ", "-nopg", "-sep", ""},
         {"b.pdf"},
         "M\xfcller / Hans / Akte \"A\" 12"},
        {"blank lines and a last empty line",
         "list.txt",
         "\r\nb.pdf\r\n\r\n\r\n",
         text,
         {"b.pdf"},
         "Mark"},
        {"absolute paths (dir /B /S) go into the folder by file name",
         "list.txt",
         "<abs>/in/x.pdf\n<abs>/b.pdf\n",
         text,
         {"b.pdf", "x.pdf"},
         "Mark"},
#ifdef _WIN32
        {"dir /B in the console's OEM code page",
         "list.txt",
         "caf\x82.pdf\r\n",
         text,
         {"caf\u00e9.pdf"},
         "Mark"},
        {"LIST.TXT is a list", "LIST.TXT", "b.pdf\r\n", text, {"b.pdf"}, "Mark"},
        {"absolute Windows paths", "list.txt", "<abs>\\in\\x.pdf\r\n", text, {"x.pdf"}, "Mark"},
#endif
    };
    for (const MadeListCase& c : cases) {
        TempDir folder;
        folder.write("caf\u00e9.pdf", sheet("a"));
        folder.write("b.pdf", sheet("b"));
        fs::create_directory(folder.file("in"));
        folder.write("in/x.pdf", sheet("x"));
        std::string list = c.list;
        for (size_t at; (at = list.find("<abs>")) != std::string::npos;) {
            list.replace(at, 5, folder.path());
        }
        folder.write(c.listName, list);
        const ProgramResult result =
            runProgram(withArgs({"-i" + c.listName, "-fout", "-quiet", "-pos100,600"}, c.options),
                       folder.path());
        std::string done;
        for (size_t i = 0; i < c.outputs.size(); ++i) {
            done += kDone;
        }
        EXPECT_EQ(result.out, done) << c.name;
        EXPECT_EQ(result.err, "") << c.name;
        EXPECT_EQ(result.status, 0) << c.name;
        EXPECT_EQ(listing(folder.file("out")), c.outputs) << c.name;
        const std::string first = TempDir::read(folder.file("out/" + c.outputs.front()));
        EXPECT_NE(first.find("(" + c.drawn + ") Tj"), std::string::npos) << c.name;
    }
}

struct CounterCase {
    const char* name;
    std::string counter; // the counter file's bytes
    bool number;         // it holds one, 5
};

// A counter file is read through its byte-order mark; one without a number fails the run, so
// that a series never restarts at 0 unnoticed.
TEST(UserFilesRunTest, CounterFilesAsEditorsWriteThem) {
    const std::vector<CounterCase> cases = {
        {"plain", "5", true},
        {"Notepad UTF-8 with BOM",
         "\xEF\xBB\xBF"
         "5\r\n",
         true},
        {"PowerShell 5 echo (UTF-16 LE)",
         "\xFF\xFE"
         "5\0\r\0\n\0"s,
         true},
        {"UTF-16 BE",
         "\xFE\xFF\0"
         "5\0\n"s,
         true},
        {"leading blanks", "  5\n", true},
        {"no number", "five\r\n", false},
        {"empty", "", false},
    };
    for (const CounterCase& c : cases) {
        TempDir folder;
        folder.write("a.pdf", sheet("a"));
        folder.write("count.txt", c.counter);
        const ProgramResult result =
            runProgram({"-ia.pdf", "-ostamped.pdf", "-quiet", "-import", "count.txt", "-export",
                        "count.txt", "-one", "-sep", "", "-prefix", "N"},
                       folder.path());
        if (c.number) {
            EXPECT_EQ(result.status, 0) << c.name << ": " << result.err;
            EXPECT_NE(TempDir::read(folder.file("stamped.pdf")).find("(N5) Tj"), std::string::npos)
                << c.name;
            EXPECT_EQ(TempDir::read(folder.file("count.txt")), "6") << c.name;
            continue;
        }
        EXPECT_EQ(result.status, 1) << c.name;
        EXPECT_EQ(result.out, "Stamp file issue: 'a.pdf'\n") << c.name;
        EXPECT_EQ(result.err, "Import file error: The counter file 'count.txt' holds no number\n")
            << c.name;
        EXPECT_EQ(listing(folder.path()), (std::vector<std::string>{"a.pdf", "count.txt"}))
            << c.name;
        EXPECT_EQ(TempDir::read(folder.file("count.txt")), c.counter) << c.name;
    }
}

} // namespace
