// The shape of a page object's first bytes: a text that matches the shape kept of another has
// the frame, header, body and keys that the framing's search, the header's reading and the
// key search find in it, whatever byte stands where and whatever numbers fill the places.

#include "fuzz/FuzzHarness.h"
#include "pdf/CPdfObjectShape.h"
#include "pdf/PdfSyntax.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kKeys[CPdfObjectShape::kMaxKeys] = {"/Pages", "/Rotate", "/CropBox",
                                                               "/MediaBox"};
// The bytes the framing searches first at an object's offset.
constexpr size_t kWindow = 256;

// What the present readers find in the object whose first bytes are window (the fuzz target
// compares the shape with the same reading).
std::optional<CPdfObjectShape::Reading> readersFind(std::string_view window) {
    return fuzz_harness::readObjectWindow(window);
}

void expectSame(const CPdfObjectShape::Reading& a, const CPdfObjectShape::Reading& b) {
    EXPECT_EQ(a.frameLength, b.frameLength);
    EXPECT_EQ(a.header.number, b.header.number);
    EXPECT_EQ(a.header.generation, b.header.generation);
    EXPECT_EQ(a.header.bodyStart, b.header.bodyStart);
    EXPECT_EQ(a.body, b.body);
    for (size_t k = 0; k < CPdfObjectShape::kMaxKeys; ++k) {
        EXPECT_EQ(a.keys[k], b.keys[k]) << kKeys[k];
    }
}

// A page and the head of the stream after it, and bytes of that stream up to the window's size.
std::string window(std::string_view page, std::string_view next = "8 0 obj\n<< /Length 567 >>") {
    std::string text = std::string(page) + "\nendobj\n" + std::string(next) + "\nstream\nBT\n";
    while (text.size() < kWindow) {
        text += "(filler text) Tj T*\n";
    }
    return text.substr(0, kWindow);
}

} // namespace

TEST(ObjectShape, PagesOfTheShapeReadAsTheReadersReadThemAndNoOthers) {
    const std::string shapes[] = {
        window("7 0 obj\n<< /Type /Page /Parent 5 0 R /Contents 6 0 R /Resources << /Font << "
               "/F1 3 0 R >> /ProcSet [/PDF /Text] >> >>"),
        window("12 0 obj <</Type/Page/MediaBox[0 0 612 792]/Rotate 90/Parent 2 0 R/Contents[13 "
               "0 R 14 0 R]>>"),
        window("3 0 obj\r\n<< /Type /Page /CropBox [ 10 10 600 780 ] /Annots [ 40 0 R ] /Parent "
               "1 0 R /Resources 9 0 R >>",
               "4 0 obj << /Length 5 0 R /Filter /FlateDecode >>"),
        window("1 0 obj<</Type/Page/Parent 2 0 R/UserUnit 1.5/Group<</S/Transparency>>>>"),
    };
    // Bytes that change how a text reads: strings, comments, names, numbers, words, keywords.
    const std::string_view odd[] = {"(",  ")", "%", "<", ">", "/", "[",   "9",      "0",     " ",
                                    "\n", "-", ".", "e", "x", "R", "obj", "endobj", "stream"};
    for (const std::string& kept : shapes) {
        SCOPED_TRACE(kept);
        const std::optional<CPdfObjectShape::Reading> keptReading = readersFind(kept);
        ASSERT_TRUE(keptReading);
        CPdfObjectShape shape;
        ASSERT_TRUE(shape.keep(kept, *keptReading));
        CPdfObjectShape::Reading reading;
        ASSERT_TRUE(shape.match(kept, reading));
        expectSame(reading, *keptReading);

        size_t matched = 0;
        size_t refused = 0;
        auto check = [&](std::string text) {
            text.resize(std::min(text.size(), kWindow));
            CPdfObjectShape::Reading shaped;
            if (!shape.match(text, shaped)) {
                ++refused;
                return;
            }
            ++matched;
            SCOPED_TRACE(text);
            const std::optional<CPdfObjectShape::Reading> read = readersFind(text);
            ASSERT_TRUE(read);
            expectSame(shaped, *read);
        };
        for (size_t pos = 0; pos <= kept.size(); ++pos) {
            for (std::string_view bytes : odd) {
                std::string inserted = kept;
                inserted.insert(pos, bytes);
                check(inserted);
                if (pos < kept.size()) {
                    std::string replaced = kept;
                    replaced.replace(pos, 1, bytes);
                    check(replaced);
                }
            }
        }
        // Every number of the shape longer by up to eight digits, and numbers of one digit.
        for (const std::string_view digits : {"1", "12", "123456789", "1234567890"}) {
            std::string longer;
            std::string shorter;
            for (size_t pos = 0; pos < kept.size(); ++pos) {
                const bool digit = pdf_syntax::isDigit(static_cast<unsigned char>(kept[pos]));
                const bool first =
                    digit &&
                    (pos == 0 || !pdf_syntax::isDigit(static_cast<unsigned char>(kept[pos - 1])));
                if (first) {
                    longer += digits;
                    shorter += digits.substr(0, 1);
                }
                if (!digit) {
                    shorter += kept[pos];
                }
                longer += kept[pos];
            }
            check(longer);
            check(shorter);
        }
        EXPECT_GT(matched, 0U) << "numbers of other lengths fill the places";
        EXPECT_GT(refused, 0U);
    }
}

TEST(ObjectShape, KeepsOnlyTheShapesWhoseReadingItCarries) {
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"a string before endobj", window("7 0 obj\n<< /Type /Page /T (x) >>")},
        {"a comment before endobj", window("7 0 obj\n<< /Type /Page %c\n>>")},
        {"a hex string", window("7 0 obj\n<< /Type /Page /ID <0A> >>")},
        {"endobj glued to a number", "7 0 obj\n<< /Type /Page /Rotate 90 >> 5endobj\n8 0 obj\n"
                                     "<< /Length 3 >>\nstream\n"},
        {"endobj after a slash", "7 0 obj\n<< /Type /Page >>/endobj\n8 0 obj\n"
                                 "<< /Length 3 >>\nstream\n"},
        {"no stream after the page", "7 0 obj\n<< /Type /Page >>\nendobj\n8 0 obj\n<< >>\n"
                                     "endobj\nxref\n0 9\n"},
        {"a header number too long for a place", window("1234567890 0 obj\n<< /Type /Page >>")},
        {"a comment before the header", window("%c\n7 0 obj\n<< /Type /Page >>")},
        {"a sign in the header", window("+7 0 obj\n<< /Type /Page >>")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<CPdfObjectShape::Reading> reading = readersFind(c.text);
        CPdfObjectShape shape;
        EXPECT_FALSE(reading && shape.keep(c.text, *reading));
        EXPECT_FALSE(shape.isKept());
    }
    // A reading that is not the window's own is not kept either.
    const std::string text = window("7 0 obj\n<< /Type /Page >>");
    std::optional<CPdfObjectShape::Reading> reading = readersFind(text);
    ASSERT_TRUE(reading);
    CPdfObjectShape shape;
    CPdfObjectShape::Reading other = *reading;
    other.frameLength -= 1;
    EXPECT_FALSE(shape.keep(text, other));
    other = *reading;
    other.header.number = 8;
    EXPECT_FALSE(shape.keep(text, other));
    EXPECT_TRUE(shape.keep(text, *reading));
}
