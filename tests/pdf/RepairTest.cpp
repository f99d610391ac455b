// The table rebuilt from the whole file: which definition of each object is found, and where
// the trailer and the catalog come from.

#include "ReaderTestUtil.h"

#include <functional>

namespace {

using qm_test::PdfBuilder;
using reader_test::basicObjects;
using reader_test::fetch;
using reader_test::OpenedFile;

struct RepairRow {
    const char* name;
    std::function<std::string()> bytes;
    int object;       // fetched after the repair
    const char* text; // its text (a string object), "" for a dictionary
    int root;         // the catalog found
};

// Files without any cross-reference data: only objects (and what the row adds).
std::string withoutTable(PdfBuilder& pdf) {
    return pdf.bytes();
}

const RepairRow kRows[] = {
    {"the last definition of a number wins",
     [] {
         PdfBuilder pdf;
         basicObjects(pdf).object(4, "(old)").object(4, "(new)");
         return withoutTable(pdf);
     },
     4, "new", 1},
    {"an object stream's member, and a later plain definition over it",
     [] {
         PdfBuilder pdf;
         basicObjects(pdf).object(5, "(plain before)");
         pdf.compressed(4, "(member)").compressed(5, "(member five)").objectStream(9);
         pdf.object(4, "(plain after)");
         return withoutTable(pdf);
     },
     5, "member five", 1},
    {"a plain definition after the object stream wins",
     [] {
         PdfBuilder pdf;
         basicObjects(pdf).compressed(4, "(member)").objectStream(9);
         pdf.object(4, "(plain after)");
         return withoutTable(pdf);
     },
     4, "plain after", 1},
    {"an object stream numbered past what the table can hold is passed over",
     [] {
         PdfBuilder pdf;
         basicObjects(pdf).object(4, "(plain)");
         pdf.compressed(4, "(member)").objectStream(9000000);
         return withoutTable(pdf);
     },
     4, "plain", 1},
    {"a header inside a string or a stream's data is none",
     [] {
         PdfBuilder pdf;
         basicObjects(pdf).object(4, "(text\n5 0 obj (fake) endobj)");
         pdf.stream(6, "", "7 0 obj (fake) endobj");
         pdf.object(5, "(real)");
         return withoutTable(pdf);
     },
     5, "real", 1},
    {"an object without endobj ends at the next header",
     [] {
         PdfBuilder pdf;
         basicObjects(pdf).raw("4 0 obj\n(four)\n\n5 0 obj\n(five)\nendobj\n");
         return withoutTable(pdf);
     },
     5, "five", 1},
    {"a stream with a wrong /Length is passed by its endstream",
     [] {
         PdfBuilder pdf;
         basicObjects(pdf).raw("4 0 obj\n<< /Length 2 >>\nstream\n5 0 obj (x) endobj\n"
                               "endstream\nendobj\n");
         pdf.object(5, "(after the stream)");
         return withoutTable(pdf);
     },
     5, "after the stream", 1},
    {"/Root from the last trailer",
     [] {
         PdfBuilder pdf;
         basicObjects(pdf).object(7, "<< /Type /Catalog /Pages 2 0 R >>");
         pdf.raw("trailer\n<< /Root 1 0 R >>\n");
         return withoutTable(pdf);
     },
     1, "", 1},
    {"/Root from the last catalog when no trailer names one",
     [] {
         PdfBuilder pdf;
         basicObjects(pdf).object(7, "<< /Type /Catalog /Pages 2 0 R >>");
         pdf.raw("trailer\n<< /Root 99 0 R >>\n");
         return withoutTable(pdf);
     },
     7, "", 7},
    {"a catalog inside an object stream",
     [] {
         PdfBuilder pdf;
         pdf.compressed(1, "<< /Type /Catalog /Pages 2 0 R >>").objectStream(9);
         pdf.object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
         return withoutTable(pdf);
     },
     1, "", 1},
    {"a cross-reference stream's dictionary is the trailer",
     [] {
         PdfBuilder pdf;
         basicObjects(pdf).object(7, "<< /Type /Catalog /Pages 2 0 R >>");
         pdf.streamXRef({.trailerExtra = "", .root = 7});
         std::string bytes = pdf.bytes();
         bytes.resize(bytes.rfind("startxref"));
         return bytes;
     },
     7, "", 7},
};

TEST(Repair, EachDefinitionIsFoundAsViewersFindIt) {
    for (const RepairRow& row : kRows) {
        SCOPED_TRACE(row.name);
        OpenedFile file(row.bytes());
        CPdfXRef& xref = file.open();
        EXPECT_TRUE(xref.repaired());
        EXPECT_EQ(xref.root().number, row.root);
        const CPdfElement object = fetch(xref, row.object);
        if (std::string(row.text).empty()) {
            EXPECT_TRUE(object.is(ElementKind::Dictionary));
        } else {
            EXPECT_EQ(object.getText(), row.text);
        }
    }
}

// A file too large to be read through its mapping alone is read in blocks of 64 KiB: headers
// that the blocks' ends cut at every place are found, and a word that only begins with "obj"
// at a block's end is no header.
TEST(Repair, HeadersAreFoundWhereverTheBlocksOfALargeFileCutThem) {
    constexpr size_t kBlock = 64 * 1024;
    constexpr int kFirst = 10;
    constexpr int kCount = 270; // past 16 MiB
    qm_test::PdfBuilder pdf;
    basicObjects(pdf).object(9, "(nine)");
    std::string bytes = withoutTable(pdf);
    auto padTo = [&bytes](size_t at) {
        ASSERT_GE(at, bytes.size() + 2);
        bytes += '%';
        bytes.append(at - bytes.size() - 1, 'x');
        bytes += '\n';
    };
    for (int i = 0; i < kCount; ++i) {
        const size_t boundary = (static_cast<size_t>(i) + 1) * kBlock;
        if (i % 50 == 7) {
            // "9 0 objects" whose "obj" ends the block.
            padTo(boundary - 7);
            bytes += "9 0 objects\n";
            continue;
        }
        padTo(boundary - static_cast<size_t>(i % 48));
        const int number = kFirst + i;
        bytes += std::to_string(number) + " 0 obj\n(text " + std::to_string(number) + ")\nendobj\n";
    }
    ASSERT_GT(bytes.size(), size_t{16} << 20);
    OpenedFile file(bytes);
    CPdfXRef& xref = file.open();
    EXPECT_TRUE(xref.repaired());
    EXPECT_EQ(xref.root().number, 1);
    EXPECT_EQ(fetch(xref, 9).getText(), "nine");
    for (int i = 0; i < kCount; ++i) {
        if (i % 50 != 7) {
            const int number = kFirst + i;
            EXPECT_EQ(fetch(xref, number).getText(), "text " + std::to_string(number)) << number;
        }
    }
}

TEST(Repair, AFileWithoutACatalogIsRefusedWithBothCauses) {
    OpenedFile file("%PDF-1.4\n1 0 obj\n<< >>\nendobj\n");
    try {
        file.open();
        FAIL() << "opened";
    } catch (const CPdfException& e) {
        EXPECT_EQ(e.message(), "PDF file was damaged");
        EXPECT_NE(e.cause().find("startxref not found"), std::string::npos) << e.cause();
        EXPECT_NE(e.cause().find("found no catalog"), std::string::npos) << e.cause();
    }
}

// A protected file's /Encrypt stands where its writer put it, and the last trailer may not
// name it (a linearized file names it in its first page's trailer only): the repaired file is
// still protected, here by a key that the empty password does not open, and one whose
// encryption dictionary no trailer names is refused, never read as plain.
TEST(Repair, ProtectionIsFoundInEveryTrailerOrTheFileIsRefused) {
    constexpr std::string_view kSecurity =
        "<< /Filter /Standard /V 1 /R 2 /P -4 /O <00112233445566778899aabbccddeeff00112233445566"
        "778899aabbccddeeff> /U <ffeeddccbbaa99887766554433221100ffeeddccbbaa9988776655443322"
        "1100> >>";
    struct Row {
        const char* name;
        std::function<std::string()> bytes;
        const char* message;
        const char* cause;
    };
    const Row rows[] = {
        {"a classic trailer before the last one",
         [&] {
             PdfBuilder pdf;
             basicObjects(pdf).object(8, kSecurity);
             pdf.raw("trailer\n<< /Root 1 0 R /Encrypt 8 0 R /ID [<01> <01>] >>\n");
             pdf.object(4, "(later)").raw("trailer\n<< /Root 1 0 R >>\n");
             return withoutTable(pdf);
         },
         "PDF file needs a password: give it with -password", ""},
        {"a cross-reference stream before the last trailer",
         [&] {
             PdfBuilder pdf;
             basicObjects(pdf).object(8, kSecurity);
             pdf.streamXRef({.trailerExtra = "/Encrypt 8 0 R /ID [<01> <01>]"});
             std::string bytes = pdf.bytes();
             bytes.resize(bytes.rfind("startxref"));
             return bytes + "trailer\n<< /Root 1 0 R >>\n";
         },
         "PDF file needs a password: give it with -password", ""},
        {"an encryption dictionary that no trailer names",
         [&] {
             PdfBuilder pdf;
             basicObjects(pdf).object(8, kSecurity).raw("trailer\n<< /Root 1 0 R >>\n");
             return withoutTable(pdf);
         },
         "PDF file was damaged", "object 8 is an encryption dictionary"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OpenedFile file(row.bytes());
        try {
            file.open();
            ADD_FAILURE() << "opened as a plain file";
        } catch (const CPdfException& e) {
            EXPECT_EQ(e.message(), row.message);
            EXPECT_NE(e.cause().find(row.cause), std::string::npos) << e.cause();
        }
    }
}

} // namespace
