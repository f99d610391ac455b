// Documents through standard input and output, folders as input, and output folders made as
// needed, through the real program.
#include "RunTestUtil.h"
#include "support/ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

using namespace run_test;

namespace {

const std::vector<std::string> kText = {"-quiet", "-nopg", "-sep", "", "-prefix", "Mark"};

bool drawn(const std::string& pdf, const std::string& text) {
    return pdf.find("(" + text + ") Tj") != std::string::npos;
}

struct PipeCase {
    const char* name;
    std::vector<std::string> args; // after kText
    const char* input;             // standard input: a sheet's tag, or "" for no document
    int status;
    bool pdfOut;                    // standard output holds the stamped document
    std::vector<std::string> files; // the working folder afterwards
};

// -i- and -o-: standard output holds the stamped document and nothing else, or nothing at all
// when the run fails; the copy of standard input and the output's temporary file are gone.
TEST(PipesAndFoldersRunTest, StandardInputAndOutput) {
    if (!haveTools()) {
        GTEST_SKIP() << "qpdf or pdftotext missing";
    }
    const std::vector<PipeCase> cases = {
        {"pipe in, pipe out", {"-i-", "-o-"}, "a", 0, true, {"b.pdf", "lines.txt"}},
        {"file in, pipe out", {"-ib.pdf", "-o-"}, "", 0, true, {"b.pdf", "lines.txt"}},
        {"pipe in, file out",
         {"-i-", "-oout.pdf"},
         "a",
         0,
         false,
         {"b.pdf", "lines.txt", "out.pdf"}},
        {"an update through pipes",
         {"-i-", "-o-", "-incremental"},
         "a",
         0,
         true,
         {"b.pdf", "lines.txt"}},
        {"text lines to a pipe",
         {"-i-", "-o-", "-textfile", "lines.txt"},
         "a",
         0,
         true,
         {"b.pdf", "lines.txt"}},
        {"no document on the pipe", {"-i-", "-o-"}, "", 1, false, {"b.pdf", "lines.txt"}},
        {"-rename has no file",
         {"-i-", "-o-", "-rename", "x.pdf"},
         "a",
         1,
         false,
         {"b.pdf", "lines.txt"}},
        {"-removesourcefile has no file",
         {"-i-", "-o-", "-removesourcefile"},
         "a",
         1,
         false,
         {"b.pdf", "lines.txt"}},
    };
    for (const PipeCase& c : cases) {
        TempDir folder;
        TempDir temporary;
        folder.write("b.pdf", sheet("b"));
        folder.write("lines.txt", "Mark\n");
        const std::string input = *c.input != '\0' ? sheet(c.input) : std::string("no PDF here");
        RunControl control;
        control.input = input;
#ifndef _WIN32
        setenv("TMPDIR", temporary.path().c_str(), 1);
#endif
        std::vector<std::string> args = c.args;
        args.insert(args.end(), kText.begin(), kText.end());
        const ProgramResult result = runProgram(args, folder.path(), control);
#ifndef _WIN32
        unsetenv("TMPDIR");
        EXPECT_EQ(listing(temporary.path()), std::vector<std::string>{}) << c.name;
#endif
        EXPECT_EQ(result.status, c.status) << c.name << ": " << result.err;
        EXPECT_EQ(listing(folder.path()), c.files) << c.name;
        if (!c.pdfOut) {
            EXPECT_EQ(result.out, "") << c.name;
            continue;
        }
        const std::string written = folder.write("piped.pdf", result.out);
        expectPdfText(written, std::string("Sheet ") + (*c.input ? c.input : "b") + " Mark",
                      c.name);
        if (std::string(c.name) == "an update through pipes") {
            EXPECT_EQ(result.out.compare(0, input.size(), input), 0) << c.name;
        }
    }
}

struct FolderCase {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::vector<std::string> outputs;         // the working folder's new entries, sorted
    std::map<std::string, std::string> drawn; // output -> the number drawn on it
};

// -i<folder> -f<folder>: the PDF files directly in the folder, in natural order, numbered on
// through a counter as a list of their names would be; one PDF with -f goes into the folder.
TEST(PipesAndFoldersRunTest, FolderAsInput) {
    const std::vector<std::string> counter = {"-import", "c.txt", "-export", "c.txt", "-one",
                                              "-sep",    "",      "-prefix", "N"};
    const std::vector<FolderCase> cases = {
        {"a folder",
         withArgs({"-iin", "-fout", "-quiet"}, counter),
         0,
         {"out/", "out/1.pdf", "out/10.pdf", "out/2.pdf", "out/a.PDF"},
         {{"out/1.pdf", "N1"}, {"out/2.pdf", "N2"}, {"out/10.pdf", "N3"}, {"out/a.PDF", "N4"}}},
        {"one PDF into a folder",
         withArgs({"-iin/2.pdf", "-fout/new", "-quiet"}, counter),
         0,
         {"out/", "out/new/", "out/new/2.pdf"},
         {{"out/new/2.pdf", "N1"}}},
        {"a folder has no columns",
         withArgs({"-iin", "-fout", "-listdelim", ",", "-liststartcol", "1"}, counter),
         1,
         {},
         {}},
    };
    for (const FolderCase& c : cases) {
        TempDir folder;
        for (const char* name : {"1.pdf", "2.pdf", "10.pdf", "a.PDF", "sub/3.pdf"}) {
            fs::create_directories(folder.file("in/sub"));
            folder.write(std::string("in/") + name, sheet(name));
        }
        folder.write("in/notes.txt", "not a PDF");
        folder.write("c.txt", "1");
        const auto before = listing(folder.path());
        const ProgramResult result = runProgram(c.args, folder.path());
        EXPECT_EQ(result.status, c.status) << c.name << ": " << result.err;
        std::vector<std::string> added;
        for (const std::string& entry : listing(folder.path())) {
            if (std::find(before.begin(), before.end(), entry) == before.end()) {
                added.push_back(entry);
            }
        }
        EXPECT_EQ(added, c.outputs) << c.name;
        for (const auto& [output, number] : c.drawn) {
            EXPECT_TRUE(drawn(TempDir::read(folder.file(output)), number))
                << c.name << ": " << output << " without " << number;
        }
    }
}

struct OutputFolderCase {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::vector<std::string> outputs; // below "new", sorted
    std::string cause;                // a part of standard error
};

// The folders of -o, -f and of a list line's relative name are made when missing; one that
// cannot be made fails the run with the folder and the cause.
TEST(PipesAndFoldersRunTest, OutputFoldersMadeAsNeeded) {
    const std::vector<OutputFolderCase> cases = {
        {"-o", {"-ia.pdf", "-onew/sub/out.pdf"}, 0, {"sub/", "sub/out.pdf"}, ""},
        {"-f and a line with a folder",
         {"-ilist.txt", "-fnew/deeper"},
         0,
         {"deeper/", "deeper/a.pdf", "deeper/in/", "deeper/in/b.pdf"},
         ""},
        {"a file in the way of -o",
         {"-ia.pdf", "-onew/file/out.pdf"},
         1,
         {"file"},
         "the folder 'new/file' cannot be made: "},
        {"a file in the way of -f",
         {"-ilist.txt", "-fnew/file/x"},
         1,
         {"file"},
         "Can't create the output folder 'new/file/x': the folder 'new/file' cannot be made: "},
    };
    for (const OutputFolderCase& c : cases) {
        TempDir folder;
        folder.write("a.pdf", sheet("a"));
        fs::create_directories(folder.file("in"));
        folder.write("in/b.pdf", sheet("b"));
        folder.write("list.txt", "a.pdf\nin/b.pdf\n");
        if (c.status != 0) {
            fs::create_directories(folder.file("new"));
            folder.write("new/file", "");
        }
        const ProgramResult result = runProgram(withArgs(c.args, kText), folder.path());
        EXPECT_EQ(result.status, c.status) << c.name << ": " << result.err;
        EXPECT_EQ(listing(folder.file("new")), c.outputs) << c.name;
        EXPECT_NE(result.err.find(c.cause), std::string::npos) << c.name << ": " << result.err;
    }
}

} // namespace
