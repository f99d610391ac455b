// Damaged inputs of the kinds met in the field, made from one clean file: each is stamped with
// a warning (its table rebuilt from the whole file), the output is valid, every page shows the
// stamp and keeps its own text.

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

constexpr int kPages = 3;

std::string pageText(int page) {
    return "Original" + std::string(1, static_cast<char>('A' + page)) + "text";
}

std::string content(int page) {
    return "BT /F1 24 Tf 72 700 Td (" + pageText(page) + ") Tj ET";
}

// Catalog 1, pages 2, font 3, then page 4 + 2k with its content stream 5 + 2k.
PdfBuilder& cleanObjects(PdfBuilder& pdf) {
    std::string kids;
    for (int k = 0; k < kPages; ++k) {
        kids += std::to_string(4 + 2 * k) + " 0 R ";
    }
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(kPages) + " >>")
        .object(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    for (int k = 0; k < kPages; ++k) {
        pdf.object(4 + 2 * k, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents " +
                                  std::to_string(5 + 2 * k) +
                                  " 0 R /Resources << /Font << /F1 3 0 R >> >> >>")
            .stream(5 + 2 * k, "", content(k));
    }
    return pdf;
}

std::string cleanFile() {
    PdfBuilder pdf;
    cleanObjects(pdf).classicXRef();
    return pdf.bytes();
}

std::string replaceFirst(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) {
        text.replace(at, from.size(), to);
    }
    return text;
}

struct DamageCase {
    const char* name;
    std::function<std::string()> bytes;
    bool repaired;     // the table is rebuilt (a warning), or the file reads as it is
    const char* cause; // part of the warning's cause
};

const DamageCase kCases[] = {
    {"truncated after the last object",
     [] {
         const std::string clean = cleanFile();
         return clean.substr(0, clean.find("xref"));
     },
     true, "startxref not found"},
    {"bytes inserted after the header",
     [] { return replaceFirst(cleanFile(), "%PDF-1.7\n", "%PDF-1.7\n% inserted by an editor\n"); },
     true, "no cross-reference table or stream"},
    {"startxref a few bytes off",
     [] {
         PdfBuilder pdf;
         cleanObjects(pdf).classicXRef();
         const std::string at = std::to_string(pdf.lastXRefOffset());
         return replaceFirst(pdf.bytes(), "startxref\n" + at,
                             "startxref\n" + std::to_string(pdf.lastXRefOffset() + 3));
     },
     true, "Couldn't parse an xref"},
    {"startxref 0",
     [] {
         PdfBuilder pdf;
         cleanObjects(pdf).classicXRef();
         return replaceFirst(pdf.bytes(), "startxref\n" + std::to_string(pdf.lastXRefOffset()),
                             "startxref\n0");
     },
     true, "no offset greater than 0 after startxref"},
    {"one row corrupted",
     [] {
         PdfBuilder pdf;
         cleanObjects(pdf).classicXRef();
         return replaceFirst(pdf.bytes(), PdfBuilder::tableRow(pdf.offsetOf(5)),
                             PdfBuilder::tableRow(pdf.offsetOf(5) + 9));
     },
     true, "row of object 5"},
    {"a row with a generation its object does not have",
     [] {
         PdfBuilder pdf;
         cleanObjects(pdf).classicXRef();
         return replaceFirst(pdf.bytes(), PdfBuilder::tableRow(pdf.offsetOf(1)),
                             PdfBuilder::tableRow(pdf.offsetOf(1), 1));
     },
     true, "row of object 1"},
    {"a content stream with a wrong /Length",
     [] {
         return replaceFirst(cleanFile(), "/Length " + std::to_string(content(0).size()),
                             "/Length 30");
     },
     false, ""},
    {"converted to CR LF",
     [] {
         std::string out;
         for (char c : cleanFile()) {
             if (c == '\n') {
                 out += '\r';
             }
             out += c;
         }
         return out;
     },
     true, ""},
    {"junk after %%EOF",
     [] { return cleanFile() + std::string(4096, '\0') + std::string(2000, 'J'); }, true,
     "startxref not found"},
    {"damaged cross-reference stream",
     [] {
         PdfBuilder pdf;
         cleanObjects(pdf).streamXRef();
         std::string bytes = pdf.bytes();
         const size_t data = bytes.find("stream\n", static_cast<size_t>(pdf.lastXRefOffset()));
         for (size_t k = data + 7; k < data + 17 && k < bytes.size(); ++k) {
             bytes[k] = static_cast<char>(~bytes[k]);
         }
         return bytes;
     },
     true, "xref"},
};

TEST(DamagedInput, EachKindIsStampedWithAWarningIntoAValidOutput) {
    if (!tools::available("qpdf") || !tools::available("pdftotext")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    for (const DamageCase& c : kCases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string input = dir.write("in.pdf", c.bytes());
        const std::string output = dir.file("out.pdf");
        for (const bool incremental : {false, true}) {
            std::vector<std::string> args{"-i" + input, "-o" + output, "-quiet"};
            if (incremental) {
                args.push_back("-incremental");
            }
            const ProgramResult run = runProgram(args);
            ASSERT_EQ(run.status, 0) << run.out << run.err;
            const std::string warning = "Warning: '" + input + "' was damaged (";
            if (!c.repaired) {
                EXPECT_EQ(run.err.find("Warning"), std::string::npos) << run.err;
            } else {
                EXPECT_EQ(run.err.find(warning), 0u) << run.err;
                EXPECT_NE(run.err.find(c.cause), std::string::npos) << run.err;
                EXPECT_NE(run.err.find("); its objects were found by reading the whole file"),
                          std::string::npos)
                    << run.err;
                EXPECT_EQ(run.err.find("written in full") != std::string::npos, incremental)
                    << run.err;
                // A repaired file is written in full: no update on the broken table.
                EXPECT_NE(TempDir::read(output).rfind("trailer\n<<\n/Size"), std::string::npos);
            }
            std::string details;
            EXPECT_TRUE(tools::qpdfCheckClean(output, details)) << details;
            const std::vector<std::string> pages = tools::pdfTextPages(output, true);
            ASSERT_EQ(pages.size(), static_cast<size_t>(kPages));
            for (int k = 0; k < kPages; ++k) {
                const std::string text = tools::normalizeSpace(pages[static_cast<size_t>(k)]);
                EXPECT_NE(text.find(pageText(k)), std::string::npos) << k << ": " << text;
                EXPECT_NE(text.find("Page " + std::to_string(k + 1)), std::string::npos)
                    << k << ": " << text;
            }
            if (!c.repaired) {
                break; // an undamaged table takes an update as always
            }
        }
    }
}

TEST(DamagedInput, ASignedFileThatNeedsRepairIsRefused) {
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [4 0 R] /SigFlags 3 >> >>")
        .object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Annots [4 0 R] >>")
        .object(4, "<< /Type /Annot /Subtype /Widget /FT /Sig /T (S) /Rect [0 0 0 0] /P 3 0 R "
                   "/V 5 0 R >>")
        .object(5,
                "<< /Type /Sig /Filter /Adobe.PPKLite /ByteRange [0 10 20 30] /Contents <00> >>");
    TempDir dir;
    const std::string input = dir.write("in.pdf", pdf.bytes()); // no table: truncated
    for (const char* mode : {"-quiet", "-incremental"}) {
        const ProgramResult run =
            runProgram({"-i" + input, "-o" + dir.file("out.pdf"), "-quiet", mode});
        EXPECT_EQ(run.status, 1) << mode;
        EXPECT_EQ(run.out.find("Stamp file issue"), 0u) << run.out;
        EXPECT_NE(run.err.find("startxref not found"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("the file is signed, and repairing it would break its signature"),
                  std::string::npos)
            << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.pdf")));
    }
}

TEST(DamagedInput, WhatCannotBeRepairedIsRefusedWithBothCauses) {
    TempDir dir;
    // No table, and no catalog to be found.
    const std::string input =
        dir.write("in.pdf", "%PDF-1.4\n1 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n");
    const ProgramResult run = runProgram({"-i" + input, "-o" + dir.file("out.pdf"), "-quiet"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.find("Stamp file issue"), 0u) << run.out;
    EXPECT_NE(run.err.find("startxref not found"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("reading the whole file found no catalog"), std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.pdf")));
}

// References to objects the table has no row for name nothing (readers take them as null). The
// output's new objects take the numbers after the table, so a copy that kept such a reference
// as it stands would have it name the stamp's font or streams: a content stream's /Filter
// would make the page undecodable. A rewrite writes them as "null"; an update does so in the
// objects it writes.
TEST(DamagedInput, ReferencesToNothingStayNull) {
    if (!tools::available("qpdf") || !tools::available("pdftotext")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    // Rows 0 to 5: 6, 7 and 8 are the first numbers the output adds.
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R /OpenAction 8 0 R >>")
        .object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Thumb 6 0 R "
                   "/Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>")
        .stream(4, "/Filter 7 0 R", "BT /F1 24 Tf 72 700 Td (Potato) Tj ET")
        .object(5, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
        .classicXRef();
    for (const bool incremental : {false, true}) {
        SCOPED_TRACE(incremental ? "as an update" : "rewritten");
        TempDir dir;
        const std::string output = dir.file("out.pdf");
        std::vector<std::string> args{"-i" + dir.write("in.pdf", pdf.bytes()), "-o" + output,
                                      "-quiet"};
        if (incremental) {
            args.push_back("-incremental");
        }
        const ProgramResult run = runProgram(args);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        // Said once, for the first object the pass writes with such a reference.
        const std::string warning = "names object " + std::string(incremental ? "6" : "8") +
                                    ", which is not in the file); such references are written "
                                    "as null\n";
        EXPECT_NE(run.err.find(warning), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("Warning", run.err.find("Warning") + 1), std::string::npos)
            << run.err;
        std::string details;
        EXPECT_TRUE(tools::qpdfCheckClean(output, details)) << details;
        const std::vector<std::string> pages = tools::pdfTextPages(output, true);
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_NE(tools::normalizeSpace(pages[0]).find("Potato Page 1 / 1"), std::string::npos)
            << pages[0];
        const std::string bytes = TempDir::read(output);
        const size_t update = incremental ? bytes.rfind("%%EOF", bytes.size() - 8) : 0;
        ASSERT_NE(update, std::string::npos);
        const std::string written = bytes.substr(update);
        EXPECT_NE(written.find("/Thumb null"), std::string::npos);
        EXPECT_EQ(written.find("/Thumb 6 0 R"), std::string::npos);
        if (!incremental) {
            EXPECT_NE(written.find("/OpenAction null"), std::string::npos);
            EXPECT_NE(written.find("/Filter null"), std::string::npos);
        }
    }
}

} // namespace
