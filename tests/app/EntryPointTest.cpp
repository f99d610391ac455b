#include "RunTestUtil.h"
#include "app/OptionTable.h"
#include "support/ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

using run_test::kBanner;

// The usage text begins with the banner, names every option the parser knows at the start of a
// line (followed by what it takes), and is the same for every way of asking for it.
TEST(EntryPointTest, UsageText) {
    const ProgramResult bare = runProgram({});
    EXPECT_EQ(bare.err, "");
    EXPECT_EQ(bare.status, 0);
    const std::string& usage = bare.out;
    EXPECT_EQ(usage.rfind(kBanner + "Parameters:\n", 0), 0u) << usage.substr(0, 40);
    ASSERT_FALSE(usage.empty());
    EXPECT_EQ(usage.back(), '\n');
    for (const std::string_view word : OptionTable::words()) {
        std::string start = "\n";
        start += word;
        bool named = false;
        for (size_t at = usage.find(start); at != std::string::npos && !named;
             at = usage.find(start, at + 1)) {
            const char next = usage[at + start.size()];
            named = next == ' ' || next == '(' || next == '<';
        }
        EXPECT_TRUE(named) << word;
    }
    for (const char* way : {"--help", "-h", "-?"}) {
        const ProgramResult result = runProgram({way});
        EXPECT_EQ(result.out, usage) << way;
        EXPECT_EQ(result.err, "") << way;
        EXPECT_EQ(result.status, 0) << way;
    }
}

TEST(EntryPointTest, Version) {
    ProgramResult result = runProgram({"--version"});
    // The version comes from the project version that the build passes in.
    EXPECT_EQ(result.out, "Quillmark " QUILLMARK_VERSION "\n");
    EXPECT_EQ(result.status, 0);
}

const char* const kWildcard =
    "\nError! Wildcards * are not permitted, if you want to process many files then do: dir /B "
    "*.pdf > list.txt, then quillmark -ilist.txt -fc:\\test\n\n";

struct RunCase {
    const char* name;
    std::vector<std::string> args;
    std::string out;
    int status;
};

void expectRuns(const std::vector<RunCase>& cases, const std::string& folder = std::string()) {
    for (const RunCase& c : cases) {
        ProgramResult result = runProgram(c.args, folder);
        EXPECT_EQ(result.out, c.out) << c.name;
        EXPECT_EQ(result.status, c.status) << c.name;
        if (c.status == 1) {
            // Every failure also says why on standard error, one line each.
            EXPECT_FALSE(result.err.empty()) << c.name;
            EXPECT_EQ(result.err.find("\n\n"), std::string::npos) << c.name << ": " << result.err;
            EXPECT_EQ(result.err.back(), '\n') << c.name;
        }
    }
}

TEST(EntryPointTest, RefusedCommandLines) {
    expectRuns({
        {"help among other arguments is not help",
         {"--help", "-ob.pdf"},
         kBanner + "-i parameter missing\n",
         1},
        {"one argument", {"-ia.pdf"}, kBanner + "Error parameter, less than 3 arguments.\n", 1},
        {"one short argument", {"x"}, kBanner + "-i parameter missing\n", 1},
        {"short argument 1", {"-", "-ob.pdf"}, kBanner + "-i parameter missing\n", 1},
        {"empty argument 1", {"", "-ob.pdf"}, kBanner + "-i parameter missing\n", 1},
        {"argument 1 without -i", {"a.pdf", "-ob.pdf"}, kBanner + "-i parameter missing\n", 1},
        {"argument 2 without -o", {"-ia.pdf", "b.pdf"}, kBanner + "-o parameter missing\n", 1},
        {"option without dash",
         {"-ia.pdf", "-ob.pdf", "-r", "x"},
         kBanner + "Error parameter, no -, arg: x, argument: 4\n",
         1},
        {"value option last",
         {"-ia.pdf", "-ob.pdf", "-prefix"},
         kBanner + "Error parameter, missing value after: -prefix\n",
         1},
        {"list option last",
         {"-ia.pdf", "-ob.pdf", "-listdelim"},
         kBanner + "Error parameter, missing value after: -listdelim\n",
         1},
        {"quiet keeps errors", {"-ia.pdf", "-xb.pdf", "-quiet"}, "-o parameter missing\n", 1},
        {"wildcard in a name", {"-ia*.pdf", "-ob.pdf"}, kWildcard, 1},
        {"wildcard in a value", {"-ia.pdf", "-ob.pdf", "-prefix", "*"}, kWildcard, 1},
        {"wildcard even when quiet", {"-quiet", "-ob.pdf", "x*"}, kWildcard, 1},
    });
}

// Messages a user can act on: each line on standard output ends, the cause line names the file,
// and an option given with its value as the next argument says how to give it.
TEST(EntryPointTest, MessagesSayWhatToDo) {
    TempDir folder;
    folder.write("a.pdf", run_test::sheet("a"));
    folder.write("empty.pdf", "");
    folder.write("junk.pdf", "not a PDF at all");
    folder.write("list.txt", "a.pdf\n");
    struct MessageCase {
        const char* name;
        std::vector<std::string> args;
        std::string out; // after the banner
        std::string err;
    };
    const std::string damaged = "PDF file was damaged: startxref not found in the last 7 bytes "
                                "of the file; reading the whole file found no catalog (/Type "
                                "/Catalog)\n";
    const std::string noFolder = "-f cannot be used with -i-: standard input has no name to give "
                                 "a file in a folder; give -o<file> or -o-\n";
    const std::vector<MessageCase> cases = {
        {"input name apart",
         {"-i", "a.pdf", "-o", "out.pdf"},
         "-i takes its value attached: -ia.pdf\n",
         "-i takes its value attached: -ia.pdf\n"},
        {"input name missing",
         {"-i", "-oout.pdf"},
         "-i needs its input file name attached: -i<file name>\n",
         "-i needs its input file name attached: -i<file name>\n"},
        {"output name apart",
         {"-ia.pdf", "-o", "out.pdf"},
         "-o takes its value attached: -oout.pdf\n",
         "-o takes its value attached: -oout.pdf\n"},
        {"output name missing",
         {"-ia.pdf", "-o"},
         "-o needs its output file name attached: -o<file name>\n",
         "-o needs its output file name attached: -o<file name>\n"},
        {"output name missing before an option",
         {"-ia.pdf", "-o", "-quiet"},
         "-o needs its output file name attached: -o<file name>\n",
         "-o needs its output file name attached: -o<file name>\n"},
        {"folder apart",
         {"-ilist.txt", "-f", "out"},
         "-f takes its value attached: -fout\n",
         "-f takes its value attached: -fout\n"},
        {"size apart",
         {"-ia.pdf", "-oout.pdf", "-size", "14"},
         "-size takes its value attached: -size14\n",
         "-size takes its value attached: -size14\n"},
        {"negative pair apart",
         {"-ia.pdf", "-oout.pdf", "-pos", "-1,-1"},
         "-pos takes its value attached: -pos-1,-1\n",
         "-pos takes its value attached: -pos-1,-1\n"},
        {"colour without value, in a list",
         {"-ilist.txt", "-fout", "-color", "-quiet"},
         "-color needs its value attached: -color<hex>\n",
         "-color needs its value attached: -color<hex>\n"},
        {"value option's value is no option word",
         {"-ia.pdf", "-ook.pdf", "-prefix", "-size"},
         "",
         ""},
        {"empty file",
         {"-iempty.pdf", "-oout.pdf", "-quiet"},
         "Stamp file issue: 'empty.pdf'\n",
         "'empty.pdf': the file is empty\n"},
        {"line ended before the failure",
         {"-ijunk.pdf", "-oout.pdf"},
         "Input file: 'junk.pdf'\nStamp file issue: 'junk.pdf'\n",
         "<cause>"},
        {"standard input into a folder", {"-i-", "-fout"}, noFolder, noFolder},
        {"standard input named as typed",
         {"-i-", "-oout.pdf"},
         "Input file: '-'\nStamp file issue: '-'\n",
         "'-': " + damaged},
        // Under -o- every line goes to standard error, each once.
        {"a cause to standard error",
         {"-i-", "-o-", "-quiet"},
         "",
         "Stamp file issue: '-'\n'-': " + damaged},
        {"a refusal to standard error",
         {"-i-", "-o-", "-removesourcefile", "-quiet"},
         "",
         "-removesourcefile cannot be used with -i-: standard input is no file to remove\n"},
        {"a parameter error to standard error",
         {"-ia.pdf", "-o-", "-size", "14", "-quiet"},
         "",
         "-size takes its value attached: -size14\n"},
    };
    for (const MessageCase& c : cases) {
        // For the cases that read standard input (-i-): no PDF.
        RunControl control;
        control.input = "garbage";
        const ProgramResult result = runProgram(c.args, folder.path(), control);
        const bool quiet = std::find(c.args.begin(), c.args.end(), "-quiet") != c.args.end();
        if (c.out.empty() && c.err.empty()) {
            EXPECT_EQ(result.status, 0) << c.name << ": " << result.err;
            continue;
        }
        EXPECT_EQ(result.out, (quiet ? "" : kBanner) + c.out) << c.name;
        if (c.err == "<cause>") {
            EXPECT_EQ(result.err.rfind("'junk.pdf': ", 0), 0u) << c.name << ": " << result.err;
        } else {
            EXPECT_EQ(result.err, c.err) << c.name;
        }
        EXPECT_EQ(result.status, 1) << c.name;
    }
    EXPECT_FALSE(std::filesystem::exists(folder.file("out.pdf")));
    EXPECT_FALSE(std::filesystem::exists(folder.file("out")));
}

// One PDF with -f<folder> is written into the folder under its own name.
TEST(EntryPointTest, OnePdfIntoAFolder) {
    TempDir folder;
    folder.write("a.pdf", run_test::sheet("a"));
    const ProgramResult result = runProgram({"-ia.pdf", "-fout", "-quiet"}, folder.path());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(run_test::listing(folder.file("out")), std::vector<std::string>{"a.pdf"});
}

TEST(EntryPointTest, ListRefusals) {
    TempDir folder;
    folder.write("list.txt", "a.pdf\n");
    std::string selection = "1";
    // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) on "," + std::to_string(i).
    for (int i = 2; i <= 21; ++i) {
        selection += ',';
        selection += std::to_string(i);
    }
    expectRuns(
        {
            {"list without -f",
             {"-ilist.txt", "-oout.pdf"},
             kBanner + "please specify -f for output folder, e.g. -fc:\\test\n",
             1},
            {"list as the only argument",
             {"-ilist.txt"},
             kBanner + "please specify -f for output folder, e.g. -fc:\\test\n",
             1},
            {"csv list without -f, quiet",
             {"-ilist.csv", "-oout.pdf", "-quiet"},
             "please specify -f for output folder, e.g. -fc:\\test\n",
             1},
            {"missing list file",
             {"-imissing.txt", "-fout"},
             kBanner + "Unable to open file list: 'missing.txt'\r\n",
             1},
            {"too many columns",
             {"-ilist.txt", "-fout", "-listdelim", ",", "-listusecol", selection},
             kBanner + "Too many columns specified in csv/txt file.  max is 20\n",
             1},
        },
        folder.path());
    // The output folder is created even when the list cannot be opened.
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("out")));
}

TEST(EntryPointTest, UnreadableTextLinesFile) {
    TempDir folder;
    folder.write("list.txt", "a.pdf\nb.pdf\n");
    const std::string refusal = "Unable to open text file: 'missing.txt'\r\n";
    expectRuns(
        {
            {"single run",
             {"-ia.pdf", "-oout.pdf", "-textfile", "missing.txt"},
             kBanner + refusal + "\nDone.\n",
             1},
            {"single run, quiet",
             {"-ia.pdf", "-oout.pdf", "-textfile", "missing.txt", "-quiet"},
             refusal,
             1},
            {"every list line, Done even when quiet",
             {"-ilist.txt", "-fout", "-textfile", "missing.txt", "-quiet"},
             refusal + "\nDone.\n" + refusal + "\nDone.\n",
             1},
        },
        folder.path());
}

// A failed pass shows "Stamp file issue" on standard output and its cause on standard error.
TEST(EntryPointTest, FailedStampShowsItsCause) {
    TempDir folder;
    ProgramResult result = runProgram({"-inothere.pdf", "-oout.pdf", "-quiet"}, folder.path());
    EXPECT_EQ(result.out,
              "Input file open error: 'nothere.pdf'\nStamp file issue: 'nothere.pdf'\n");
    EXPECT_EQ(result.status, 1);
    ASSERT_FALSE(result.err.empty());
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    EXPECT_FALSE(std::filesystem::exists(folder.file("out.pdf")));
}

} // namespace
