// Picture stamps (-image, -overlay) through the program: pages filled with blue are stamped
// with PNG and JPEG pictures and a page of another PDF made here, rendered by poppler's pdftoppm at
// 72 dpi (a pixel a point), and the pixels read where the picture should and should not be; qpdf
// checks every output.
#include "support/ExternalTools.h"
#include "support/ImageBuilder.h"
#include "support/PdfBuilder.h"
#include "support/ProgramRunner.h"
#include "support/StickerPdf.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

namespace {

using qm_test::PngLayout;
using tools::ToolResult;

struct Rgb {
    int r, g, b;
};

// Pages of the box given (two unless said), each filled with blue over its media box;
// pageExtra goes into each page's dictionary, catalogExtra into the catalog's.
std::string makeBluePages(const std::string& mediaBox, const std::string& pageExtra, int pages = 2,
                          const std::string& catalogExtra = "") {
    qm_test::PdfBuilder pdf;
    std::string kids;
    for (int page = 0; page < pages; ++page) {
        kids += std::to_string(page + 4) + " 0 R ";
    }
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R " + catalogExtra + " >>")
        .object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>")
        .stream(3, "", "0 0 1 rg -2000 -2000 5000 5000 re f");
    for (int page = 0; page < pages; ++page) {
        pdf.object(page + 4, "<< /Type /Page /Parent 2 0 R /MediaBox " + mediaBox +
                                 " /Contents 3 0 R " + pageExtra + " >>");
    }
    pdf.classicXRef();
    return pdf.bytes();
}

// The first page of path rendered at 72 dpi as a viewer shows it (its crop box) as a binary
// PPM's pixels, with its size.
struct Rendered {
    int width = 0;
    int height = 0;
    std::string pixels;
    // The pixel at x points from the shown left edge and y from the shown bottom.
    Rgb at(int x, int y) const {
        const size_t i = (static_cast<size_t>(height - 1 - y) * width + x) * 3;
        return {static_cast<unsigned char>(pixels[i]), static_cast<unsigned char>(pixels[i + 1]),
                static_cast<unsigned char>(pixels[i + 2])};
    }
};

Rendered render(const TempDir& dir, const std::string& path) {
    const std::string prefix = dir.file("page");
    tools::run(
        {"pdftoppm", "-r", "72", "-cropbox", "-f", "1", "-l", "1", "-singlefile", path, prefix});
    const std::string ppm = TempDir::read(prefix + ".ppm");
    Rendered out;
    int maxValue = 0;
    int consumed = 0;
    if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &out.width, &out.height, &maxValue, &consumed) ==
            3 &&
        maxValue == 255) {
        out.pixels = ppm.substr(static_cast<size_t>(consumed) + 1);
    }
    if (out.pixels.size() != static_cast<size_t>(out.width) * out.height * 3) {
        out = Rendered{};
    }
    return out;
}

bool near(const Rgb& a, const Rgb& b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

std::string show(const Rgb& c) {
    // Appended, not added up: GCC 12 warns wrongly (-Wrestrict) of "text + number".
    std::string text = "(";
    text.append(std::to_string(c.r)).append(",").append(std::to_string(c.g)).append(",");
    return text.append(std::to_string(c.b)).append(")");
}

size_t countOf(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

// A PNG of width x height pixels, each the bytes of pixel.
std::string flatPng(PngLayout layout, const std::string& pixel, const std::string& extra = "") {
    std::string pixels;
    for (uint32_t i = 0; i < layout.width * layout.height; ++i) {
        pixels += pixel;
    }
    return qm_test::makePng(layout, pixels, extra);
}

const Rgb kBlue{0, 0, 255};
const Rgb kRed{255, 0, 0};
const Rgb kGreen{0, 255, 0};

TEST(PictureStampTest, PicturesShowWherePlacedAndThePageElsewhere) {
    if (!tools::available("pdftoppm") || !tools::available("qpdf")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    // 40 x 20 pixels: the left half opaque red, the right half transparent.
    std::string halfRed;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x) {
            halfRed += x < 20 ? std::string("\xff\0\0\xff", 4) : std::string(4, '\0');
        }
    }
    const std::string alphaPng = qm_test::makePng(PngLayout{40, 20, 8, 6, false, 4}, halfRed, "");
    const std::string redPng =
        flatPng(PngLayout{40, 20, 8, 2, false, 3}, std::string("\xff\0\0", 3));
    const std::string palettePng =
        flatPng(PngLayout{10, 10, 8, 3, false, 1}, std::string(1, '\0'),
                qm_test::pngChunk("PLTE", std::string("\0\xff\0\xff\0\0", 6)));
    const std::string green16 =
        flatPng(PngLayout{20, 10, 16, 2, true, 6}, std::string("\0\0\xff\xff\0\0", 6));
    // 150 pixels per inch: 30 x 16 pixels are 14.4 x 7.68 points.
    const std::string densePng =
        flatPng(PngLayout{30, 16, 8, 2, false, 3}, std::string("\xff\0\0", 3),
                qm_test::pngChunk("pHYs", std::string("\0\0\x17\x0f\0\0\x17\x0f\x01", 9)));
    const std::string letter = "[0 0 612 792]";
    struct Probe {
        int x, y;
        Rgb color;
    };
    struct Row {
        const char* name;
        std::string image;
        std::vector<std::string> options;
        std::string mediaBox;
        std::string pageExtra;
        int tolerance;
        std::vector<Probe> probes;
    };
    const Row rows[] = {
        {"PNG alpha: the page shows through its transparent half",
         alphaPng,
         {"-pos100,100"},
         letter,
         "",
         8,
         {{110, 110, kRed}, {118, 118, kRed}, {130, 110, kBlue}, {300, 300, kBlue}}},
        {"PNG palette at -scale200",
         palettePng,
         {"-pos100,100", "-scale200"},
         letter,
         "",
         8,
         {{118, 118, kGreen}, {122, 110, kBlue}, {110, 122, kBlue}}},
        {"PNG 16-bit interlaced fitted by -width100",
         green16,
         {"-pos100,100", "-width100"},
         letter,
         "",
         8,
         {{197, 147, kGreen}, {203, 140, kBlue}, {150, 153, kBlue}}},
        {"PNG at its pHYs resolution",
         densePng,
         {"-pos100,100"},
         letter,
         "",
         8,
         {{113, 106, kRed}, {116, 104, kBlue}, {105, 109, kBlue}}},
        {"JPEG grey fitted by -height40",
         qm_test::makeFlatJpeg(2, 1, {128}),
         {"-pos100,100", "-height40"},
         letter,
         "",
         6,
         {{177, 137, {128, 128, 128}}, {183, 120, kBlue}, {150, 143, kBlue}}},
        {"JPEG YCbCr",
         qm_test::makeFlatJpeg(2, 1, {76, 85, 255}),
         {"-pos100,100"},
         letter,
         "",
         8,
         {{113, 106, kRed}, {118, 104, kBlue}}},
        {"JPEG CMYK inverted by Adobe",
         qm_test::makeFlatJpeg(2, 1, {255, 0, 0, 255}),
         {"-pos100,100", "-scale200"},
         letter,
         "",
         60,
         {{130, 110, kRed}, {135, 120, kBlue}}},
        {"-angle30 -align center -pos-1,-1 turns about the middle",
         redPng,
         {"-angle30", "-align", "center", "-pos-1,-1"},
         letter,
         "",
         8,
         {{306, 396, kRed}, {319, 403, kRed}, {324, 388, kBlue}, {288, 404, kBlue}}},
        {"-align right ends at the position",
         redPng,
         {"-pos200,100", "-align", "right"},
         letter,
         "",
         8,
         {{162, 110, kRed}, {198, 110, kRed}, {202, 110, kBlue}}},
        {"-under: the page's fill covers it",
         redPng,
         {"-pos100,100", "-under"},
         letter,
         "",
         8,
         {{110, 110, kBlue}}},
        {"-opacity50 over blue",
         redPng,
         {"-pos100,100", "-opacity50"},
         letter,
         "",
         10,
         {{110, 110, {128, 0, 127}}}},
        {"A4 centred",
         redPng,
         {"-pos-1,-1", "-align", "center"},
         "[0 0 595 842]",
         "",
         8,
         {{297, 421, kRed}, {280, 421, kRed}, {320, 421, kBlue}, {297, 433, kBlue}}},
        {"/Rotate 90: placed on the page as shown",
         redPng,
         {"-pos100,100"},
         letter,
         "/Rotate 90",
         8,
         {{110, 110, kRed}, {137, 117, kRed}, {110, 123, kBlue}, {143, 110, kBlue}}},
        {"CropBox: from its corner",
         redPng,
         {"-pos10,10"},
         letter,
         "/CropBox [100 100 500 700]",
         8,
         {{15, 15, kRed}, {47, 27, kRed}, {52, 15, kBlue}}},
    };
    TempDir dir;
    for (const Row& row : rows) {
        const std::string image = dir.write("picture.img", row.image);
        const std::string input = dir.write("in.pdf", makeBluePages(row.mediaBox, row.pageExtra));
        const std::string output = dir.file("out.pdf");
        std::filesystem::remove(output);
        std::vector<std::string> arguments = {"-i" + input, "-o" + output, "-quiet", "-image",
                                              image};
        arguments.insert(arguments.end(), row.options.begin(), row.options.end());
        const ProgramResult run = runProgram(arguments);
        ASSERT_EQ(run.status, 0) << row.name << ": " << run.err;
        std::string details;
        EXPECT_TRUE(tools::qpdfCheckClean(output, details)) << row.name << ": " << details;
        // The image is written once and both pages draw it.
        const std::string bytes = TempDir::read(output);
        EXPECT_EQ(countOf(bytes, "/Subtype /Image /Width"),
                  row.image == alphaPng ? 2u : 1u) // with its soft mask
            << row.name;
        EXPECT_EQ(countOf(bytes, " Do\n"), 2u) << row.name;
        const Rendered page = render(dir, output);
        ASSERT_GT(page.width, 0) << row.name << ": not rendered";
        for (const Probe& probe : row.probes) {
            const Rgb seen = page.at(probe.x, probe.y);
            EXPECT_TRUE(near(seen, probe.color, row.tolerance))
                << row.name << ": at " << probe.x << "," << probe.y << " " << show(seen)
                << ", expected " << show(probe.color);
        }
    }
}

TEST(PictureStampTest, DamagedImagesAreRefusedBeforeAnythingIsWritten) {
    std::string badCrc =
        qm_test::makePng(PngLayout{4, 4, 8, 0, false, 1}, std::string(16, 'x'), "");
    badCrc[29] ^= 1; // IHDR's CRC
    const std::string jpeg = qm_test::makeFlatJpeg(1, 1, {100});
    struct Row {
        const char* name;
        std::string bytes;
        const char* cause;
    };
    const Row rows[] = {
        {"PNG with a bad CRC", badCrc, "bad CRC in chunk IHDR"},
        {"JPEG header cut short", jpeg.substr(0, 30), "runs past the end of the file"},
        {"a GIF file", "GIF89a\x01\x00\x01\x00", "neither a JPEG nor a PNG"},
    };
    TempDir dir;
    const std::string input = dir.write("in.pdf", makeBluePages("[0 0 612 792]", ""));
    for (const Row& row : rows) {
        const std::string image = dir.write("picture.img", row.bytes);
        const std::string output = dir.file("out.pdf");
        const ProgramResult run = runProgram({"-i" + input, "-o" + output, "-image", image});
        EXPECT_NE(run.status, 0) << row.name;
        EXPECT_NE(run.err.find(row.cause), std::string::npos) << row.name << ": " << run.err;
        EXPECT_FALSE(std::filesystem::exists(output)) << row.name;
        // No temporary output left beside them either: the folder holds the input and image.
        const auto entries = std::distance(std::filesystem::directory_iterator(dir.path()),
                                           std::filesystem::directory_iterator());
        EXPECT_EQ(entries, 2) << row.name;
    }
}

// A Bates number and a logo (an image, or a page of another PDF) in one pass, written as an
// update: of the -incremental option, and of a protected input (the picture's streams then
// encrypted with the document's key).
TEST(PictureStampTest, BatesNumberAndLogoInOneUpdate) {
    if (!tools::available("pdftoppm") || !tools::available("qpdf") ||
        !tools::available("pdftotext")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    TempDir dir;
    const std::string plain = dir.write("plain.pdf", makeBluePages("[0 0 612 792]", ""));
    const std::string encrypted = dir.file("encrypted.pdf");
    ASSERT_EQ(tools::run({"qpdf", "--encrypt", "", "owner", "256", "--", plain, encrypted}).status,
              0);
    const std::string logo = dir.write(
        "logo.png", flatPng(PngLayout{40, 20, 8, 2, false, 3}, std::string("\xff\0\0", 3)));
    const std::string sticker = dir.write("sticker.pdf", qm_test::makeStickerPdf());
    struct Picture {
        std::string option;
        std::string file;
        int redX;   // a point of the picture that is red, at y 110
        int outerX; // and one right of it, outside
    };
    const Picture pictures[] = {{"-image", logo, 120, 150}, {"-overlay", sticker, 250, 350}};
    struct Row {
        const char* name;
        std::string input;
        std::vector<std::string> options;
        bool encrypted;
    };
    const Row rows[] = {
        {"-incremental", plain, {"-incremental"}, false},
        {"protected input", encrypted, {}, true},
    };
    for (const Picture& picture : pictures) {
        for (const Row& row : rows) {
            const std::string name = picture.option + " " + row.name;
            const std::string output = dir.file("out.pdf");
            // "ACME000001" on page 1, then the logo.
            std::vector<std::string> arguments = {
                "-i" + row.input, "-o" + output,  "-quiet",     "-one",       "-prefix",
                "ACME",           "-sep",         "",           "-m6",        "-pos300,50",
                "-next",          picture.option, picture.file, "-pos100,100"};
            arguments.insert(arguments.end(), row.options.begin(), row.options.end());
            const ProgramResult run = runProgram(arguments);
            ASSERT_EQ(run.status, 0) << name << ": " << run.err;
            const std::string input = TempDir::read(row.input);
            EXPECT_EQ(TempDir::read(output).compare(0, input.size(), input), 0)
                << name << ": the input is not a prefix of the output";
            std::string details;
            EXPECT_TRUE(tools::qpdfCheckClean(output, details)) << name << ": " << details;
            const ToolResult encryption = tools::run({"qpdf", "--show-encryption", output});
            EXPECT_EQ(encryption.out.find("not encrypted") == std::string::npos, row.encrypted)
                << name << ": " << encryption.out;
            const std::vector<std::string> pages = tools::pdfTextPages(output, false);
            ASSERT_EQ(pages.size(), 2u) << name;
            EXPECT_NE(pages[1].find("ACME000002"), std::string::npos) << name << ": " << pages[1];
            const Rendered page = render(dir, output);
            ASSERT_GT(page.width, 0) << name << ": not rendered";
            EXPECT_TRUE(near(page.at(picture.redX, 110), kRed, 8))
                << name << ": " << show(page.at(picture.redX, 110));
            EXPECT_TRUE(near(page.at(picture.outerX, 110), kBlue, 8)) << name;
        }
    }
}

// A page of another PDF (-overlay), laid out in several ways, over three pages: drawn at its place
// on the first page (its green half, its red image, the page's blue around it), its text on every
// page, and its font, image and form written once.
TEST(PictureStampTest, OverlaidPageShowsOnEveryPageFromOneCopy) {
    if (!tools::available("pdftoppm") || !tools::available("qpdf") ||
        !tools::available("pdftotext")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    using qm_test::StickerLayout;
    struct Probe {
        int x, y;
        Rgb color;
    };
    // At -pos100,100 the sticker covers 100..300 x 100..200: green, then red.
    const std::vector<Probe> flat = {
        {120, 120, kGreen}, {250, 120, kRed}, {350, 120, kBlue}, {120, 250, kBlue}};
    struct Row {
        const char* name;
        StickerLayout layout;
        bool encrypt;
        std::vector<std::string> options;
        std::vector<Probe> probes;
    };
    const std::vector<Row> rows = {
        {"one Flate stream", {false, false, 0, ""}, false, {}, flat},
        {"two streams joined", {true, false, 0, ""}, false, {}, flat},
        {"object streams", {false, true, 0, ""}, false, {}, flat},
        {"box away from 0,0", {false, false, 100, ""}, false, {}, flat},
        {"protected overlay", {false, false, 0, ""}, true, {}, flat},
        {"page 1 named", {false, false, 0, ""}, false, {",1"}, flat},
        {"-scale50",
         {false, false, 0, ""},
         false,
         {"-scale50"},
         {{120, 120, kGreen}, {170, 120, kRed}, {220, 120, kBlue}}},
        // Shown turned: 100 wide, 200 high, its green half on top.
        {"/Rotate 90",
         {false, false, 0, "/Rotate 90"},
         false,
         {},
         {{130, 250, kGreen}, {130, 150, kRed}, {250, 150, kBlue}}},
    };
    TempDir dir;
    const std::string input = dir.write("in.pdf", makeBluePages("[0 0 612 792]", "", 3));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string sticker = dir.write("sticker.pdf", qm_test::makeStickerPdf(row.layout));
        if (row.encrypt) {
            const std::string plain = sticker;
            sticker = dir.file("protected.pdf");
            ASSERT_EQ(
                tools::run({"qpdf", "--encrypt", "", "owner", "256", "--", plain, sticker}).status,
                0);
        }
        const std::string output = dir.file("out.pdf");
        std::filesystem::remove(output);
        std::vector<std::string> arguments = {"-i" + input,  "-o" + output, "-quiet",
                                              "-pos100,100", "-overlay",    sticker};
        for (const std::string& option : row.options) {
            if (option[0] == ',') {
                arguments.back() += option;
            } else {
                arguments.push_back(option);
            }
        }
        const ProgramResult run = runProgram(arguments);
        ASSERT_EQ(run.status, 0) << run.err;
        std::string details;
        EXPECT_TRUE(tools::qpdfCheckClean(output, details)) << details;
        const std::string bytes = TempDir::read(output);
        EXPECT_EQ(countOf(bytes, "/Subtype /Form"), 1u);
        EXPECT_EQ(countOf(bytes, "/BaseFont /Helvetica"), 1u);
        EXPECT_EQ(countOf(bytes, "/Subtype /Image"), 1u);
        EXPECT_EQ(countOf(bytes, "/Subtype /Square"), 0u) << "the annotation is not copied";
        EXPECT_EQ(countOf(bytes, " Do\n"), 3u);
        const std::vector<std::string> pages = tools::pdfTextPages(output, false);
        ASSERT_EQ(pages.size(), 3u);
        for (const std::string& text : pages) {
            EXPECT_NE(text.find("STICKER"), std::string::npos) << text;
        }
        const Rendered page = render(dir, output);
        ASSERT_GT(page.width, 0) << "not rendered";
        for (const Probe& probe : row.probes) {
            const Rgb seen = page.at(probe.x, probe.y);
            EXPECT_TRUE(near(seen, probe.color, 8))
                << "at " << probe.x << "," << probe.y << " " << show(seen) << ", expected "
                << show(probe.color);
        }
    }
}

// What cannot be drawn is refused before the input is read, with its cause, and nothing is
// written.
TEST(PictureStampTest, UnusableOverlaysAndSizesAreRefused) {
    TempDir dir;
    const std::string input = dir.write("in.pdf", makeBluePages("[0 0 612 792]", ""));
    const std::string sticker = dir.write("sticker.pdf", qm_test::makeStickerPdf());
    const std::string text = dir.write("notes.txt", "not a PDF at all\n");
    std::string locked;
    if (tools::available("qpdf")) {
        locked = dir.file("locked.pdf");
        ASSERT_EQ(
            tools::run({"qpdf", "--encrypt", "user", "owner", "256", "--", sticker, locked}).status,
            0);
    }
    const std::string logo =
        dir.write("logo.png", flatPng(PngLayout{4, 4, 8, 2, false, 3}, std::string("\xff\0\0", 3)));
    struct Row {
        const char* name;
        std::vector<std::string> options;
        const char* cause;
    };
    const std::vector<Row> rows = {
        {"missing file", {"-overlay", dir.file("none.pdf")}, "none.pdf"},
        {"not a PDF", {"-overlay", text}, "notes.txt"},
        {"page out of range", {"-overlay", sticker + ",5"}, "it has no page 5 (it has 1)"},
        {"page 0", {"-overlay", sticker + ",0"}, "there is no page 0"},
        {"needs a password", {"-overlay", locked}, "needs a password"},
        {"-image and -overlay", {"-overlay", sticker, "-image", logo}, "draws one picture"},
        {"-scale0", {"-image", logo, "-scale0"}, "-scale must be more than 0, not 0"},
        {"-width-5", {"-image", logo, "-width-5"}, "-width must be more than 0, not -5"},
        {"-height0", {"-overlay", sticker, "-height0"}, "-height must be more than 0"},
    };
    for (const Row& row : rows) {
        if (row.options[1].empty()) {
            continue; // the protected file needs qpdf
        }
        const std::string output = dir.file("out.pdf");
        std::vector<std::string> arguments = {"-i" + input, "-o" + output};
        arguments.insert(arguments.end(), row.options.begin(), row.options.end());
        const ProgramResult run = runProgram(arguments);
        EXPECT_NE(run.status, 0) << row.name;
        EXPECT_NE(run.err.find(row.cause), std::string::npos) << row.name << ": " << run.err;
        EXPECT_FALSE(std::filesystem::exists(output)) << row.name;
    }
}

// In a tagged document a picture, image or page of another PDF, is marked as a pagination
// artifact, in the rewrite and in the update; other documents get no marking.
TEST(PictureStampTest, TaggedDocumentsMarkPicturesAsArtifacts) {
    TempDir dir;
    const std::string tagged = dir.write(
        "tagged.pdf", makeBluePages("[0 0 612 792]", "", 1, "/MarkInfo << /Marked true >>"));
    const std::string plain = dir.write("plain.pdf", makeBluePages("[0 0 612 792]", "", 1));
    const std::string sticker = dir.write("sticker.pdf", qm_test::makeStickerPdf());
    const std::string logo =
        dir.write("logo.png", flatPng(PngLayout{4, 4, 8, 2, false, 3}, std::string("\xff\0\0", 3)));
    for (const std::string& picture : {std::string("-image"), std::string("-overlay")}) {
        for (const bool incremental : {false, true}) {
            for (const bool marked : {false, true}) {
                const std::string label = picture + (incremental ? " update" : " rewrite") +
                                          (marked ? " tagged" : " untagged");
                const std::string output = dir.file("out.pdf");
                std::vector<std::string> arguments = {"-i" + (marked ? tagged : plain),
                                                      "-o" + output, "-quiet", picture,
                                                      picture == "-image" ? logo : sticker};
                if (incremental) {
                    arguments.push_back("-incremental");
                }
                ASSERT_EQ(runProgram(arguments).status, 0) << label;
                const std::string out = TempDir::read(output);
                const size_t bdc = out.find(" gs\n/Artifact << /Type /Pagination >> BDC\n");
                const size_t emc = out.find(" Do\nEMC\nQ\n");
                EXPECT_EQ(bdc != std::string::npos, marked) << label;
                EXPECT_EQ(emc != std::string::npos && emc > bdc, marked) << label;
                if (!marked) {
                    EXPECT_EQ(out.find("/Artifact"), std::string::npos) << label;
                }
            }
        }
    }
}

} // namespace
