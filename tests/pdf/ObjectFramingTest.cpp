// Framing of input objects for the byte copy: the search for the first "stream" or "endobj",
// stream data framed by /Length, keywords inside strings, comments and names, and objects that
// cross the first search window and run on for far more.

#include "pdf/CPdfDocument.h"
#include "pdf/CPdfInputFile.h"
#include "pdf/CPdfObjectFraming.h"
#include "pdf/PdfSyntax.h"
#include "support/PdfBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A literal string object of the text. Built by appending: GCC 12 warns wrongly (-Wrestrict) of
// "(" + text.
std::string literal(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '(';
    out += text;
    out += ')';
    return out;
}

// The bytes a byte copy writes for each object of the built file: its frame, and for a stream
// framed by its "endstream" the head with the /Length of that frame before the rest.
std::map<int, std::string> copiedObjects(const qm_test::PdfBuilder& pdf) {
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
        ObjectFrame frame;
        if (xref.entries()[n].type != 1 || !objects.locateObject(number, frame)) {
            continue;
        }
        std::string text;
        if (frame.framedLength >= 0) {
            std::string rest;
            EXPECT_TRUE(objects.framedStreamHead(frame, text));
            EXPECT_TRUE(input.read(frame.keywordStart,
                                   frame.length - (frame.keywordStart - frame.start), rest));
            text += rest;
        } else {
            EXPECT_TRUE(objects.getObjectText(number, text));
        }
        copied[number] = text;
    }
    return copied;
}

// Locates the object through the framing of reference and the framing judged: both locate it,
// or neither, at the same frame. Whether it was located.
bool locatesAlike(CPdfObjectFraming& reference, CPdfObjectFraming& judged, int32_t number) {
    ObjectFrame want;
    ObjectFrame got;
    const bool wanted = reference.locateObject(number, want);
    EXPECT_EQ(judged.locateObject(number, got), wanted) << number;
    EXPECT_EQ(got.start, want.start) << number;
    EXPECT_EQ(got.length, want.length) << number;
    EXPECT_EQ(got.isStream, want.isStream) << number;
    EXPECT_EQ(got.isObjectStream, want.isObjectStream) << number;
    EXPECT_EQ(got.framedLength, want.framedLength) << number;
    EXPECT_EQ(got.keywordStart, want.keywordStart) << number;
    return wanted;
}

} // namespace

TEST(ObjectFraming, StreamsAndPlainObjects) {
    const std::string filler(3000, 'x'); // beyond the first search window
    qm_test::PdfBuilder pdf;
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
    qm_test::PdfBuilder pdf;
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
        qm_test::PdfBuilder pdf;
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

TEST(ObjectFraming, KeywordsInStringsCommentsNamesAndOpenValuesDoNotEndAnObject) {
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
        {"long string", literal(std::string(300, 'x') + " endobj " + std::string(300, 'y'))},
        {"very long string", literal(std::string(300000, 'z') + " endobj ")},
        // A keyword among a dictionary's or an array's values is a stray token, which other
        // readers pass over or take as the whole object's fault; the object ends after them.
        {"stray token in a dictionary", "<< /Type /Pages endobj /Kids [] /Count 0 >>"},
        {"stray token after a nested dictionary", "<< /A << /B 1 >>endobj /C 2 >>"},
        {"stray token in an array", "<< /Kids [1 0 R endobj 2 0 R] >>"},
        {"closing token of the other kind", "<< /A [1 >> endobj 2] /B ] endobj /C 3 >>"},
        {"stray stream keyword", "<< /A stream /B 1 >>"},
        {"stray token past the first window",
         "<< /Pad [" + std::string(400, ' ') + "1] endobj /B 1 >>"},
        {"stray token far past the first window",
         "<< /Pad [" + std::string(100000, ' ') + "] endobj /B 1 >>"},
    };
    for (const Case& c : cases) {
        qm_test::PdfBuilder pdf;
        pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
            .object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
            .object(3, c.body)
            .object(4, "(next)")
            .classicXRef();
        EXPECT_EQ(copiedObjects(pdf)[3], "3 0 obj\n" + c.body + "\nendobj\n") << c.what;
    }
    // A string that is never closed runs into the next object's header: the object is framed
    // by its first "endobj" as plain bytes, not by one of the objects after it.
    qm_test::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
        .object(3, "<< /Title (open ( string >>")
        .object(4, "(closes) here )")
        .classicXRef();
    EXPECT_EQ(copiedObjects(pdf)[3], "3 0 obj\n<< /Title (open ( string >>\nendobj\n");
    // So does a dictionary that is never closed.
    qm_test::PdfBuilder open;
    open.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
        .object(3, "<< /A [1 2] /B << /C 3 >>")
        .object(4, "<< /D 4 >>")
        .classicXRef();
    EXPECT_EQ(copiedObjects(open)[3], "3 0 obj\n<< /A [1 2] /B << /C 3 >>\nendobj\n");
}

// The walk's reading of an object, whether its text is seen in place, read into the buffer, or
// recognised by the shape of an object read before, is what the plain reading gives: the text
// getObjectText copies, its header, its body and its keys. Frames found after the walk (kept
// for the pass, or among the last framed) are those of a framing that walked nothing, whatever
// order they are asked in.
TEST(ObjectFraming, WalkedObjectsAndTheirKeptFramesMatchThePlainReading) {
    qm_test::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>")
        .object(3, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>")
        .object(4, "% a comment before the body\n<< /Type /Page /Parent 2 0 R >>")
        .stream(5, "", "BT (endobj) Tj ET")
        .object(6, "<< /Length 2 >>\nstream\nabc endobj\nendstream")
        .compressed(7, "<< /Type /Page /Parent 2 0 R >>")
        .compressed(8, "(in an object stream)")
        .objectStream(9)
        .object(10, literal(std::string(5000, 'l')));
    // Pages of one writer, each followed by its content stream: the same bytes but for their
    // numbers, whose lengths vary; one has its /Rotate in another place, one a key in a string.
    const char* const pages[] = {
        "<< /Type /Page /Parent 2 0 R /Rotate 90 /Contents 12 0 R >>",
        "<< /Type /Page /Parent 2 0 R /Rotate 180 /Contents 14 0 R >>",
        "<< /Type /Page /Parent 2 0 R /Rotate 0 /Contents 16 0 R >>",
        "<< /Type /Page /Parent 2 0 R /Contents 18 0 R /Rotate 270 >>",
        "<< /Type /Page /Parent 2 0 R /Rotate 90 /Contents 20 0 R /T (/Rotate) >>",
        "<< /Type /Page /Parent 22222 0 R /Rotate 90 /Contents 1234 0 R >>",
    };
    int32_t number = 11;
    for (const char* page : pages) {
        pdf.object(number, page).stream(number + 1, "", "0 0 m");
        number += 2;
    }
    // Many more, so that the kept frames are looked up through their index.
    for (int32_t more = 30; more < 180; ++more) {
        pdf.object(more, "<< /Type /Page /Rotate " + std::to_string(more) + " >>");
    }
    pdf.streamXRef();
    TempDir folder;
    CPdfDocument document;
    document.open(folder.write("in.pdf", pdf.bytes()));
    CPdfXRef& xref = *document.getXRef();
    ASSERT_TRUE(document.input().viewsLast()) << "a small file is read through its mapping";
    const auto findKeys = [](std::string_view text, size_t* at) {
        const char* const keys[CPdfObjectShape::kMaxKeys] = {"/Rotate", "/Contents", "/Type",
                                                             "/Parent"};
        for (size_t k = 0; k < CPdfObjectShape::kMaxKeys; ++k) {
            at[k] = text.rfind(keys[k]);
        }
    };
    CPdfObjectFraming copying;
    copying.attach(document.input(), xref);
    CPdfObjectFraming walking;
    walking.attach(document.input(), xref);
    const int64_t rows = static_cast<int64_t>(xref.entries().size());
    std::string buffer;
    // The pages first, as a walk meets them (their shape kept from the first on), then every
    // other kind of row, then pages again.
    const std::vector<int32_t> walked = {11, 13, 15, 17, 19, 21, 11, 12, 21, 13, 23,   -1, 0,
                                         1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 1000, 15, 17};
    for (int32_t walk : walked) {
        std::string copied;
        const bool copiedOk = copying.getObjectText(walk, copied);
        CPdfObjectFraming::WalkedObject seen;
        EXPECT_EQ(walking.readWalkedObject(walk, findKeys, buffer, seen), copiedOk) << walk;
        EXPECT_EQ(std::string(seen.text), copied) << walk;
        const bool typeOne =
            walk >= 0 && walk < rows && xref.entries()[static_cast<size_t>(walk)].type == 1;
        if (copiedOk) {
            EXPECT_EQ(seen.inBuffer, !typeOne) << walk;
        }
        const auto header = pdf_syntax::readObjectHeader(copied);
        ASSERT_EQ(seen.header.has_value(), copiedOk && header.has_value()) << walk;
        if (!header || !copiedOk) {
            continue;
        }
        EXPECT_EQ(seen.header->number, header->number) << walk;
        EXPECT_EQ(seen.header->generation, header->generation) << walk;
        EXPECT_EQ(seen.header->bodyStart, header->bodyStart) << walk;
        size_t body = pdf_syntax::skipWhitespace(copied, header->bodyStart);
        body = body >= copied.size() ? pdf_syntax::npos : body;
        EXPECT_EQ(seen.body, body) << walk;
        size_t keys[CPdfObjectShape::kMaxKeys];
        findKeys(copied, keys);
        for (size_t k = 0; k < CPdfObjectShape::kMaxKeys; ++k) {
            EXPECT_EQ(seen.keys[k], keys[k]) << walk << ", key " << k;
        }
    }

    // Frames asked for after the walk, or between its reads, are those of a framing that walked
    // nothing: found through the kept frames (the frames kept since their index was made are
    // looked through, taken into it, or framed anew), the last few framed, or framed anew.
    auto keptAsFramed = [&](int32_t asked) {
        ObjectFrame want;
        ObjectFrame got;
        EXPECT_EQ(walking.findObjectFrame(asked, got), copying.findObjectFrame(asked, want));
        EXPECT_EQ(got.start, want.start) << asked;
        EXPECT_EQ(got.length, want.length) << asked;
        EXPECT_EQ(got.isStream, want.isStream) << asked;
        EXPECT_EQ(got.framedLength, want.framedLength) << asked;
        locatesAlike(copying, walking, asked);
    };
    std::vector<int32_t> more;
    for (int32_t walk = 30; walk < 180; ++walk) {
        CPdfObjectFraming::WalkedObject seen;
        EXPECT_TRUE(walking.readWalkedObject(walk, findKeys, buffer, seen)) << walk;
        more.push_back(walk);
        if (walk == 40 || walk == 100 || walk == 160) {
            for (int32_t asked : {walk, 35, walk - 1, 11, 99, walk - 20}) {
                keptAsFramed(asked);
            }
        }
    }
    for (auto it = more.rbegin(); it != more.rend(); ++it) {
        keptAsFramed(*it);
    }
    for (size_t k = 0; k < more.size(); ++k) {
        keptAsFramed(more[(k * 37) % more.size()]);
    }

    for (const std::vector<int32_t>& order :
         {std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 21, 23},
          {4, 3, 10, 3, 6, 5, 4, 3, 19, 17, 15},
          {23, 21, 19, 17, 15, 13, 11, 10, 6, 4, 3, 2, 1, 0},
          {6, 5, 3, 1, 10, 2, 9, 6, 8, 4, 4, 3, 10, 1000, -2, 15, 16, 13}}) {
        for (int32_t asked : order) {
            keptAsFramed(asked);
        }
    }
}

// A header the page-tree walk read from a kept frame's bytes spares locateObject its own
// reading: the objects located, and their frames, are those located without it. The rows lead
// to another object's header, to white-space or a comment before their own, or to headers that
// end near the end of the window locateObject reads (the reader re-points or drops such rows).
TEST(ObjectFraming, HeaderReadByTheWalkLocatesAsTheWindowDoes) {
    qm_test::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .object(3, "<< /Type /Page /Parent 2 0 R >>");
    std::map<int, int64_t> offsets = {
        {1, pdf.offsetOf(1)}, {2, pdf.offsetOf(2)}, {3, pdf.offsetOf(3)}};
    // Row 4 leads to object 3's header; the others to white-space or a comment before their
    // own, or to a header that ends right at, or before, the last byte of the window.
    offsets[4] = offsets[3];
    const std::string bodies[] = {
        std::string(300, ' ') + "5 0 obj << /Type /Page >> endobj\n",
        "% a comment\n6 0 obj<</Type/Page>>endobj\n",
        std::string(248, ' ') + "7 0 obj << >> endobj\n",
        std::string(249, ' ') + "8 0 obj << >> endobj\n",
        "9 0 obj\nnull\nendobj\n",
    };
    for (int n = 5; n <= 9; ++n) {
        offsets[n] = pdf.currentOffset();
        pdf.raw(bodies[n - 5]);
    }
    std::string table = "xref\n0 10\n0000000000 65535 f \n";
    for (int n = 1; n <= 9; ++n) {
        char row[21];
        std::snprintf(row, sizeof row, "%010lld 00000 n \n", static_cast<long long>(offsets[n]));
        table += row;
    }
    pdf.rawSection(table + "trailer << /Size 10 /Root 1 0 R >>\n");

    TempDir folder;
    CPdfDocument document;
    document.open(folder.write("in.pdf", pdf.bytes()));
    CPdfXRef& xref = *document.getXRef();
    CPdfObjectFraming plain;
    plain.attach(document.input(), xref);
    CPdfObjectFraming kept;
    kept.attach(document.input(), xref);
    std::string buffer;
    for (int32_t number = 1; number <= 9; ++number) {
        CPdfObjectFraming::WalkedObject walked;
        kept.readWalkedObject(
            number, [](std::string_view, size_t*) {}, buffer, walked);
    }
    int located = 0;
    for (int32_t number = 1; number <= 9; ++number) {
        located += locatesAlike(plain, kept, number) ? 1 : 0;
    }
    // Some rows are located and some are not, so both ways are compared.
    EXPECT_GT(located, 0);
    EXPECT_LT(located, 9);
}

// Content streams of one writer are framed by the shape of the one framed before: every frame,
// and whether each row is located, is what a framing that has seen no stream before finds. The
// streams vary their numbers' lengths, their data's ending, their line ends and their keys
// against the shape before them; one row leads to another stream's header.
TEST(ObjectFraming, StreamsFramedByTheShapeBeforeThemAsByThemselves) {
    const char* const bodies[] = {
        "<< /Length 4 >>\nstream\nabcd\nendstream",
        "<< /Length 17 >>\nstream\nBT (endobj) Tj ET\nendstream", // longer numbers
        "<< /Length 2 >>\nstream\nabc endobj\nendstream",         // data past the /Length
        "<< /Length 99999999 >>\nstream\nabcd\nendstream",        // past the file's end
        "<< /Length 0000000004 >>\nstream\nabcd\nendstream",      // ten digits
        "<< /Length 4 >>\nstream\nabcd endstream",                // no line end before it
        "<< /Length 4 >>\nstream\r\nabcd\nendstream",             // CR LF
        "<< /Length 5 >>\nstream\r\nabcde\nendstream",
        "<< /Length 4 >>\nstream\r\nabcd\nendstream",
        "<< /Length 4 >>\nstream\r\n\nabc\nendstream",
        "<< /Length 4 >>\nstream\rabcd\nendstream",  // a lone CR
        "<< /Length 4 >>\nstream\r\nbcd\nendstream", // then the line end's LF
        "<< /Length 4 >>stream\nabcd\nendstream",
        "<< /Length 4 >>stream\n\nabc\nendstream",
        "<< /Length 38 0 R >>\nstream\nabcd\nendstream", // indirect
        "<< /Length 4 >>\nstream\nabcd\nendstream",
        "<< /Type /ObjStm /N 0 /First 0 /Length 4 >>\nstream\nabcd\nendstream",
        "<< /Type /ObjStm /N 0 /First 0 /Length 4 >>\nstream\nabcd\nendstream",
        "<< /Length 4 /Filter /FlateDecode >>\nstream\nabcd\nendstream",
        "<< /Length -4 >>\nstream\nabcd\nendstream",
        "<< /Length 4 >>\nstream\nabcd\nendstream\n", // no endobj of its own
        "<< /Length 4 >>\nstream\nabcd\nendstream",
    };
    qm_test::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    std::map<int, int64_t> offsets = {{1, pdf.offsetOf(1)}, {2, pdf.offsetOf(2)}};
    int number = 3;
    for (const char* body : bodies) {
        // Numbers of one, two and three digits, as a long document's are.
        number = number == 9 ? 95 : number == 98 ? 995 : number + 1;
        offsets[number] = pdf.currentOffset();
        pdf.raw(std::to_string(number) + " 0 obj\n" + body +
                (std::string_view(body).ends_with("\n") ? "" : "\nendobj\n"));
    }
    offsets[38] = pdf.currentOffset();
    pdf.raw("38 0 obj\n4\nendobj\n");
    const int wrongRow = 39; // leads to the header of the stream after object 1's
    offsets[wrongRow] = offsets[5];
    const int rows = number + 1;
    std::string table = "xref\n0 " + std::to_string(rows) + "\n0000000000 65535 f \n";
    for (int n = 1; n < rows; ++n) {
        const auto at = offsets.find(n);
        table += at == offsets.end() ? qm_test::PdfBuilder::tableRow(0, 0, 'f')
                                     : qm_test::PdfBuilder::tableRow(at->second);
    }
    pdf.rawSection(table + "trailer << /Size " + std::to_string(rows) + " /Root 1 0 R >>\n");

    TempDir folder;
    CPdfDocument document;
    document.open(folder.write("in.pdf", pdf.bytes()));
    CPdfXRef& xref = *document.getXRef();
    ASSERT_FALSE(xref.repaired());
    CPdfObjectFraming carried;
    carried.attach(document.input(), xref);
    CPdfObjectFraming fresh;
    int located = 0;
    for (int32_t n = 1; n < rows; ++n) {
        fresh.attach(document.input(), xref);
        located += locatesAlike(fresh, carried, n) ? 1 : 0;
    }
    // Objects 1, 2 and 38 and the streams, but for the two object streams (left out of a copy).
    EXPECT_EQ(located, static_cast<int>(std::size(bodies)) + 3 - 2);
}
