// Text-lines files run through the real program ("-textfile"): one stamping pass per line on the
// same document, each line one line spacing below the one before, chained through numbered
// intermediate files that only the final output outlives.
#include "RunTestUtil.h"
#include "stamp/fonts/FontTable.h"
#include "support/ExternalTools.h"
#include "support/PdfBuilder.h"
#include "support/ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <thread>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

using namespace run_test;

namespace {

// One string drawn by a stamp stream: the translation of its "Tm", its font size and its bytes.
struct Draw {
    double x = 0;
    double y = 0;
    double size = 0;
    std::string text;
};

// The last number before `at` in text (the operand just before an operator).
double numberBefore(const std::string& text, size_t at) {
    size_t end = text.find_last_not_of(' ', at - 1) + 1;
    size_t start = text.find_last_of(" \n", end - 1);
    return std::stod(text.substr(start + 1, end - start - 1));
}

// The stamps of a file (the text blocks positioned with "Tm"), from the highest to the lowest:
// with a text-lines file that is the order of the passes.
std::vector<Draw> stampDraws(const std::string& file) {
    std::vector<Draw> draws;
    for (size_t at = file.find(" Tm"); at != std::string::npos; at = file.find(" Tm", at + 3)) {
        const size_t end = file.find("\nET", at);
        const size_t font = file.find(" Tf", at);
        const size_t open = file.find('(', at);
        const size_t close = file.rfind(") Tj", end);
        if (end == std::string::npos || font > end || open > end || close == std::string::npos ||
            close < open) {
            continue;
        }
        Draw draw;
        draw.y = numberBefore(file, at);
        const size_t yStart = file.find_last_of(' ', file.find_last_not_of(' ', at - 1));
        draw.x = numberBefore(file, yStart);
        draw.size = numberBefore(file, font);
        draw.text = file.substr(open + 1, close - open - 1);
        draws.push_back(draw);
    }
    std::stable_sort(draws.begin(), draws.end(),
                     [](const Draw& a, const Draw& b) { return a.y > b.y; });
    return draws;
}

// sheet("a") as a.pdf and the text-lines file lines.txt.
void writeInputs(TempDir& folder, const std::string& lines) {
    folder.write("a.pdf", sheet("a"));
    folder.write("lines.txt", lines);
}

// The files beside a.pdf and lines.txt in the folder, counted while a run makes and removes
// them (an entry may go while it is read).
size_t runFiles(const std::string& folder) {
    size_t count = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        count += name != "a.pdf" && name != "lines.txt" ? 1 : 0;
    }
    return count;
}

// The arguments of a run of lines.txt over a.pdf into out.pdf, and more.
std::vector<std::string> linesRun(const std::vector<std::string>& more) {
    return withArgs({"-ia.pdf", "-oout.pdf", "-textfile", "lines.txt"}, more);
}

std::vector<std::string> textsOf(const std::vector<Draw>& draws) {
    std::vector<std::string> texts;
    for (const Draw& draw : draws) {
        texts.push_back(draw.text);
    }
    return texts;
}

struct SpacingCase {
    const char* name;
    std::vector<std::string> options;
    double size;
    double spacing;
};

TEST(TextFileRunTest, EachLineStandsOneLineSpacingLower) {
    const std::vector<SpacingCase> cases = {
        {"size 11 by default, no -linespace", {}, 11, 14},
        {"size 11 given", {"-size11"}, 11, 14},
        {"size 20: size + 3", {"-size20"}, 20, 23},
        {"-linespace given", {"-linespace30"}, 11, 30},
        {"-linespace given with a size", {"-size20", "-linespace5"}, 20, 5},
    };
    for (const SpacingCase& c : cases) {
        TempDir folder;
        writeInputs(folder, "one\r\ntwo\r\nthree\r\n");
        ProgramResult result =
            runProgram(withArgs(linesRun({"-pos100,700", "-quiet"}), c.options), folder.path());
        EXPECT_EQ(result.out, "Input file: 'a.pdf', output file: 'out.pdf'\n") << c.name;
        EXPECT_EQ(result.status, 0) << c.name;
        const std::vector<Draw> draws = stampDraws(TempDir::read(folder.file("out.pdf")));
        ASSERT_EQ(textsOf(draws), (std::vector<std::string>{"one", "two", "three"})) << c.name;
        for (size_t i = 0; i < draws.size(); ++i) {
            EXPECT_DOUBLE_EQ(draws[i].x, 100) << c.name << ", line " << i + 1;
            EXPECT_DOUBLE_EQ(draws[i].y, 700 - c.spacing * static_cast<double>(i))
                << c.name << ", line " << i + 1;
            EXPECT_DOUBLE_EQ(draws[i].size, c.size) << c.name << ", line " << i + 1;
        }
        if (haveTools()) {
            expectPdfText(folder.file("out.pdf"), "Sheet a one two three", c.name);
        }
    }
    if (!haveTools()) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
}

// Right-aligned lines end at the position, measured without their line ends; vertically centred
// lines are centred as a block (page 792 high: centre 396), each line below the one before.
TEST(TextFileRunTest, AlignedAndCentredLines) {
    struct Case {
        const char* name;
        std::vector<std::string> options;
        bool right;
        double firstY;
    };
    const std::vector<Case> cases = {
        {"right aligned", {"-pos300,700", "-align", "right"}, true, 700},
        {"centred block", {"-pos100,-1"}, false, 396 + 14},
        {"centred block, right aligned", {"-pos300,-1", "-align", "right"}, true, 396 + 14},
    };
    const std::vector<std::string> texts{"one", "two", "three"};
    for (const Case& c : cases) {
        TempDir folder;
        writeInputs(folder, "one\r\ntwo\r\nthree\r\n");
        ProgramResult result = runProgram(withArgs(linesRun({"-quiet"}), c.options), folder.path());
        EXPECT_EQ(result.status, 0) << c.name;
        const std::vector<Draw> draws = stampDraws(TempDir::read(folder.file("out.pdf")));
        ASSERT_EQ(textsOf(draws), texts) << c.name;
        for (size_t i = 0; i < draws.size(); ++i) {
            const double shift =
                c.right ? std::trunc((getTextWidth("Arial", texts[i]) / 72) * (11 / 14.0)) : 0;
            EXPECT_DOUBLE_EQ(draws[i].x, (c.right ? 300 : 100) - shift) << c.name << ", " << i;
            EXPECT_DOUBLE_EQ(draws[i].y, c.firstY - 14 * static_cast<double>(i))
                << c.name << ", " << i;
        }
    }
}

// The sizes file picks each page's size from the page's own box; a sizes file that cannot be
// read lets the run go on at -size but ends it with status 1.
TEST(TextFileRunTest, SizesFileUsesThePageBox) {
    struct Case {
        const char* name;
        const char* pageBox;
        const char* sizesFile;
        double size;
        int status;
        const char* out;
    };
    const std::vector<Case> cases = {
        {"A4 page box under a Letter node", "/MediaBox [0 0 595 842]", "sizes.txt", 10, 0, ""},
        {"Letter page box", "/MediaBox [0 0 612 792]", "sizes.txt", 14, 0, ""},
        {"offset crop box 1190 wide", "/CropBox [100 0 1290 842]", "sizes.txt", 20, 0, ""},
        {"box inherited from the node", "", "sizes.txt", 14, 0, ""},
        {"unreadable sizes file", "", "missing.txt", 11, 1,
         "Unable to open font sizes file: 'missing.txt'\r\n"},
    };
    for (const Case& c : cases) {
        TempDir folder;
        qm_test::PdfBuilder pdf;
        pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
            .object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 612 792] >>")
            .object(3, std::string("<< /Type /Page /Parent 2 0 R ") + c.pageBox + " >>")
            .classicXRef();
        folder.write("a.pdf", pdf.bytes());
        folder.write("sizes.txt", "20,1300\n14,900\n10,600\n");
        ProgramResult result =
            runProgram({"-ia.pdf", "-oout.pdf", "-quiet", "-sizefile", c.sizesFile}, folder.path());
        EXPECT_EQ(result.out, c.out) << c.name;
        EXPECT_EQ(result.status, c.status) << c.name;
        const std::vector<Draw> draws = stampDraws(TempDir::read(folder.file("out.pdf")));
        ASSERT_EQ(draws.size(), 1u) << c.name;
        EXPECT_DOUBLE_EQ(draws[0].size, c.size) << c.name;
    }
}

struct LinesCase {
    const char* name;
    std::string lines;              // the text-lines file
    std::vector<std::string> drawn; // the strings of the passes, in order
    std::string text;               // what pdftotext reads
};

// Each line is drawn as read without its line end (LF, CR LF or CR), followed by the end text.
TEST(TextFileRunTest, EveryLineAsReadWithTheEndText) {
    const std::string x254(254, 'x');
    const std::vector<LinesCase> cases = {
        {"CR LF stripped", "one\r\ntwo\r\n", {"one END", "two END"}, "Sheet a one END two END"},
        {"LF stripped", "one\ntwo\n", {"one END", "two END"}, "Sheet a one END two END"},
        {"CR alone ends a line", "one\rtwo\r", {"one END", "two END"}, "Sheet a one END two END"},
        {"last line without an end", "one\ntwo", {"one END", "two END"}, "Sheet a one END two END"},
        {"an empty line is a pass of its own",
         "one\n\nthree\n",
         {"one END", " END", "three END"},
         "Sheet a one END END three END"},
        {"placeholders are drawn as written",
         "[FILETITLE] [YYYY]\n",
         {"[FILETITLE] [YYYY] END"},
         "Sheet a [FILETITLE] [YYYY] END"},
        {"a line is at most 254 bytes",
         std::string(300, 'x') + "\n",
         {x254 + " END", std::string(46, 'x') + " END"},
         ""},
    };
    for (const LinesCase& c : cases) {
        TempDir folder;
        writeInputs(folder, c.lines);
        ProgramResult result =
            runProgram(linesRun({"-pos100,700", "-end", " END", "-quiet"}), folder.path());
        EXPECT_EQ(result.status, 0) << c.name;
        const std::vector<Draw> draws = stampDraws(TempDir::read(folder.file("out.pdf")));
        EXPECT_EQ(textsOf(draws), c.drawn) << c.name;
        if (haveTools() && !c.text.empty()) {
            expectPdfText(folder.file("out.pdf"), c.text, c.name);
        }
    }
    if (!haveTools()) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
}

// The lines skip the option parser, the command line's end text does not.
TEST(TextFileRunTest, PlaceholdersOnlyInTheCommandLineTexts) {
    TempDir folder;
    folder.write("report.pdf", sheet("a"));
    folder.write("lines.txt", "Line of [FILETITLE]\n");
    ProgramResult result =
        runProgram({"-ireport.pdf", "-oout.pdf", "-textfile", "lines.txt", "-pos100,700", "-end",
                    "end of [FILETITLE]", "-prefix", "[FILENAME]", "-quiet"},
                   folder.path());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(textsOf(stampDraws(TempDir::read(folder.file("out.pdf")))),
              std::vector<std::string>{"Line of [FILETITLE]end of report"});
}

struct OutputCase {
    const char* name;
    std::string output; // relative to the test folder
    int lines;
    bool quiet;
};

// After a successful run only the output is new: every intermediate file is gone, the input
// and the text-lines file are as they were, and an older output is replaced.
TEST(TextFileRunTest, SuccessLeavesNoIntermediateFile) {
    const std::vector<OutputCase> cases = {
        {"three lines", "out.pdf", 3, true},
        {"three lines, not quiet", "out.pdf", 3, false},
        {"output in a subfolder", "sub/out.pdf", 3, true},
        {"twelve lines", "out.pdf", 12, true},
        {"one line", "out.pdf", 1, true},
    };
    for (const OutputCase& c : cases) {
        TempDir folder;
        fs::create_directory(folder.file("sub"));
        folder.write("a.pdf", sheet("a"));
        folder.write(c.output, "older output");
        std::string lines;
        std::vector<std::string> drawn;
        for (int i = 1; i <= c.lines; ++i) {
            lines += "line " + std::to_string(i) + "\n";
            drawn.push_back("line " + std::to_string(i));
        }
        folder.write("lines.txt", lines);
        std::map<std::string, std::string> before = snapshot(folder.path());
        std::vector<std::string> args = {"-ia.pdf", "-o" + c.output, "-textfile", "lines.txt",
                                         "-pos100,700"};
        if (c.quiet) {
            args.push_back("-quiet");
        }
        ProgramResult result = runProgram(args, folder.path());
        const std::string report = "Input file: 'a.pdf', output file: '" + c.output + "'\n";
        EXPECT_EQ(result.out, c.quiet ? report : kBanner + report + kDone) << c.name;
        EXPECT_EQ(result.status, 0) << c.name;
        std::map<std::string, std::string> after = snapshot(folder.path());
        ASSERT_EQ(after.size(), before.size())
            << c.name << ": " << testing::PrintToString(listing(folder.path()));
        for (const auto& [name, bytes] : before) {
            ASSERT_EQ(after.count(name), 1u) << c.name << ": " << name;
            if (name != c.output) {
                EXPECT_EQ(after[name], bytes) << c.name << ": " << name;
            }
        }
        const std::vector<Draw> draws = stampDraws(after[c.output]);
        EXPECT_EQ(textsOf(draws), drawn) << c.name;
        if (haveTools()) {
            std::string details;
            EXPECT_TRUE(tools::qpdfCheckClean(folder.file(c.output), details)) << c.name << "\n"
                                                                               << details;
        }
    }
    if (!haveTools()) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
}

// An empty text-lines file stamps nothing: the output name is left alone, and the run says so
// and fails.
TEST(TextFileRunTest, EmptyTextLinesFileLeavesTheOutputAlone) {
    for (bool olderOutput : {false, true}) {
        TempDir folder;
        writeInputs(folder, "");
        if (olderOutput) {
            folder.write("out.pdf", "older output");
        }
        std::map<std::string, std::string> before = snapshot(folder.path());
        ProgramResult result = runProgram(linesRun({"-quiet"}), folder.path());
        const char* label = olderOutput ? "with an older output" : "without an older output";
        EXPECT_EQ(result.out, "Input file: 'a.pdf'\nNothing to stamp, the text file has no lines: "
                              "'lines.txt'\n")
            << label;
        EXPECT_NE(result.err, "") << label;
        EXPECT_EQ(result.status, 1) << label;
        EXPECT_EQ(snapshot(folder.path()), before) << label;
    }
}

// The length of the output of a run of `lines` lines over sheet("a").
size_t outputSize(const std::string& lines) {
    TempDir folder;
    writeInputs(folder, lines);
    runProgram(linesRun({"-quiet"}), folder.path());
    return TempDir::read(folder.file("out.pdf")).size();
}

struct FailureCase {
    const char* name;
    std::string input;
    std::string output;
    std::vector<std::string> options;
    bool sizeLimit;  // a file-size limit that pass 1's output is within and pass 2's is not
    std::string out; // standard output, when known
};

// A failed run leaves the folder as the run found it: no intermediate file, the older output
// and the input untouched, the source kept and the counter unchanged.
TEST(TextFileRunTest, FailedRunLeavesTheFolderAsFound) {
    const size_t limit = (outputSize("one\n") + outputSize("one\ntwo\n")) / 2;
    const std::vector<FailureCase> cases = {
        {"damaged input, first pass",
         "damaged.pdf",
         "out.pdf",
         {},
         false,
         "Input file: 'damaged.pdf'\nStamp file issue: 'damaged.pdf'\n"},
        {"second pass cannot write", "a.pdf", "out.pdf", {}, true, ""},
        {"second pass cannot write, source to be removed",
         "a.pdf",
         "out.pdf",
         {"-removesourcefile", "-export", "count.txt"},
         true,
         ""},
        {"rename onto the input",
         "a.pdf",
         "out.pdf",
         {"-rename", "a.pdf", "-removesourcefile"},
         false,
         "Input file: 'a.pdf'\nOutput file is the input file: 'a.pdf'\nStamp file issue: "
         "'a.pdf'\n"},
        {"output name is a folder",
         "a.pdf",
         "folder.pdf",
         {"-removesourcefile"},
         false,
         "\nOutput file create error: 'folder.pdf'\n"},
    };
    for (const FailureCase& c : cases) {
#ifdef _WIN32
        if (c.sizeLimit) {
            continue; // no per-process file-size limit on Windows
        }
#endif
        TempDir folder;
        folder.write("a.pdf", sheet("a"));
        folder.write("damaged.pdf", "%PDF-1.7\nthis is not a document\n");
        folder.write("out.pdf", "older output");
        folder.write("count.txt", "7");
        folder.write("lines.txt", "one\ntwo\nthree\n");
        fs::create_directory(folder.file("folder.pdf"));
        std::map<std::string, std::string> before = snapshot(folder.path());
        RunControl control;
        control.fileSizeLimit = c.sizeLimit ? limit : 0;
        ProgramResult result = runProgram(
            withArgs({"-i" + c.input, "-o" + c.output, "-textfile", "lines.txt", "-quiet"},
                     c.options),
            folder.path(), control);
        const std::string report = "Input file: '" + c.input + "'";
        if (c.out.empty()) {
            EXPECT_EQ(result.out.rfind(report + "\nStamp file issue: '", 0), 0u)
                << c.name << ": " << result.out;
        } else {
            EXPECT_EQ(result.out, c.out) << c.name;
        }
        EXPECT_NE(result.err, "") << c.name;
        EXPECT_EQ(result.status, 1) << c.name;
        EXPECT_EQ(snapshot(folder.path()), before)
            << c.name << ": " << testing::PrintToString(listing(folder.path()));
    }
}

struct NeighbourCase {
    const char* name;
    std::string input;
    std::vector<std::string> options;
    std::string result; // the name the output has at the end
    bool sourceRemoved;
};

// Files named like "<output>-<n>", the input among them, are never written or removed, and
// -rename and -removesourcefile act once, after the last pass.
TEST(TextFileRunTest, OtherFilesAreNeverTouched) {
    const std::vector<NeighbourCase> cases = {
        {"input named like an intermediate file", "out.pdf-2", {}, "out.pdf", false},
        {"input named like the first one, source removed",
         "out.pdf-1",
         {"-removesourcefile"},
         "out.pdf",
         true},
        {"renamed after the last pass",
         "a.pdf",
         {"-rename", "r[FILETITLE].pdf"},
         "rout.pdf",
         false},
        {"renamed, source removed",
         "a.pdf",
         {"-rename", "r.pdf", "-removesourcefile"},
         "r.pdf",
         true},
    };
    for (const NeighbourCase& c : cases) {
        TempDir folder;
        folder.write("a.pdf", sheet("a"));
        for (const char* name : {"out.pdf-1", "out.pdf-2", "out.pdf-3"}) {
            folder.write(name, sheet(name));
        }
        folder.write("lines.txt", "one\ntwo\nthree\n");
        std::map<std::string, std::string> expected = snapshot(folder.path());
        ProgramResult result = runProgram(withArgs({"-i" + c.input, "-oout.pdf", "-textfile",
                                                    "lines.txt", "-pos100,700", "-quiet"},
                                                   c.options),
                                          folder.path());
        EXPECT_EQ(result.status, 0) << c.name << ": " << result.out << result.err;
        std::map<std::string, std::string> after = snapshot(folder.path());
        EXPECT_EQ(textsOf(stampDraws(after[c.result])),
                  (std::vector<std::string>{"one", "two", "three"}))
            << c.name;
        if (c.sourceRemoved) {
            expected.erase(c.input);
        }
        expected[c.result] = after[c.result];
        EXPECT_EQ(after, expected)
            << c.name << ": " << testing::PrintToString(listing(folder.path()));
    }
}

// SIGINT, SIGTERM or SIGHUP in the middle of a run end it as they would, and no intermediate or
// temporary file is left.
TEST(TextFileRunTest, SignalLeavesNoTemporaryFile) {
#ifdef _WIN32
    // Ctrl+C pressed in the run's console once a pass reads the one before: every intermediate
    // file goes, the one being read included, and the run ends as a console interrupt.
    std::string lines;
    for (int i = 0; i < 400; ++i) {
        lines += "line " + std::to_string(i) + "\n";
    }
    TempDir folder;
    writeInputs(folder, lines);
    const std::map<std::string, std::string> before = snapshot(folder.path());
    bool seen = false;
    ProgramResult sent;
    RunControl control;
    control.timeoutSeconds = 60;
    control.ownConsole = true;
    control.whileRunning = [&](int pid) {
        for (int turn = 0; turn < 20000 && !seen; ++turn) {
            seen = runFiles(folder.path()) >= 2;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        sent = sendCtrlC(pid);
    };
    const ProgramResult result = runProgram(linesRun({"-quiet"}), folder.path(), control);
    ASSERT_TRUE(seen);
    ASSERT_EQ(sent.status, 0) << "Ctrl+C not sent: " << sent.err;
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exitCode, static_cast<unsigned long>(STATUS_CONTROL_C_EXIT));
    EXPECT_EQ(snapshot(folder.path()), before) << testing::PrintToString(listing(folder.path()));
#else
    std::string lines;
    for (int i = 0; i < 400; ++i) {
        lines += "line " + std::to_string(i) + "\n";
    }
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        TempDir folder;
        writeInputs(folder, lines);
        std::map<std::string, std::string> before = snapshot(folder.path());
        bool seen = false;
        RunControl control;
        control.timeoutSeconds = 60;
        control.whileRunning = [&](int pid) {
            // Signalled once the run's files are there.
            for (int turn = 0; turn < 20000 && !seen; ++turn) {
                seen = runFiles(folder.path()) >= 1;
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            kill(pid, signal);
        };
        ProgramResult result = runProgram(linesRun({"-quiet"}), folder.path(), control);
        ASSERT_TRUE(seen) << signal;
        EXPECT_EQ(result.signal, signal);
        EXPECT_EQ(snapshot(folder.path()), before)
            << signal << ": " << testing::PrintToString(listing(folder.path()));
    }
#endif
}

TEST(TextFileRunTest, UnreadableTextLinesFileStampsNothing) {
    for (bool quiet : {true, false}) {
        TempDir folder;
        folder.write("a.pdf", sheet("a"));
        std::map<std::string, std::string> before = snapshot(folder.path());
        std::vector<std::string> args = {"-ia.pdf", "-oout.pdf", "-textfile", "missing.txt"};
        if (quiet) {
            args.push_back("-quiet");
        }
        ProgramResult result = runProgram(args, folder.path());
        const std::string refusal = "Unable to open text file: 'missing.txt'\r\n";
        const char* label = quiet ? "quiet" : "not quiet";
        EXPECT_EQ(result.out, quiet ? refusal : kBanner + refusal + kDone) << label;
        EXPECT_EQ(result.status, 1) << label;
        EXPECT_EQ(snapshot(folder.path()), before) << label;
    }
}

// In a list every line's input gets all the passes, and the list's text does not replace the
// lines.
TEST(TextFileRunTest, EveryListLineRunsEveryPass) {
    for (bool delimited : {false, true}) {
        TempDir folder;
        folder.write("a.pdf", sheet("a"));
        folder.write("b.pdf", sheet("b"));
        folder.write("list.txt", "a.pdf,column\nb.pdf,column\n");
        folder.write("plain.txt", "a.pdf\nb.pdf\n");
        folder.write("lines.txt", "one\ntwo\n");
        std::vector<std::string> args = {delimited ? "-ilist.txt" : "-iplain.txt",
                                         "-fout",
                                         "-textfile",
                                         "lines.txt",
                                         "-pos100,700",
                                         "-quiet"};
        if (delimited) {
            args.insert(args.end(), {"-listdelim", ","});
        }
        ProgramResult result = runProgram(args, folder.path());
        const char* label = delimited ? "delimited list" : "plain list";
        EXPECT_EQ(result.out, "Input file: 'a.pdf', output file: '" + listOutput("out", "a.pdf") +
                                  "'\n" + kDone + "Input file: 'b.pdf', output file: '" +
                                  listOutput("out", "b.pdf") + "'\n" + kDone)
            << label;
        EXPECT_EQ(result.status, 0) << label;
        EXPECT_EQ(listing(folder.file("out")), (std::vector<std::string>{"a.pdf", "b.pdf"}))
            << label;
        for (const char* name : {"a", "b"}) {
            const std::string output = folder.file(std::string("out/") + name + ".pdf");
            const std::vector<Draw> draws = stampDraws(TempDir::read(output));
            EXPECT_EQ(textsOf(draws), (std::vector<std::string>{"one", "two"}))
                << label << ": " << name;
            if (haveTools()) {
                expectPdfText(output, std::string("Sheet ") + name + " one two",
                              std::string(label) + ": " + name);
            }
        }
    }
    if (!haveTools()) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
}

} // namespace
