// Framing of input objects for the byte copy: the search for the first "stream" or "endobj",
// stream data framed by /Length, keywords inside strings, comments and names, and objects that
// cross the first search window and run on for far more.

#include "pdf/CPdfDocument.h"
#include "pdf/CPdfInputFile.h"
#include "pdf/CPdfObjectFraming.h"
#include "support/PdfBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

namespace {

// The bytes a byte copy writes for each object of the built file: its frame, and for a stream
// framed by its "endstream" the head with the /Length of that frame before the rest.
std::map<int, std::string> copiedObjects(const qmtest::PdfBuilder& pdf) {
    TempDir folder;
    CPdfDocument document;
    document.open(folder.write("in.pdf", pdf.bytes()));
    CPdfXRef& xref = *document.getXRef();
    CPdfInputFile& input = document.input();
    CPdfObjectFraming objects;
    objects.attach(input, xref);
    std::map<int, std::string> copied;
    for (size_t n = 1; n < xref.entries().size(); ++n) {
        const int32_t number = static_cast<int32_t>(n);
        ObjectExtent extent;
        if (xref.entries()[n].type != 1 || !objects.locateObject(number, extent)) {
            continue;
        }
        std::string text;
        if (extent.framedLength >= 0) {
            std::string rest;
            EXPECT_TRUE(objects.framedStreamHead(extent, text));
            EXPECT_TRUE(input.read(extent.keywordStart,
                                   extent.length - (extent.keywordStart - extent.start), rest));
            text += rest;
        } else {
            EXPECT_TRUE(objects.getObjectText(number, text));
        }
        copied[number] = text;
    }
    return copied;
}

} // namespace

TEST(ObjectFraming, StreamsAndPlainObjects) {
    const std::string filler(3000, 'x'); // beyond the first search window
    qmtest::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
        // "endobj" inside the data: the /Length frames the object past it.
        .stream(3, "", "BT (endobj) Tj ET")
        // Data longer than the first window, with an indirect /Length.
        .object(4, "<< /Length 5 0 R >>\nstream\n" + filler + "\nendstream")
        .object(5, "3000")
        // "stream" inside a string of the dictionary: not a stream keyword, the plain frame.
        .object(6, "<< /Title (mainstream) >>")
        // A /Length that does not lead to "endstream": framed by its "endstream", and written
        // with the /Length of that frame.
        .object(7, "<< /Length 2 >>\nstream\nabc endobj\nendstream")
        // The data after a CR LF and after a lone CR, framed by their /Length as written.
        .object(8, "<< /Length 4 >>\nstream\r\nabcd\nendstream")
        .object(9, "<< /Length 4 >>stream\rabcd\rendstream")
        .classicXRef();
    std::map<int, std::string> copied = copiedObjects(pdf);

    EXPECT_EQ(copied[3].rfind("3 0 obj", 0), 0u);
    EXPECT_NE(copied[3].find("(endobj) Tj ET\nendstream\nendobj"), std::string::npos) << copied[3];
    EXPECT_NE(copied[4].find(filler + "\nendstream\nendobj"), std::string::npos);
    EXPECT_EQ(copied[6], "6 0 obj\n<< /Title (mainstream) >>\nendobj\n");
    EXPECT_EQ(copied[7], "7 0 obj\n<< /Length 10 >>\nstream\nabc endobj\nendstream\nendobj\n");
    EXPECT_EQ(copied[8], "8 0 obj\n<< /Length 4 >>\nstream\r\nabcd\nendstream\nendobj\n");
    EXPECT_EQ(copied[9], "9 0 obj\n<< /Length 4 >>stream\rabcd\rendstream\nendobj\n");
}

TEST(ObjectFraming, KeywordsAcrossTheFirstSearchWindowAndFarBeyond) {
    qmtest::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
        // "3 0 obj\n" and 243 bytes put "endobj" across byte 256 of the object. A frame ends one
        // byte past "endobj".
        .object(3, '(' + std::string(241, 'a') + ")")
        // A dictionary of 243 bytes puts "stream" across byte 256.
        .object(4, "<< /Length 4 /P (" + std::string(222, 'p') + ") >>\nstream\nabcd\nendstream")
        // A dictionary longer than the first window.
        .object(5, "<< /Length 4 /P (" + std::string(600, 'q') + ") >>\nstream\nwxyz\nendstream");
    // Objects that run on for hundreds of kilobytes, with "endobj" inside the stream's data.
    const std::string seven = "<< /Length 400007 >>\nstream\n" + std::string(200000, 'z') +
                              "endobj\n" + std::string(200000, 'z') + "\nendstream";
    pdf.object(6, '(' + std::string(300000, 'f') + ")").object(7, seven);
    // White-space between "endstream" and "endobj" that puts "endobj" just inside, across and
    // past the end of the bytes read after the data, which holds an "endobj" of its own.
    const size_t spaces[] = {490, 497, 600};
    for (size_t i = 0; i < 3; ++i) {
        pdf.object(8 + static_cast<int>(i),
                   "<< /Length 6 >>\nstream\nendobj\nendstream" + std::string(spaces[i], ' '));
    }
    pdf.classicXRef();
    std::map<int, std::string> copied = copiedObjects(pdf);
    struct Expected {
        int number;
        const char* ending;
    };
    for (const Expected& e :
         {Expected{3, "aaa)\nendobj\n"}, Expected{4, "abcd\nendstream\nendobj\n"},
          Expected{5, "wxyz\nendstream\nendobj\n"}, Expected{6, "fff)\nendobj\n"},
          Expected{7, "zzz\nendstream\nendobj\n"}}) {
        const std::string& text = copied[e.number];
        EXPECT_EQ(text.rfind(std::to_string(e.number) + " 0 obj", 0), 0u) << e.number;
        ASSERT_GE(text.size(), std::strlen(e.ending)) << e.number;
        EXPECT_EQ(text.substr(text.size() - std::strlen(e.ending)), e.ending) << e.number;
    }
    EXPECT_EQ(copied[7], "7 0 obj\n" + seven + "\nendobj\n");
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(copied[8 + static_cast<int>(i)],
                  std::to_string(8 + i) + " 0 obj\n<< /Length 6 >>\nstream\nendobj\nendstream" +
                      std::string(spaces[i], ' ') + "\nendobj\n")
            << spaces[i];
    }
}

TEST(ObjectFraming, IndirectLengthsWrittenInAnyWay) {
    // The data holds "endobj": only a /Length that is read right frames the whole stream.
    const std::string data = "BT (endobj) Tj ET";
    struct Case {
        std::string lengthObject;
        bool framedByLength;
    };
    const std::string n = std::to_string(data.size());
    const Case cases[] = {
        {n, true},
        {"\n" + n + "\n", true},
        {"\t" + n, true},
        {"% the length\n" + n, true},
        {"0000000000" + n, true},
        {std::to_string(data.size() - 1), false}, // "endstream" does not follow the data
        {n + ".0", false},                        // not an integer
        {"(" + n + ")", false},
    };
    for (const Case& c : cases) {
        qmtest::PdfBuilder pdf;
        pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
            .object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
            .object(3, "<< /Length 4 0 R >>\nstream\n" + data + "\nendstream")
            .object(4, c.lengthObject)
            .classicXRef();
        const std::string three = copiedObjects(pdf)[3];
        if (c.framedByLength) {
            EXPECT_NE(three.find(data + "\nendstream\nendobj"), std::string::npos)
                << c.lengthObject;
        } else {
            // Framed by its "endstream", and written with the length of that frame.
            EXPECT_NE(
                three.find("<< /Length " + n + " >>\nstream\n" + data + "\nendstream\nendobj"),
                std::string::npos)
                << c.lengthObject << three;
        }
    }
}

TEST(ObjectFraming, KeywordsInStringsCommentsAndNamesDoNotEndAnObject) {
    struct Case {
        const char* what;
        std::string body;
    };
    const Case cases[] = {
        {"literal string", "<< /Title (the endobj word) >>"},
        {"nested and escaped parentheses", "<< /T (a (b) \\) endobj \\( (c endobj) \\\\) /U 1 >>"},
        {"string over lines", "[ (first\nendobj\nsecond) 7 ]"},
        {"hex string", "<< /H <656e646f626a endobj> >>"},
        {"comment", "<< /A 1 % endobj here\n/B 2 >>"},
        {"comment ending in CR", "<< /A 1 % endobj\r/B 2 >>"},
        {"name", "<< /endobj /streamed /Type /endobj >>"},
        {"stream keyword in a string before the data",
         "<< /Length 17 /Note (stream endobj) >>\nstream\nBT (endobj) Tj ET\nendstream"},
        // A string longer than the first search window, and one far longer.
        {"long string", "(" + std::string(300, 'x') + " endobj " + std::string(300, 'y') + ")"},
        {"very long string", "(" + std::string(300000, 'z') + " endobj )"},
    };
    for (const Case& c : cases) {
        qmtest::PdfBuilder pdf;
        pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
            .object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
            .object(3, c.body)
            .object(4, "(next)")
            .classicXRef();
        EXPECT_EQ(copiedObjects(pdf)[3], "3 0 obj\n" + c.body + "\nendobj\n") << c.what;
    }
    // A string that is never closed runs into the next object's header: the object is framed
    // by its first "endobj" as plain bytes, not by one of the objects after it.
    qmtest::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
        .object(3, "<< /Title (open ( string >>")
        .object(4, "(closes) here )")
        .classicXRef();
    EXPECT_EQ(copiedObjects(pdf)[3], "3 0 obj\n<< /Title (open ( string >>\nendobj\n");
}
