// One input/output pair run through the real program where a step can go wrong: the rename,
// the counter, inputs that are not regular files and an output name that is a folder. A failed
// run keeps the source and the counter and leaves no output; the run's result is never removed.
#include "RunTestUtil.h"
#include "support/ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif
#include <vector>

namespace fs = std::filesystem;

using namespace run_test;

namespace {

struct SafetyCase {
    const char* name;
    std::vector<std::string> args;
    std::string out;
    int status;
    std::string cause;                     // part of the line on standard error
    std::string counter = "7";             // the counter file afterwards
    std::vector<std::string> added = {};   // files the run makes
    std::vector<std::string> removed = {}; // files the run removes
};

TEST(RunSafetyTest, FailedStepsKeepTheSourceAndLeaveNoOutput) {
    const std::string folderOpen = "Input file open error: 'dir'\nStamp file issue: 'dir'\n";
    const std::vector<SafetyCase> cases = {
        {"rename onto the input",
         {"-ia.pdf", "-ostamped.pdf", "-rename", "a.pdf", "-removesourcefile"},
         "\nOutput file is the input file: 'a.pdf'\nStamp file issue: 'a.pdf'\n",
         1,
         "input file"},
        {"rename onto the input through another folder",
         {"-iin/x.pdf", "-oout/x.pdf", "-rename", "../in/x.pdf", "-removesourcefile"},
         "\nOutput file is the input file: 'out/../in/x.pdf'\nStamp file issue: 'in/x.pdf'\n",
         1,
         "input file"},
        {"failed rename keeps the source",
         {"-ia.pdf", "-ostamped.pdf", "-rename", "nodir/x.pdf", "-removesourcefile", "-export",
          "count.txt"},
         "\nRenaming output file: 'stamped.pdf' to 'nodir/x.pdf'\nUnable to rename file, check "
         "permissions, file naming\n",
         1,
         "rename",
         "2",
         {"stamped.pdf"}},
        {"output name is a folder, counter kept",
         {"-ia.pdf", "-odir", "-export", "count.txt", "-removesourcefile"},
         "\nOutput file create error: 'dir'\n",
         1,
         "it is a folder"},
        {"output name is a FIFO, refused before the input is read",
         {"-imissing.pdf", "-opipe", "-export", "count.txt"},
         "\nOutput file create error: 'pipe'\n",
         1,
         "it is a FIFO"},
        {"counter cannot be written",
         {"-ia.pdf", "-ostamped.pdf", "-export", "nodir/count.txt", "-removesourcefile"},
         "Stamp file issue: 'a.pdf'\n",
         1,
         "export"},
        {"folder as input", {"-idir", "-oout.pdf"}, folderOpen, 1, "folder"},
        {"FIFO as input",
         {"-ipipe", "-oout.pdf"},
         "Input file open error: 'pipe'\nStamp file issue: 'pipe'\n",
         1,
         "regular file"},
        {"FIFO as -import file",
         {"-ia.pdf", "-oout.pdf", "-import", "pipe"},
         "Stamp file issue: 'a.pdf'\n",
         1,
         "regular file"},
        {"FIFO as text-lines file",
         {"-ia.pdf", "-oout.pdf", "-textfile", "pipe"},
         "Unable to open text file: 'pipe'\r\n",
         1,
         "regular file"},
        {"FIFO as sizes file: the run goes on, the counter too, the source is kept",
         {"-ia.pdf", "-ostamped.pdf", "-sizefile", "pipe", "-export", "count.txt",
          "-removesourcefile"},
         "Unable to open font sizes file: 'pipe'\r\n",
         1,
         "regular file",
         "2",
         {"stamped.pdf"}},
        {"FIFO as font metrics file adds no fonts",
         {"-ia.pdf", "-ostamped.pdf", "-fontfile", "pipe", "-export", "count.txt"},
         "",
         0,
         "",
         "2",
         {"stamped.pdf"}},
        {"success: counter written, source removed",
         {"-ia.pdf", "-ostamped.pdf", "-export", "count.txt", "-removesourcefile"},
         "",
         0,
         "",
         "2",
         {"stamped.pdf"},
         {"a.pdf"}},
    };
    for (const SafetyCase& c : cases) {
        TempDir folder;
        folder.write("a.pdf", sheet("a"));
        fs::create_directory(folder.file("in"));
        fs::create_directory(folder.file("out"));
        fs::create_directory(folder.file("dir"));
        folder.write("in/x.pdf", sheet("x"));
        folder.write("count.txt", "7");
#ifdef _WIN32
        // Windows has no FIFO in the file system: the rows that read one run on POSIX only.
        if (std::any_of(c.args.begin(), c.args.end(), [](const std::string& argument) {
                return argument == "pipe" || argument == "-ipipe" || argument == "-opipe";
            })) {
            continue;
        }
#else
        ASSERT_EQ(mkfifo(folder.file("pipe").c_str(), 0600), 0);
#endif
        std::map<std::string, std::string> expected = snapshot(folder.path());
        RunControl control;
        control.timeoutSeconds = 20; // a blocked open ends the run instead of the test
        ProgramResult result = runProgram(withArgs(c.args, {"-quiet"}), folder.path(), control);
        EXPECT_EQ(result.out, c.out) << c.name;
        EXPECT_EQ(result.status, c.status) << c.name;
        std::map<std::string, std::string> after = snapshot(folder.path());
        for (const std::string& name : c.removed) {
            expected.erase(name);
        }
        for (const std::string& name : c.added) {
            expected[name] = after[name];
        }
        expected["count.txt"] = c.counter;
        if (c.status != 0) {
            // One line on standard error says why.
            EXPECT_NE(result.err.find(c.cause), std::string::npos) << c.name << ": " << result.err;
            EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << c.name << ": " << result.err;
        }
        EXPECT_EQ(after, expected)
            << c.name << ": " << testing::PrintToString(listing(folder.path()));
    }
}

#ifndef _WIN32
// An output name that is a symbolic link is written through: the file it names is stamped and
// the link stays; a character device is refused and left as it is (made only where the test
// may make one).
TEST(RunSafetyTest, OutputsAreWrittenThroughLinksAndNeverOverDevices) {
    TempDir folder;
    folder.write("a.pdf", sheet("a"));
    fs::create_directory(folder.file("target"));
    folder.write("target/kept.pdf", "old");
    fs::create_symlink("target/kept.pdf", folder.file("link.pdf"));
    fs::create_symlink("link.pdf", folder.file("chain.pdf"));
    for (const char* link : {"link.pdf", "chain.pdf"}) {
        const ProgramResult run =
            runProgram({"-ia.pdf", std::string("-o") + link, "-quiet"}, folder.path());
        EXPECT_EQ(run.status, 0) << link << run.err;
        EXPECT_TRUE(fs::is_symlink(folder.file(link))) << link;
        EXPECT_EQ(listing(folder.file("target")), std::vector<std::string>{"kept.pdf"}) << link;
        if (haveTools()) {
            expectPdfText(folder.file("target/kept.pdf"), "Sheet a Page 1 / 1", link);
        }
    }
    if (geteuid() != 0) {
        GTEST_SKIP() << "a character device can be made by root only";
    }
    // The same device numbers as /dev/null: writing to it would lose the output silently.
    ASSERT_EQ(mknod(folder.file("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    const ProgramResult run = runProgram({"-ia.pdf", "-onull", "-quiet"}, folder.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "\nOutput file create error: 'null'\n");
    EXPECT_EQ(run.err, "'a.pdf': Can't create the output file: it is a device\n");
    struct stat info {};
    ASSERT_EQ(lstat(folder.file("null").c_str(), &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}
#endif

} // namespace
