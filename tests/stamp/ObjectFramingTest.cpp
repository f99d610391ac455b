// Framing of input objects for the byte copy, and the raw input blocks it reads through: the
// search for the first "stream" or "endobj", the frames kept for the pass, and reads, views and
// searches that cross the input's blocks.

#include "pdf/CPdfDocument.h"
#include "stamp/CPdfStamp.h"
#include "stamp/CRawInput.h"
#include "support/PdfBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

// A job whose input is the built file, ready for findObjectExtent and getObjectText.
struct FramedInput {
    explicit FramedInput(const qmtest::PdfBuilder& pdf) {
        path = folder.write("in.pdf", pdf.bytes());
        job.document.open(path);
        job.xref = job.document.getXRef();
        job.inputEntries = &job.xref->entries();
        job.inputFile = std::make_unique<CRawInput>();
        EXPECT_TRUE(job.inputFile->open(path));
        job.inputFile->setBase(job.xref->base());
    }
    std::string text(int number) {
        std::string out;
        EXPECT_TRUE(job.getObjectText(number, out)) << number;
        return out;
    }
    TempDir folder;
    std::string path;
    CPdfStamp job;
};

} // namespace

TEST(ObjectFraming, StreamsPlainObjectsAndTheFramesKept) {
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
        // A /Length that does not lead to "endstream": the plain frame, up to the first endobj.
        .object(7, "<< /Length 2 >>\nstream\nabc endobj\nendstream")
        .classicXRef();
    FramedInput input(pdf);

    const std::string three = input.text(3);
    EXPECT_EQ(three.rfind("3 0 obj", 0), 0u);
    EXPECT_NE(three.find("(endobj) Tj ET\nendstream\nendobj"), std::string::npos) << three;

    const std::string four = input.text(4);
    EXPECT_NE(four.find(filler + "\nendstream\nendobj"), std::string::npos);

    const std::string six = input.text(6);
    EXPECT_NE(six.find("(mainstream) >>\nendobj"), std::string::npos) << six;
    CPdfStamp::ObjectExtent extent;
    ASSERT_TRUE(input.job.findObjectExtent(6, extent));
    EXPECT_FALSE(extent.isStream);

    const std::string seven = input.text(7);
    EXPECT_NE(seven.find("abc endobj"), std::string::npos);
    EXPECT_EQ(seven.find("endstream"), std::string::npos) << seven;
    ASSERT_TRUE(input.job.findObjectExtent(7, extent));
    EXPECT_TRUE(extent.isStream);

    // Frames asked for again, after more objects than the kept frames, are the same frames as
    // those of a job that frames each object once.
    for (int round = 0; round < 3; ++round) {
        for (int number : {3, 4, 5, 6, 7, 1, 2, 3}) {
            FramedInput fresh(pdf);
            CPdfStamp::ObjectExtent once;
            CPdfStamp::ObjectExtent again;
            ASSERT_TRUE(fresh.job.findObjectExtent(number, once)) << number;
            ASSERT_TRUE(input.job.findObjectExtent(number, again)) << number;
            EXPECT_EQ(again.start, once.start) << number;
            EXPECT_EQ(again.length, once.length) << number;
            EXPECT_EQ(again.isStream, once.isStream) << number;
        }
    }
    EXPECT_FALSE(input.job.findObjectExtent(0, extent));
    EXPECT_FALSE(input.job.findObjectExtent(99, extent));
}

TEST(ObjectFraming, KeywordsAcrossTheFirstSearchWindowAndTheInputBlocks) {
    qmtest::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
        // "3 0 obj\n" and 243 bytes put "endobj" across byte 256 of the object. A frame ends one
        // byte past "endobj".
        .object(3, "(" + std::string(241, 'a') + ")")
        // A dictionary of 243 bytes puts "stream" across byte 256.
        .object(4, "<< /Length 4 /P (" + std::string(222, 'p') + ") >>\nstream\nabcd\nendstream")
        // A dictionary longer than the first window.
        .object(5, "<< /Length 4 /P (" + std::string(600, 'q') + ") >>\nstream\nwxyz\nendstream");
    // Object 7 starts 100 bytes before the first 64 KiB block of the input ends.
    const int64_t filler = 65536 - 100 - pdf.currentOffset() - 18;
    ASSERT_GT(filler, 0);
    pdf.object(6, "(" + std::string(static_cast<size_t>(filler), 'f') + ")")
        .object(7, "<< /Length 200 >>\nstream\n" + std::string(200, 'z') + "\nendstream")
        .classicXRef();
    ASSERT_EQ(pdf.offsetOf(7), 65536 - 100);
    FramedInput input(pdf);
    struct Expected {
        int number;
        const char* ending;
        bool isStream;
    };
    for (const Expected& e :
         {Expected{3, "aaa)\nendobj\n", false}, Expected{4, "abcd\nendstream\nendobj\n", true},
          Expected{5, "wxyz\nendstream\nendobj\n", true}, Expected{6, "fff)\nendobj\n", false},
          Expected{7, "zzz\nendstream\nendobj\n", true}}) {
        const std::string text = input.text(e.number);
        EXPECT_EQ(text.rfind(std::to_string(e.number) + " 0 obj", 0), 0u) << e.number;
        ASSERT_GE(text.size(), std::strlen(e.ending)) << e.number;
        EXPECT_EQ(text.substr(text.size() - std::strlen(e.ending)), e.ending) << e.number;
        CPdfStamp::ObjectExtent extent;
        ASSERT_TRUE(input.job.findObjectExtent(e.number, extent));
        EXPECT_EQ(extent.isStream, e.isStream) << e.number;
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
        FramedInput input(pdf);
        const std::string three = input.text(3);
        if (c.framedByLength) {
            EXPECT_NE(three.find(data + "\nendstream\nendobj"), std::string::npos)
                << c.lengthObject;
        } else {
            EXPECT_EQ(three.find("endstream"), std::string::npos) << c.lengthObject;
        }
    }
}

TEST(ObjectFraming, KeywordsInStringsCommentsAndNamesDoNotEndAnObject) {
    struct Case {
        const char* what;
        std::string body;
        bool isStream;
    };
    const Case cases[] = {
        {"literal string", "<< /Title (the endobj word) >>", false},
        {"nested and escaped parentheses", "<< /T (a (b) \\) endobj \\( (c endobj) \\\\) /U 1 >>",
         false},
        {"string over lines", "[ (first\nendobj\nsecond) 7 ]", false},
        {"hex string", "<< /H <656e646f626a endobj> >>", false},
        {"comment", "<< /A 1 % endobj here\n/B 2 >>", false},
        {"comment ending in CR", "<< /A 1 % endobj\r/B 2 >>", false},
        {"name", "<< /endobj /streamed /Type /endobj >>", false},
        {"stream keyword in a string before the data",
         "<< /Length 17 /Note (stream endobj) >>\nstream\nBT (endobj) Tj ET\nendstream", true},
        // A string longer than the first search window, and one beyond the first block.
        {"long string", "(" + std::string(300, 'x') + " endobj " + std::string(300, 'y') + ")",
         false},
        {"string past a block", "(" + std::string(70000, 'z') + " endobj )", false},
    };
    for (const Case& c : cases) {
        qmtest::PdfBuilder pdf;
        pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
            .object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
            .object(3, c.body)
            .object(4, "(next)")
            .classicXRef();
        FramedInput input(pdf);
        EXPECT_EQ(input.text(3), "3 0 obj\n" + c.body + "\nendobj\n") << c.what;
        CPdfStamp::ObjectExtent extent;
        ASSERT_TRUE(input.job.findObjectExtent(3, extent)) << c.what;
        EXPECT_EQ(extent.isStream, c.isStream) << c.what;
    }
    // A string that is never closed runs into the next object's header: the object is framed
    // by its first "endobj" as plain bytes, not by one of the objects after it.
    qmtest::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
        .object(3, "<< /Title (open ( string >>")
        .object(4, "(closes) here )")
        .classicXRef();
    FramedInput input(pdf);
    EXPECT_EQ(input.text(3), "3 0 obj\n<< /Title (open ( string >>\nendobj\n");
}
