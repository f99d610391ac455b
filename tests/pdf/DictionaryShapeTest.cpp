// The page dictionary's entries read by the shape of the pages before: on every page, whatever
// shape it has and in whatever order the shapes come, what the one scan of the page and its
// resources gives.

#include "pdf/CPdfDictionaryShape.h"
#include "pdf/PdfSyntax.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kKeys[] = {"Contents", "Resources"};
constexpr std::string_view kNestedKeys[] = {"Font", "ExtGState"};

bool same(const std::optional<pdf_syntax::DictEntry>& a,
          const std::optional<pdf_syntax::DictEntry>& b) {
    return a.has_value() == b.has_value() &&
           (!a || (a->keyStart == b->keyStart && a->valueStart == b->valueStart &&
                   a->valueEnd == b->valueEnd));
}

// The shape's reading of the dictionary at dictStart is the scan's.
void expectAsTheScan(CPdfDictionaryShape& shape, const std::string& text, size_t dictStart) {
    SCOPED_TRACE(text);
    std::optional<pdf_syntax::DictEntry> found[2];
    std::optional<pdf_syntax::DictEntry> nested[2];
    const bool read = shape.findEntries(text, dictStart, found, nested);
    std::optional<pdf_syntax::DictEntry> scanFound[2];
    std::optional<pdf_syntax::DictEntry> scanNested[2];
    const bool scanRead = pdf_syntax::findEntriesAndNested(text, dictStart, kKeys, scanFound, 1,
                                                           kNestedKeys, scanNested);
    ASSERT_EQ(read, scanRead);
    EXPECT_TRUE(same(found[0], scanFound[0]));
    EXPECT_TRUE(same(found[1], scanFound[1]));
    if (read) {
        EXPECT_TRUE(same(nested[0], scanNested[0]));
        EXPECT_TRUE(same(nested[1], scanNested[1]));
    }
}

// A page of the first shape with these numbers (parent, contents, font).
std::string firstShape(std::string_view parent, std::string_view contents, std::string_view font) {
    return "<< /Type /Page /Parent " + std::string(parent) + " 0 R /Contents " +
           std::string(contents) + " 0 R /Resources << /Font << /F1 " + std::string(font) +
           " 0 R >> /ProcSet [/PDF /Text] >> >>";
}

TEST(DictionaryShapeTest, ReadsEveryPageAsTheScanDoesWhateverShapeCameBefore) {
    const std::string first = firstShape("5", "6", "3");
    const std::string other = "<< /Resources 4 0 R /Type /Page /Contents [1 0 R 22 0 R] >>";
    const struct {
        const char* name;
        std::string text;
    } pages[] = {
        {"the first shape", first},
        {"longer numbers", firstShape("12345", "678901", "30")},
        {"numbers of one digit again", firstShape("9", "8", "7")},
        {"the longest numbers that fill a place",
         firstShape("123456789012345678", "1", "999999999999999999")},
        {"a number too long for a place", firstShape("1234567890123456789", "6", "3")},
        {"a number in a name", "<< /Type /Page /Parent 5 0 R /Contents 6 0 R /Resources << "
                               "/Font << /F2 3 0 R >> /ProcSet [/PDF /Text] >> >>"},
        {"a signed number", firstShape("-5", "6", "3")},
        {"a number that runs into a word", firstShape("5x", "6", "3")},
        {"no reference: the R is a word", "<< /Type /Page /Parent 5 0 R /Contents 6 0 RR "
                                          "/Resources << /Font << /F1 3 0 R >> /ProcSet [/PDF "
                                          "/Text] >> >>"},
        {"contents as an integer", "<< /Type /Page /Parent 5 0 R /Contents 6 /Resources << /Font "
                                   "<< /F1 3 0 R >> /ProcSet [/PDF /Text] >> >>"},
        {"two spaces", "<< /Type /Page /Parent 5  0 R /Contents 6 0 R /Resources << /Font << /F1 "
                       "3 0 R >> /ProcSet [/PDF /Text] >> >>"},
        {"cut short", first.substr(0, 60)},
        {"cut before its end", first.substr(0, first.size() - 1)},
        {"bytes after its end", first + " (unclosed"},
        {"a string inside", "<< /Type /Page /Parent 5 0 R /Contents 6 0 R /Resources << /Font << "
                            "/F1 3 0 R >> /ProcSet [/PDF /Text] (>>) >> >>"},
        {"a comment inside", "<< /Type /Page /Parent 5 0 R /Contents 6 0 R %\n/Resources << "
                             "/Font << /F1 3 0 R >> /ProcSet [/PDF /Text] >> >>"},
        {"another shape", other},
        {"another shape again", other},
        {"another shape, other numbers", "<< /Resources 40 0 R /Type /Page /Contents [100 0 R 2 0 "
                                         "R] >>"},
        {"the first shape after the other", firstShape("5", "60", "3")},
        {"the first shape again", firstShape("5", "61", "3")},
        {"resources first, with a graphics state",
         "<< /Resources << /ExtGState << /G0 5 0 R >> /Font 7 0 R >> /Contents 4 0 R >>"},
        {"the same, other numbers",
         "<< /Resources << /ExtGState << /G0 50 0 R >> /Font 700 0 R >> /Contents 4000 0 R >>"},
        {"the same, other numbers again",
         "<< /Resources << /ExtGState << /G0 5 0 R >> /Font 7 0 R >> /Contents 4 0 R >>"},
        {"a key without a value", "<< /Resources << /ExtGState << /G0 5 0 R >> /Font >> "
                                  "/Contents 4 0 R >>"},
        {"no dictionary", "[ 1 0 R ]"},
        {"empty", ""},
    };
    CPdfDictionaryShape shape(kKeys, 1, kNestedKeys);
    for (const auto& page : pages) {
        SCOPED_TRACE(page.name);
        // The same page behind a header, as the rewrite reads it.
        expectAsTheScan(shape, page.text, 0);
        expectAsTheScan(shape, "12 0 obj\n" + page.text + "\nendobj\n", 9);
    }
}

// Pages of the first shape with an odd token put in at every place, each followed by a page of
// the first shape with other numbers: the shape kept changes as the pages come, and every page
// reads as the scan reads it.
TEST(DictionaryShapeTest, ReadsPagesWithOddTokensAnywhereAsTheScanDoes) {
    const std::string page = firstShape("5", "6", "3");
    const std::string_view odd[] = {"(",           ">",  "%",  "]",     "[",
                                    "/",           "R",  " ",  "0",     "7 ",
                                    "-",           "<<", ">>", "1 0 R", "/Contents 9 0 R ",
                                    "/Font 8 0 R "};
    CPdfDictionaryShape shape(kKeys, 1, kNestedKeys);
    for (size_t at = 0; at <= page.size(); ++at) {
        for (const std::string_view token : odd) {
            std::string text = page;
            text.insert(at, token);
            expectAsTheScan(shape, text, 0);
            expectAsTheScan(shape, firstShape(std::to_string(at), "60", std::to_string(at * 7)), 0);
        }
    }
}

} // namespace
