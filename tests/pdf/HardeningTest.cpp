// Hostile and unusual files: hybrid tables, loops, depth, sizes from the file, encryption,
// offsets beyond 32 bits, and the memory a file can make the reader take.

#include "ReaderTestUtil.h"

#include "pdf/Limits.h"
#include "support/ProgramRunner.h"

#include <fstream>

using qm_test::PdfBuilder;
using namespace reader_test;

// --- Hybrid files: the classic trailer's XRefStm is read before Prev. ---

TEST(Hybrid, CompressedObjectsListedOnlyInXRefStmAreFound) {
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .compressed(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .compressed(3, "<< /Type /Page /Parent 2 0 R >>")
        .objectStream(4)
        .hybridXRef();
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_EQ(xref.entries()[2].type, 2);
    EXPECT_EQ(intEntry(fetch(xref, 2), "Count"), 1);
    EXPECT_TRUE(fetch(xref, 3).is(ElementKind::Dictionary));
    EXPECT_TRUE(memberText(xref, 3));
}

TEST(Hybrid, UpdateWithEmptyTableAndXRefStmBeforeOlderFullTable) {
    // The shape of files that a hybrid writer updates: the newest table is empty and its
    // XRefStm moves objects into an object stream; the older table still lists them in the file.
    PdfBuilder pdf;
    basicObjects(pdf).object(4, "(old four)").classicXRef();
    pdf.compressed(4, "(new four)").objectStream(5).hybridXRef();
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_EQ(xref.entries()[4].type, 2);
    EXPECT_EQ(fetch(xref, 4).getText(), "new four");
    EXPECT_TRUE(fetch(xref, 3).is(ElementKind::Dictionary));
}

TEST(Hybrid, XRefStmRowsDoNotReplaceRowsOfItsOwnTable) {
    PdfBuilder pdf;
    basicObjects(pdf).object(4, "(in the file)");
    pdf.compressed(9, "(only compressed)").objectStream(5);
    int64_t stmAt = pdf.currentOffset();
    // An xref stream that also claims object 4 is compressed (index 0 of stream 5).
    const std::string row = PdfBuilder::xrefStreamRow(2, 5, 0, {1, 4, 1});
    pdf.stream(6, "/Type /XRef /Size 10 /W [1 4 1] /Index [4 1 9 1]", row + row);
    std::string table = "xref\n0 7\n0000000000 65535 f \n";
    for (int n = 1; n <= 6; ++n) {
        table += PdfBuilder::tableRow(n == 6 ? stmAt : pdf.offsetOf(n));
    }
    pdf.rawSection(table + "trailer << /Size 10 /Root 1 0 R /XRefStm " + std::to_string(stmAt) +
                   " >>\n");
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_EQ(fetch(xref, 4).getText(), "in the file");
    EXPECT_EQ(fetch(xref, 9).getText(), "only compressed");
}

TEST(Hybrid, XRefStmThatIsNotAStreamOrIsIndirect) {
    PdfBuilder pdf;
    basicObjects(pdf);
    int64_t objAt = pdf.currentOffset();
    pdf.object(4, "(not a stream)");
    PdfBuilder::Section section;
    section.trailerExtra = "/XRefStm " + std::to_string(objAt);
    PdfBuilder copy = pdf;
    pdf.classicXRef(section);
    EXPECT_EQ(OpenedFile(pdf).openError(), "Couldn't parse an xref stream");
    section.trailerExtra = "/XRefStm 4 0 R";
    copy.classicXRef(section);
    EXPECT_EQ(OpenedFile(copy).openError(), "PDF file was damaged");
}

// --- Prev chains ---

TEST(PrevChain, ASectionNamingItselfStopsThere) {
    PdfBuilder pdf;
    basicObjects(pdf);
    int64_t at = pdf.currentOffset();
    pdf.classicXRef({.trailerExtra = "/Prev " + std::to_string(at), .writePrev = false});
    OpenedFile file(pdf);
    EXPECT_TRUE(fetch(file.open(), 3).is(ElementKind::Dictionary));
}

namespace {

// Sections A (oldest) .. newest, each with the automatic Prev to the one before, and A's Prev
// patched to name the newest: newest -> ... -> A -> newest.
std::string loopFile(int sections, bool asStream) {
    PdfBuilder pdf;
    basicObjects(pdf);
    PdfBuilder::Section first;
    first.trailerExtra = "/Prev 0000000000";
    first.writePrev = false;
    first.deflate = false;
    asStream ? pdf.streamXRef(first) : pdf.classicXRef(first);
    for (int k = 1; k < sections; ++k) {
        pdf.object(3 + k, "(object " + std::to_string(3 + k) + ")");
        asStream ? pdf.streamXRef() : pdf.classicXRef();
    }
    std::string bytes = pdf.bytes();
    size_t patch = bytes.find("/Prev 0000000000");
    char number[16];
    std::snprintf(number, sizeof number, "%010lld", static_cast<long long>(pdf.lastXRefOffset()));
    bytes.replace(patch + 6, 10, number);
    return bytes;
}

} // namespace

TEST(PrevChain, LoopsOfSectionsStopAtTheFirstSectionReadAgain) {
    for (bool asStream : {false, true}) {
        for (int sections : {2, 3}) {
            OpenedFile file(loopFile(sections, asStream));
            CPdfXRef& xref = file.open();
            EXPECT_TRUE(fetch(xref, 1).is(ElementKind::Dictionary)) << asStream << sections;
            EXPECT_EQ(fetch(xref, 4).getText(), "object 4") << asStream << sections;
        }
    }
}

TEST(PrevChain, IndirectOrNegativePrevIsRefused) {
    // An indirect Prev cannot be followed while the table is read; ignoring it would lose the
    // objects of older sections, so the file is refused.
    for (const char* prev : {"/Prev 4 0 R", "/Prev -20"}) {
        PdfBuilder pdf;
        basicObjects(pdf).classicXRef({.trailerExtra = prev, .writePrev = false});
        EXPECT_EQ(OpenedFile(pdf).openError(), "PDF file was damaged") << prev;
        PdfBuilder stream;
        basicObjects(stream).streamXRef({.trailerExtra = prev, .writePrev = false});
        EXPECT_EQ(OpenedFile(stream).openError(), "PDF file was damaged") << prev;
    }
    // A Prev that is no integer and no reference ends the chain, as it always did.
    PdfBuilder odd;
    basicObjects(odd).classicXRef({.trailerExtra = "/Prev (12)", .writePrev = false});
    EXPECT_EQ(OpenedFile(odd).openError(), "");
}

TEST(PrevChain, PrevBeyondTheFileIsAnError) {
    PdfBuilder pdf;
    basicObjects(pdf).classicXRef({.trailerExtra = "/Prev 99999999", .writePrev = false});
    EXPECT_EQ(OpenedFile(pdf).openError(), "Couldn't parse an xref");
}

// --- Depth ---

TEST(Depth, DeeplyNestedObjectThrowsInsteadOfOverflowingTheStack) {
    EXPECT_EQ(fetchError(std::string(200000, '[')), "PDF file was damaged");
}

TEST(Depth, IndirectLengthFilterOrParametersLeadingBackToTheStream) {
    for (const char* body :
         {"<< /Length 4 0 R >>\nstream\nabc\nendstream",
          "<< /Length 3 /Filter 4 0 R >>\nstream\nabc\nendstream",
          "<< /Length 3 /Filter /Fl /DecodeParms 4 0 R >>\nstream\nabc\nendstream"}) {
        EXPECT_EQ(fetchError(body), "PDF file was damaged") << body;
    }
}

TEST(Depth, LongChainsOfIndirectLengthsEndAtTheFetchLimit) {
    // Stream k's Length is stream k+1 (a stream is no length, so a short chain gives Error).
    auto chain = [](int count) {
        PdfBuilder pdf;
        basicObjects(pdf);
        for (int k = 0; k < count; ++k) {
            int n = 10 + k;
            pdf.object(n,
                       "<< /Length " + std::to_string(n + 1) + " 0 R >>\nstream\nabc\nendstream");
        }
        pdf.object(10 + count, "3");
        pdf.classicXRef();
        return pdf;
    };
    OpenedFile shortChain(chain(5));
    CPdfXRef& xref = shortChain.open();
    EXPECT_TRUE(fetch(xref, 10).is(ElementKind::Error));
    EXPECT_TRUE(fetch(xref, 14).is(ElementKind::Stream));
    OpenedFile longChain(chain(limits::kMaxFetchDepth + 5));
    CPdfXRef& deep = longChain.open();
    EXPECT_EQ(errorOf([&] { fetch(deep, 10); }), "PDF file was damaged");
}

TEST(Depth, NestedObjectsAtEveryFetchLevelFitTheStack) {
    // The worst the limits allow together: each stream of a chain of indirect lengths sits at
    // the deepest nesting level.
    PdfBuilder pdf;
    basicObjects(pdf);
    const int depth = limits::kMaxNestingDepth - 1;
    for (int k = 0; k < limits::kMaxFetchDepth + 2; ++k) {
        int n = 10 + k;
        pdf.object(n, std::string(depth, '[') + "<< /Length " + std::to_string(n + 1) +
                          " 0 R >>\nstream\nabc\nendstream" + std::string(depth, ']'));
    }
    pdf.classicXRef();
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_EQ(errorOf([&] { fetch(xref, 10); }), "PDF file was damaged");
}

TEST(Depth, ObjectStreamWhoseLengthIsOneOfItsMembers) {
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    std::string data = "2 0 3 ";
    data += "(two)";
    // Stream 3 holds member 2, and its Length is object 2: loading it needs itself.
    pdf.object(3,
               "<< /Type /ObjStm /N 1 /First 6 /Length 2 0 R >>\nstream\n" + data + "\nendstream");
    rowStream(pdf, 4, freeRow() + fileRow(pdf, 1) + memberRow(3, 0) + fileRow(pdf, 3));
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_EQ(errorOf([&] { fetch(xref, 2); }), "PDF file was damaged");
    EXPECT_EQ(errorOf([&] { memberText(xref, 2); }), "PDF file was damaged");
}

TEST(Depth, ObjectStreamThatIsItsOwnMember) {
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    // Row 2 says object 2 is inside object stream 2.
    rowStream(pdf, 3, freeRow() + fileRow(pdf, 1) + memberRow(2, 0));
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_EQ(errorOf([&] { fetch(xref, 2); }), "PDF file was damaged");
}

// --- Sizes from the file ---

TEST(Sizes, TableLargerThanTheFileCouldDescribeIsDamaged) {
    EXPECT_EQ(sectionError("xref\n0 100000000\n0000000000 65535 f \ntrailer << >>\n"),
              "PDF file was damaged");
    EXPECT_EQ(sectionError("xref\n2147483000 2000\n"), "PDF file was damaged");
    EXPECT_EQ(xrefStreamError("/Size 2147483647 /W [1 2 1] /Root 1 0 R"), "PDF file was damaged");
    EXPECT_EQ(xrefStreamError("/Size 8388608 /W [1 2 1] /Root 1 0 R"), "PDF file was damaged");
    EXPECT_EQ(xrefStreamError("/Size -1 /W [1 2 1] /Root 1 0 R"), "PDF file was damaged");
    EXPECT_EQ(xrefStreamError("/Size 2 /W [1 2 1] /Index [0 2000000000] /Root 1 0 R"),
              "PDF file was damaged");
    EXPECT_EQ(xrefStreamError("/Size 2 /W [1 2 1] /Index [2000000000 2000000000] /Root 1 0 R"),
              "PDF file was damaged");
    EXPECT_EQ(xrefStreamError("/Size 2 /W [1 2 1] /Index [-5 2] /Root 1 0 R"),
              "PDF file was damaged");
    // Ranges that together ask for more rows than allowed, each one small enough.
    std::string many = "/Size 2 /W [1 2 1] /Index [";
    for (int k = 0; k < 40; ++k) {
        many += "0 60000 ";
    }
    EXPECT_EQ(xrefStreamError(many + "] /Root 1 0 R"), "PDF file was damaged");
}

TEST(Sizes, RowLimitGrowsWithTheFile) {
    // Beyond the fixed minimum, one row is allowed for every few bytes of file.
    auto open = [](int64_t size, size_t padding) {
        PdfBuilder pdf;
        basicObjects(pdf).raw(std::string(padding, ' ') + "\n");
        pdf.rawXRefStream(
            4, "/Size " + std::to_string(size) + " /W [1 2 1] /Index [0 1] /Root 1 0 R", freeRow());
        std::string bytes = pdf.bytes();
        return std::make_pair(OpenedFile(bytes).openError(), static_cast<int64_t>(bytes.size()));
    };
    EXPECT_EQ(open(limits::kMinTableRows, 10).first, "");
    EXPECT_EQ(open(limits::kMinTableRows + 1, 10).first, "PDF file was damaged");
    const size_t padding =
        static_cast<size_t>(limits::kMinTableRows * limits::kFileBytesPerTableRow * 2);
    auto [fits, size] = open(limits::kMinTableRows * 2, padding);
    const int64_t allowed = size / limits::kFileBytesPerTableRow;
    ASSERT_GE(allowed, limits::kMinTableRows * 2);
    EXPECT_EQ(fits, "");
    EXPECT_EQ(open(allowed, padding).first, "");
    EXPECT_EQ(open(allowed + 1, padding).first, "PDF file was damaged");
}

TEST(Sizes, FieldWidths) {
    EXPECT_EQ(xrefStreamError("/Size 1 /W [1 9 1] /Root 1 0 R"), "PDF file was damaged");
    EXPECT_EQ(xrefStreamError("/Size 1 /W [1 -2 1] /Root 1 0 R"), "PDF file was damaged");
    EXPECT_EQ(xrefStreamError("/Size 1 /W [0 0 0] /Root 1 0 R"), "PDF file was damaged");
    EXPECT_EQ(xrefStreamError("/Size 1 /W [1 99999999999 1] /Root 1 0 R"), "PDF file was damaged");
}

TEST(Sizes, OffsetsBeyond32BitsAreKeptExactly) {
    // W [1 8 1]: an offset of 5 GiB is read as it is, and one past what a row holds stays past
    // any file; neither leads to its object in this file, which is then rebuilt from its bytes,
    // the cause naming the offset read.
    for (const uint64_t offset : {uint64_t{5} << 30, ~uint64_t{0}}) {
        PdfBuilder pdf;
        basicObjects(pdf);
        auto row = [](int type, uint64_t at, int generation) {
            return PdfBuilder::xrefStreamRow(type, at, static_cast<uint64_t>(generation),
                                             {1, 8, 1});
        };
        pdf.rawXRefStream(5, "/Type /XRef /Size 4 /W [1 8 1] /Root 1 0 R",
                          row(0, 0, 255) + row(1, static_cast<uint64_t>(pdf.offsetOf(1)), 0) +
                              row(1, offset, 0) +
                              row(1, static_cast<uint64_t>(pdf.offsetOf(3)), 0));
        OpenedFile file(pdf);
        CPdfXRef& xref = file.open();
        const int64_t kept =
            offset == ~uint64_t{0} ? XRefEntry::kMaxOffset : static_cast<int64_t>(offset);
        EXPECT_TRUE(xref.repaired());
        EXPECT_NE(xref.repairCause().find("object 2 (offset " + std::to_string(kept) + ")"),
                  std::string::npos)
            << xref.repairCause();
        EXPECT_TRUE(fetch(xref, 2).is(ElementKind::Dictionary));
    }
    // A classic row with ten digits beyond 32 bits, likewise.
    PdfBuilder classic;
    basicObjects(classic);
    std::string table = "xref\n0 5\n0000000000 65535 f \n";
    for (int n = 1; n <= 3; ++n) {
        table += PdfBuilder::tableRow(classic.offsetOf(n));
    }
    classic.rawSection(table + "9999999999 00000 n \ntrailer << /Root 1 0 R /Size 5 >>\n");
    OpenedFile classicFile(classic);
    CPdfXRef& classicXRef = classicFile.open();
    EXPECT_NE(classicXRef.repairCause().find("object 4 (offset 9999999999)"), std::string::npos)
        << classicXRef.repairCause();
    // The rebuilt table lists the objects the file has, which object 4 is not among.
    EXPECT_EQ(classicXRef.entries().size(), 4u);
}

TEST(Sizes, StreamLengthBeyondTheFileReadsNothing) {
    EXPECT_EQ(fetchError("<< /Length 2000000000 /Filter /FlateDecode >>\nstream\nxyz\nendstream"),
              "Missing 'endstream'");
    EXPECT_EQ(fetchError("<< /Length 99999999999999 >>\nstream\nxyz\nendstream"),
              "Missing 'endstream'");
}

TEST(Sizes, PredictorParametersOfAnXRefStream) {
    for (const char* parms :
         {"<< /Predictor 12 /Columns 0 >>", "<< /Predictor 12 /Columns -4 >>",
          "<< /Predictor 12 /Columns 2147483647 >>", "<< /Predictor 12 /Columns 4 /Colors 0 >>",
          "<< /Predictor 12 /Columns 4 /Colors 100000 >>",
          "<< /Predictor 12 /Columns 4 /BitsPerComponent 0 >>",
          "<< /Predictor 12 /Columns 4 /BitsPerComponent 64 >>"}) {
        std::string dict =
            std::string("/Size 1 /W [1 2 1] /Root 1 0 R /Filter /FlateDecode /DecodeParms ") +
            parms;
        PdfBuilder pdf;
        basicObjects(pdf);
        int64_t at = pdf.currentOffset();
        std::string packed = PdfBuilder::deflate(std::string(20, '\0'));
        pdf.object(4, "<< " + dict + " /Length " + std::to_string(packed.size()) + " >>\nstream\n" +
                          packed + "\nendstream");
        pdf.startxref(at);
        EXPECT_EQ(OpenedFile(pdf).openError(), "Couldn't parse an xref stream") << parms;
    }
}

TEST(Sizes, DecodedObjectStreamIsBoundedInMemory) {
    // 9 MB of decoded text from a few kilobytes of file: beyond what one object stream may
    // take, so its objects are not found (and nothing that large is held).
    const size_t big = static_cast<size_t>(limits::kMaxObjectStreamBytes) + 1000000;
    std::string header = "2 0 3 " + std::to_string(big + 5) + " ";
    std::string data = header + "(two)" + std::string(big, ' ') + "(three)";
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    pdf.stream(4, "/Type /ObjStm /N 2 /First " + std::to_string(header.size()), data, true);
    rowStream(pdf, 5, twoMemberStreamRows(pdf));
    ASSERT_LT(pdf.bytes().size(), 40000u);
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_TRUE(fetch(xref, 2).is(ElementKind::Null));
    EXPECT_FALSE(memberText(xref, 3));
}

TEST(Sizes, ObjectStreamOfMegabytesFromAFewKilobytesLoads) {
    // Real files do this (millions of nulls packed into 3 kB); a file of 10 kB may hold an
    // object stream of more than 9 MB.
    for (size_t size : {size_t{3000000}, size_t{9400000}}) {
        std::string big(size, 'x');
        PdfBuilder pdf;
        pdf.object(1, "<< /Type /Catalog >>")
            .compressed(2, "(" + big + ")")
            .compressed(3, "(small)")
            .objectStream(4)
            .streamXRef();
        ASSERT_LT(pdf.bytes().size(), 12000u);
        OpenedFile file(pdf);
        CPdfXRef& xref = file.open();
        EXPECT_EQ(fetch(xref, 2).getText(), big) << size;
        EXPECT_EQ(fetch(xref, 3).getText(), "small") << size;
    }
}

TEST(Sizes, MembersWithOffsetsOutOfOrderOrOutOfRange) {
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    std::string header = "2 8 3 0 5 -1 6 500 ";
    std::string data = header + "(three) (two)";
    pdf.stream(4, "/Type /ObjStm /N 4 /First " + std::to_string(header.size()), data);
    rowStream(pdf, 7, twoMemberStreamRows(pdf) + memberRow(4, 2) + memberRow(4, 3));
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    // A member ends where the next one starts: member 2 (at 8) would end at 0 and member 3
    // (at 0) at -1, so neither can be told apart from its neighbours: not found.
    EXPECT_TRUE(fetch(xref, 2).is(ElementKind::Null));
    EXPECT_TRUE(fetch(xref, 3).is(ElementKind::Null));
    EXPECT_TRUE(fetch(xref, 5).is(ElementKind::Null)); // negative offset
    EXPECT_TRUE(fetch(xref, 6).is(ElementKind::Null)); // beyond the data
    EXPECT_FALSE(memberText(xref, 2));
    EXPECT_FALSE(memberText(xref, 5));
    EXPECT_FALSE(memberText(xref, 6));
}

TEST(Sizes, MemberOffsetsNearTheLargestIntegerAreNotFound) {
    // /First and the offset of member 3 are summed: near 2^63 the sum does not fit.
    struct Case {
        const char* first;
        const char* header;
    };
    const Case cases[] = {
        {"9223372036854775800", "2 0 3 100 "},
        {"10", "2 0 3 9223372036854775800 "},
        {"9223372036854775807", "2 9223372036854775807 3 9223372036854775807 "},
    };
    for (const Case& c : cases) {
        PdfBuilder pdf;
        pdf.object(1, "<< /Type /Catalog >>");
        pdf.stream(4, std::string("/Type /ObjStm /N 2 /First ") + c.first,
                   std::string(c.header) + "(two) (three)");
        rowStream(pdf, 5, twoMemberStreamRows(pdf));
        OpenedFile file(pdf);
        CPdfXRef& xref = file.open();
        EXPECT_TRUE(fetch(xref, 3).is(ElementKind::Null)) << c.first;
        EXPECT_FALSE(memberText(xref, 3)) << c.first;
    }
}

// --- Encryption ---

// An /Encrypt dictionary, indirect or direct, that names no revision in use is refused with
// what it is; /Encrypt null is no encryption.
TEST(Encrypt, IndirectOrDirectEncryptIsRefused) {
    for (const char* encrypt : {"/Encrypt 4 0 R", "/Encrypt << /Filter /Standard /V 2 >>"}) {
        PdfBuilder pdf;
        basicObjects(pdf)
            .object(4, "<< /Filter /Standard >>")
            .classicXRef({.trailerExtra = encrypt});
        EXPECT_EQ(OpenedFile(pdf).openError().rfind("PDF file is protected with a revision", 0), 0u)
            << encrypt;
        PdfBuilder stream;
        basicObjects(stream)
            .object(4, "<< /Filter /Standard >>")
            .streamXRef({.trailerExtra = encrypt});
        EXPECT_EQ(OpenedFile(stream).openError().rfind("PDF file is protected with a revision", 0),
                  0u)
            << encrypt;
    }
    PdfBuilder nullEncrypt;
    basicObjects(nullEncrypt).classicXRef({.trailerExtra = "/Encrypt null"});
    EXPECT_EQ(OpenedFile(nullEncrypt).openError(), "");
}

// --- End of input inside objects of a file ---

TEST(Truncation, ObjectCutOffByTheEndOfTheFileIsAnError) {
    // The table names object 4 after "%%EOF", where the file ends inside its dictionary.
    PdfBuilder pdf;
    basicObjects(pdf);
    std::string bytes = pdf.bytes();
    const int64_t tableAt = static_cast<int64_t>(bytes.size());
    bytes += "xref\n0 5\n0000000000 65535 f \n";
    for (int n = 1; n <= 3; ++n) {
        bytes += PdfBuilder::tableRow(pdf.offsetOf(n));
    }
    bytes += "@@@@@@@@@@ 00000 n \ntrailer << /Root 1 0 R /Size 5 >>\nstartxref\n" +
             std::to_string(tableAt) + "\n%%EOF\n";
    char offset[16];
    std::snprintf(offset, sizeof offset, "%010lld", static_cast<long long>(bytes.size()));
    bytes.replace(bytes.find("@@@@@@@@@@"), 10, offset);
    bytes += "4 0 obj\n<< /Kids [1 0 R 2 0 R";
    OpenedFile file(bytes);
    CPdfXRef& xref = file.open();
    EXPECT_TRUE(fetch(xref, 4).is(ElementKind::Error));
}

// --- Memory a file can make a run take ---

TEST(Memory, ASparseFileClaimingMillionsOfRowsAndPagesTakesMemoryByItsRows) {
    // 60 kB of data in a sparse file of 34 MB: a cross-reference stream of 8,388,607 rows, as
    // many as PDF allows and the file's size may have, and a /Count of 8,388,600 for the one
    // page there is. A row takes 16 bytes (8 in the input's table, 8 in the output's) and a
    // bit or two besides; nothing is sized by /Count.
    constexpr int64_t kRows = limits::kMaxObjectCount;
    const int64_t streamAt = kRows * limits::kFileBytesPerTableRow;
    TempDir dir;
    const std::string input = dir.file("sparse.pdf");
    {
        PdfBuilder pdf;
        pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
            .object(2, "<< /Type /Pages /Kids [3 0 R] /Count 8388600 >>")
            .object(3, "<< /Type /Page /Parent 2 0 R /Resources << >> >>");
        std::string rows(static_cast<size_t>(kRows) * 7, '\0'); // /W [1 4 2]
        auto row = [&rows](int number, int type, int64_t second, int third) {
            char* at = rows.data() + 7 * number;
            at[0] = static_cast<char>(type);
            for (int k = 0; k < 4; ++k) {
                at[1 + k] = static_cast<char>((second >> (8 * (3 - k))) & 0xFF);
            }
            at[5] = static_cast<char>(third >> 8);
            at[6] = static_cast<char>(third & 0xFF);
        };
        row(0, 0, 0, 65535);
        for (int n = 1; n <= 3; ++n) {
            row(n, 1, pdf.offsetOf(n), 0);
        }
        row(4, 1, streamAt, 0);
        const std::string packed = PdfBuilder::deflate(rows);
        const std::string tail = "4 0 obj\n<< /Type /XRef /Size " + std::to_string(kRows) +
                                 " /W [1 4 2] /Root 1 0 R /Filter /FlateDecode /Length " +
                                 std::to_string(packed.size()) + " >>\nstream\n" + packed +
                                 "\nendstream\nendobj\nstartxref\n" + std::to_string(streamAt) +
                                 "\n%%EOF\n";
        ASSERT_LT(pdf.bytes().size() + tail.size(), 64000u);
        std::ofstream file(input, std::ios::binary);
        file << pdf.bytes();
        file.seekp(streamAt); // the hole between reads as zeros and takes no disk space
        file << tail;
        ASSERT_TRUE(file.good());
    }
    const ProgramResult run = runProgram({"-i" + input, "-o" + dir.file("out.pdf"), "-quiet"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    // The address sanitizer's allocator keeps a header and a guard zone beside every block and
    // its runtime takes memory of its own: the bound there is looser, but still far below the
    // hundreds of MiB that per-row objects or a page table sized by /Count would take.
#ifdef __SANITIZE_ADDRESS__
    constexpr long kBytesPerRow = 24;
    constexpr long kBaseKiB = 64 * 1024;
#else
    constexpr long kBytesPerRow = 17;
    constexpr long kBaseKiB = 24 * 1024;
#endif
    const long boundKiB = static_cast<long>(kRows) * kBytesPerRow / 1024 + kBaseKiB;
    EXPECT_LT(run.peakKiB, boundKiB) << "KiB at the peak of the run";
}
