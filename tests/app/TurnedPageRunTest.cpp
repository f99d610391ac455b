#include "stamp/fonts/FontTable.h"
#include "support/ExternalTools.h"
#include "support/PdfBuilder.h"
#include "support/ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

namespace {

// Where pdftotext finds the stamp on one page, on the page as shown: the word's left end and
// the bottom of its box, measured from the shown top left corner.
struct ShownWord {
    double xMin = 0;
    double yMax = 0;
    bool found = false;
};

std::vector<ShownWord> stampWords(const std::string& path, const std::string& word) {
    const tools::ToolResult result = tools::run({"pdftotext", "-bbox", path, "-"});
    std::vector<ShownWord> pages;
    const std::regex page(R"re(<page width=)re");
    const std::regex box(R"re(<word xMin="([-0-9.]+)" yMin="[-0-9.]+" xMax="[-0-9.]+" )re"
                         R"re(yMax="([-0-9.]+)">([^<]*)</word>)re");
    size_t at = 0;
    std::string line;
    while (at < result.out.size()) {
        size_t end = result.out.find('\n', at);
        end = end == std::string::npos ? result.out.size() : end;
        line = result.out.substr(at, end - at);
        at = end + 1;
        std::smatch m;
        if (std::regex_search(line, m, page)) {
            pages.emplace_back();
        } else if (!pages.empty() && std::regex_search(line, m, box) && m[3] == word) {
            pages.back().xMin = std::stod(m[1]);
            pages.back().yMax = std::stod(m[2]);
            pages.back().found = true;
        }
    }
    return pages;
}

// Pages turned 0, 90, 180 and 270 degrees, one that inherits /Rotate -90 from its node and has
// a box that does not start at 0,0, and an unturned one whose box is an object of its own.
std::string turnedPages() {
    qm_test::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R 6 0 R 7 0 R 9 0 R] /Count 6 "
                   "/MediaBox [0 0 612 792] >>")
        .object(3, "<< /Type /Page /Parent 2 0 R >>")
        .object(4, "<< /Type /Page /Parent 2 0 R /Rotate 90 >>")
        .object(5, "<< /Type /Page /Parent 2 0 R /Rotate 180 >>")
        .object(6, "<< /Type /Page /Parent 2 0 R /Rotate 270 >>")
        .object(7, "<< /Type /Pages /Parent 2 0 R /Kids [8 0 R] /Count 1 /Rotate -90 >>")
        .object(8, "<< /Type /Page /Parent 7 0 R /MediaBox [50 60 662 852] >>")
        .object(9, "<< /Type /Page /Parent 2 0 R /MediaBox 10 0 R >>")
        .object(10, "[0 0 400 500]")
        .classicXRef();
    return pdf.bytes();
}

// Every placement option means the same on the shown page, whatever its turn, and the text
// stands upright (pdftotext finds the word only then). Expected positions are fractions of the
// shown width and height plus points: the word's left end from the shown left edge, less the
// alignment's shift, and its baseline from the shown bottom.
TEST(TurnedPageRunTest, StampStandsWhereTheOptionsSayOnTheShownPage) {
    if (!tools::available("pdftotext")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    struct Row {
        const char* name;
        std::vector<std::string> options;
        double shiftFactor; // 0 left, 1 right, 0.5 center alignment
        double uFraction;
        double uPoints;
        double wFraction;
        double wPoints;
    };
    const std::vector<Row> rows = {
        {"bottom left", {"-pos30,40"}, 0, 0, 30, 0, 40},
        {"top left", {"-flipv", "-pos30,40"}, 0, 0, 30, 1, -40},
        {"bottom right, right aligned",
         {"-fliph", "-pos30,40", "-align", "right"},
         1,
         1,
         -30,
         0,
         40},
        {"top right, right aligned",
         {"-flipv", "-fliph", "-pos30,40", "-align", "right"},
         1,
         1,
         -30,
         1,
         -40},
        {"centred, center aligned", {"-pos-1,-1", "-align", "center"}, 0.5, 0.5, 0, 0.5, 0},
        {"from the right, centred up", {"-fliph", "-pos50,-1"}, 0, 1, -50, 0.5, 0},
    };
    constexpr double kSize = 20;
    // pdftotext's word box ends this far below the baseline (Helvetica's descent at size 20).
    constexpr double kDescent = 0.207 * kSize;
    const double width = getTextWidth("Arial", "Stamp");
    // The pages' sizes as shown: turned a quarter, the box's width is the shown height.
    const double shownSize[6][2] = {{612, 792}, {792, 612}, {612, 792},
                                    {792, 612}, {792, 612}, {400, 500}};
    for (const Row& row : rows) {
        TempDir folder;
        folder.write("turns.pdf", turnedPages());
        std::vector<std::string> args = {"-iturns.pdf", "-oout.pdf", "-quiet", "-nopg",  "-prefix",
                                         "Stamp",       "-sep",      "",       "-size20"};
        args.insert(args.end(), row.options.begin(), row.options.end());
        ASSERT_EQ(runProgram(args, folder.path()).status, 0) << row.name;
        const std::vector<ShownWord> pages = stampWords(folder.file("out.pdf"), "Stamp");
        ASSERT_EQ(pages.size(), 6u) << row.name;
        const double shift = std::trunc(std::trunc(width / 72) * (kSize / 14.0) * row.shiftFactor);
        for (size_t i = 0; i < pages.size(); ++i) {
            const ShownWord& page = pages[i];
            const std::string label = std::string(row.name) + ", page " + std::to_string(i + 1);
            ASSERT_TRUE(page.found) << label;
            const double shownWidth = shownSize[i][0];
            const double shownHeight = shownSize[i][1];
            EXPECT_NEAR(page.xMin, row.uFraction * shownWidth + row.uPoints - shift, 0.1) << label;
            const double baseline = shownHeight - (page.yMax - kDescent);
            EXPECT_NEAR(baseline, row.wFraction * shownHeight + row.wPoints, 0.1) << label;
        }
    }
}

} // namespace
