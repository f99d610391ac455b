// Every way a file is refused keeps its message and names what was found where in the cause, so
// that the cases can be told apart by the user and by these rows.

#include "ReaderTestUtil.h"
#include "pdf/Limits.h"
#include "support/ProgramRunner.h"

#include <functional>

namespace {

using qm_test::PdfBuilder;
using reader_test::basicObjects;

// How a row meets the fault: opening the document, fetching one object of it, or stamping it
// with the program (whose standard error shows "message: cause").
enum class Step { Open, Fetch, Stamp };

struct DamageRow {
    const char* name;
    std::function<std::string()> bytes;
    Step step;
    int object; // the object fetched (Step::Fetch)
    const char* message;
    const char* cause; // a distinctive part of the cause
};

// A file whose cross-reference section is the given text, written after the basic objects;
// startxref points at it.
std::string withSection(const std::string& section) {
    PdfBuilder pdf;
    basicObjects(pdf);
    const int64_t at = pdf.currentOffset();
    pdf.raw(section).startxref(at);
    return pdf.bytes();
}

// A file whose cross-reference stream has the given dictionary entries and data.
std::string withXRefStream(const std::string& entries, const std::string& data) {
    PdfBuilder pdf;
    basicObjects(pdf);
    const int64_t at = pdf.currentOffset();
    pdf.stream(4, "/Type /XRef /Root 1 0 R " + entries, data).startxref(at);
    return pdf.bytes();
}

std::string withObject(const std::string& body) {
    PdfBuilder pdf;
    basicObjects(pdf).object(4, body).classicXRef();
    return pdf.bytes();
}

const char* const kTableRows = "xref\n0 4\n0000000000 65535 f \n";

const DamageRow kRows[] = {
    {"no startxref", [] { return std::string("%PDF-1.4\n1 0 obj\n<< >>\nendobj\n"); }, Step::Open,
     0, "PDF file was damaged", "startxref not found"},
    {"no offset after startxref", [] { return std::string("%PDF-1.4\nstartxref\n0\n%%EOF\n"); },
     Step::Open, 0, "PDF file was damaged", "no offset greater than 0 after startxref"},
    {"no section at the offset", [] { return withSection("nothing\n"); }, Step::Open, 0,
     "Couldn't parse an xref", "no cross-reference table or stream at offset"},
    {"no /Root",
     [] {
         PdfBuilder pdf;
         basicObjects(pdf).classicXRef({.trailerExtra = "", .writeRoot = false});
         return pdf.bytes();
     },
     Step::Open, 0, "PDF file was damaged", "no /Root in the trailer"},
    {"negative /Prev",
     [] {
         PdfBuilder pdf;
         basicObjects(pdf).classicXRef({.trailerExtra = "/Prev -5", .writePrev = false});
         return pdf.bytes();
     },
     Step::Open, 0, "PDF file was damaged", "/Prev is negative (-5)"},
    {"bad table row", [] { return withSection(std::string(kTableRows) + "0000000009 0 x\n"); },
     Step::Open, 0, "Couldn't parse an xref table", "the row of object 1 is not an offset"},
    {"generation of an object in use",
     [] { return withSection(std::string(kTableRows) + "0000000009 70000 n \n"); }, Step::Open, 0,
     "Couldn't parse an xref table", "the row of object 1 gives generation 70000"},
    {"word instead of a subsection", [] { return withSection("xref\nobjects\n"); }, Step::Open, 0,
     "Couldn't parse an xref table", "'objects' where a subsection or the trailer begins"},
    {"subsection count past the 64-bit range",
     [] { return withSection("xref\n0 99999999999999999999\n"); }, Step::Open, 0,
     "PDF file was damaged", "rows from object 0 do not fit"},
    {"bad stream cross-reference: field width",
     [] { return withXRefStream("/Size 5 /W [1 9 1]", ""); }, Step::Open, 0, "PDF file was damaged",
     "field width 9 is outside 0 to 8"},
    {"bad stream cross-reference: row type",
     [] { return withXRefStream("/Size 1 /W [1 1 1]", std::string("\x03\x00\x00", 3)); },
     Step::Open, 0, "Wrong type of xref entry while reading xref stream section",
     "the row of object 0 has type 3"},
    {"bad stream cross-reference: no stream",
     [] {
         PdfBuilder pdf;
         basicObjects(pdf);
         const int64_t at = pdf.currentOffset();
         pdf.object(4, "<< /Type /XRef /Size 5 >>").startxref(at);
         return pdf.bytes();
     },
     Step::Open, 0, "Couldn't parse an xref stream", "is no stream with a dictionary"},
    {"/Length refers to its own stream",
     [] { return withObject("<< /Length 4 0 R >>\nstream\nabc\nendstream"); }, Step::Fetch, 4,
     "PDF file was damaged", "object 4 refers back to itself"},
    {"nesting past the depth cap", [] { return withObject(std::string(300, '[')); }, Step::Fetch, 4,
     "PDF file was damaged", "nested deeper than 256 levels"},
    {"chain of indirect lengths past the fetch limit",
     [] {
         PdfBuilder pdf;
         basicObjects(pdf);
         for (int n = 10; n < 10 + limits::kMaxFetchDepth + 5; ++n) {
             pdf.object(n,
                        "<< /Length " + std::to_string(n + 1) + " 0 R >>\nstream\nabc\nendstream");
         }
         pdf.object(10 + limits::kMaxFetchDepth + 5, "3").classicXRef();
         return pdf.bytes();
     },
     Step::Fetch, 10, "PDF file was damaged", "indirect objects nested deeper than 32 levels"},
    {"stream data without endstream",
     [] { return withObject("<< /Length 3 >>\nstream\nabcdef\nendstream"); }, Step::Fetch, 4,
     "Missing 'endstream'", "no endstream after the 3 bytes"},
    {"object outside the table", [] { return withObject("1"); }, Step::Fetch, 99,
     "Corrupted PDF file", "object 99 is outside the cross-reference table"},
    {"no /Pages in the catalog",
     [] {
         PdfBuilder pdf;
         pdf.object(1, "<< /Type /Catalog >>").classicXRef();
         return pdf.bytes();
     },
     Step::Stamp, 0, "PDF file was damaged", "no /Pages in the catalog (object 1)"},
    {"page tree root that is no dictionary",
     [] {
         PdfBuilder pdf;
         pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>").object(2, "[3 0 R]").classicXRef();
         return pdf.bytes();
     },
     Step::Stamp, 0, "PDF file was damaged",
     "the root of the page tree (object 2) is no dictionary"},
    {"the stderr line of a reader failure",
     [] { return std::string("%PDF-1.4\n1 0 obj\n<< >>\nendobj\n"); }, Step::Stamp, 0,
     "PDF file was damaged", "startxref not found"},
};

TEST(DamageCause, EachRefusalNamesWhatAndWhere) {
    for (const DamageRow& row : kRows) {
        SCOPED_TRACE(row.name);
        reader_test::OpenedFile file(row.bytes());
        if (row.step == Step::Stamp) {
            TempDir out;
            const ProgramResult run =
                runProgram({"-i" + file.path(), "-o" + out.file("out.pdf"), "-quiet"});
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.out.find("Stamp file issue"), 0u) << run.out;
            EXPECT_NE(run.err.find(std::string(row.message) + ": "), std::string::npos) << run.err;
            EXPECT_NE(run.err.find(row.cause), std::string::npos) << run.err;
            continue;
        }
        std::string message = "(no failure)";
        std::string cause;
        try {
            file.document().open(file.path());
            // A table that cannot be used is rebuilt from the whole file, for the same cause.
            if (file.document().getXRef()->repaired()) {
                message = file.document().getXRef()->repairMessage();
                cause = file.document().getXRef()->repairCause();
            }
            if (row.step == Step::Fetch) {
                reader_test::fetch(*file.document().getXRef(), row.object);
            }
        } catch (const CPdfException& e) {
            message = e.message();
            cause = e.cause();
        }
        EXPECT_EQ(message, row.message);
        EXPECT_NE(cause.find(row.cause), std::string::npos) << cause;
    }
}

} // namespace
