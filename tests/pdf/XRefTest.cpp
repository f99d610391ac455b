// Loading cross-reference data and fetching objects: tables, streams, updates, object streams.

#include "ReaderTestUtil.h"

using qm_test::PdfBuilder;
using namespace reader_test;

namespace {

PdfBuilder::Section streamSection(int predictor = 0, bool deflate = true) {
    PdfBuilder::Section s;
    s.predictor = predictor;
    s.deflate = deflate;
    return s;
}

} // namespace

TEST(Load, ClassicTableRowsAndTrailer) {
    PdfBuilder pdf;
    basicObjects(pdf)
        .object(4, "<< /Producer (test) >>")
        .classicXRef({.trailerExtra = "/Info 4 0 R"});
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_TRUE(file.document().isOpen());
    ASSERT_EQ(xref.entries().size(), 5u);
    EXPECT_EQ(xref.entries()[0].type, 0);
    EXPECT_EQ(xref.entries()[0].generation, 65535);
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(xref.entries()[n].type, 1);
        EXPECT_EQ(xref.entries()[n].offset, pdf.offsetOf(n));
    }
    EXPECT_EQ(xref.root().number, 1);
    EXPECT_EQ(xref.info().number, 4);
    EXPECT_EQ(xref.startxrefOffset(), pdf.lastXRefOffset());
    EXPECT_EQ(file.document().input().base(), 0u);
    // The trailer resolves references once loading is done.
    CPdfElement root;
    xref.trailer().getDictionary()->getEntry("Root", root);
    ASSERT_TRUE(root.is(ElementKind::Dictionary));
    CPdfElement type;
    root.getDictionary()->getEntry("Type", type);
    EXPECT_EQ(type.getText(), "Catalog");
}

TEST(Load, InfoMissingGivesZeroAndRootMustBeAReference) {
    PdfBuilder pdf;
    basicObjects(pdf).classicXRef();
    OpenedFile file(pdf);
    EXPECT_EQ(file.open().info().number, 0);

    PdfBuilder direct;
    basicObjects(direct).classicXRef(
        {.trailerExtra = "/Root << /Type /Catalog >>", .writeRoot = false});
    EXPECT_EQ(OpenedFile(direct).openError(), "PDF file was damaged");
    PdfBuilder none;
    basicObjects(none).classicXRef({.trailerExtra = "", .writeRoot = false});
    EXPECT_EQ(OpenedFile(none).openError(), "PDF file was damaged");
}

TEST(Load, JunkBeforeTheHeaderShiftsEveryOffset) {
    PdfBuilder pdf;
    pdf.prefix(std::string(100, 'J'));
    basicObjects(pdf).classicXRef();
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_EQ(file.document().input().base(), 100u);
    EXPECT_TRUE(fetch(xref, 3).is(ElementKind::Dictionary));
}

TEST(Load, HeaderAtOrAfter1018IsNotFound) {
    // At 1017 it is found; at 1018 it is not, and offsets then count from the start of the
    // file, which no longer fits this file: the objects are not where the table says.
    for (int junk : {1017, 1018}) {
        PdfBuilder pdf;
        pdf.prefix(std::string(static_cast<size_t>(junk), ' '));
        basicObjects(pdf).classicXRef();
        OpenedFile file(pdf);
        if (junk == 1017) {
            CPdfXRef& xref = file.open();
            EXPECT_EQ(file.document().input().base(), 1017u);
            EXPECT_TRUE(fetch(xref, 1).is(ElementKind::Dictionary));
        } else {
            EXPECT_NE(file.openError(), "");
        }
    }
}

TEST(Load, StartxrefSearch) {
    // A small file is searched whole; of two "startxref" the later one counts.
    PdfBuilder pdf;
    basicObjects(pdf).classicXRef();
    std::string bytes = pdf.bytes();
    ASSERT_LT(bytes.size(), 1023u);
    EXPECT_EQ(OpenedFile(bytes).openError(), "");
    std::string twice = bytes + "startxref\n999999\n%%EOF\n";
    EXPECT_EQ(OpenedFile(twice).openError(), "Couldn't parse an xref");
    std::string fixed = twice + "startxref\n" + std::to_string(pdf.lastXRefOffset()) + "\n%%EOF\n";
    EXPECT_EQ(OpenedFile(fixed).openError(), "");
    // Zero bytes in the tail count as spaces.
    std::string zeros = bytes.substr(0, bytes.rfind("startxref")) + "startxref" +
                        std::string("\0\0", 2) + std::to_string(pdf.lastXRefOffset()) + "\n%%EOF";
    EXPECT_EQ(OpenedFile(zeros).openError(), "");
    // "startxref" further than 1023 bytes from the end is not found.
    EXPECT_EQ(OpenedFile(bytes + std::string(1100, '\n')).openError(), "PDF file was damaged");
    std::string zero = bytes.substr(0, bytes.rfind("startxref")) + "startxref\n0\n%%EOF\n";
    EXPECT_EQ(OpenedFile(zero).openError(), "PDF file was damaged");
    EXPECT_EQ(OpenedFile("%PDF-1.4\nnothing here\n").openError(), "PDF file was damaged");
}

TEST(Load, CannotOpenAMissingFile) {
    CPdfDocument document;
    EXPECT_EQ(errorOf([&] { document.open("/nonexistent/folder/file.pdf"); }), "Can't open file");
    EXPECT_FALSE(document.isOpen());
}

TEST(Load, FailedOpenLeavesTheDocumentClosedAndReusable) {
    // No /Root, and no catalog in the file either.
    PdfBuilder bad;
    bad.object(1, "<< >>").classicXRef({.trailerExtra = "", .writeRoot = false});
    PdfBuilder good;
    basicObjects(good).classicXRef();
    OpenedFile badFile(bad);
    OpenedFile goodFile(good);
    CPdfDocument document;
    EXPECT_EQ(errorOf([&] { document.open(badFile.path()); }), "PDF file was damaged");
    EXPECT_FALSE(document.isOpen());
    EXPECT_EQ(document.getXRef(), nullptr);
    document.open(goodFile.path());
    EXPECT_TRUE(document.isOpen());
    document.close();
    EXPECT_FALSE(document.isOpen());
}

TEST(Load, SectionErrors) {
    EXPECT_EQ(sectionError("trailer << /Root 1 0 R >>\n"), "Couldn't parse an xref");
    EXPECT_EQ(sectionError("(xref)\n"), "Couldn't parse an xref");
    EXPECT_EQ(sectionError("7 0 R\n"), "Couldn't parse an xref");
    EXPECT_EQ(sectionError("7 (x)\n"), "Couldn't parse an xref stream");
    EXPECT_EQ(sectionError("7 0 endobj\n"), "Couldn't parse an xref stream");
    EXPECT_EQ(sectionError("7 0 obj << /Type /XRef >>\nendobj\n"), "Couldn't parse an xref stream");
    EXPECT_EQ(sectionError("7 0 obj << /Length 9 0 R >>\nstream\nab\nendstream\n"),
              "Couldn't parse an xref stream");
    EXPECT_EQ(sectionError("7 0 obj << /Length 2 /Filter /LZWDecode >>\nstream\nab\nendstream\n"),
              "Couldn't parse an xref stream");
    EXPECT_EQ(sectionError("7 0 obj << /Length 1 >>\nstream\nab\nendstream\n"),
              "Missing 'endstream'");
    EXPECT_EQ(sectionError("xref\n0 1\n0000000000 65535 f \ntrailer\n[/Root 1 0 R]\n"),
              "Trailer dictionary is wrong type");
    EXPECT_EQ(sectionError("xref\n0 1\n0000000000 65535 f \nstartxref\n"),
              "Couldn't parse an xref table");
    EXPECT_EQ(sectionError("xref\n0 2\n0000000000 65535 f \n0000000009 00000 x \ntrailer\n<<>>\n"),
              "Couldn't parse an xref table");
    EXPECT_EQ(sectionError("xref\n0 2\n0000000000 65535 f \ntrailer\n<<>>\n"),
              "Couldn't parse an xref table");
    EXPECT_EQ(sectionError("xref\n(0) 1\n"), "Couldn't parse an xref table");
    EXPECT_EQ(sectionError("xref\n0 /One\n"), "Couldn't parse an xref table");
    EXPECT_EQ(sectionError("xref\n-1 1\n0000000000 65535 f \ntrailer\n<< /Root 1 0 R >>\n"),
              "Couldn't parse an xref table");
}

TEST(Load, TableRowsNeedNotBeTwentyBytes) {
    PdfBuilder pdf;
    basicObjects(pdf);
    std::string table = "xref\n0 4\n0 65535 f\n" + std::to_string(pdf.offsetOf(1)) + " 0 n " +
                        std::to_string(pdf.offsetOf(2)) + "\r\n0 n\n" + "000" +
                        std::to_string(pdf.offsetOf(3)) + " 00000 n\n" +
                        "0 0\ntrailer << /Root 1 0 R /Size 4 >>\n";
    pdf.rawSection(table);
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_TRUE(fetch(xref, 3).is(ElementKind::Dictionary));
}

TEST(Load, IncrementalUpdateNewestRowAndTrailerWin) {
    for (int kind = 0; kind < 2; ++kind) {
        PdfBuilder pdf;
        basicObjects(pdf).object(4, "(old)");
        kind == 0 ? pdf.classicXRef() : pdf.streamXRef();
        pdf.object(4, "(new)").object(5, "(added)");
        kind == 0 ? pdf.classicXRef({.trailerExtra = "/Marker 1"})
                  : pdf.streamXRef({.trailerExtra = "/Marker 1"});
        OpenedFile file(pdf);
        CPdfXRef& xref = file.open();
        EXPECT_EQ(fetch(xref, 4).getText(), "new") << kind;
        EXPECT_EQ(fetch(xref, 5).getText(), "added") << kind;
        EXPECT_TRUE(fetch(xref, 2).is(ElementKind::Dictionary)) << kind;
        EXPECT_EQ(intEntry(xref.trailer(), "Marker"), 1) << kind;
    }
}

TEST(Load, MixedChainsLoad) {
    // A classic table whose Prev is a cross-reference stream, and the other way round.
    for (int newestClassic = 0; newestClassic < 2; ++newestClassic) {
        PdfBuilder pdf;
        basicObjects(pdf);
        newestClassic ? pdf.streamXRef() : pdf.classicXRef();
        pdf.object(4, "(update)");
        newestClassic ? pdf.classicXRef() : pdf.streamXRef();
        OpenedFile file(pdf);
        CPdfXRef& xref = file.open();
        EXPECT_EQ(fetch(xref, 4).getText(), "update");
        EXPECT_TRUE(fetch(xref, 3).is(ElementKind::Dictionary));
    }
}

TEST(Load, XRefStreamWidthsAndIndex) {
    // W [1 2 1] with Index [0 3 10 2]: rows 0 to 2 and 10 to 11.
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog >>")
        .object(2, "(two)")
        .object(10, "(ten)")
        .object(11, "(eleven)");
    pdf.rawXRefStream(12, "/Type /XRef /Size 12 /W [1 2 1] /Index [0 3 10 2] /Root 1 0 R",
                      freeRow() + fileRow(pdf, 1) + fileRow(pdf, 2) + fileRow(pdf, 10) +
                          fileRow(pdf, 11));
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    ASSERT_EQ(xref.entries().size(), 12u);
    EXPECT_EQ(xref.entries()[0].generation, 255);
    EXPECT_EQ(fetch(xref, 2).getText(), "two");
    EXPECT_EQ(fetch(xref, 10).getText(), "ten");
    EXPECT_EQ(fetch(xref, 11).getText(), "eleven");
    for (int n = 3; n < 10; ++n) {
        EXPECT_EQ(xref.entries()[n].offset, -1) << n;
        EXPECT_TRUE(fetch(xref, n).is(ElementKind::Null)) << n;
    }
}

TEST(Load, XRefStreamWithoutTypeFieldMakesEveryRowInUse) {
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog >>").object(2, "(two)");
    std::string data;
    for (int64_t offset : {int64_t(0), pdf.offsetOf(1), pdf.offsetOf(2)}) {
        data += PdfBuilder::xrefStreamRow(1, static_cast<uint64_t>(offset), 0, {0, 2, 0});
    }
    pdf.rawXRefStream(3, "/Type /XRef /Size 3 /W [0 2 0] /Root 1 0 R", data);
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(xref.entries()[n].type, 1) << n;
    }
    EXPECT_EQ(fetch(xref, 2).getText(), "two");
}

TEST(Load, XRefStreamPredictorRows) {
    PdfBuilder pdf;
    basicObjects(pdf).object(4, "(four)").streamXRef(streamSection(12));
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_EQ(fetch(xref, 4).getText(), "four");
    EXPECT_EQ(xref.entries()[4].offset, pdf.offsetOf(4));
}

TEST(Load, XRefStreamErrors) {
    EXPECT_EQ(xrefStreamError("/W [1 2 1] /Root 1 0 R"), "Size of xref Stream is wrong type");
    EXPECT_EQ(xrefStreamError("/Size 5 0 R /W [1 2 1] /Root 1 0 R"),
              "Size of xref Stream is wrong type");
    EXPECT_EQ(xrefStreamError("/Size 2 /Root 1 0 R"), "W item of xref Stream is wrong type");
    EXPECT_EQ(xrefStreamError("/Size 2 /W [1 2] /Root 1 0 R"),
              "W item of xref Stream is wrong length");
    EXPECT_EQ(xrefStreamError("/Size 2 /W [1 (2) 1] /Root 1 0 R"),
              "W item of xref Stream is wrong type");
    EXPECT_EQ(xrefStreamError("/Size 2 /W [1 2 1] /Index [0 (2)] /Root 1 0 R"),
              "Index item of xref Stream is wrong type");
    EXPECT_EQ(xrefStreamError("/Size 3 /W [1 2 1] /Root 1 0 R"),
              "Unexpected EOF while reading xref stream section");
    EXPECT_EQ(
        xrefStreamError("/Size 2 /W [1 2 1] /Root 1 0 R", std::string("\x03\0\0\0\0\0\0\0", 8)),
        "Wrong type of xref entry while reading xref stream section");
    // A trailing odd item of Index is ignored.
    EXPECT_EQ(xrefStreamError("/Size 2 /W [1 2 1] /Index [0 2 7] /Root 1 0 R"), "");
}

TEST(Load, GenerationsATableCannotNameAreRefusedInUseAndKeptInRangeWhenFree) {
    // Row 3 (the page) and row 4 (free) of a classic table, and row 3 of a stream.
    struct Case {
        std::string row3;
        std::string row4;
        std::string error;
    };
    const Case cases[] = {
        {"00000 n", "00000 f", ""},
        // A generation its object does not have: the table is rebuilt from the file.
        {"65535 n", "65535 f", "PDF file was damaged"},
        {"00000 n", "65535 f", ""},
        {"-0003 n", "00000 f", "Couldn't parse an xref table"},
        {"70000 n", "00000 f", "Couldn't parse an xref table"},
        {"2147483648 n", "00000 f", "Couldn't parse an xref table"},
        {"00000 n", "70000 f", ""},
        {"00000 n", "-0003 f", ""},
    };
    for (const Case& c : cases) {
        PdfBuilder pdf;
        basicObjects(pdf);
        std::string table = "xref\n0 5\n0000000000 65535 f \n";
        for (int n = 1; n <= 3; ++n) {
            char line[32];
            std::snprintf(line, sizeof line, "%010lld ", static_cast<long long>(pdf.offsetOf(n)));
            table += line + (n == 3 ? c.row3 : std::string("00000 n")) + " \n";
        }
        table += "0000000000 " + c.row4 + " \ntrailer << /Size 5 /Root 1 0 R >>\n";
        pdf.rawSection(table);
        OpenedFile file(pdf);
        ASSERT_EQ(file.openError(), c.error) << c.row3 << " / " << c.row4;
        if (c.error.empty()) {
            for (int n = 1; n <= 4; ++n) {
                const int generation = file.document().getXRef()->entries()[n].generation;
                EXPECT_TRUE(generation >= 0 && generation <= 65535) << c.row3 << " / " << c.row4;
            }
        }
    }
    // A cross-reference stream: the generation of an object in use, and of a free row.
    for (const uint32_t generation : {65535u, 65536u, 4294967293u}) {
        for (const int type : {1, 0}) {
            PdfBuilder pdf;
            basicObjects(pdf);
            auto row = [&pdf](int rowType, int number, uint32_t third) {
                const int64_t offset = number == 0 ? 0 : pdf.offsetOf(number);
                return PdfBuilder::xrefStreamRow(rowType, static_cast<uint64_t>(offset), third,
                                                 {1, 2, 4});
            };
            pdf.rawXRefStream(4, "/Type /XRef /Size 4 /W [1 2 4] /Root 1 0 R",
                              row(0, 0, 65535) + row(1, 1, 0) + row(1, 2, 0) +
                                  row(type, 3, generation));
            OpenedFile file(pdf);
            const bool refused = type == 1 && generation > 65535;
            // In use under 65535, which its object does not have: damage all the same.
            const char* mismatch = type == 1 ? "PDF file was damaged" : "";
            EXPECT_EQ(file.openError(),
                      refused ? "Wrong generation of xref entry while reading xref stream section"
                              : mismatch)
                << type << " " << generation;
            if (!refused) {
                EXPECT_LE(file.document().getXRef()->entries()[3].generation, 65535)
                    << type << " " << generation;
            }
        }
    }
}

TEST(Fetch, GenerationsFreeRowsAndRange) {
    PdfBuilder pdf;
    basicObjects(pdf).object(4, "(gen 3)", 3).classicXRef();
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_EQ(fetch(xref, 4, 3).getText(), "gen 3");
    EXPECT_TRUE(fetch(xref, 4, 0).is(ElementKind::Null));
    EXPECT_TRUE(fetch(xref, 0).is(ElementKind::Null)); // free row
    EXPECT_EQ(errorOf([&] { fetch(xref, -1); }), "Corrupted PDF file");
    EXPECT_EQ(errorOf([&] { fetch(xref, static_cast<int>(xref.entries().size())); }),
              "Corrupted PDF file");
}

TEST(Fetch, ObjectNotWhereTheRowSaysIsNull) {
    PdfBuilder pdf;
    basicObjects(pdf);
    pdf.raw("5 0 obj (five) endobj\n").object(4, "(four)");
    // Row 4 points at object 5's header.
    std::string table = "xref\n0 5\n0000000000 65535 f \n";
    for (int n = 1; n <= 3; ++n) {
        table += PdfBuilder::tableRow(pdf.offsetOf(n));
    }
    table += PdfBuilder::tableRow(pdf.offsetOf(4) - 22);
    pdf.rawSection(table + "trailer << /Root 1 0 R /Size 5 >>\n");
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_TRUE(fetch(xref, 4).is(ElementKind::Null));
    // A row that leads into the middle of an object is damage: the table is rebuilt from the
    // file, where object 4 is found.
    PdfBuilder inside;
    basicObjects(inside).object(4, "(four)");
    std::string rows = "xref\n0 5\n0000000000 65535 f \n";
    for (int n = 1; n <= 3; ++n) {
        rows += PdfBuilder::tableRow(inside.offsetOf(n));
    }
    rows += PdfBuilder::tableRow(inside.offsetOf(4) + 4);
    inside.rawSection(rows + "trailer << /Root 1 0 R /Size 5 >>\n");
    OpenedFile insideFile(inside);
    CPdfXRef& rebuilt = insideFile.open();
    EXPECT_TRUE(rebuilt.repaired());
    EXPECT_NE(rebuilt.repairCause().find("row of object 4"), std::string::npos)
        << rebuilt.repairCause();
    EXPECT_EQ(fetch(rebuilt, 4).getText(), "four");
}

// Every row in use must lead to a header of its object's generation, however the header is
// spaced; a word that only begins with "obj" is no header, and either fault has the table
// rebuilt.
TEST(Load, RowsAreCheckedAgainstTheHeadersTheyLeadTo) {
    struct Case {
        const char* object;
        bool repaired;
    };
    const Case cases[] = {
        {"4 0 obj (four) endobj\n", false},
        {"4 0 obj(four) endobj\n", false},
        {"4  0\r\nobj (four) endobj\n", false},
        {"04 0 obj (four) endobj\n", false},
        {"4 0 obj", false},
        {"4 0 objx (four) endobj\n", true},
        {"4 1 obj (four) endobj\n", true},
        {"4 0 ob (four) endobj\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.object);
        PdfBuilder pdf;
        basicObjects(pdf);
        const int64_t offset = pdf.currentOffset();
        pdf.raw(c.object).raw("\n");
        std::string table = "xref\n0 5\n0000000000 65535 f \n";
        for (int n = 1; n <= 3; ++n) {
            table += PdfBuilder::tableRow(pdf.offsetOf(n));
        }
        table += PdfBuilder::tableRow(offset);
        pdf.rawSection(table + "trailer << /Root 1 0 R /Size 5 >>\n");
        OpenedFile file(pdf);
        CPdfXRef& xref = file.open();
        EXPECT_EQ(xref.repaired(), c.repaired) << xref.repairCause();
        if (c.repaired) {
            EXPECT_NE(xref.repairCause().find("row of object 4"), std::string::npos)
                << xref.repairCause();
        }
    }
}

// The rows are checked in number order across the numbers that gain a digit, free rows (one, and
// a run of ten) and a row of another generation: only a header that differs from its row is
// found, wherever it is.
TEST(Load, EveryRowOfALongTableIsCheckedAgainstItsHeader) {
    constexpr int kObjects = 120;
    const int misplaced[] = {0, 9, 10, 11, 49, 51, 60, 61, 80, 99, 100, 101, 119};
    for (const int wrong : misplaced) {
        SCOPED_TRACE(wrong);
        PdfBuilder pdf;
        basicObjects(pdf);
        std::string table = "xref\n0 " + std::to_string(kObjects + 1) + "\n0000000000 65535 f \n";
        for (int n = 1; n <= 3; ++n) {
            table += PdfBuilder::tableRow(pdf.offsetOf(n));
        }
        for (int n = 4; n <= kObjects; ++n) {
            if (n == 50 || (n >= 70 && n < 80)) {
                table += PdfBuilder::tableRow(0, 1, 'f');
                continue;
            }
            // Object 60 is in use under generation 2, as its row says.
            const int generation = n == 60 ? 2 : 0;
            table += PdfBuilder::tableRow(pdf.currentOffset(), generation);
            const int written = n != wrong ? generation : generation == 0 ? 1 : 0;
            pdf.raw(std::to_string(n) + " " + std::to_string(written) + " obj (x) endobj\n");
        }
        pdf.rawSection(table + "trailer << /Root 1 0 R /Size " + std::to_string(kObjects + 1) +
                       " >>\n");
        OpenedFile file(pdf);
        CPdfXRef& xref = file.open();
        EXPECT_EQ(xref.repaired(), wrong != 0) << xref.repairCause();
        if (wrong != 0) {
            EXPECT_NE(xref.repairCause().find("row of object " + std::to_string(wrong) + " "),
                      std::string::npos)
                << xref.repairCause();
        }
    }
}

TEST(Fetch, StreamObjectsKeepTheirWindow) {
    PdfBuilder pdf;
    basicObjects(pdf)
        .stream(4, "/Kind /Plain", "raw data")
        .stream(5, "", std::string(5000, 'z'), true)
        .classicXRef();
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    CPdfElement plain = fetch(xref, 4);
    CPdfElement packed = fetch(xref, 5);
    ASSERT_TRUE(plain.is(ElementKind::Stream));
    ASSERT_TRUE(packed.is(ElementKind::Stream));
    // Reading one does not disturb the other (both read the same file).
    EXPECT_EQ(plain.getStream()->getChar(), 'r');
    EXPECT_EQ(readAll(packed.getStream()), std::string(5000, 'z'));
    EXPECT_EQ(readAll(plain.getStream()), "aw data");
    CPdfElement kind;
    plain.getStream()->getDict().getDictionary()->getEntry("Kind", kind);
    EXPECT_EQ(kind.getText(), "Plain");
}

TEST(Fetch, IndirectLengthIsResolved) {
    PdfBuilder pdf;
    basicObjects(pdf)
        .object(4, "<< /Length 5 0 R >>\nstream\nhello\nendstream")
        .object(5, "5")
        .classicXRef();
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    CPdfElement s = fetch(xref, 4);
    ASSERT_TRUE(s.is(ElementKind::Stream));
    EXPECT_EQ(readAll(s.getStream()), "hello");
}

TEST(ObjectStreams, MembersFetchAndTheirText) {
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .compressed(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .compressed(3, "<< /Type /Page /Parent 2 0 R >>")
        .compressed(4, "(text\\051)")
        .objectStream(5)
        .streamXRef();
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_EQ(xref.entries()[3].type, 2);
    EXPECT_EQ(xref.entries()[3].offset, 5);
    EXPECT_EQ(xref.entries()[3].generation, 1);
    EXPECT_EQ(intEntry(fetch(xref, 2), "Count"), 1);
    EXPECT_EQ(fetch(xref, 4).getText(), "text)");
    EXPECT_TRUE(fetch(xref, 3, 77).is(ElementKind::Dictionary)); // generation not compared
    EXPECT_EQ(memberText(xref, 3), "<< /Type /Page /Parent 2 0 R >>\n");
    EXPECT_EQ(memberText(xref, 4), "(text\\051)\n");
    EXPECT_FALSE(memberText(xref, 1)); // not in an object stream
    EXPECT_EQ(errorOf([&] { memberText(xref, 99); }), "Corrupted PDF file");
}

TEST(ObjectStreams, AlternatingStreamsGiveCorrectObjects) {
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    pdf.compressed(2, "(a2)").compressed(3, "(a3)").objectStream(4);
    pdf.compressed(5, "(b5)").compressed(6, "(b6)").objectStream(7, false);
    pdf.streamXRef();
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    const unsigned char* text = nullptr;
    size_t length = 0;
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(fetch(xref, 2).getText(), "a2");
        EXPECT_EQ(fetch(xref, 6).getText(), "b6");
        ASSERT_TRUE(xref.getCompressedObjectText(3, text, length));
        const std::string a3(reinterpret_cast<const char*>(text), length);
        EXPECT_EQ(fetch(xref, 5).getText(), "b5"); // another stream for fetches only
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(text), length), a3);
        EXPECT_EQ(a3, "(a3)\n");
        EXPECT_EQ(memberText(xref, 5), "(b5)\n");
    }
}

TEST(ObjectStreams, StreamsReadAgainInTheSameOrderGiveTheirOwnObjects) {
    // Object streams read twice in turn as the page walk and the copy read them, the first
    // stream's head between every two reads as a shared font would be: two of about 1.5 MiB
    // decoded, kept whole, then larger ones that only a slot holds, then smaller ones of which
    // the recently used set holds a few and drops the others.
    const std::vector<size_t> fillers = {1536 << 10, 1536 << 10, 1200 << 10, 1200 << 10, 300 << 10,
                                         300 << 10,  300 << 10,  300 << 10,  300 << 10,  300 << 10};
    const int streams = static_cast<int>(fillers.size());
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    for (int s = 0; s < streams; ++s) {
        const int first = 2 + 3 * s;
        pdf.compressed(first, "(head " + std::to_string(s) + ")");
        std::string filler(fillers[static_cast<size_t>(s)] + 2, 'x');
        filler.front() = '(';
        filler.back() = ')';
        pdf.compressed(first + 1, filler);
        pdf.objectStream(first + 2);
    }
    pdf.streamXRef();
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    for (int round = 0; round < 2; ++round) {
        for (int s = 0; s < streams; ++s) {
            SCOPED_TRACE("round " + std::to_string(round) + ", stream " + std::to_string(s));
            const int first = 2 + 3 * s;
            EXPECT_EQ(memberText(xref, first), "(head " + std::to_string(s) + ")\n");
            EXPECT_EQ(fetch(xref, 2).getText(), "head 0");
            EXPECT_EQ(fetch(xref, first + 1).getText().size(), fillers[static_cast<size_t>(s)]);
            EXPECT_EQ(fetch(xref, first).getText(), "head " + std::to_string(s));
        }
    }
}

TEST(ObjectStreams, HeaderAndMemberMismatchesGiveNull) {
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    // Header names 9 where the row says 2; member 3 is fine.
    std::string data = "9 0 3 6 (two) (three)";
    pdf.stream(4, "/Type /ObjStm /N 2 /First 8", data);
    // Object 5's index is beyond N.
    rowStream(pdf, 6, twoMemberStreamRows(pdf) + memberRow(4, 7));
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_TRUE(fetch(xref, 2).is(ElementKind::Null));
    EXPECT_EQ(fetch(xref, 3).getText(), "three");
    EXPECT_TRUE(fetch(xref, 5).is(ElementKind::Null));
    EXPECT_FALSE(memberText(xref, 2));
    EXPECT_FALSE(memberText(xref, 5));
    EXPECT_EQ(memberText(xref, 3), "(three)");
}

TEST(ObjectStreams, UnreadableObjectStreamsHoldNoObjects) {
    const char* dicts[] = {
        "/Type /ObjStm /First 4",      // no N
        "/Type /ObjStm /N 1",          // no First
        "/Type /ObjStm /N 0 /First 4", // N 0
        "/Type /ObjStm /N -1 /First 4",
        "/Type /ObjStm /N 1 /First -4",
        "/Type /ObjStm /N 1 /First 4 /Filter /LZWDecode",
        "/Type /ObjStm /N 100000000 /First 4",
        "/Type /ObjStm /N 1 /First 99999999",
    };
    for (const char* dict : dicts) {
        PdfBuilder pdf;
        pdf.object(1, "<< /Type /Catalog >>");
        pdf.stream(3, dict, "2 0 (two)");
        rowStream(pdf, 4, freeRow() + fileRow(pdf, 1) + memberRow(3, 0) + fileRow(pdf, 3));
        OpenedFile file(pdf);
        CPdfXRef& xref = file.open();
        EXPECT_TRUE(fetch(xref, 2).is(ElementKind::Null)) << dict;
        EXPECT_FALSE(memberText(xref, 2)) << dict;
    }
}

TEST(ObjectStreams, ObjectStreamNumberOutsideTheTable) {
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    rowStream(pdf, 3, freeRow() + fileRow(pdf, 1) + memberRow(0x7F00, 0));
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_EQ(errorOf([&] { fetch(xref, 2); }), "Corrupted PDF file");
}

TEST(ObjectStreams, StreamInsideAnObjectStreamHasNoData) {
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog >>")
        .compressed(2, "<< /Length 3 >>\nstream\nabc\nendstream")
        .compressed(3, "(after)")
        .objectStream(4)
        .streamXRef();
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_TRUE(fetch(xref, 2).is(ElementKind::Error));
    EXPECT_EQ(fetch(xref, 3).getText(), "after");
}

TEST(ObjectStreams, RowIndexNamingAnotherMemberFallsBackToTheHeader) {
    // The header lists the stream itself first, so every row's index is one too small (as a
    // real writer did): the object is found by its number in the header.
    PdfBuilder pdf;
    std::string header = "1 0 2 0 3 5 ";
    pdf.stream(1, "/Type /ObjStm /N 3 /First " + std::to_string(header.size()),
               header + "(two)(three)");
    rowStream(pdf, 4, freeRow() + fileRow(pdf, 1) + memberRow(1, 0) + memberRow(1, 1), 2);
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    EXPECT_EQ(fetch(xref, 2).getText(), "two");
    EXPECT_EQ(fetch(xref, 3).getText(), "three");
    EXPECT_EQ(memberText(xref, 2), "(two)");
}

TEST(ObjectStreams, HeadersWrittenInAnyWayGiveTheSameMembers) {
    // Header texts as writers lay them out, plain or with comments, other white-space and long
    // numbers, and two that end before their pairs do.
    struct Case {
        std::string header;
        bool readable;
    };
    const Case cases[] = {
        {"2 0 3 5 ", true},   {"2 0\r\n3 5\n", true},
        {"\n2 0\t3 5", true}, {"2 0 % members\n3 5 ", true},
        {"2\f0 3 5 ", true},  {"0000000002 0 3 0000000005 ", true},
        {"2 0 3 ", false},    {"2 0 ", false},
    };
    for (const Case& c : cases) {
        PdfBuilder pdf;
        pdf.object(1, "<< /Type /Catalog >>");
        pdf.stream(4, "/Type /ObjStm /N 2 /First " + std::to_string(c.header.size()),
                   c.header + "(two)(three)", true);
        rowStream(pdf, 5, twoMemberStreamRows(pdf));
        OpenedFile file(pdf);
        CPdfXRef& xref = file.open();
        if (!c.readable) {
            EXPECT_TRUE(fetch(xref, 3).is(ElementKind::Null)) << c.header;
            EXPECT_FALSE(memberText(xref, 3)) << c.header;
            continue;
        }
        EXPECT_EQ(fetch(xref, 2).getText(), "two") << c.header;
        EXPECT_EQ(fetch(xref, 3).getText(), "three") << c.header;
        EXPECT_EQ(memberText(xref, 3), "(three)") << c.header;
    }
}

TEST(ObjectStreams, LargeCompressedStreamKeepsEveryMember) {
    // Decoded data far beyond one piece of zlib output: members at its end are still whole.
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog >>");
    for (int n = 2; n < 1202; ++n) {
        pdf.compressed(n, "(member " + std::to_string(n) + " " + std::string(40, 'x') + ")");
    }
    pdf.objectStream(1202).streamXRef();
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    for (int n : {2, 600, 1201}) {
        EXPECT_EQ(fetch(xref, n).getText(),
                  "member " + std::to_string(n) + " " + std::string(40, 'x'));
    }
}
