#include "support/ExternalTools.h"
#include "support/PdfBuilder.h"
#include "support/ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {

// A word pdftotext finds on a page: its box, from the page's top left corner.
struct FoundWord {
    double xMin = 0;
    double xMax = 0;
    double yMax = 0;
};

// The words of every page, by their text.
std::vector<std::map<std::string, FoundWord>> pageWords(const std::string& path) {
    const tools::ToolResult result = tools::run({"pdftotext", "-bbox", path, "-"});
    std::vector<std::map<std::string, FoundWord>> pages;
    const std::regex word(R"re(<word xMin="([-0-9.]+)" yMin="[-0-9.]+" xMax="([-0-9.]+)" )re"
                          R"re(yMax="([-0-9.]+)">([^<]*)</word>)re");
    size_t at = 0;
    while (at < result.out.size()) {
        size_t end = result.out.find('\n', at);
        end = end == std::string::npos ? result.out.size() : end;
        const std::string line = result.out.substr(at, end - at);
        at = end + 1;
        std::smatch m;
        if (line.find("<page width=") != std::string::npos) {
            pages.emplace_back();
        } else if (!pages.empty() && std::regex_search(line, m, word)) {
            pages.back()[m[4]] = FoundWord{std::stod(m[1]), std::stod(m[2]), std::stod(m[3])};
        }
    }
    return pages;
}

// Letter pages with a line of their own text each.
std::string letterPages(int count) {
    qm_test::PdfBuilder pdf;
    std::string kids;
    for (int k = 0; k < count; ++k) {
        kids += std::to_string(3 + 2 * k) + " 0 R ";
    }
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) +
                       " /MediaBox [0 0 612 792] >>");
    for (int k = 0; k < count; ++k) {
        const int page = 3 + 2 * k;
        pdf.object(page, "<< /Type /Page /Parent 2 0 R /Contents " + std::to_string(page + 1) +
                             " 0 R /Resources << /Font << /F1 " + std::to_string(3 + 2 * count) +
                             " 0 R >> >> >>")
            .stream(page + 1, "",
                    "BT /F1 12 Tf 200 400 Td (Body" + std::to_string(k + 1) + ") Tj ET");
    }
    pdf.object(3 + 2 * count, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
        .classicXRef();
    return pdf.bytes();
}

// A Bates number at the bottom right and a legend at the bottom left in one run, rewritten and
// as an update: both on every page at their places, each page's own number, the page's own
// text kept.
TEST(MultiStampRunTest, BatesNumberAndLegendInOnePass) {
    if (!tools::available("pdftotext") || !tools::available("qpdf")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    TempDir folder;
    const std::string input = letterPages(3);
    folder.write("in.pdf", input);
    const std::vector<std::string> stamps = {
        "-fliph",  "-pos30,20",    "-align", "right", "-prefix",  "ABC",
        "-m6",     "-one",         "-sep",   "",      "-next",    "-nopg",
        "-prefix", "CONFIDENTIAL", "-sep",   "",      "-pos30,20"};
    for (const bool update : {false, true}) {
        std::vector<std::string> args = {"-iin.pdf", "-oout.pdf", "-quiet"};
        if (update) {
            args.push_back("-incremental");
        }
        args.insert(args.end(), stamps.begin(), stamps.end());
        const ProgramResult run = runProgram(args, folder.path());
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        const std::string output = TempDir::read(folder.file("out.pdf"));
        EXPECT_EQ(output.compare(0, input.size(), input) == 0, update) << update;
        std::string details;
        EXPECT_TRUE(tools::qpdfCheckClean(folder.file("out.pdf"), details)) << details;
        const auto pages = pageWords(folder.file("out.pdf"));
        ASSERT_EQ(pages.size(), 3u);
        for (size_t k = 0; k < pages.size(); ++k) {
            const std::string bates = "ABC00000" + std::to_string(k + 1);
            ASSERT_EQ(pages[k].count(bates), 1u) << update << " page " << k + 1;
            ASSERT_EQ(pages[k].count("CONFIDENTIAL"), 1u) << update << " page " << k + 1;
            EXPECT_EQ(pages[k].count("Body" + std::to_string(k + 1)), 1u) << k + 1;
            const FoundWord& number = pages[k].at(bates);
            const FoundWord& legend = pages[k].at("CONFIDENTIAL");
            // Right-aligned 30 points from the right edge, left-aligned 30 from the left, both
            // on the baseline 20 points up (the box's bottom is the descent below it).
            EXPECT_NEAR(number.xMax, 612 - 30, 2.0) << k + 1;
            EXPECT_NEAR(legend.xMin, 30, 2.0) << k + 1;
            EXPECT_NEAR(number.yMax, 792 - 20 + 11 * 0.21, 2.0) << k + 1;
            EXPECT_NEAR(legend.yMax, number.yMax, 0.5) << k + 1;
        }
    }
}

// Recto and verso in one run: odd pages numbered at the right, even pages at the left, each
// page with its own position's number.
TEST(MultiStampRunTest, RectoAndVersoNumberedOutside) {
    if (!tools::available("pdftotext")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    TempDir folder;
    folder.write("in.pdf", letterPages(6));
    const ProgramResult run =
        runProgram({"-iin.pdf", "-oout.pdf", "-quiet", "-prefix", "P-",    "-sep",  "",
                    "-one",     "-n2",       "-fliph", "-align",  "right", "-next", "-prefix",
                    "P-",       "-sep",      "",       "-one",    "-s2",   "-ns2",  "-n2"},
                   folder.path());
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const auto pages = pageWords(folder.file("out.pdf"));
    ASSERT_EQ(pages.size(), 6u);
    for (size_t k = 0; k < pages.size(); ++k) {
        const int position = static_cast<int>(k) + 1;
        const std::string text = "P-" + std::to_string(position);
        ASSERT_EQ(pages[k].count(text), 1u) << "page " << position;
        // Only its own number: the body word and the one stamp.
        EXPECT_EQ(pages[k].size(), 2u) << "page " << position;
        if (position % 2 == 1) {
            EXPECT_NEAR(pages[k].at(text).xMax, 612 - 20, 2.0) << position;
        } else {
            EXPECT_NEAR(pages[k].at(text).xMin, 20, 2.0) << position;
        }
    }
}

// Stamps under the page's contents and on top of them share the one pair of streams around
// them: every stamp shows, and the saves and restores of the streams, read in the page's
// order (the first stream is written before the last), pair up.
TEST(MultiStampRunTest, StampsUnderAndOnTopShareTheWrappingStreams) {
    if (!tools::available("pdftotext") || !tools::available("qpdf")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    TempDir folder;
    folder.write("in.pdf", letterPages(1));
    const ProgramResult run = runProgram(
        {"-iin.pdf", "-oout.pdf", "-quiet",     "-nopg",      "-sep",       "",       "-prefix",
         "Under1",   "-under",    "-pos20,100", "-next",      "-nopg",      "-sep",   "",
         "-prefix",  "Top1",      "-pos20,200", "-next",      "-nopg",      "-sep",   "",
         "-prefix",  "Under2",    "-under",     "-pos20,300", "-box00FF00", "-next",  "-nopg",
         "-sep",     "",          "-prefix",    "Top2",       "-pos20,500", "-size20"},
        folder.path());
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    std::string details;
    EXPECT_TRUE(tools::qpdfCheckClean(folder.file("out.pdf"), details)) << details;
    const auto pages = pageWords(folder.file("out.pdf"));
    ASSERT_EQ(pages.size(), 1u);
    for (const char* word : {"Under1", "Under2", "Top1", "Top2", "Body1"}) {
        EXPECT_EQ(pages[0].count(word), 1u) << word;
    }
    const std::string output = TempDir::read(folder.file("out.pdf"));
    int depth = 0;
    int saves = 0;
    bool negative = false;
    for (size_t at = 0; at < output.size();) {
        size_t end = output.find('\n', at);
        end = end == std::string::npos ? output.size() : end;
        const std::string line = output.substr(at, end - at);
        at = end + 1;
        if (line == "q") {
            depth += 1;
            saves += 1;
        } else if (line == "Q") {
            depth -= 1;
            negative = negative || depth < 0;
        }
    }
    EXPECT_FALSE(negative);
    EXPECT_EQ(depth, 0);
    // Each stamp under the content in its own pair, the box in its own, and the page's.
    EXPECT_EQ(saves, 4);
}

// What several stamps cannot do together is refused before anything is written.
TEST(MultiStampRunTest, RefusedCombinations) {
    TempDir folder;
    folder.write("in.pdf", letterPages(1));
    folder.write("lines.txt", "one\ntwo\n");
    struct Row {
        std::vector<std::string> options;
        const char* message;
    };
    const Row rows[] = {
        {{"-textfile", "lines.txt", "-next", "-nopg"}, "-textfile cannot be used with -next"},
        {{"-next", "-nopg", "-textfile", "lines.txt"}, "-textfile cannot be used with -next"},
        {{"-embedfont", "a.ttf", "-next", "-embedfont", "b.ttf"},
         "-embedfont can be given for one stamp of a run only"},
        {{"-fontfile", "a.txt", "-next", "-fontfile", "b.txt"},
         "-fontfile can name one fonts file for a run only"},
        {{"-prefix", "A", "-next"}, "-next must be followed by the options of another stamp"},
        {{"-next", "-next", "-nopg"}, "-next must be followed by the options of another stamp"},
        {{"-next", "-nopage"}, "-next must be followed by the options of another stamp"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {"-iin.pdf", "-oout.pdf", "-quiet"};
        args.insert(args.end(), row.options.begin(), row.options.end());
        const ProgramResult run = runProgram(args, folder.path());
        EXPECT_EQ(run.status, 1) << row.message;
        EXPECT_NE((run.out + run.err).find(row.message), std::string::npos) << row.message << "\n"
                                                                            << run.out << run.err;
        EXPECT_FALSE(std::filesystem::exists(folder.file("out.pdf"))) << row.message;
    }
}

} // namespace
