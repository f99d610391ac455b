// Page trees of the shapes merging tools and damage leave behind: every place in the tree is a
// page of its own with its own stamp and number, the output's page count is the input's as
// viewers count it, and the output passes qpdf's check, rewritten and as an update.

#include "support/ExternalTools.h"
#include "support/PdfBuilder.h"
#include "support/ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

namespace {

using qm_test::PdfBuilder;

const std::string kPage = "/Type /Page /MediaBox [0 0 612 792] /Resources << /Font << /F1 5 0 R "
                          ">> >> /Contents 4 0 R";

// Catalog 1, the root node 2; then what the case lays out; the content stream 4 and the font 5.
std::string treeFile(const std::function<void(PdfBuilder&)>& layOut, const std::string& rootKids,
                     int count) {
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2,
                "<< /Type /Pages /Kids [" + rootKids + "] /Count " + std::to_string(count) + " >>");
    layOut(pdf);
    pdf.stream(4, "", "BT /F1 24 Tf 72 700 Td (Potato) Tj ET")
        .object(5, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
        .classicXRef();
    return pdf.bytes();
}

// Catalog 1 and the root node 2 with the given entries, and one page 3 under the node, with
// the content stream 4 and the font 5.
std::string onePageFile(const std::string& catalog, const std::string& node) {
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog " + catalog + " >>")
        .object(2, "<< /Type /Pages " + node + " >>")
        .object(3, "<< /Parent 2 0 R " + kPage + " >>")
        .stream(4, "", "BT /F1 24 Tf 72 700 Td (Potato) Tj ET")
        .object(5, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
        .classicXRef();
    return pdf.bytes();
}

// Stamps bytes (as in.pdf of dir) into dir's out.pdf, rewritten or as an update.
ProgramResult stampInto(const TempDir& dir, const std::string& bytes, bool incremental) {
    std::vector<std::string> args{"-i" + dir.write("in.pdf", bytes), "-o" + dir.file("out.pdf"),
                                  "-quiet"};
    if (incremental) {
        args.push_back("-incremental");
    }
    return runProgram(args);
}

struct TreeCase {
    const char* name;
    std::function<std::string()> bytes;
    int pages;
    const char* warning; // a part of the warning the run gives, or "" for none
    int withoutText;     // the page whose contents are lost (from 1), or 0
    // The input's table has a row that qpdf's check reports, which an update keeps.
    bool damagedTable = false;
};

const TreeCase kCases[] = {
    {"a page object listed twice",
     [] {
         return treeFile(
             [](PdfBuilder& pdf) { pdf.object(3, "<< /Parent 2 0 R " + kPage + " >>"); },
             "3 0 R 3 0 R", 2);
     },
     2, "", 0},
    {"a page object listed in two nodes",
     [] {
         return treeFile(
             [](PdfBuilder& pdf) {
                 pdf.object(3, "<< /Parent 6 0 R " + kPage + " >>")
                     .object(6, "<< /Type /Pages /Parent 2 0 R /Kids [3 0 R] /Count 1 >>")
                     .object(7, "<< /Type /Pages /Parent 2 0 R /Kids [3 0 R 3 0 R] /Count 2 >>");
             },
             "6 0 R 7 0 R", 3);
     },
     3, "", 0},
    {"a page object listed more often than the file has objects",
     [] {
         return treeFile(
             [](PdfBuilder& pdf) { pdf.object(3, "<< /Parent 2 0 R " + kPage + " >>"); },
             "3 0 R 3 0 R 3 0 R 3 0 R 3 0 R 3 0 R 3 0 R 3 0 R", 8);
     },
     8, "", 0},
    {"a page dictionary written in /Kids",
     [] {
         return treeFile(
             [](PdfBuilder& pdf) { pdf.object(3, "<< /Parent 2 0 R " + kPage + " >>"); },
             "<< /Parent 2 0 R " + kPage + " >> 3 0 R", 2);
     },
     2, "", 0},
    {"contents whose row leads to another object",
     [] {
         std::string bytes = treeFile(
             [](PdfBuilder& pdf) {
                 pdf.object(3, "<< /Parent 2 0 R " + kPage + " >>")
                     .object(6,
                             "<< /Parent 2 0 R " + kPage.substr(0, kPage.size() - 5) + "8 0 R >>")
                     .stream(8, "", "BT /F1 24 Tf 72 700 Td (Potato) Tj ET");
             },
             "3 0 R 6 0 R", 2);
         // Object 8's row leads to an object of another number, which no reader takes for it.
         bytes.replace(bytes.find("8 0 obj"), 7, "9 0 obj");
         return bytes;
     },
     2, "/Contents names object 8, which is not in the file", 2, true},
    {"contents that name a dictionary, no stream",
     [] {
         return treeFile(
             [](PdfBuilder& pdf) {
                 pdf.object(3, "<< /Parent 2 0 R " + kPage + " >>")
                     .object(6,
                             "<< /Parent 2 0 R " + kPage.substr(0, kPage.size() - 5) + "8 0 R >>")
                     .object(8, "<< /Length 0 >>");
             },
             "3 0 R 6 0 R", 2);
     },
     2, "/Contents names object 8, which is no stream", 2},
    {"a /Kids given twice, the last listing a page twice",
     [] {
         return treeFile(
             [](PdfBuilder& pdf) { pdf.object(3, "<< /Parent 2 0 R " + kPage + " >>"); },
             "6 0 R] /Count 1 /Kids [3 0 R 3 0 R", 2);
     },
     2, "object 2 names object 6, which is not in the file", 0},
    {"a /Kids that lists its own node",
     [] {
         return treeFile(
             [](PdfBuilder& pdf) { pdf.object(3, "<< /Parent 2 0 R " + kPage + " >>"); },
             "3 0 R 2 0 R", 1);
     },
     1, "", 0},
    {"a /Kids that lists an ancestor, under a /Count that counts the loop",
     [] {
         return treeFile(
             [](PdfBuilder& pdf) {
                 pdf.object(3, "<< /Parent 6 0 R " + kPage + " >>")
                     .object(6, "<< /Type /Pages /Parent 2 0 R /Kids [3 0 R 2 0 R] /Count 2 >>");
             },
             "6 0 R 3 0 R", 3);
     },
     2, "", 0},
};

TEST(PageTreeShape, EveryPlaceIsAPageWithItsOwnNumber) {
    if (!tools::available("qpdf") || !tools::available("pdftotext")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    for (const TreeCase& c : kCases) {
        for (const bool incremental : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (incremental ? ", as an update" : ""));
            TempDir dir;
            const std::string output = dir.file("out.pdf");
            const ProgramResult run = stampInto(dir, c.bytes(), incremental);
            ASSERT_EQ(run.status, 0) << run.out << run.err;
            if (*c.warning == '\0') {
                EXPECT_EQ(run.err.find("Warning"), std::string::npos) << run.err;
            } else {
                EXPECT_NE(run.err.find(c.warning), std::string::npos) << run.err;
            }
            // An update keeps the input's table as it is: a row that leads to another object
            // stays in it, and qpdf's check reports that of the input and the output alike.
            std::string details;
            EXPECT_EQ(tools::qpdfCheckClean(output, details), !incremental || !c.damagedTable)
                << details;
            EXPECT_EQ(tools::qpdfPageCount(output), c.pages);
            // MuPDF, which refuses a tree with a cycle, counts the same pages.
            if (tools::available("mutool")) {
                EXPECT_EQ(tools::mupdfPageCount(output), c.pages);
            }
            const std::vector<std::string> pages = tools::pdfTextPages(output, true);
            ASSERT_EQ(pages.size(), static_cast<size_t>(c.pages));
            for (int k = 0; k < c.pages; ++k) {
                const std::string text = tools::normalizeSpace(pages[static_cast<size_t>(k)]);
                const std::string number =
                    "Page " + std::to_string(k + 1) + " / " + std::to_string(c.pages);
                EXPECT_NE(text.find(number), std::string::npos) << k << ": " << text;
                EXPECT_EQ(text.find("Potato") != std::string::npos, k + 1 != c.withoutText)
                    << k << ": " << text;
            }
        }
    }
}

// A root node without /Kids or any array: a document of no pages, whose node's own header is
// not read as its kids (which once had the node taken for its own kid and written without its
// header).
// A root whose /Count is 0, null or a reference to no object (which every reader takes for
// null, and which the output writes as null) has no pages to stamp, whatever its /Kids lists:
// the output is the input with nothing stamped, and reads so again.
TEST(PageTreeShape, ARootCountingNothingHasNoPages) {
    if (!tools::available("qpdf")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    struct Case {
        const char* name;
        const char* node;
    };
    const Case cases[] = {
        {"no /Kids, /Count 0", "/Count 0"},
        {"/Count null", "/Kids [3 0 R] /Count null"},
        {"/Count names no object", "/Kids [3 0 R] /Count 50 0 R"},
    };
    for (const Case& c : cases) {
        const std::string bytes = onePageFile("/Pages 2 0 R", c.node);
        for (const bool incremental : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (incremental ? ", as an update" : ""));
            TempDir dir;
            const std::string output = dir.file("out.pdf");
            const ProgramResult run = stampInto(dir, bytes, incremental);
            ASSERT_EQ(run.status, 0) << run.out << run.err;
            std::string details;
            EXPECT_TRUE(tools::qpdfCheckClean(output, details)) << details;
            EXPECT_EQ(TempDir::read(output).find("(Page 1 / "), std::string::npos);
        }
    }
}

// A node or a catalog with "endobj" in a string or as a stray token among its entries is
// copied whole, not cut at that word: the output has the input's page count as qpdf and MuPDF
// count it (MuPDF takes a dictionary with a stray keyword for no object at all, qpdf passes
// over the keyword), and its pages are stamped.
TEST(PageTreeShape, KeywordsInsideANodeOrCatalogDoNotCutIt) {
    if (!tools::available("qpdf") || !tools::available("mutool") ||
        !tools::available("pdftotext")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    struct Case {
        const char* name;
        const char* catalog;
        const char* node;
    };
    const Case cases[] = {
        {"a node with endobj in a string", "/Pages 2 0 R",
         "/Title (a endobj b) /Kids [3 0 R] /Count 1"},
        {"a node with a stray endobj", "/Pages 2 0 R", "endobj /Kids [3 0 R] /Count 1"},
        {"a catalog with endobj in a string", "/Lang (en endobj) /Pages 2 0 R",
         "/Kids [3 0 R] /Count 1"},
        {"a catalog with a stray endobj", "endobj /Pages 2 0 R", "/Kids [3 0 R] /Count 1"},
    };
    for (const Case& c : cases) {
        const std::string bytes = onePageFile(c.catalog, c.node);
        for (const bool incremental : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (incremental ? ", as an update" : ""));
            TempDir dir;
            const std::string output = dir.file("out.pdf");
            const ProgramResult run = stampInto(dir, bytes, incremental);
            ASSERT_EQ(run.status, 0) << run.out << run.err;
            EXPECT_EQ(tools::mupdfPageCount(output), tools::mupdfPageCount(dir.file("in.pdf")));
            EXPECT_EQ(tools::qpdfPageCount(output), 1);
            const std::vector<std::string> pages = tools::pdfTextPages(output, true);
            ASSERT_EQ(pages.size(), 1u);
            EXPECT_NE(tools::normalizeSpace(pages[0]).find("Potato Page 1 / 1"), std::string::npos)
                << pages[0];
        }
    }
}

// Trees no page can be made of where they lead are refused with their cause, nothing written:
// a stream listed as a page (its copy or stamp would be written as a page with its data) and
// a kid that is null.
TEST(PageTreeShape, KidsThatAreNoPagesAreRefused) {
    struct Case {
        const char* name;
        const char* kids;
        const char* cause;
    };
    const Case cases[] = {
        {"a stream", "3 0 R 4 0 R 4 0 R", "the page tree's kid 4 is a stream, not a page"},
        {"null", "3 0 R 6 0 R", "the page tree's kid 6 is null or has no object body"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bytes = treeFile(
            [](PdfBuilder& pdf) {
                pdf.object(3, "<< /Parent 2 0 R " + kPage + " >>").object(6, "null");
            },
            c.kids, 3);
        for (const bool incremental : {false, true}) {
            TempDir dir;
            const ProgramResult run = stampInto(dir, bytes, incremental);
            EXPECT_EQ(run.status, 1) << run.out << run.err;
            EXPECT_NE(run.err.find(c.cause), std::string::npos) << run.err;
            EXPECT_FALSE(std::filesystem::exists(dir.file("out.pdf")));
        }
    }
}

// Only "n g R" is a kid: a number with a stray byte ("3 0!R"), or numbers that make no
// reference, are passed over as readers pass them, and when a kid is left out the /Kids is
// written so that the numbers around it do not become one (a kid "2 0 R" dropped from
// "6 0 2 0 R R" once left "6 0 R", a page that the pass had not counted).
TEST(PageTreeShape, OnlyReferencesAreKids) {
    if (!tools::available("qpdf")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    struct Case {
        const char* name;
        const char* kids;
        int pages;
    };
    const Case cases[] = {
        {"a reference with a stray byte", "3 0!R 3 0 R", 1},
        {"a number before the node's own reference", "3 0 R 6 2 0 R 0 R", 1},
        {"numbers around the node's own reference", "3 0 R 6 0 2 0 R R", 1},
        {"a reference in a string", "3 0 R (6 0 R)", 1},
        {"references in a comment", "3 0 R % 6 0 R 6 0 R\n", 1},
    };
    for (const Case& c : cases) {
        const std::string bytes = treeFile(
            [](PdfBuilder& pdf) {
                pdf.object(3, "<< /Parent 2 0 R " + kPage + " >>")
                    .object(6, "<< /Parent 2 0 R " + kPage + " >>");
            },
            c.kids, c.pages);
        for (const bool incremental : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (incremental ? ", as an update" : ""));
            TempDir dir;
            const std::string output = dir.file("out.pdf");
            const ProgramResult run = stampInto(dir, bytes, incremental);
            ASSERT_EQ(run.status, 0) << run.out << run.err;
            // poppler refuses some of these trees whole: the count is qpdf's, and the stamps
            // are read from the output's bytes.
            EXPECT_EQ(tools::qpdfPageCount(output), c.pages);
            const std::string out = TempDir::read(output);
            EXPECT_NE(out.find("(Page 1 / 1) Tj"), std::string::npos);
            EXPECT_EQ(out.find("(Page 2 / "), std::string::npos);
        }
    }
}

} // namespace
