#include "stamp/fonts/FontTable.h"
#include "support/ExternalTools.h"
#include "support/PdfBuilder.h"
#include "support/ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// One page rendered by pdftoppm at 72 dots per inch: one pixel a point, row 0 at the top.
struct Raster {
    int width = 0;
    int height = 0;
    std::string rgb; // three bytes a pixel, row after row

    bool valid() const {
        return width > 0 && height > 0 &&
               rgb.size() == static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
    }
    // The pixel whose square holds the point (x, y), measured in points from the bottom left.
    uint32_t at(double x, double y) const {
        const int column = static_cast<int>(x);
        const int row = height - 1 - static_cast<int>(y);
        if (column < 0 || column >= width || row < 0 || row >= height) {
            return 0xFFFFFFFFu;
        }
        const size_t k =
            (static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(column)) *
            3;
        return static_cast<uint32_t>(static_cast<unsigned char>(rgb[k])) << 16 |
               static_cast<uint32_t>(static_cast<unsigned char>(rgb[k + 1])) << 8 |
               static_cast<uint32_t>(static_cast<unsigned char>(rgb[k + 2]));
    }
    // How many pixels of the rectangle [x0, x1) x [y0, y1) (points from the bottom left) the
    // predicate holds for.
    template <class Predicate>
    int count(double x0, double y0, double x1, double y1, Predicate predicate) const {
        int found = 0;
        for (double y = y0; y < y1; y += 1.0) {
            for (double x = x0; x < x1; x += 1.0) {
                found += predicate(at(x, y)) ? 1 : 0;
            }
        }
        return found;
    }
};

Raster render(const TempDir& folder, const std::string& pdf, int page) {
    const std::string prefix = folder.file("page" + std::to_string(page));
    const tools::ToolResult result =
        tools::run({"pdftoppm", "-r", "72", "-f", std::to_string(page), "-l", std::to_string(page),
                    "-singlefile", folder.file(pdf), prefix});
    Raster raster;
    const std::string ppm = TempDir::read(prefix + ".ppm");
    // "P6\n<width> <height>\n255\n" and the pixels.
    int maxValue = 0;
    int consumed = 0;
    if (result.status != 0 ||
        std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &raster.width, &raster.height, &maxValue,
                    &consumed) != 3 ||
        maxValue != 255) {
        return Raster{};
    }
    raster.rgb = ppm.substr(static_cast<size_t>(consumed) + 1);
    return raster;
}

bool dark(uint32_t pixel) {
    return (pixel >> 16 & 0xFF) < 90 && (pixel >> 8 & 0xFF) < 90 && (pixel & 0xFF) < 90;
}
bool green(uint32_t pixel) {
    return pixel == 0x00FF00u;
}
bool red(uint32_t pixel) {
    return (pixel >> 16 & 0xFF) > 200 && (pixel >> 8 & 0xFF) < 60 && (pixel & 0xFF) < 60;
}
bool blue(uint32_t pixel) {
    return pixel == 0x0000FFu;
}

// A page 300 points square, its content as given.
std::string onePage(const std::string& content, const std::string& catalogExtra = "") {
    qm_test::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R " + catalogExtra + ">>")
        .object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] /Contents 4 0 R >>")
        .stream(4, "", content)
        .classicXRef();
    return pdf.bytes();
}

// The box fills a quarter of the font size around the text's advance and from the font's
// descent to its ascent, in the text's own direction, and the text shows inside it.
TEST(StampLayerRunTest, BoxBehindTheTextTurnsWithIt) {
    if (!tools::available("pdftoppm")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    TempDir folder;
    folder.write("in.pdf", onePage(""));
    constexpr double kSize = 40;
    constexpr double kMargin = kSize / 4;
    const double advance = getTextWidth("Arial", "HH") * kSize / 1000;
    // Arial's descent and ascent in the built-in table: -0.210 and 0.896 of the size.
    const double bottom = -0.210 * kSize - kMargin;
    const double top = 0.896 * kSize + kMargin;
    struct Row {
        const char* angle;
        // Text space (u along the baseline, v up from it) to the page, from the start 100,100.
        double ux, uy, vx, vy;
    };
    const Row rows[] = {{"-angle0", 1, 0, 0, 1}, {"-angle90", 0, 1, -1, 0}};
    for (const Row& row : rows) {
        ASSERT_EQ(runProgram({"-iin.pdf", "-oout.pdf", "-quiet", "-nopg", "-prefix", "HH", "-sep",
                              "", "-size40", "-pos100,100", "-box00FF00", row.angle},
                             folder.path())
                      .status,
                  0);
        const Raster page = render(folder, "out.pdf", 1);
        ASSERT_TRUE(page.valid()) << row.angle;
        auto point = [&](double u, double v) {
            return page.at(100 + u * row.ux + v * row.vx, 100 + u * row.uy + v * row.vy);
        };
        // Inside the margin on every side: the box colour; past it: the white page.
        const double inside[][2] = {{-kMargin + 2, 5},          {advance + kMargin - 2, 5},
                                    {advance / 2, bottom + 2},  {advance / 2, top - 2},
                                    {-kMargin + 2, bottom + 2}, {advance + kMargin - 2, top - 2}};
        for (const auto& uv : inside) {
            EXPECT_TRUE(green(point(uv[0], uv[1]))) << row.angle << " at " << uv[0] << "," << uv[1]
                                                    << ": " << std::hex << point(uv[0], uv[1]);
        }
        const double outside[][2] = {{-kMargin - 2, 5},
                                     {advance + kMargin + 2, 5},
                                     {advance / 2, bottom - 2},
                                     {advance / 2, top + 2}};
        for (const auto& uv : outside) {
            EXPECT_EQ(point(uv[0], uv[1]), 0xFFFFFFu)
                << row.angle << " at " << uv[0] << "," << uv[1];
        }
        // The text is drawn over the box: its black strokes lie within the box, none outside.
        int darkInside = 0;
        int darkTotal = 0;
        for (double u = -20; u < advance + 20; u += 1) {
            for (double v = -30; v < 60; v += 1) {
                if (dark(point(u, v))) {
                    ++darkTotal;
                    darkInside += u > 0 && u < advance && v > -1 && v < 0.75 * kSize ? 1 : 0;
                }
            }
        }
        EXPECT_GT(darkInside, 100) << row.angle;
        EXPECT_EQ(darkInside, darkTotal) << row.angle;
    }
}

// Under the content the page paints over the stamp: a page that fills itself with an opaque
// rectangle hides it, an ordinary page shows it; the page's own drawing keeps the default
// graphics state (a rectangle without a colour of its own stays black where it was).
TEST(StampLayerRunTest, UnderTheContent) {
    if (!tools::available("pdftoppm") || !tools::available("qpdf")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    TempDir folder;
    folder.write("covered.pdf", onePage("0 0 1 rg 0 0 300 300 re f"));
    folder.write("plain.pdf", onePage("10 250 20 20 re f"));
    const std::vector<std::string> stampOptions = {
        "-quiet", "-nopg", "-prefix", "DRAFT", "-sep", "", "-size60", "-pos40,100", "-colorFF0000"};
    struct Row {
        const char* input;
        bool under;
        bool stampSeen;
    };
    const Row rows[] = {{"covered.pdf", true, false},
                        {"covered.pdf", false, true},
                        {"plain.pdf", true, true},
                        {"plain.pdf", false, true}};
    for (const Row& row : rows) {
        std::vector<std::string> args = {std::string("-i") + row.input, "-oout.pdf"};
        args.insert(args.end(), stampOptions.begin(), stampOptions.end());
        if (row.under) {
            args.push_back("-under");
        }
        ASSERT_EQ(runProgram(args, folder.path()).status, 0) << row.input;
        std::string details;
        EXPECT_TRUE(tools::qpdfCheckClean(folder.file("out.pdf"), details)) << details;
        const Raster page = render(folder, "out.pdf", 1);
        ASSERT_TRUE(page.valid()) << row.input;
        const std::string label = std::string(row.input) + (row.under ? " under" : " on top");
        const int redPixels = page.count(40, 90, 260, 150, red);
        if (row.stampSeen) {
            EXPECT_GT(redPixels, 200) << label;
        } else {
            EXPECT_EQ(redPixels, 0) << label;
            EXPECT_EQ(page.count(0, 0, 300, 300, blue), 300 * 300) << label;
        }
        if (std::string(row.input) == "plain.pdf") {
            EXPECT_EQ(page.count(10, 250, 30, 270, dark), 400) << label;
        }
    }
}

// A tagged document's stamp is a pagination artifact, on the catalog's word whether /MarkInfo
// or its /Marked stands in an object of its own; other documents get no marking.
TEST(StampLayerRunTest, TaggedDocumentsMarkTheStampAsArtifact) {
    struct Row {
        const char* name;
        std::string input;
        bool marked;
    };
    qm_test::PdfBuilder referenced;
    referenced.object(1, "<< /Type /Catalog /Pages 2 0 R /MarkInfo 5 0 R >>")
        .object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] /Contents 4 0 R >>")
        .stream(4, "", "0 0 m 10 10 l S")
        .object(5, "<< /Marked 6 0 R >>")
        .object(6, "true")
        .classicXRef();
    const Row rows[] = {
        {"direct", onePage("0 0 m 10 10 l S", "/MarkInfo << /Marked true >> "), true},
        {"referenced", referenced.bytes(), true},
        {"marked false", onePage("0 0 m 10 10 l S", "/MarkInfo << /Marked false >> "), false},
        {"no MarkInfo", onePage("0 0 m 10 10 l S"), false},
        {"MarkInfo not a dictionary", onePage("0 0 m 10 10 l S", "/MarkInfo true "), false},
    };
    for (const bool incremental : {false, true}) {
        for (const Row& row : rows) {
            TempDir folder;
            folder.write("in.pdf", row.input);
            std::vector<std::string> args = {"-iin.pdf", "-oout.pdf", "-quiet"};
            if (incremental) {
                args.push_back("-incremental");
            }
            ASSERT_EQ(runProgram(args, folder.path()).status, 0) << row.name;
            const std::string out = TempDir::read(folder.file("out.pdf"));
            const std::string label = std::string(row.name) + (incremental ? ", update" : "");
            const size_t bdc = out.find("\nQ\n/Artifact << /Type /Pagination >> BDC\nBT\n");
            const size_t emc = out.find("Tj\nET\nEMC\n");
            EXPECT_EQ(bdc != std::string::npos, row.marked) << label;
            EXPECT_EQ(emc != std::string::npos && emc > bdc, row.marked) << label;
            if (!row.marked) {
                EXPECT_EQ(out.find("/Artifact"), std::string::npos) << label;
            }
            std::string details;
            if (tools::available("qpdf")) {
                EXPECT_TRUE(tools::qpdfCheckClean(folder.file("out.pdf"), details))
                    << label << ": " << details;
            }
        }
    }
}

} // namespace
