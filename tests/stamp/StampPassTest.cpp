// One stamping pass end to end on small documents that the tests lay out themselves: the bytes
// of the output, its cross-reference table and trailer, the page rewrites and the mended faults.
#include "pdf/CPdfException.h"
#include "platform/Platform.h"
#include "stamp/pass/CPdfStamp.h"
#include "stamp/text/PageNumbering.h"
#include "support/ExternalTools.h"
#include "support/PdfBuilder.h"
#include "support/RecordingReporter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace fs = std::filesystem;
using qm_test::PdfBuilder;

namespace {

// A catalog (1), a page-tree root (2) of the given body and the one page (3) of the given body.
PdfBuilder& onePage(PdfBuilder& pdf,
                    const std::string& page = "<< /Type /Page /Parent 2 0 R /Resources << >> >>",
                    const std::string& tree = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>") {
    return pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>").object(2, tree).object(3, page);
}

// onePage, a content stream (4) and object 5 of the given body.
PdfBuilder onePageDocument(const std::string& page, const std::string& five) {
    PdfBuilder pdf;
    onePage(pdf, page).stream(4, "", "0 0 m 10 10 l S");
    pdf.object(5, five);
    pdf.classicXRef();
    return pdf;
}

class StampPassTest : public ::testing::Test {
  protected:
    // Stamps the document with the job's settings; returns the output bytes.
    std::string stamp(const PdfBuilder& pdf) { return stampBytes(pdf.bytes()); }

    // The stamp's text matrix ("a b c d e f") on the one page of a tree with a Letter
    // /MediaBox, the page's dictionary holding these entries.
    std::string stampMatrixOfPage(const std::string& entries) {
        PdfBuilder pdf;
        onePage(pdf, "<< /Type /Page /Parent 2 0 R " + entries + " /Resources << >> >>",
                "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 612 792] >>")
            .classicXRef();
        const std::string out = stamp(pdf);
        const size_t tm = out.find(" Tm\n");
        return out.substr(out.rfind('\n', tm) + 1, tm - out.rfind('\n', tm) - 1);
    }

    // Stamps an input of these bytes.
    std::string stampBytes(const std::string& bytes) {
        input_ = dir_.write("in.pdf", bytes);
        output_ = dir_.file("out.pdf");
        job_.inputName = input_;
        job_.outputName = output_;
        job_.quiet = true;
        result_ = job_.stampDocument();
        return TempDir::read(output_);
    }

    // qpdf agrees that the output is a clean PDF (when qpdf is there).
    void expectValid(const std::string& path) {
        if (!tools::available("qpdf")) {
            return;
        }
        std::string details;
        EXPECT_TRUE(tools::qpdfCheckClean(path, details)) << details;
    }

    void SetUp() override { job_.setReporter(reported_); }

    TempDir dir_;
    RecordingReporter reported_;
    CPdfStamp job_;
    PassResult result_; // what the last stamp() did
    std::string input_;
    std::string output_;
};

// The text of indirect object `number` in the output, as the output's own table locates it.
// The entries the stamp adds to a page's resources ("/name n 0 R"), read from the output: the
// font object and the graphics state object, and the names the stamp stream uses.
struct StampEntries {
    std::string font;
    std::string state;
};
StampEntries stampEntries(const std::string& out) {
    std::smatch font;
    std::smatch stateObject;
    std::smatch stateName;
    std::regex_search(out, font, std::regex("(\\d+) 0 obj\n<<\n/Type /Font\n/Name /(F\\d+) "));
    std::regex_search(out, stateObject, std::regex("(\\d+) 0 obj<</Type/ExtGState"));
    std::regex_search(out, stateName, std::regex("\n/(GS\\d+) gs\n"));
    return {"/" + font.str(2) + " " + font.str(1) + " 0 R",
            "/" + stateName.str(1) + " " + stateObject.str(1) + " 0 R"};
}

std::string outputObject(const std::string& file, int number) {
    const size_t xref = file.rfind("\nxref\n");
    if (xref == std::string::npos) {
        return {};
    }
    const size_t rows = file.find('\r', xref) + 1;
    const std::string row = file.substr(rows + 20 * static_cast<size_t>(number), 20);
    if (row.size() != 20 || row[17] != 'n') {
        return {};
    }
    const size_t offset = std::stoull(row.substr(0, 10));
    const size_t end = file.find("endobj", offset);
    return file.substr(offset, end == std::string::npos ? std::string::npos : end + 6 - offset);
}

TEST_F(StampPassTest, CopiesTheHeaderAndEndsWithOneClassicTableAndTrailer) {
    PdfBuilder pdf = PdfBuilder::simpleDocument(2);
    pdf.object(7, "<< /Producer (test) >>");
    pdf.object(8, "(spare)");
    pdf.object(9, "(spare)");
    pdf.classicXRef({.trailerExtra = "/Info 7 0 R"});
    const std::string out = stamp(pdf);
    const std::string in = pdf.bytes();

    // The header and binary comment line stand before the lowest object: 15 bytes.
    ASSERT_EQ(pdf.offsetOf(1), 15);
    EXPECT_EQ(out.substr(0, 15), in.substr(0, 15));
    // 10 input rows, then the font descriptor, font and graphics state (10 to 12) and two
    // streams per stamped page (13 to 16).
    EXPECT_NE(out.find("\nxref\n0 17\r0000000000 65535 f \r"), std::string::npos);
    const std::string tail = out.substr(out.rfind("trailer\n"));
    EXPECT_EQ(tail.substr(0, tail.find("startxref")),
              "trailer\n<<\n/Size 17\n/Root 1 0 R\n/Info 7 0 R\n>>\n");
    EXPECT_EQ(out.substr(out.size() - 5), "%%EOF");
    EXPECT_EQ(std::stoull(tail.substr(tail.find("startxref\n") + 10)), out.rfind("xref\n0 17"));

    EXPECT_NE(outputObject(out, 10).find("/Type /FontDescriptor"), std::string::npos);
    EXPECT_NE(outputObject(out, 11).find("/Type /Font"), std::string::npos);
    EXPECT_NE(outputObject(out, 12).find("/Type/ExtGState"), std::string::npos);
    EXPECT_NE(outputObject(out, 13).find("stream\nq\n"), std::string::npos);
    EXPECT_NE(outputObject(out, 14).find("(Page 1 / 2) Tj"), std::string::npos);
    EXPECT_NE(outputObject(out, 16).find("(Page 2 / 2) Tj"), std::string::npos);
    // Unstamped objects are copied byte for byte.
    EXPECT_EQ(outputObject(out, 4), in.substr(pdf.offsetOf(4), outputObject(out, 4).size()));
    EXPECT_EQ(outputObject(out, 7), "7 0 obj\n<< /Producer (test) >>\nendobj");
    expectValid(output_);
}

TEST_F(StampPassTest, ALargeTableLeadsToEveryObject) {
    // 1,100 pages: 2,203 input rows and 2,203 new objects, a table of more rows than are
    // written out at once. Every row leads to its own object, free rows stay free.
    constexpr int kPages = 1100;
    PdfBuilder pdf = PdfBuilder::simpleDocument(kPages);
    pdf.classicXRef();
    const std::string out = stamp(pdf);
    const int size = 2 * kPages + 3 + 3 + 2 * kPages;
    EXPECT_NE(out.find("\nxref\n0 " + std::to_string(size) + "\r"), std::string::npos);
    for (int number = 1; number < size; ++number) {
        const std::string text = outputObject(out, number);
        ASSERT_EQ(text.rfind(std::to_string(number) + " 0 obj", 0), 0u) << number;
    }
    const int firstSave = 2 * kPages + 3 + 3; // after the input rows and the stamp objects
    EXPECT_NE(outputObject(out, firstSave).find("stream\nq\n"), std::string::npos);
    EXPECT_NE(outputObject(out, firstSave + 1).find("(Page 1 / 1100) Tj"), std::string::npos);
    EXPECT_NE(outputObject(out, size - 1).find("(Page 1100 / 1100) Tj"), std::string::npos);
    expectValid(output_);
}

TEST_F(StampPassTest, WithoutInfoTheTrailerHasSizeAndRootOnly) {
    PdfBuilder pdf = PdfBuilder::simpleDocument(1);
    pdf.classicXRef();
    const std::string out = stamp(pdf);
    EXPECT_NE(out.find("trailer\n<<\n/Size 10\n/Root 1 0 R\n>>\nstartxref\n"), std::string::npos);
}

TEST_F(StampPassTest, UnpacksObjectStreamsIntoPlainObjects) {
    PdfBuilder pdf;
    pdf.compressed(1, "<< /Type /Catalog /Pages 2 0 R >>");
    pdf.compressed(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    pdf.compressed(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Resources << >> >>");
    pdf.stream(4, "", "BT ET");
    pdf.objectStream(5);
    pdf.streamXRef();
    const std::string out = stamp(pdf);

    // A member comes out as its number, " 0 obj", a CR, its bytes, " endobj" and a CR.
    EXPECT_EQ(outputObject(out, 1), "1 0 obj\r<< /Type /Catalog /Pages 2 0 R >>\n endobj");
    EXPECT_EQ(out.find("/ObjStm"), std::string::npos) << "the object stream is left out";
    // Rows 0 to 6 (the cross-reference stream is object 6), then the stamp objects 7 to 11.
    EXPECT_NE(outputObject(out, 3).find("/Contents [ 10 0 R 4 0 R  11 0 R ]"), std::string::npos)
        << outputObject(out, 3);
    expectValid(output_);
}

TEST_F(StampPassTest, ACountLargerThanThePagesInTheTreeCountsThePagesInTheTree) {
    // /Count right, larger than the tree or than the table could hold: the three pages of the
    // tree are stamped and counted. A smaller or no /Count is what viewers show: the pages past
    // it are not stamped.
    struct Case {
        std::string count;
        int pages;
    };
    const Case cases[] = {
        {"/Count 3", 3}, {"/Count 1000", 3}, {"/Count 5", 3}, {"/Count 2", 2}, {"", 0}};
    for (const Case& c : cases) {
        PdfBuilder pdf;
        pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        pdf.object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] " + c.count + " >>");
        for (int page = 3; page <= 5; ++page) {
            pdf.object(page, "<< /Type /Page /Parent 2 0 R /Resources << >> >>");
        }
        pdf.classicXRef();
        const std::string out = stamp(pdf);
        EXPECT_EQ(result_.pages, static_cast<uint32_t>(c.pages)) << c.count;
        for (int page = 1; page <= 3; ++page) {
            const std::string text = "(Page " + std::to_string(page) + " / ";
            EXPECT_EQ(out.find(text + std::to_string(c.pages) + ") Tj") != std::string::npos,
                      page <= c.pages)
                << c.count << ", page " << page;
            EXPECT_EQ(out.find(text) != std::string::npos, page <= c.pages)
                << c.count << ", page " << page;
        }
        expectValid(output_);
    }
}

TEST_F(StampPassTest, ThePageTreeIsTheCatalogsOwnPages) {
    // A name tree in the catalog has a /Pages of its own, before the catalog's.
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Names << /Pages 5 0 R >> /Pages 2 0 R >>");
    pdf.object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    pdf.object(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Resources << >> >>");
    pdf.stream(4, "", "0 0 m 10 10 l S");
    pdf.object(5, "<< /Kids [] /Count 0 >>");
    pdf.classicXRef();
    const std::string out = stamp(pdf);
    EXPECT_NE(outputObject(out, 3).find("/Contents [ 9 0 R 4 0 R  10 0 R ]"), std::string::npos)
        << outputObject(out, 3);
    expectValid(output_);
}

TEST_F(StampPassTest, AMemberThatCannotBeTakenOutOfItsObjectStreamFailsThePass) {
    // The page's font, object 5, is listed as member 2 of object stream 4, which has two
    // members, or as a member of object 1, which is no object stream. Its row would lead to
    // the bytes of the next object written.
    for (const int streamOfFive : {4, 1}) {
        PdfBuilder pdf;
        pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        pdf.compressed(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        pdf.compressed(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> >>");
        pdf.objectStream(4);
        const int64_t at = pdf.currentOffset();
        std::string rows;
        auto row = [&rows](int type, int64_t second, int third) {
            rows += static_cast<char>(type);
            for (int k = 3; k >= 0; --k) {
                rows += static_cast<char>((second >> (8 * k)) & 0xFF);
            }
            rows += static_cast<char>(third >> 8);
            rows += static_cast<char>(third & 0xFF);
        };
        row(0, 0, 65535);
        row(1, pdf.offsetOf(1), 0);
        row(2, 4, 0);
        row(2, 4, 1);
        row(1, pdf.offsetOf(4), 0);
        row(2, streamOfFive, 2);
        row(1, at, 0);
        pdf.stream(6, "/Type /XRef /Size 7 /W [1 4 2] /Root 1 0 R", rows).startxref(at);
        try {
            stamp(pdf);
            ADD_FAILURE() << "object stream " << streamOfFive << ": the pass succeeded";
        } catch (const CPdfException& e) {
            EXPECT_EQ(e.cause(), "Object 5 in object stream " + std::to_string(streamOfFive) +
                                     " cannot be read");
        }
        EXPECT_FALSE(fs::exists(output_)) << streamOfFive;
    }
}

TEST_F(StampPassTest, RewritesEachKindOfContents) {
    struct Case {
        const char* name;
        std::string page;  // body of page object 3
        std::string extra; // body of object 5 when used
        std::string expectedPage;
        std::string expectedFive;
    };
    // Rows 0 to 5, the stamp objects 6 to 8, then the save stream 9 and the stamp stream 10.
    const Case cases[] = {
        {"single stream", "<< /Type /Page /Parent 2 0 R /Contents 4 0 R\n/Resources << >> >>", "",
         "/Contents [ 9 0 R 4 0 R 10 0 R ]\n/Resources", ""},
        // A comment before the next key: the bracket goes right after the reference.
        {"comment after the stream",
         "<< /Type /Page /Parent 2 0 R /Contents 4 0 R % a /b\n"
         "/Resources << >> >>",
         "", "/Contents [ 9 0 R 4 0 R 10 0 R ] % a /b\n/Resources", ""},
        {"array in the page", "<< /Type /Page /Parent 2 0 R /Contents [4 0 R 4 0 R] >>", "",
         "/Contents [ 9 0 R 4 0 R 4 0 R 10 0 R ]", ""},
        {"array object", "<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>", "[4 0 R]",
         "/Contents 5 0 R", "[ 9 0 R 4 0 R 10 0 R ]"},
        {"no contents", "<< /Type /Page /Parent 2 0 R >>", "", "/Contents [ 9 0 R 10 0 R ]", ""},
        // An annotation's own /Contents comes first; only the page's key is changed.
        {"annotation first",
         "<< /Type /Page /Annots [<< /Subtype /Text /Contents (note) >>] /Parent 2 0 R "
         "/Contents 4 0 R >>",
         "", "/Contents (note) >>] /Parent 2 0 R /Contents [ 9 0 R 4 0 R  10 0 R ]", ""},
        // Contents that draw nothing get the stamp streams alone.
        {"null contents", "<< /Type /Page /Parent 2 0 R /Contents null >>", "",
         "/Contents [ 9 0 R 10 0 R ] >>", ""},
        {"contents object null", "<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>", "null",
         "/Contents [ 9 0 R 10 0 R ] >>", ""},
        // The page does not end at "endobj" inside its annotation's string.
        {"endobj in a string of the page",
         "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Annots [<< /Subtype /Text /Rect [0 0 9 "
         "9] /Contents (an endobj \\) word) >>] >>",
         "", "/Contents [ 9 0 R 4 0 R  10 0 R ]/Annots", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = stamp(onePageDocument(c.page, c.extra.empty() ? "null" : c.extra));
        const std::string page = outputObject(out, 3);
        EXPECT_NE(page.find(c.expectedPage), std::string::npos) << page;
        if (!c.expectedFive.empty()) {
            EXPECT_NE(outputObject(out, 5).find(c.expectedFive), std::string::npos)
                << outputObject(out, 5);
        }
        expectValid(output_);
        if (tools::available("pdftotext")) {
            const std::vector<std::string> text = tools::pdfTextPages(output_, false);
            ASSERT_EQ(text.size(), 1u);
            EXPECT_NE(text[0].find("Page 1 / 1"), std::string::npos) << text[0];
        }
    }
}

// The contents and the resources of a page are edited together, in whichever order and form
// they stand; the whole page dictionary is checked. %F and %G stand for the stamp's font and
// graphics state entries (" /name n 0 R ").
TEST_F(StampPassTest, EditsContentsAndResourcesTogetherWhereverTheyStand) {
    struct Case {
        const char* name;
        std::string page;
        std::string expected;
    };
    const Case cases[] = {
        {"resources after a single stream",
         "<< /Type /Page /Contents 4 0 R /Resources << /Font << /F0 5 0 R >> >> >>",
         "<< /Type /Page /Contents [ 9 0 R 4 0 R  10 0 R ]/Resources <</ExtGState <<%G>> "
         "/Font <<%F /F0 5 0 R >> >> >>"},
        {"resources before the stream",
         "<< /Type /Page /Resources << /ExtGState << /G0 5 0 R >> /Font << >> >> /Contents 4 0 R>>",
         "<< /Type /Page /Resources << /ExtGState <<%G /G0 5 0 R >> /Font <<%F >> >> "
         "/Contents [ 9 0 R 4 0 R 10 0 R ]>>"},
        {"no contents, own resources", "<< /Type /Page /Resources << >> >>",
         "<</Contents [ 9 0 R 10 0 R ] /Type /Page /Resources <</ExtGState <<%G>>/Font <<%F>> "
         ">> >>"},
        {"contents array before the resources",
         "<< /Contents [4 0 R] /Resources << /Font << /F0 5 0 R >> >> >>",
         "<< /Contents [ 9 0 R 4 0 R 10 0 R ] /Resources <</ExtGState <<%G>> /Font <<%F /F0 5 "
         "0 R >> >> >>"},
        {"contents object not in the file", "<< /Contents 40 0 R /Resources << >> >>",
         "<< /Contents [ 9 0 R 10 0 R ]   /Resources <</ExtGState <<%G>>/Font <<%F>> >> >>"},
        // The resources' font and graphics-state entries, found with the page's: the last
        // of two keys is the one in force and the one edited, in the page and in its
        // resources, past a stray string that holds a dictionary's end; the page is written
        // without the earlier of its own two.
        {"two fonts in the resources",
         "<< /Contents 4 0 R /Resources << /Font << /F0 5 0 R >> /Font << /F9 5 0 R >> >> >>",
         "<< /Contents [ 9 0 R 4 0 R  10 0 R ]/Resources <</ExtGState <<%G>> /Font << /F0 5 0 R "
         ">> /Font <<%F /F9 5 0 R >> >> >>"},
        {"two resources in the page",
         "<< /Contents 4 0 R /Resources << >> /Resources << /Font << /F0 5 0 R >> >> >>",
         "<< /Contents [ 9 0 R 4 0 R  10 0 R ]  /Resources <</ExtGState <<%G>> /Font <<%F /F0 5 "
         "0 R >> >> >>"},
        {"two contents in the page", "<< /Contents 40 0 R /Resources << >> /Contents 4 0 R >>",
         "<<     /Resources <</ExtGState <<%G>>/Font <<%F>> >> /Contents [ 9 0 R 4 0 R  10 0 R "
         "]>>"},
        {"stray string in the resources",
         "<< /Contents 4 0 R /Resources << (>>) /Font << /F0 5 0 R >> >> >>",
         "<< /Contents [ 9 0 R 4 0 R  10 0 R ]/Resources <</ExtGState <<%G>> (>>) /Font <<%F "
         "/F0 5 0 R >> >> >>"},
        {"resources before a contents array",
         "<< /Resources << /ExtGState << /G0 5 0 R >> /Font << /F0 5 0 R >> >> /Contents [4 0 R] "
         ">>",
         "<< /Resources << /ExtGState <<%G /G0 5 0 R >> /Font <<%F /F0 5 0 R >> >> /Contents [ "
         "9 0 R 4 0 R 10 0 R ] >>"},
        {"no contents, resources with a font",
         "<< /Type /Page /Resources << /Font << /F0 5 0 R >> >> >>",
         "<</Contents [ 9 0 R 10 0 R ] /Type /Page /Resources <</ExtGState <<%G>> /Font <<%F /F0 "
         "5 0 R >> >> >>"},
        // A stray object or closing byte after the reference stays outside the array, and the
        // page's own resources after it are found and edited.
        {"stray string after the reference", "<< /Contents 4 0 R (a/b) /Resources << >> >>",
         "<< /Contents [ 9 0 R 4 0 R 10 0 R ] (a/b) /Resources <</ExtGState <<%G>>/Font <<%F>> "
         ">> >>"},
        {"stray brace after the reference",
         "<< /Contents 4 0 R } /Resources << /Font << /F0 5 0 R >> >> >>",
         "<< /Contents [ 9 0 R 4 0 R 10 0 R ] } /Resources <</ExtGState <<%G>> /Font <<%F /F0 5 "
         "0 R >> >> >>"},
        {"stray parenthesis after the reference",
         "<< /Contents 4 0 R ) /Resources << /Font << /F0 5 0 R >> >> >>",
         "<< /Contents [ 9 0 R 4 0 R 10 0 R ] ) /Resources <</ExtGState <<%G>> /Font <<%F /F0 5 "
         "0 R >> >> >>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = stamp(onePageDocument(c.page, "null"));
        std::string expected = c.expected;
        const StampEntries entries = stampEntries(out);
        const std::string font = " " + entries.font + " ";
        const std::string state = " " + entries.state + " ";
        expected.replace(expected.find("%F"), 2, font);
        expected.replace(expected.find("%G"), 2, state);
        EXPECT_NE(outputObject(out, 3).find(expected), std::string::npos) << outputObject(out, 3);
    }
}

// Pages of one shape whose numbers differ in length, with pages of other shapes between them:
// each page's contents are wrapped and its fonts get the stamp's where its own entries stand,
// in a rewrite and in an update.
TEST_F(StampPassTest, EditsEachPageWhereItsOwnEntriesStandWhateverPagesCameBefore) {
    struct Page {
        int contents;
        std::string body; // %C: the contents number
    };
    const std::string first = "<< /Type /Page /Parent 2 0 R /Contents %C 0 R /Resources << /Font "
                              "<< /F0 7 0 R >> >> >>";
    const Page pages[] = {
        {4, first},
        {10, first},
        {100, first},
        {5, "<< /Resources << /Font << /F0 7 0 R >> >> /Contents %C 0 R /Type /Page /Parent 2 0 "
            "R >>"},
        {1000, first},
        {10, "<< /Type /Page /Parent 2 0 R %c\n/Contents %C 0 R /Resources << /Font << /F0 7 0 R "
             ">> >> >>"},
        {4, "<< /Type /Page /Parent 2 0 R /Contents %C 0 R /Resources << /Font << /F0 7 0 R >> "
            "/X (>>) >> >>"},
        {5, first},
    };
    const size_t count = sizeof pages / sizeof pages[0];
    PdfBuilder pdf;
    std::string kids;
    for (size_t i = 0; i < count; ++i) {
        kids += std::to_string(20 + i) + " 0 R ";
    }
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) +
                       " /MediaBox [0 0 612 792] >>")
        .object(7, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    for (const int contents : {4, 5, 10, 100, 1000}) {
        pdf.stream(contents, "", "0 0 m 10 10 l S");
    }
    for (size_t i = 0; i < count; ++i) {
        std::string body = pages[i].body;
        body.replace(body.find("%C"), 2, std::to_string(pages[i].contents));
        pdf.object(static_cast<int>(20 + i), body);
    }
    pdf.classicXRef();
    for (const bool incremental : {false, true}) {
        job_.incremental = incremental;
        const std::string out = stamp(pdf);
        const StampEntries entries = stampEntries(out);
        for (size_t i = 0; i < count; ++i) {
            SCOPED_TRACE(std::to_string(i) + (incremental ? ", update" : ", rewrite"));
            const std::string header = "\n" + std::to_string(20 + i) + " 0 obj";
            const size_t at = out.rfind(header);
            ASSERT_NE(at, std::string::npos);
            const std::string page = out.substr(at, out.find("endobj", at) - at);
            EXPECT_TRUE(std::regex_search(page, std::regex("/Contents \\[ \\d+ 0 R " +
                                                           std::to_string(pages[i].contents) +
                                                           " 0 R +\\d+ 0 R \\]")))
                << page;
            EXPECT_NE(page.find("/Font << " + entries.font + "  /F0 7 0 R >>"), std::string::npos)
                << page;
        }
        expectValid(output_);
    }
    job_.incremental = false;
}

TEST_F(StampPassTest, PagesSharingAContentsArrayEachShowTheirOwnStampAndNoOther) {
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    pdf.object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 612 792] >>");
    pdf.object(3, "<< /Type /Page /Parent 2 0 R /Contents 6 0 R /Resources << >> >>");
    pdf.object(4, "<< /Type /Page /Parent 2 0 R /Contents 6 0 R /Resources << >> >>");
    pdf.stream(5, "", "0 0 m 10 10 l S");
    pdf.object(6, "[5 0 R]");
    pdf.classicXRef();
    // Objects 7 to 9 are the shared stamp objects, then two streams for each page stamped.
    struct Case {
        const char* name;
        int32_t first;
        int32_t last;
        std::string six, three, four; // what object 6 and the pages' /Contents read
        bool stamped[2];
    };
    const Case cases[] = {
        {"both pages",
         1,
         2,
         "[ 10 0 R 5 0 R 11 0 R ]",
         "/Contents 6 0 R",
         "/Contents [ 12 0 R 5 0 R 13 0 R ]",
         {true, true}},
        {"the first page",
         1,
         1,
         "[5 0 R]",
         "/Contents [ 10 0 R 5 0 R 11 0 R ]",
         "/Contents 6 0 R",
         {true, false}},
        {"the second page",
         2,
         2,
         "[5 0 R]",
         "/Contents 6 0 R",
         "/Contents [ 10 0 R 5 0 R 11 0 R ]",
         {false, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        job_.stamp.startPage = c.first;
        job_.stamp.endPage = c.last;
        const std::string out = stamp(pdf);
        EXPECT_NE(outputObject(out, 6).find(c.six), std::string::npos) << outputObject(out, 6);
        EXPECT_NE(outputObject(out, 3).find(c.three), std::string::npos) << outputObject(out, 3);
        EXPECT_NE(outputObject(out, 4).find(c.four), std::string::npos) << outputObject(out, 4);
        expectValid(output_);
        if (tools::available("pdftotext")) {
            const std::vector<std::string> text = tools::pdfTextPages(output_, false);
            ASSERT_EQ(text.size(), 2u);
            for (size_t i = 0; i < 2; ++i) {
                EXPECT_EQ(text[i].find("Page"), c.stamped[i] ? 0u : std::string::npos)
                    << "page " << i + 1 << ": " << text[i];
            }
        }
    }
}

TEST_F(StampPassTest, AddsTheStampFontAndGraphicsStateToEveryKindOfResources) {
    struct Case {
        const char* name;
        std::string page;
        std::string five; // body of object 5
        int checked;      // object whose text must hold the stamp font entry
    };
    const Case cases[] = {
        {"inline font dictionary",
         "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Resources << /Font << /F0 6 0 R >> >> >>",
         "null", 3},
        {"resources object", "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Resources 5 0 R >>",
         "<< /Font << /F0 6 0 R >> /ExtGState << >> >>", 5},
        {"font dictionary object",
         "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Resources << /Font 5 0 R >> >>",
         "<< /F0 6 0 R >>", 5},
        {"resources inherited from the tree", "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>",
         "null", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PdfBuilder pdf;
        onePage(pdf, c.page,
                "<< /Type /Pages /Kids [3 0 R] /Count 1 /Resources << /Font << /F0 6 0 R >> >> >>")
            .stream(4, "", "BT /F0 12 Tf (x) Tj ET");
        pdf.object(5, c.five);
        pdf.object(6, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
        pdf.classicXRef();
        const std::string out = stamp(pdf);
        const std::string text = outputObject(out, c.checked);
        const StampEntries entries = stampEntries(out);
        const std::string& fontEntry = entries.font;
        const std::string& gsEntry = entries.state;
        EXPECT_NE(text.find(fontEntry), std::string::npos) << text;
        EXPECT_NE(out.find(gsEntry), std::string::npos);
        EXPECT_NE(text.find("/F0 6 0 R"), std::string::npos) << "the page keeps its own font";
        expectValid(output_);
    }
}

TEST_F(StampPassTest, CopiesStreamsWhoseDataHoldsKeywordsWhole) {
    PdfBuilder pdf = PdfBuilder::simpleDocument(1);
    // Data that looks like the end of an object, and like an object stream.
    const std::string data = "% endobj\n7 0 obj\n<< /Type /ObjStm >>\nendstream\nendobj\nEND";
    pdf.stream(5, "", data);
    pdf.classicXRef();
    const std::string out = stamp(pdf);
    EXPECT_NE(out.find(data + "\nendstream\nendobj"), std::string::npos);
    expectValid(output_);
}

TEST_F(StampPassTest, CopiesLongStreamsWholeWhetherTheInputIsMappedOrRead) {
    // Image data of a few MiB, not a whole number of MiB: the long runs are written from the
    // mapped input straight to the output, the rest through blocks.
    std::string data;
    for (size_t i = 0; data.size() < 2 * 1024 * 1024 + 70001; ++i) {
        data += static_cast<char>((i * 131 + i / 4096) % 256);
    }
    PdfBuilder pdf = PdfBuilder::simpleDocument(1);
    pdf.stream(5, "/Subtype /Image /Width 1 /Height 1", data);
    pdf.stream(6, "", data.substr(0, 1024 * 1024)); // exactly one run
    pdf.classicXRef();
    for (bool mapped : {true, false}) {
        // Mapping is on again for the tests that follow, even when the pass throws.
        struct MappingRestored {
            ~MappingRestored() { platform::setFileMappingForTesting(true); }
        } restored;
        platform::setFileMappingForTesting(mapped);
        const std::string out = stamp(pdf);
        const std::string in = TempDir::read(input_);
        for (int number : {5, 6}) {
            const std::string header = "\n" + std::to_string(number) + " 0 obj";
            const size_t inAt = in.find(header);
            const size_t outAt = out.find(header);
            ASSERT_NE(inAt, std::string::npos);
            ASSERT_NE(outAt, std::string::npos) << "mapped " << mapped;
            const size_t length = in.find("endobj", inAt) + 6 - inAt;
            EXPECT_TRUE(out.compare(outAt, length, in, inAt, length) == 0)
                << "object " << number << ", mapped " << mapped;
        }
        expectValid(output_);
    }
}

TEST_F(StampPassTest, TheHeaderIsCopiedWhateverTheRowsSay) {
    // The first row in use, object 1's, has offset 0 (some writers give it): the output still
    // starts with the header.
    PdfBuilder pdf;
    pdf.root(2);
    pdf.object(1, "(spare)");
    pdf.object(2, "<< /Type /Catalog /Pages 3 0 R >>");
    pdf.object(3, "<< /Type /Pages /Kids [4 0 R] /Count 1 >>");
    pdf.object(4, "<< /Type /Page /Parent 3 0 R /Resources << >> >>");
    pdf.classicXRef();
    std::string bytes = pdf.bytes();
    const size_t row = bytes.find("0000000015 00000 n");
    ASSERT_NE(row, std::string::npos);
    bytes.replace(row, 10, "0000000000");
    const std::string out = stampBytes(bytes);
    EXPECT_EQ(out.substr(0, 15), bytes.substr(0, 15));
    EXPECT_NE(outputObject(out, 4).find("/Contents [ 8 0 R 9 0 R ]"), std::string::npos)
        << outputObject(out, 4);
    expectValid(output_);
}

TEST_F(StampPassTest, BytesBeforeTheHeaderAreDropped) {
    PdfBuilder pdf;
    pdf.prefix(std::string(100, 'J'));
    onePage(pdf).classicXRef();
    const std::string out = stamp(pdf);
    EXPECT_EQ(out.substr(0, 5), "%PDF-");
    EXPECT_NE(outputObject(out, 3).find("/Contents [ 7 0 R 8 0 R ]"), std::string::npos);
    expectValid(output_);
}

TEST_F(StampPassTest, APageTreeThatListsItsOwnAncestorEnds) {
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    pdf.object(2, "<< /Type /Pages /Kids [4 0 R 3 0 R] /Count 2 >>");
    pdf.object(3, "<< /Type /Page /Parent 2 0 R /Resources << >> >>");
    pdf.object(4, "<< /Type /Pages /Kids [2 0 R 3 0 R] /Parent 2 0 R /Count 1 >>");
    pdf.classicXRef();
    stamp(pdf);
    EXPECT_EQ(result_.pages, 2u) << "page 3 is listed twice, the cycle is not followed";
}

// A kid's number is read whole however many digits it has: leading zeros name the object, and
// a number past the object numbers (held there, never wrapped into one) names none.
TEST_F(StampPassTest, ReadsEveryDigitOfAKidsNumber) {
    struct Case {
        const char* kids;
        size_t pages; // 0: the pass fails, naming kid 2147483648
    };
    const Case cases[] = {
        {"3 0 R", 1},
        {"0000000003 0 R", 1},
        {"00000000000000000003 0 R 3 00000000000 R", 2},
        {"2147483648 0 R", 0},
        {"4294967299 0 R", 0},
        {"99999999999999999999999 0 R", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kids);
        PdfBuilder pdf;
        pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        pdf.object(2, std::string("<< /Type /Pages /Kids [") + c.kids + "] /Count 2 >>");
        pdf.object(3, "<< /Type /Page /Parent 2 0 R /Resources << >> >>");
        pdf.classicXRef();
        if (c.pages == 0) {
            try {
                stamp(pdf);
                ADD_FAILURE() << "the pass went through";
            } catch (const CPdfException& e) {
                EXPECT_NE(e.cause().find("kid 2147483648 cannot be read"), std::string::npos)
                    << e.cause();
            }
            continue;
        }
        stamp(pdf);
        EXPECT_EQ(result_.pages, c.pages);
    }
}

TEST_F(StampPassTest, RefusesAnOutputThatIsTheInputAndKeepsTheInput) {
    PdfBuilder pdf = PdfBuilder::simpleDocument(1);
    pdf.classicXRef();
    const std::string input = dir_.file("same.pdf");
    ASSERT_TRUE(pdf.writeTo(input));
    job_.inputName = input;
    job_.outputName = dir_.path() + "/./same.pdf";
    job_.quiet = true;
    EXPECT_THROW(job_.stampDocument(), CPdfException);
    EXPECT_EQ(reported_.notes, "\nOutput file is the input file: '" + job_.outputName + "'\n");
    EXPECT_EQ(TempDir::read(input), pdf.bytes());
}

TEST_F(StampPassTest, AFailedPassLeavesAnyEarlierOutputAsItWas) {
    const std::string earlier = "earlier output";
    TempDir::read(dir_.write("out.pdf", earlier));
    PdfBuilder pdf = PdfBuilder::simpleDocument(1);
    pdf.classicXRef({.trailerExtra = "/Encrypt 2 0 R"});
    try {
        stamp(pdf);
        FAIL() << "a file protected by no handler it can read is refused";
    } catch (const CPdfException& e) {
        EXPECT_EQ(e.message(), "Stamp file issue: '" + input_ + "'\n");
        EXPECT_EQ(e.cause().rfind("PDF file is protected by the security handler", 0), 0u)
            << e.cause();
    }
    EXPECT_EQ(TempDir::read(output_), earlier);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_.path())) {
        ++files;
    }
    EXPECT_EQ(files, 2) << "the input and the earlier output, no temporary file";
}

TEST_F(StampPassTest, AnOutputThatCannotBeCreatedFailsThePass) {
    PdfBuilder pdf = PdfBuilder::simpleDocument(1);
    pdf.classicXRef();
    ASSERT_TRUE(pdf.writeTo(dir_.file("in.pdf")));
    job_.inputName = dir_.file("in.pdf");
    job_.outputName = dir_.file("missing-folder/out.pdf");
    EXPECT_THROW(job_.stampDocument(), CPdfException);
    EXPECT_NE(reported_.notes.find("\nOutput file create error: '" + job_.outputName + "'\n"),
              std::string::npos)
        << reported_.notes;
}

TEST_F(StampPassTest, QuarterTurnsBeyondAFullTurnPlaceTheStampAsTheirRemainder) {
    // The stamp's text matrix for each /Rotate, compared with that of the equivalent turn.
    auto matrixFor = [this](const std::string& rotate) {
        return stampMatrixOfPage("/Rotate " + rotate);
    };
    EXPECT_EQ(matrixFor("540"), matrixFor("180"));
    EXPECT_EQ(matrixFor("-450"), matrixFor("-90"));
    EXPECT_EQ(matrixFor("360"), matrixFor("0"));
    EXPECT_NE(matrixFor("180"), matrixFor("0"));
}

// A page's box and turn are read where their keys first stand in the page's text, whatever
// comes before or after them: each odd page places the stamp as its plain twin does, and the
// twin as no page of the tree's box and no turn would not.
TEST_F(StampPassTest, ReadsThePagesBoxAndTurnWhereTheirKeysLastStand) {
    auto matrixFor = [this](const std::string& entries) { return stampMatrixOfPage(entries); };
    struct Case {
        const char* name;
        std::string odd;
        std::string plain;
    };
    // The keys are found by their bytes, the last place counting: a key given twice has its
    // last value, as other readers read it.
    const Case cases[] = {
        {"crop box after the media box", "/MediaBox [0 0 300 400] /CropBox [50 60 200 300]",
         "/CropBox [50 60 200 300]"},
        {"turn and box given twice",
         "/Rotate 90 /MediaBox [0 0 100 100] /Rotate 180 /MediaBox [0 0 300 400]",
         "/MediaBox [0 0 300 400] /Rotate 180"},
        {"crop box given twice",
         "/CropBox [0 0 100 100] /MediaBox [0 0 500 500] /CropBox [50 60 200 300]",
         "/CropBox [50 60 200 300]"},
        {"turn in an annotation last", "/Rotate 180 /Annots [<< /Rotate 90 >>]", "/Rotate 90"},
        {"longer key last", "/Rotate 90 /Rotated 270", "/Rotate 270"},
        {"media boxes last", "/MediaBox [0 0 300 400] /MediaBoxes [10 10 100 100]",
         "/MediaBox [10 10 100 100]"},
        {"every key, names between", "/C 1 /M 2 /R 3 /Rotate 90 /P /MediaBox [0 0 300 400] /Q",
         "/MediaBox [0 0 300 400] /Rotate 90"},
        {"turn in a string", "/Note (/Rotate 180) /CropBox [50 60 200 300]",
         "/CropBox [50 60 200 300] /Rotate 180"},
    };
    const std::string none = matrixFor("");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string plain = matrixFor(c.plain);
        EXPECT_EQ(matrixFor(c.odd), plain);
        EXPECT_NE(plain, none);
    }
}

// The text of page object 3 as the output holds it last (after an update's, its own).
std::string lastPageObject(const std::string& out) {
    const size_t at = out.rfind("\n3 0 obj");
    return at == std::string::npos ? std::string() : out.substr(at, out.find("endobj", at) - at);
}

// Contents that name object 5: the page's reference is wrapped with the stamp streams only
// where object 5 is a stream, however its dictionary is written; in a rewrite and in an update.
TEST_F(StampPassTest, WrapsTheContentsReferenceOnlyWhereItNamesAStream) {
    const std::string data = "0 0 m 10 10 l S";
    struct Case {
        const char* name;
        std::string five; // body of object 5
        bool wrapped;
    };
    const Case cases[] = {
        {"plain stream", "<< /Length 15 >>\nstream\n" + data + "\nendstream", true},
        {"stream, entries on lines",
         "<<\n/Filter [ ]\n/Length 15\n>>stream\r\n" + data + "\nendstream", true},
        {"stream with a string", "<< /Length 15 /N (a) >>\nstream\n" + data + "\nendstream", true},
        {"stream with a nested dictionary",
         "<< /Length 15 /DecodeParms << /K 1 >> >>\nstream\n" + data + "\nendstream", true},
        {"stream with a wrong length", "<< /Length 9999 >>\nstream\n" + data + "\nendstream", true},
        {"stream with a long dictionary",
         "<< /Length 15 /Pad [" + std::string(300, '0') + "] >>\nstream\n" + data + "\nendstream",
         true},
        {"dictionary, keyword in a string", "<< /N (>> stream) >>", false},
        {"dictionary, keyword in a comment", "<< /N 1 >> % stream", false},
        {"dictionary, keyword in a name", "<< /N /x >> /stream", false},
        {"dictionary then a word", "<< /N 1 >> streams", true},
        {"dictionary, next object's header first", "<< /N 1 >> 6 0 obj stream", false},
        {"array", "[ 1 ]\nstream", false},
    };
    for (const bool incremental : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (incremental ? ", update" : ", rewrite"));
            job_.incremental = incremental;
            const std::string out =
                stamp(onePageDocument("<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>", c.five));
            std::string page = lastPageObject(out);
            // A dictionary that is no stream draws nothing: the page gets the stamp streams
            // alone; an array object is left to the array's own edit.
            const bool array = c.five[0] == '[';
            EXPECT_NE(page.find(c.wrapped ? "/Contents [ 9 0 R 5 0 R  10 0 R ]"
                                : array   ? "/Contents 5 0 R >>"
                                          : "/Contents [ 9 0 R 10 0 R ]"),
                      std::string::npos)
                << page;
        }
        // A stream with no "endobj" after it (the file's last one spelled otherwise, at the
        // same length) cannot be framed: the page gets the stamp streams alone.
        std::string bytes =
            onePageDocument("<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>", cases[0].five)
                .bytes();
        bytes.replace(bytes.rfind("endobj"), 6, "endobX");
        const std::string page = lastPageObject(stampBytes(bytes));
        EXPECT_NE(page.find("/Contents [ 9 0 R 10 0 R ]"), std::string::npos) << page;
    }
    job_.incremental = false;
}

TEST_F(StampPassTest, ContentsThatReferToAFreedObjectGetTheStampStreamsAlone) {
    PdfBuilder pdf;
    onePage(pdf, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Resources << >> >>").classicXRef();
    // Object 4 is not in the table: rows 0 to 3, stamp objects 4 to 6, streams 7 and 8.
    const std::string out = stamp(pdf);
    EXPECT_NE(outputObject(out, 3).find("/Contents [ 7 0 R 8 0 R ]"), std::string::npos)
        << outputObject(out, 3);
    expectValid(output_);
}

TEST_F(StampPassTest, TheTrailerNamesTheCatalogWithItsOwnGeneration) {
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>", 1);
    pdf.object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    pdf.object(3, "<< /Type /Page /Parent 2 0 R /Resources << >> >>");
    pdf.object(4, "<< /Title (t) >>", 2);
    pdf.classicXRef({.trailerExtra = "/Info 4 2 R", .writeRoot = false});
    const std::string bytes = pdf.bytes();
    // The builder names /Root with generation 0: write the trailer's own reference instead.
    std::string fixed = bytes;
    const size_t trailer = fixed.rfind("trailer");
    fixed.insert(fixed.find("<<", trailer) + 2, " /Root 1 1 R ");
    const std::string out = stampBytes(fixed);
    EXPECT_NE(out.find("/Root 1 1 R\n/Info 4 2 R\n"), std::string::npos);
    expectValid(output_);
}

TEST_F(StampPassTest, ACatalogThatCannotBeCopiedFailsThePass) {
    PdfBuilder pdf = PdfBuilder::simpleDocument(1);
    pdf.classicXRef({.trailerExtra = "", .root = 9});
    EXPECT_THROW(stamp(pdf), CPdfException);
    EXPECT_FALSE(fs::exists(output_));
}

TEST(PageNumberingTest, SelectsAndNumbersPagesInEveryOrder) {
    struct Case {
        const char* name;
        void (*setup)(StampDefinition&);
        std::vector<int> shown; // number shown for positions 1..10, 0 when not stamped
    };
    const Case cases[] = {
        {"plain", [](StampDefinition&) {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"two-up", [](StampDefinition& s) { s.twoUp = true; }, {1, 6, 2, 7, 3, 8, 4, 9, 5, 10}},
        {"A/B two-up",
         [](StampDefinition& s) { s.abTwoUp = true; },
         {1, 3, 5, 7, 9, 2, 4, 6, 8, 10}},
        {"reverse", [](StampDefinition& s) { s.reverse = true; }, {10, 9, 8, 7, 6, 5, 4, 3, 2, 1}},
        {"start page 3",
         [](StampDefinition& s) { s.startPage = 3; },
         {0, 0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"start 5 end 3",
         [](StampDefinition& s) {
             s.startPage = 5;
             s.endPage = 3;
         },
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"every second", [](StampDefinition& s) { s.nth = 2; }, {1, 0, 3, 0, 5, 0, 7, 0, 9, 0}},
        {"every third left out",
         [](StampDefinition& s) { s.nth = 3; },
         {1, 2, 0, 4, 5, 0, 7, 8, 0, 10}},
        {"nth 2 from page 2",
         [](StampDefinition& s) {
             s.nth = 2;
             s.startPage = 2;
         },
         {0, 1, 0, 3, 0, 5, 0, 7, 0, 9}},
        {"sequential",
         [](StampDefinition& s) {
             s.nth = 2;
             s.sequential = true;
         },
         {1, 0, 2, 0, 3, 0, 4, 0, 5, 0}},
        {"sequential without nth",
         [](StampDefinition& s) { s.sequential = true; },
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"start number 41",
         [](StampDefinition& s) { s.startNumber = 41; },
         {41, 42, 43, 44, 45, 46, 47, 48, 49, 50}},
    };
    for (const Case& c : cases) {
        StampDefinition stamp;
        c.setup(stamp);
        for (int p = 1; p <= 10; ++p) {
            const int expected = c.shown[static_cast<size_t>(p - 1)];
            EXPECT_EQ(isPageSelected(stamp, p), expected != 0) << c.name << ", position " << p;
            if (expected != 0) {
                EXPECT_EQ(pageNumberFor(stamp, stamp.startNumber, 10, p), expected)
                    << c.name << ", position " << p;
            }
        }
    }
}

TEST_F(StampPassTest, PrintsProgressWithADotForEverySixthPage) {
    PdfBuilder pdf = PdfBuilder::simpleDocument(12);
    pdf.classicXRef();
    ASSERT_TRUE(pdf.writeTo(dir_.file("in.pdf")));
    job_.inputName = dir_.file("in.pdf");
    job_.outputName = dir_.file("out.pdf");
    job_.stampDocument();
    EXPECT_EQ(reported_.notes, "Input file: '" + job_.inputName + "', output file: '" +
                                   job_.outputName + "'\nProcessing..");
}

} // namespace

// What the pass returns: the page counts, the number and text of the first and last stamped
// page in page order (pages are stamped in object-number order, which differs here), and how
// the output was written.
TEST_F(StampPassTest, ResultNamesTheFirstAndLastStampedPage) {
    struct Case {
        const char* name;
        int32_t startPage;
        int32_t nth;
        bool reverse;
        bool incremental;
        uint32_t stamped;
        int32_t firstNumber;
        int32_t lastNumber;
        const char* firstText;
        const char* lastText;
    };
    const Case cases[] = {
        {"every page", 1, 0, false, false, 4, 1, 4, "Page 1 / 4", "Page 4 / 4"},
        {"from page 2", 2, 0, false, false, 3, 1, 3, "Page 1 / 4", "Page 3 / 4"},
        {"every second page", 1, 2, false, true, 2, 1, 3, "Page 1 / 4", "Page 3 / 4"},
        {"reversed", 1, 0, true, false, 4, 4, 1, "Page 4 / 4", "Page 1 / 4"},
    };
    for (const Case& c : cases) {
        // Kids listed in the reverse of object-number order: page 1 is the highest object.
        PdfBuilder pdf;
        pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        pdf.object(2, "<< /Type /Pages /Kids [6 0 R 5 0 R 4 0 R 3 0 R] /Count 4 "
                      "/MediaBox [0 0 612 792] >>");
        for (int page = 3; page <= 6; ++page) {
            pdf.object(page, "<< /Type /Page /Parent 2 0 R /Resources << >> >>");
        }
        pdf.classicXRef();
        job_.stamp.startPage = c.startPage;
        job_.stamp.nth = c.nth;
        job_.stamp.reverse = c.reverse;
        job_.incremental = c.incremental;
        input_ = dir_.write("in.pdf", pdf.bytes());
        job_.inputName = input_;
        job_.outputName = dir_.file("out.pdf");
        job_.quiet = true;
        const PassResult result = job_.stampDocument();
        EXPECT_EQ(result.pages, 4u) << c.name;
        EXPECT_EQ(result.stampedPages, c.stamped) << c.name;
        EXPECT_EQ(result.firstNumber, c.firstNumber) << c.name;
        EXPECT_EQ(result.lastNumber, c.lastNumber) << c.name;
        EXPECT_EQ(result.firstText, c.firstText) << c.name;
        EXPECT_EQ(result.lastText, c.lastText) << c.name;
        EXPECT_EQ(result.update, c.incremental) << c.name;
        EXPECT_FALSE(result.repaired) << c.name;
    }
}

// The text as the stamp stream shows it: parentheses escaped, a trailing backslash doubled,
// UTF-8 converted to the font's encoding, and anything else as it stands.
TEST_F(StampPassTest, TheStampStreamShowsTheTextAsALiteralString) {
    struct Case {
        const char* name;
        const char* prefix;
        const char* end;
        const char* shown;
    };
    const Case cases[] = {
        {"plain", "Page ", "", "(Page 1 / 1) Tj"},
        {"parentheses", "(", ")", "(\\0501 / 1\\051) Tj"},
        {"a backslash inside", "a\\b ", "", "(a\\b 1 / 1) Tj"},
        {"a trailing backslash", "Page ", " \\", "(Page 1 / 1 \\\\) Tj"},
        {"beyond ASCII", "Seite \xC3\xA9 ", "", "(Seite \xE9 1 / 1) Tj"},
    };
    for (const Case& c : cases) {
        PdfBuilder pdf;
        onePage(pdf).classicXRef();
        job_.stamp.prefixText = c.prefix;
        job_.stamp.endText = c.end;
        const std::string out = stamp(pdf);
        const size_t tj = out.find(" Tj\n");
        ASSERT_NE(tj, std::string::npos) << c.name;
        const size_t line = out.rfind('\n', tj) + 1;
        EXPECT_EQ(out.substr(line, tj + 3 - line), c.shown) << c.name;
    }
}

// The stamp's text matrix of every page of a pass, in page order: pages of boxes and turns that
// come back after others, and a text whose width moves the stamp. Each page is placed as the one
// page of a document of its own would be, whatever the pages before it had.
TEST_F(StampPassTest, EachPageOfAPassIsPlacedByItsOwnBoxTurnAndText) {
    auto matricesOf = [this](const std::vector<std::string>& pages) {
        PdfBuilder pdf;
        std::string kids;
        for (size_t k = 0; k < pages.size(); ++k) {
            kids += std::to_string(3 + k) + " 0 R ";
            pdf.object(static_cast<int>(3 + k),
                       "<< /Type /Page /Parent 2 0 R " + pages[k] + " /Resources << >> >>");
        }
        pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
            .object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " +
                           std::to_string(pages.size()) + " /MediaBox [0 0 612 792] >>")
            .classicXRef();
        const std::string out = stamp(pdf);
        std::vector<std::string> matrices;
        for (size_t tm = out.find(" Tm\n"); tm != std::string::npos;
             tm = out.find(" Tm\n", tm + 1)) {
            const size_t line = out.rfind('\n', tm) + 1;
            matrices.push_back(out.substr(line, tm - line));
        }
        return matrices;
    };
    const std::vector<std::string> pages = {
        "",
        "",
        "/MediaBox [0 0 300 400]",
        "/MediaBox [0 0 300 400] /Rotate 90",
        "/Rotate 90",
        "/MediaBox [0 0 612 792]",
        "/CropBox [-0 0 612 792]",
        "/MediaBox [0 0 300 400]",
    };
    const std::vector<std::string> matrices = matricesOf(pages);
    ASSERT_EQ(matrices.size(), pages.size());
    for (size_t k = 0; k < pages.size(); ++k) {
        EXPECT_EQ(matrices[k], stampMatrixOfPage(pages[k])) << "page " << k + 1;
    }
    // Aligned right, "Page 10 / 10" ends where "Page 9 / 10" does: its matrix alone differs.
    job_.stamp.alignment = "right";
    const std::vector<std::string> right = matricesOf(std::vector<std::string>(10, ""));
    ASSERT_EQ(right.size(), 10u);
    EXPECT_EQ(right[8], right[0]);
    EXPECT_NE(right[9], right[8]);
    // Aligned left with a box behind the text: the text stays, the wider number's box grows.
    job_.stamp.alignment = "left";
    job_.stamp.boxSet = true;
    PdfBuilder tenPages;
    std::string kids;
    for (int k = 3; k < 13; ++k) {
        kids += std::to_string(k) + " 0 R ";
        tenPages.object(k, "<< /Type /Page /Parent 2 0 R >>");
    }
    tenPages.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [" + kids + "] /Count 10 /MediaBox [0 0 612 792] >>")
        .classicXRef();
    const std::string boxed = stamp(tenPages);
    std::vector<std::string> boxes;
    for (size_t re = boxed.find(" re\n"); re != std::string::npos;
         re = boxed.find(" re\n", re + 1)) {
        const size_t line = boxed.rfind('\n', re) + 1;
        boxes.push_back(boxed.substr(line, re - line));
    }
    ASSERT_EQ(boxes.size(), 10u);
    EXPECT_EQ(boxes[8], boxes[0]);
    EXPECT_NE(boxes[9], boxes[8]);
}

// Pages of one shape but for their numbers, pages of other shapes among them, and odd bytes in
// them: the walk reads each page's box and turn as it reads the page alone, whatever pages came
// before (the stamp's matrix follows from the two).
TEST_F(StampPassTest, ReadsEachPageOfAShapeAsThePageAloneWhateverPagesCameBefore) {
    const std::string pages[] = {
        "/MediaBox [0 0 612 792] /Rotate 90",
        "/MediaBox [0 0 612 792] /Rotate 180",
        "/MediaBox [0 0 1000 792] /Rotate 0",
        "/MediaBox [0 0 99 9] /Rotate 270",
        "/MediaBox [0 0 612 792] /Rotate 90",
        "/CropBox [50 60 200 300] /Rotate 90",
        "/MediaBox [0 0 612 792] /Rotate 90 /Note (/Rotate 180)",
        "/MediaBox [0 0 612 792] /Rotate 90",
        "/MediaBox [0 0 612 792] /Rotate -90",
        "/MediaBox [0 0 612 792] /Rotate 90 %c /Rotate 180\n",
        "/MediaBox [0 0 612 792] /Rotate 90",
        "/MediaBox [0 0 6.5 792] /Rotate 90",
        "/MediaBox [0 0 612 792] /Rotate 90",
        "/MediaBox [0 0 1234567890 792] /Rotate 90",
        "/MediaBox [0 0 612 792] /Rotate 90",
    };
    std::vector<std::string> alone;
    for (const std::string& entries : pages) {
        alone.push_back(stampMatrixOfPage(entries));
    }
    const size_t count = sizeof pages / sizeof pages[0];
    PdfBuilder pdf;
    std::string kids;
    // Pages and their contents numbered so that the numbers' lengths change on the way.
    auto pageNumber = [](size_t i) { return static_cast<int>(3 + 2 * i * i); };
    for (size_t i = 0; i < count; ++i) {
        kids += std::to_string(pageNumber(i)) + " 0 R ";
    }
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) +
                       " /MediaBox [0 0 612 792] >>");
    for (size_t i = 0; i < count; ++i) {
        const int number = pageNumber(i);
        pdf.object(number, "<< /Type /Page /Parent 2 0 R " + pages[i] + " /Contents " +
                               std::to_string(number + 1) + " 0 R /Resources << >> >>");
        pdf.stream(number + 1, "", "0 0 m 10 10 l S");
    }
    pdf.classicXRef();
    const std::string out = stamp(pdf);
    std::vector<std::string> matrices;
    for (size_t tm = out.find(" Tm\n"); tm != std::string::npos; tm = out.find(" Tm\n", tm + 1)) {
        const size_t line = out.rfind('\n', tm) + 1;
        matrices.push_back(out.substr(line, tm - line));
    }
    EXPECT_EQ(matrices, alone);
    expectValid(output_);
}
