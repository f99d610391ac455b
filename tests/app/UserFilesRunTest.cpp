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

using namespace run_test;
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
        EXPECT_EQ(result.err,
                  "'a.pdf': Import file error: The counter file 'count.txt' holds no number\n")
            << c.name;
        EXPECT_EQ(listing(folder.path()), (std::vector<std::string>{"a.pdf", "count.txt"}))
            << c.name;
        EXPECT_EQ(TempDir::read(folder.file("count.txt")), c.counter) << c.name;
    }
}

} // namespace

namespace {

struct CauseCase {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string err;                  // standard error, "<text>" the system's text
    std::vector<std::string> entries; // the folder afterwards
    bool readOnlySource = false;
};

// The system's own text for a missing folder: not "Success", not the C library's text for a
// made-up errno.
void expectSystemText(const std::string& text, const std::string& label) {
#ifdef _WIN32
    EXPECT_FALSE(text.empty()) << label;
    for (const char* wrong : {"Success", "Unknown error", "Permission denied", "System error"}) {
        EXPECT_EQ(text.find(wrong), std::string::npos) << label << ": " << text;
    }
#else
    EXPECT_EQ(text, "No such file or directory") << label;
#endif
}

TEST(UserFilesRunTest, FailuresSayWhy) {
    const std::vector<std::string> untouched = {"a.pdf", "count.txt"};
    const std::vector<CauseCase> cases = {
        {"counter in a missing folder",
         {"-ia.pdf", "-ostamped.pdf", "-export", "nodir/count.txt"},
         1,
         "'a.pdf': export file create error: Can't write the counter file 'nodir/count.txt': "
         "<text>",
         untouched},
        {"rename to a name with '?'",
         {"-ia.pdf", "-ostamped.pdf", "-rename", "[FILETITLE]?.pdf", "-export", "count.txt",
          "-removesourcefile"},
         1,
         "'a.pdf': Rename name refused: the -rename name 'stamped?.pdf' holds '?', which file "
         "names may "
         "not hold",
         untouched},
        {"rename to a name with a colon in a subfolder",
         {"-ia.pdf", "-ostamped.pdf", "-rename", "sub/a:b.pdf"},
         1,
         "'a.pdf': Rename name refused: the -rename name 'a:b.pdf' holds ':', which file names may "
         "not "
         "hold",
         untouched},
        {"read-only source with -removesourcefile: output kept, status 1",
         {"-ia.pdf", "-ostamped.pdf", "-export", "count.txt", "-removesourcefile"},
         1,
         "Can't remove the source file 'a.pdf': it is read-only",
         {"a.pdf", "count.txt", "stamped.pdf"},
         true},
    };
    for (const CauseCase& c : cases) {
        TempDir folder;
        folder.write("a.pdf", sheet("a"));
        folder.write("count.txt", "7");
        const fs::path source = folder.file("a.pdf");
        if (c.readOnlySource) {
            fs::permissions(
                source, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                fs::perm_options::remove);
        }
        const ProgramResult result = runProgram(withArgs(c.args, {"-quiet"}), folder.path());
        fs::permissions(source, fs::perms::owner_write, fs::perm_options::add);
        EXPECT_EQ(result.status, c.status) << c.name;
        std::string err = result.err;
        const size_t text = c.err.find("<text>");
        if (text != std::string::npos) {
            ASSERT_EQ(err.substr(0, text), c.err.substr(0, text)) << c.name << ": " << err;
            ASSERT_EQ(err.back(), '\n') << c.name;
            expectSystemText(err.substr(text, err.size() - text - 1), c.name);
        } else {
            EXPECT_EQ(err, c.err + "\n") << c.name;
        }
        EXPECT_EQ(listing(folder.path()), c.entries) << c.name;
        EXPECT_EQ(TempDir::read(folder.file("count.txt")), c.entries.size() == 3 ? "2" : "7")
            << c.name;
    }
}

// Habits of Windows users: "/?" for help, a slip of letter case in an option, and a quoted
// folder whose final backslash turned the closing quote into part of the argument.
TEST(UserFilesRunTest, WindowsHabits) {
    const ProgramResult usage = runProgram({"-?"});
    const ProgramResult slash = runProgram({"/?"});
    EXPECT_EQ(slash.out, usage.out);
    EXPECT_EQ(slash.status, 0);
    EXPECT_EQ(slash.err, "");

    TempDir folder;
    folder.write("a.pdf", sheet("a"));
    const std::vector<std::string> base = {"-ia.pdf", "-oplain.pdf", "-quiet", "-s1"};
    const ProgramResult plain = runProgram(base, folder.path());
    const ProgramResult slips = runProgram(
        {"-ia.pdf", "-oslips.pdf", "-flipH", "-quiet", "-prefix", "-Quiet", "-s1", "-Size9"},
        folder.path());
    EXPECT_EQ(slips.status, 0);
    EXPECT_EQ(slips.out, plain.out);
    // The value of "-prefix" is text, not an option.
    EXPECT_EQ(slips.err, "Warning: unknown option '-flipH' ignored; options are case-sensitive\n"
                         "Warning: unknown option '-Size9' ignored; options are case-sensitive\n");
    EXPECT_TRUE(fs::exists(folder.file("slips.pdf")));
    EXPECT_EQ(plain.err, "");

    folder.write("list.txt", "a.pdf\n");
    // The folder cannot be made below a file, on any system.
    const ProgramResult quoted =
        runProgram({"-ilist.txt", "-fa.pdf/such\"", "-quiet"}, folder.path());
    EXPECT_EQ(quoted.status, 1);
    EXPECT_NE(quoted.err.find("(the argument '-fa.pdf/such\"' ends in a double quote: a quoted "
                              "folder ending in \\\" keeps the quote on Windows, leave out the "
                              "final backslash)\n"),
              std::string::npos)
        << quoted.err;
}

} // namespace
