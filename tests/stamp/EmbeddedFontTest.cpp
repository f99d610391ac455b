// -embedfont run through the real program: the text drawn in a subset of a TrueType or OpenType
// font, judged by independent readers (pdftotext for the text and its boxes, pdffonts for the
// embedding, qpdf for validity).
#include "stamp/fonts/CEmbeddedFont.h"
#include "stamp/fonts/CFontFace.h"
#include "support/ExternalTools.h"
#include "support/PdfBuilder.h"
#include "support/ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const std::string kIpaGothic = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
const std::string kNimbusCff = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf";

// A document of `pages` empty Letter pages.
std::string emptyPages(int pages) {
    qm_test::PdfBuilder pdf;
    std::string kids;
    for (int i = 0; i < pages; ++i) {
        kids += std::to_string(3 + i) + " 0 R ";
    }
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) +
                       " /MediaBox [0 0 612 792] >>");
    for (int i = 0; i < pages; ++i) {
        pdf.object(3 + i, "<< /Type /Page /Parent 2 0 R >>");
    }
    pdf.classicXRef();
    return pdf.bytes();
}

// Skips the test unless HarfBuzz is built in and the readers and the two fonts are there.
#define REQUIRE_EMBEDDING()                                                                        \
    do {                                                                                           \
        if (!CFontFace::supported()) {                                                             \
            GTEST_SKIP() << "built without HarfBuzz";                                              \
        }                                                                                          \
        if (!fs::exists(kDejaVu) || !fs::exists(kIpaGothic)) {                                     \
            GTEST_SKIP() << "needs " << kDejaVu << " and " << kIpaGothic;                          \
        }                                                                                          \
        if (!tools::available("pdftotext") || !tools::available("pdffonts") ||                     \
            !tools::available("qpdf")) {                                                           \
            GTEST_SKIP() << tools::kJudgesMissing;                                                 \
        }                                                                                          \
    } while (false)

struct FontRow {
    std::string name; // as pdffonts shows it
    std::string type;
    std::string emb;
    std::string sub;
    std::string uni;
};

// The fonts pdffonts lists for the file.
std::vector<FontRow> fontRows(const std::string& path) {
    std::istringstream lines(tools::run({"pdffonts", path}).out);
    std::vector<FontRow> rows;
    std::string line;
    bool table = false;
    while (std::getline(lines, line)) {
        if (line.rfind("----", 0) == 0) {
            table = true;
            continue;
        }
        if (!table) {
            continue;
        }
        // name, type (one or two words), encoding, emb, sub, uni, object id, generation.
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) {
            w.push_back(word);
        }
        if (w.size() < 8) {
            continue;
        }
        const size_t n = w.size();
        FontRow row{w[0], "", w[n - 5], w[n - 4], w[n - 3]};
        for (size_t i = 1; i + 6 < n; ++i) {
            row.type += (row.type.empty() ? "" : " ") + w[i];
        }
        rows.push_back(row);
    }
    return rows;
}

// The largest right edge and smallest left edge of the words pdftotext finds on page 1.
void wordEdges(const std::string& path, double& left, double& right) {
    const std::string html =
        tools::run({"pdftotext", "-bbox", "-f", "1", "-l", "1", path, "-"}).out;
    const std::regex word("xMin=\"([0-9.]+)\" yMin=\"[0-9.]+\" xMax=\"([0-9.]+)\"");
    left = 1e9;
    right = -1e9;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), word);
         it != std::sregex_iterator(); ++it) {
        left = std::min(left, std::stod((*it)[1]));
        right = std::max(right, std::stod((*it)[2]));
    }
}

std::vector<std::string> args(const std::string& in, const std::string& out,
                              std::vector<std::string> more) {
    more.insert(more.begin(), {"-i" + in, "-o" + out, "-quiet"});
    return more;
}

// Every page's text comes back exactly as typed, from one embedded subset that holds only
// what the pass drew.
TEST(EmbeddedFont, TextExtractsAsTypedFromAnEmbeddedSubset) {
    struct Case {
        const char* label;
        std::string file; // the font file
        std::string font; // as -embedfont names it
        std::vector<std::string> options;
        std::vector<std::string> pages; // the text of each page
        const char* type;               // as pdffonts names the CID font
    };
    const std::vector<Case> cases = {
        {"Polish, Greek and Cyrillic in DejaVu Sans",
         kDejaVu,
         kDejaVu,
         {"-prefix", "Strona ", "-sep", " z ", "-end", " — Łódź, Ελλάδα, Москва"},
         {"Strona 1 z 3 — Łódź, Ελλάδα, Москва", "Strona 2 z 3 — Łódź, Ελλάδα, Москва",
          "Strona 3 z 3 — Łódź, Ελλάδα, Москва"},
         "CID TrueType"},
        {"Japanese in IPAGothic",
         kIpaGothic,
         kIpaGothic,
         {"-prefix", "第", "-sep", "頁／全", "-end", "頁"},
         {"第1頁／全3頁", "第2頁／全3頁", "第3頁／全3頁"},
         "CID TrueType"},
        {"turned, coloured, see-through and large",
         kDejaVu,
         kDejaVu,
         {"-prefix", "Příliš žluťoučký ", "-angle45", "-size24", "-colorFF0000", "-opacity40",
          "-CMYKcolor00FF0000", "-pos-1,-1", "-align", "center"},
         {"Příliš žluťoučký 1 / 3", "Příliš žluťoučký 2 / 3", "Příliš žluťoučký 3 / 3"},
         "CID TrueType"},
        {"a face named in a collection's way; ligatures (ffi, fi) map to all their letters",
         kDejaVu,
         kDejaVu + ",0",
         {"-prefix", "Ярослав office fi ", "-rom"},
         {"Ярослав office fi i / iii", "Ярослав office fi ii / iii", "Ярослав office fi iii / iii"},
         "CID TrueType"},
        {"numbers of many digits, masked",
         kDejaVu,
         kDejaVu,
         {"-prefix", "Nr ", "-ns9998", "-m5", "-sep", " ⁄ "},
         {"Nr 09998 ⁄ 00003", "Nr 09999 ⁄ 00003", "Nr 10000 ⁄ 00003"},
         "CID TrueType"},
        {"CFF outlines (when fonts-urw-base35 is there)",
         kNimbusCff,
         kNimbusCff,
         {"-prefix", "Ünïcödé fi ", "-sep", " of "},
         {"Ünïcödé fi 1 of 3", "Ünïcödé fi 2 of 3", "Ünïcödé fi 3 of 3"},
         "CID Type 0C (OT)"},
    };
    REQUIRE_EMBEDDING();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (!fs::exists(c.file)) {
            continue; // an optional font
        }
        TempDir dir;
        const std::string in = dir.write("in.pdf", emptyPages(3));
        const std::string out = dir.file("out.pdf");
        std::vector<std::string> options = {"-embedfont", c.font};
        options.insert(options.end(), c.options.begin(), c.options.end());
        const ProgramResult run = runProgram(args(in, out, options));
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(run.err, "");

        std::string details;
        EXPECT_TRUE(tools::qpdfCheckClean(out, details)) << details;
        const std::vector<std::string> pages = tools::pdfTextPages(out, true);
        ASSERT_EQ(pages.size(), c.pages.size());
        for (size_t i = 0; i < pages.size(); ++i) {
            EXPECT_EQ(tools::normalizeSpace(pages[i]), c.pages[i]) << "page " << i + 1;
        }
        // One font object set for the whole pass, embedded, subset, with a ToUnicode map.
        const std::vector<FontRow> fonts = fontRows(out);
        ASSERT_EQ(fonts.size(), 1u);
        EXPECT_TRUE(std::regex_match(fonts[0].name, std::regex("[A-Z]{6}\\+[A-Za-z0-9-]+")))
            << fonts[0].name;
        EXPECT_EQ(fonts[0].type, c.type);
        EXPECT_EQ(fonts[0].emb + fonts[0].sub + fonts[0].uni, "yesyesyes");
        // The subset holds the glyphs drawn, not the font: the growth is some kilobytes.
        const auto growth = fs::file_size(out) - fs::file_size(in);
        EXPECT_GT(growth, 1000u);
        EXPECT_LT(growth, 60u * 1024u);
        EXPECT_LT(growth, fs::file_size(c.file) / 8);
    }
}

// The width that places the text comes from the shaped advances (kerning included): right
// aligned text ends at x, centred text is centred on it.
TEST(EmbeddedFont, AlignedTextSitsWhereThePositionSays) {
    struct Case {
        const char* label;
        std::string font;
        std::string text;
        std::string align;
        const char* pos;
        double expected; // the right edge, or the centre for "center"
        std::string size;
        std::vector<std::string> options;
    };
    const std::vector<std::string> noNumbers = {"-nopg", "-sep", ""};
    const std::vector<Case> cases = {
        {"kerned Latin, right", kDejaVu, "AVATAR WAVE Tę Łódź", "right", "-pos300,100", 300.0,
         "-size18", noNumbers},
        {"Japanese, right", kIpaGothic, "第1頁／全1頁", "right", "-pos300,100", 300.0, "-size18",
         noNumbers},
        {"Greek, centred", kDejaVu, "Ελλάδα AVAVA", "center", "-pos-1,100", 306.0, "-size18",
         noNumbers},
        {"large and right", kDejaVu, "Tą WAWA", "right", "-pos500,400", 500.0, "-size40",
         noNumbers},
        {"numbers of many digits, right",
         kDejaVu,
         "Seite ",
         "right",
         "-pos300,100",
         300.0,
         "-size30",
         {"-ns107894", "-m7", "-sep", " von 1 AV"}},
        {"numbers of many digits in IPAGothic, right",
         kIpaGothic,
         "第",
         "right",
         "-pos300,100",
         300.0,
         "-size30",
         {"-ns2026", "-sep", "頁／全", "-end", "頁"}},
    };
    REQUIRE_EMBEDDING();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::string in = dir.write("in.pdf", emptyPages(1));
        const std::string out = dir.file("out.pdf");
        std::vector<std::string> options = {"-embedfont", c.font,  "-prefix", c.text,
                                            "-align",     c.align, c.pos,     c.size};
        options.insert(options.end(), c.options.begin(), c.options.end());
        const ProgramResult run = runProgram(args(in, out, options));
        ASSERT_EQ(run.status, 0) << run.err;
        double left = 0;
        double right = 0;
        wordEdges(out, left, right);
        const double measured = c.align == "center" ? (left + right) / 2 : right;
        EXPECT_NEAR(measured, c.expected, 1.0) << "left " << left << " right " << right;
    }
}

// A character the font lacks is drawn as .notdef and named once in the run, whatever the
// number of pages or lines that show it.
TEST(EmbeddedFont, MissingGlyphIsNamedOnceAndTheRestIsDrawn) {
    REQUIRE_EMBEDDING();
    TempDir dir;
    const std::string in = dir.write("in.pdf", emptyPages(4));
    const std::string out = dir.file("out.pdf");
    const ProgramResult run =
        runProgram(args(in, out, {"-embedfont", kDejaVu, "-prefix", "第 Łódź 頁第 "}));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "Warning: the font '" + kDejaVu +
                           "' has no glyph for U+7B2C '第': drawn as .notdef\n"
                           "Warning: the font '" +
                           kDejaVu + "' has no glyph for U+9801 '頁': drawn as .notdef\n");
    const std::vector<std::string> pages = tools::pdfTextPages(out, true);
    ASSERT_EQ(pages.size(), 4u);
    EXPECT_NE(pages[3].find("Łódź"), std::string::npos) << pages[3];
    EXPECT_NE(pages[3].find("4 / 4"), std::string::npos) << pages[3];

    // Every line of a text-lines file is a pass of its own; the run still names it once.
    const std::string lines = dir.write("lines.txt", "第 one\n第 two\n");
    const ProgramResult linesRun =
        runProgram(args(in, dir.file("lines.pdf"), {"-embedfont", kDejaVu, "-textfile", lines}));
    EXPECT_EQ(linesRun.status, 0);
    EXPECT_EQ(linesRun.err, "Warning: the font '" + kDejaVu +
                                "' has no glyph for U+7B2C '第': drawn as .notdef\n");
}

// What cannot give a font is refused before anything is written: status 1, the cause on
// standard error, no output.
TEST(EmbeddedFont, UnusableFontFileIsRefusedWithoutOutput) {
    TempDir dir;
    const std::string in = dir.write("in.pdf", emptyPages(2));
    const std::string notAFont = dir.write("notes.ttf", "these are notes, not glyphs\n");
    const std::string empty = dir.write("empty.otf", "");
    struct Case {
        const char* label;
        std::string font;
        std::string cause; // found in standard error
        bool needsHarfBuzz;
    };
    const std::vector<Case> cases = {
        {"a text file", notAFont, "is not a TrueType or OpenType font", true},
        {"an empty file", empty, "is not a TrueType or OpenType font", true},
        {"no such file", dir.file("missing.ttf"), "Can't read the font file", true},
        {"a folder", dir.path(), "Can't read the font file", true},
        {"a face past the last", kDejaVu + ",3", "has no face 3 (it has 1)", true},
        {"a build without HarfBuzz", kDejaVu, "has no HarfBuzz", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.needsHarfBuzz != CFontFace::supported()) {
            continue; // the other build's case
        }
        if (c.font.rfind(kDejaVu, 0) == 0 && !fs::exists(kDejaVu)) {
            continue;
        }
        const std::string out = dir.file("out.pdf");
        const ProgramResult run = runProgram(args(in, out, {"-embedfont", c.font}));
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(c.cause), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(out));
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            EXPECT_NE(entry.path().filename().string().rfind("out.pdf", 0), 0u) << entry.path();
        }
    }
}

// With a frozen clock two runs give the same bytes (the subset tag comes from the glyphs), and
// a text-lines run embeds one subset for each of its passes.
TEST(EmbeddedFont, OutputIsReproducibleAndTextLinesEmbedOneSubsetAPass) {
    REQUIRE_EMBEDDING();
    if (!tools::available("faketime")) {
        GTEST_SKIP() << "needs faketime";
    }
    TempDir dir;
    const std::string in = dir.write("in.pdf", emptyPages(2));
    const std::string lines = dir.write("lines.txt", "Zażółć gęślą jaźń\nΚαλημέρα\n");
    // faketime is preloaded ahead of a sanitizer build's runtime, which then would refuse to run.
    const char* asanBefore = std::getenv("ASAN_OPTIONS");
    const std::string asanOptions = std::string("ASAN_OPTIONS=") +
                                    (asanBefore != nullptr ? std::string(asanBefore) + ":" : "") +
                                    "verify_asan_link_order=0";
    std::string first;
    for (int round = 0; round < 2; ++round) {
        const std::string out = dir.file("out" + std::to_string(round) + ".pdf");
        const tools::ToolResult run =
            tools::run({"env", asanOptions, "faketime", "-f", "2026-01-02 03:04:05",
                        QUILLMARK_BINARY, "-i" + in, "-o" + out, "-quiet", "-embedfont", kDejaVu,
                        "-textfile", lines, "-pos20,700"});
        ASSERT_EQ(run.status, 0) << run.out;
        const std::string bytes = TempDir::read(out);
        if (round == 0) {
            first = bytes;
            continue;
        }
        EXPECT_TRUE(bytes == first) << "two runs with one clock differ";
        const std::vector<std::string> pages = tools::pdfTextPages(out, true);
        ASSERT_EQ(pages.size(), 2u);
        EXPECT_EQ(tools::normalizeSpace(pages[1]), "Zażółć gęślą jaźń Καλημέρα");
        const std::vector<FontRow> fonts = fontRows(out);
        ASSERT_EQ(fonts.size(), 2u);
        EXPECT_NE(fonts[0].name.substr(0, 6), fonts[1].name.substr(0, 6))
            << "the two passes drew other glyphs";
    }
}

// In list mode every output file has a subset of its own, of the glyphs its line's text drew.
TEST(EmbeddedFont, EveryFileOfAListGetsItsOwnSubset) {
    REQUIRE_EMBEDDING();
    TempDir dir;
    dir.write("a.pdf", emptyPages(1));
    dir.write("b.pdf", emptyPages(1));
    const std::string list = dir.write("list.txt", "a.pdf,Łódź\nb.pdf,Москва\n");
    const std::string outFolder = dir.file("out");
    fs::create_directory(outFolder);
    const ProgramResult run = runProgram({"-i" + list, "-f" + outFolder, "-quiet", "-embedfont",
                                          kDejaVu, "-listdelim", ",", "-sep", " ", "-end", " ✓"},
                                         dir.path());
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const struct {
        const char* file;
        const char* text;
    } outputs[] = {{"a.pdf", "Łódź1 1 ✓"}, {"b.pdf", "Москва1 1 ✓"}};
    std::vector<std::string> names;
    for (const auto& output : outputs) {
        const std::string path = outFolder + "/" + output.file;
        const std::vector<std::string> pages = tools::pdfTextPages(path, true);
        ASSERT_EQ(pages.size(), 1u) << output.file;
        EXPECT_EQ(tools::normalizeSpace(pages[0]), output.text) << output.file;
        const std::vector<FontRow> fonts = fontRows(path);
        ASSERT_EQ(fonts.size(), 1u) << output.file;
        names.push_back(fonts[0].name);
    }
    EXPECT_NE(names[0], names[1]) << "the two files drew other glyphs";
}

TEST(EmbeddedFont, Utf8DecodesWellFormedTextAndReplacesTheRest) {
    const struct {
        const char* label;
        std::string bytes;
        std::u32string chars;
    } cases[] = {
        {"one to four bytes", "a\xC5\x81\xE9\xA0\x81\xF0\x9F\x98\x80", U"a\u0141\u9801\U0001F600"},
        {"overlong slash", "\xC0\xAF", U"\uFFFD\uFFFD"},
        {"overlong three bytes", "\xE0\x80\xAF", U"\uFFFD\uFFFD\uFFFD"},
        {"surrogate", "\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"cut short at the end", "x\xE9\xA0", U"x\uFFFD\uFFFD"},
        {"lone continuation", "\x80z", U"\uFFFDz"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(decodeUtf8(c.bytes) == c.chars) << c.label;
    }
}

} // namespace
