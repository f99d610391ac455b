// Warnings: a stamp drawn, but not as asked. Each is said once on standard error and in the
// log's cause column, and the run ends with status 0 and its output written.
#include "RunTestUtil.h"
#include "support/ProgramRunner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using run_test::withArgs;

// A document of the given page widths (792 high); with part, its XMP metadata (compressed)
// claims PDF/A of that part, conformance B.
std::string pages(const std::vector<int>& widths, const std::string& part = std::string()) {
    qm_test::PdfBuilder pdf;
    std::string kids;
    for (size_t i = 0; i < widths.size(); ++i) {
        kids += std::to_string(10 + i) + " 0 R ";
    }
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R" +
                      std::string(part.empty() ? "" : " /Metadata 3 0 R") + " >>")
        .object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(widths.size()) +
                       " >>");
    if (!part.empty()) {
        pdf.stream(
            3, "/Type /Metadata /Subtype /XML",
            "<?xpacket begin=\"\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF><rdf:Description "
            "pdfaid:part=\"" +
                part + "\" pdfaid:conformance=\"B\"/></rdf:RDF></x:xmpmeta>",
            true);
    }
    for (size_t i = 0; i < widths.size(); ++i) {
        pdf.object(10 + static_cast<int>(i), "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " +
                                                 std::to_string(widths[i]) + " 792] >>");
    }
    pdf.classicXRef();
    return pdf.bytes();
}

size_t count(const std::string& text, const std::string& part) {
    size_t found = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

TEST(WarningsRunTest, EachSaidOnceWithTheOutputWritten) {
    struct WarningCase {
        const char* name;
        std::vector<std::string> args;
        std::string warning; // the whole line, or its start
        std::vector<std::string> outputs;
    };
    const std::vector<WarningCase> cases = {
        {"characters the built-in font lacks, on every page",
         {"-ia.pdf", "-oout.pdf", "-prefix", "Łódź – Ελλάδα "},
         "Warning: the built-in font Arial cannot draw 'Ł' U+0141, 'ź' U+017A, 'Ε' U+0395, "
         "'λ' U+03BB, 'ά' U+03AC, 'δ' U+03B4, 'α' U+03B1: drawn as '?'; give -embedfont <font "
         "file> with a font that has them",
         {"out.pdf"}},
        {"a stamp longer than its page: the first such page is named",
         {"-inarrow.pdf", "-oout.pdf", "-prefix", "A legend that is longer than a narrow page "},
         "Warning: the stamp is 2",
         {"out.pdf"}},
        {"an -align word that is none of the four",
         {"-ia.pdf", "-oout.pdf", "-align", "middle"},
         "Warning: -align 'middle' is not left, center, centre or right: the text is aligned "
         "right",
         {"out.pdf"}},
        {"the same input twice in a list",
         {"-itwice.txt", "-fout", "-rename", "[FILETITLE]_[PAGESTART].pdf", "-import", "count.txt",
          "-export", "count.txt"},
         "Warning: 'a.pdf' is listed again on line 2 (first on line 1): it is stamped again",
         {"out/a_1.pdf", "out/a_4.pdf"}},
        {"PDF/A with a font that is not embedded",
         {"-ipdfa.pdf", "-oout.pdf"},
         "Warning: 'pdfa.pdf' is PDF/A-1B and the stamp's font is not embedded: the output no "
         "longer conforms to PDF/A-1B: give -embedfont",
         {"out.pdf"}},
        {"PDF/A-1 with -opacity below 100",
         {"-ipdfa.pdf", "-oout.pdf", "-opacity50"},
         "Warning: 'pdfa.pdf' is PDF/A-1B and -opacity below 100 draws with transparency, which "
         "PDF/A-1 does not allow: the output no longer conforms to PDF/A-1B",
         {"out.pdf"}},
        {"standard input named as typed, not as its copy",
         {"-i-", "-oout.pdf"},
         "Warning: '-' is PDF/A-1B and the stamp's font is not embedded",
         {"out.pdf"}},
        {"a text-lines run names its input in every pass",
         {"-inarrow.pdf", "-oout.pdf", "-textfile", "long.txt"},
         "Warning: the stamp is 1",
         {"out.pdf"}},
    };
    for (const WarningCase& c : cases) {
        TempDir folder;
        folder.write("a.pdf", pages({612, 612, 612}));
        folder.write("narrow.pdf", pages({612, 100, 100}));
        folder.write("pdfa.pdf", pages({612}, "1"));
        folder.write("twice.txt", "a.pdf\na.pdf\n");
        folder.write("count.txt", "1");
        folder.write("long.txt", "A legend longer than a narrow page\nA legend longer than a "
                                 "narrow page\n");
        // Standard input (-i-) is the PDF/A document.
        RunControl control;
        control.input = TempDir::read(folder.file("pdfa.pdf"));
        const ProgramResult result =
            runProgram(withArgs(c.args, {"-quiet", "-log", "log.csv"}), folder.path(), control);
        EXPECT_EQ(result.status, 0) << c.name << ": " << result.err;
        EXPECT_EQ(count(result.err, c.warning), 1u) << c.name << ": " << result.err;
        EXPECT_EQ(count(TempDir::read(folder.file("log.csv")), c.warning), 1u) << c.name;
        for (const std::string& output : c.outputs) {
            EXPECT_TRUE(std::filesystem::is_regular_file(folder.file(output))) << c.name << output;
        }
    }
    // The page named is the first too narrow in page order.
    TempDir folder;
    folder.write("narrow.pdf", pages({612, 100, 90}));
    const ProgramResult result = runProgram(
        {"-inarrow.pdf", "-oout.pdf", "-prefix", "A legend longer than a narrow page", "-quiet"},
        folder.path());
    EXPECT_NE(result.err.find("longer than page 2 of 'narrow.pdf' has room for (100 points)"),
              std::string::npos)
        << result.err;
    // Nothing to say: no warning at all.
    const ProgramResult plain =
        runProgram({"-inarrow.pdf", "-oplain.pdf", "-prefix", "P", "-align", "Centre", "-quiet"},
                   folder.path());
    EXPECT_EQ(plain.err, "");
    EXPECT_EQ(plain.status, 0);
}

} // namespace
