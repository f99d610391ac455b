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
    for (const Expected& e : {Expected{3, "aaa)\nendobj\n", false},
                              Expected{4, "abcd\nendstream\nendobj\n", true},
                              Expected{5, "wxyz\nendstream\nendobj\n", true},
                              Expected{6, "fff)\nendobj\n", false},
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
        {n + ".0", false},                          // not an integer
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
            EXPECT_NE(three.find(data + "\nendstream\nendobj"), std::string::npos) << c.lengthObject;
        } else {
            EXPECT_EQ(three.find("endstream"), std::string::npos) << c.lengthObject;
        }
    }
}

TEST(RawInput, ReadsFromManyBlocksInTurn) {
    // More blocks of the file than the input holds at once, read in an order that evicts them.
    constexpr size_t kBlock = 64 * 1024;
    std::string bytes;
    for (size_t i = 0; bytes.size() < 45 * kBlock; ++i) {
        bytes += static_cast<char>('A' + (i * 7 + i / kBlock) % 53);
    }
    TempDir folder;
    const std::string path = folder.write("many.bin", bytes);
    CRawInput input;
    ASSERT_TRUE(input.open(path));
    for (int round = 0; round < 3; ++round) {
        for (size_t k = 0; k < 45; ++k) {
            const size_t block = (k * 17 + static_cast<size_t>(round)) % 45;
            const size_t at = block * kBlock + (k * 131) % (kBlock - 64);
            std::string_view view;
            ASSERT_TRUE(input.view(at, 64, view));
            ASSERT_EQ(view, std::string_view(bytes).substr(at, 64)) << at;
            EXPECT_EQ(input.find(at, bytes.substr(at + 20, 6)), static_cast<int64_t>(at + 25))
                << at;
        }
    }
}

TEST(RawInput, ReadsViewsAndSearchesAcrossBlocks) {
    constexpr size_t kBlock = 256 * 1024;
    std::string bytes;
    for (size_t i = 0; bytes.size() < 5 * kBlock + 100; ++i) {
        bytes += static_cast<char>('a' + i % 23);
    }
    // Needles that end in one block and begin in the one before, and one inside a block.
    bytes.replace(kBlock - 3, 6, "endobj");
    bytes.replace(3 * kBlock - 1, 6, "stream");
    bytes.replace(4 * kBlock + 10, 6, "endobj");
    TempDir folder;
    const std::string path = folder.write("raw.bin", "JUNK" + bytes);
    CRawInput input;
    ASSERT_TRUE(input.open(path));
    input.setBase(4);
    EXPECT_EQ(input.size(), bytes.size());

    EXPECT_EQ(input.find(0, "endobj"), static_cast<int64_t>(kBlock - 3 + 5));
    EXPECT_EQ(input.find(kBlock, "endobj"), static_cast<int64_t>(4 * kBlock + 15));
    EXPECT_EQ(input.find(0, "stream"), static_cast<int64_t>(3 * kBlock + 4));
    // A limit below a match's last byte hides it.
    EXPECT_EQ(input.find(0, "stream", 3 * kBlock + 3), -1);
    EXPECT_EQ(input.find(0, "stream", 3 * kBlock + 4), static_cast<int64_t>(3 * kBlock + 4));

    // Reads in turns from blocks far apart, more of them than the input keeps.
    for (int round = 0; round < 2; ++round) {
        for (size_t at : {size_t{10}, 4 * kBlock + 7, kBlock - 20, 2 * kBlock + 5, 3 * kBlock - 3,
                          5 * kBlock + 50}) {
            std::string copy;
            ASSERT_TRUE(input.read(at, 40, copy));
            EXPECT_EQ(copy, bytes.substr(at, 40)) << at;
            std::string_view view;
            ASSERT_TRUE(input.view(at, 40, view));
            EXPECT_EQ(view, bytes.substr(at, 40)) << at;
            ASSERT_TRUE(input.piece(at, 40, view));
            EXPECT_EQ(view, bytes.substr(at, view.size())) << at;
            EXPECT_GT(view.size(), 0u);
        }
    }
    // A piece stops at the end of its block; a view does not.
    std::string_view view;
    ASSERT_TRUE(input.piece(kBlock - 4 - 10, 100, view));
    EXPECT_EQ(view.size(), 10u);
    ASSERT_TRUE(input.view(kBlock - 4 - 10, 100, view));
    EXPECT_EQ(view, bytes.substr(kBlock - 14, 100));
    // The end of the input.
    ASSERT_TRUE(input.view(bytes.size() - 5, 100, view));
    EXPECT_EQ(view, bytes.substr(bytes.size() - 5));
    EXPECT_FALSE(input.piece(bytes.size(), 10, view));
    EXPECT_FALSE(input.view(bytes.size() + 1, 10, view));
}
