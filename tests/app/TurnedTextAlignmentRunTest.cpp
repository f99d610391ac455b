#include "support/ExternalTools.h"
#include "support/PdfBuilder.h"
#include "support/ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A Letter page, an A4 page and a Letter page turned by /Rotate 90, all blank.
std::string threePages() {
    qm_test::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>")
        .object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>")
        .object(4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>")
        .object(5, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Rotate 90 >>")
        .classicXRef();
    return pdf.bytes();
}

// The ink of one page as pdftoppm shows it at 72 dpi (one pixel a point): the centres of the
// dark pixels, x from the shown left edge and y from the shown bottom.
struct Ink {
    double width = 0;
    double height = 0;
    std::vector<std::pair<double, double>> points;
};

Ink renderInk(const TempDir& folder, const std::string& pdf, int page) {
    const std::string prefix = folder.file("page" + std::to_string(page));
    const tools::ToolResult result =
        tools::run({"pdftoppm", "-r", "72", "-gray", "-singlefile", "-f", std::to_string(page),
                    "-l", std::to_string(page), pdf, prefix});
    Ink ink;
    if (result.status != 0) {
        ADD_FAILURE() << "pdftoppm failed: " << result.out;
        return ink;
    }
    const std::string image = TempDir::read(prefix + ".pgm");
    std::istringstream header(image);
    std::string magic;
    int w = 0;
    int h = 0;
    int maxValue = 0;
    header >> magic >> w >> h >> maxValue;
    const auto start = static_cast<size_t>(header.tellg()) + 1;
    if (magic != "P5" || w <= 0 || h <= 0 || maxValue != 255 ||
        image.size() < start + static_cast<size_t>(w) * static_cast<size_t>(h)) {
        ADD_FAILURE() << "not an 8-bit PGM from pdftoppm, page " << page;
        return ink;
    }
    ink.width = w;
    ink.height = h;
    for (int row = 0; row < h; ++row) {
        for (int col = 0; col < w; ++col) {
            const auto value = static_cast<unsigned char>(
                image[start + static_cast<size_t>(row) * static_cast<size_t>(w) +
                      static_cast<size_t>(col)]);
            if (value < 128) {
                ink.points.emplace_back(col + 0.5, h - row - 0.5);
            }
        }
    }
    return ink;
}

// A centred or right-aligned turned text lies along its own baseline through the position:
// rendered on Letter, A4 and a page turned by /Rotate 90, the ink's box is centred on the
// page's middle within 4 % of the page's size, and measured along the text's direction the ink
// is centred on (or ends at) the position, with the baseline through it. The capitals have no
// descender, so the ink starts at the baseline.
TEST(TurnedTextAlignmentRunTest, TurnedTextIsAlignedAlongItsBaseline) {
    if (!tools::available("pdftoppm")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    struct Row {
        const char* name;
        std::vector<std::string> options;
        double angle;
        bool centred; // else right-aligned
        // The position: -1 for the page's middle, else points from the shown right and bottom.
        double fromRight;
        double fromBottom;
    };
    const std::vector<Row> rows = {
        {"center, 45", {"-pos-1,-1", "-align", "center", "-angle45"}, 45, true, -1, -1},
        {"center, 90", {"-pos-1,-1", "-align", "center", "-angle90"}, 90, true, -1, -1},
        {"center, -45", {"-pos-1,-1", "-align", "center", "-angle-45"}, -45, true, -1, -1},
        {"right, 30", {"-pos-1,-1", "-align", "right", "-angle30"}, 30, false, -1, -1},
        {"right, 30, from the right",
         {"-fliph", "-pos100,200", "-align", "right", "-angle30"},
         30,
         false,
         100,
         200},
    };
    // The program's width measure (whole 72nds of the width, over 14) falls short of the advance
    // by about 1/126, and the glyphs' side bearings lie inside it: at this size and text about 5
    // points along the baseline with Arial's metric twin (fonts-liberation).
    constexpr double kAlongTolerance = 8.0;
    // Anti-aliasing and the round letters' overshoot below the baseline.
    constexpr double kBaselineTolerance = 3.0;
    constexpr double kPi = 3.14159265358979323846;
    for (const Row& row : rows) {
        TempDir folder;
        folder.write("in.pdf", threePages());
        std::vector<std::string> args = {"-iin.pdf",   "-oout.pdf", "-quiet", "-nopg",  "-prefix",
                                         "DRAFT COPY", "-sep",      "",       "-size48"};
        args.insert(args.end(), row.options.begin(), row.options.end());
        ASSERT_EQ(runProgram(args, folder.path()).status, 0) << row.name;
        for (int page = 1; page <= 3; ++page) {
            const std::string label = std::string(row.name) + ", page " + std::to_string(page);
            const Ink ink = renderInk(folder, folder.file("out.pdf"), page);
            ASSERT_GT(ink.points.size(), 500u) << label;
            const double px = row.fromRight < 0 ? ink.width / 2 : ink.width - row.fromRight;
            const double py = row.fromBottom < 0 ? ink.height / 2 : row.fromBottom;
            const double radians = row.angle * kPi / 180.0;
            const double dx = std::cos(radians);
            const double dy = std::sin(radians);
            double xMin = std::numeric_limits<double>::max();
            double xMax = std::numeric_limits<double>::lowest();
            double yMin = xMin;
            double yMax = xMax;
            double alongMin = xMin;
            double alongMax = xMax;
            double acrossMin = xMin;
            for (const auto& [x, y] : ink.points) {
                xMin = std::min(xMin, x);
                xMax = std::max(xMax, x);
                yMin = std::min(yMin, y);
                yMax = std::max(yMax, y);
                const double along = (x - px) * dx + (y - py) * dy;
                alongMin = std::min(alongMin, along);
                alongMax = std::max(alongMax, along);
                acrossMin = std::min(acrossMin, (y - py) * dx - (x - px) * dy);
            }
            if (row.centred) {
                EXPECT_NEAR((xMin + xMax) / 2, px, 0.04 * ink.width) << label;
                EXPECT_NEAR((yMin + yMax) / 2, py, 0.04 * ink.height) << label;
                EXPECT_NEAR((alongMin + alongMax) / 2, 0, kAlongTolerance) << label;
            } else {
                EXPECT_NEAR(alongMax, 0, kAlongTolerance) << label;
                EXPECT_GT(alongMax - alongMin, 200) << label;
            }
            EXPECT_NEAR(acrossMin, 0, kBaselineTolerance) << label;
        }
    }
}

} // namespace
