#include "stamp/write/CPlainStreamHead.h"

#include "pdf/PdfSyntax.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Heads one after another through one kept shape: each judged as the reading of every byte
// judges it, heads of the kept shape by their bytes, the others by that reading.
TEST(PlainStreamHeadTest, TheKeptShapeJudgesAsTheReadingDoes) {
    constexpr size_t kNone = pdf_syntax::npos;
    const std::string head = "520 0 obj\n<< /Length 584 >>\nstream"; // 34 bytes
    struct Row {
        const char* name;
        std::string text;
        int64_t number;
        size_t end; // what the reading gives
    };
    const std::vector<Row> rows = {
        {"the first head", head + "\n1 0 0 1 cm", 520, 34},
        {"the same shape, other digits", "913 7 obj\n<< /Length 101 >>\nstream\n", 913, 34},
        {"another object's head", "913 0 obj\n<< /Length 101 >>\nstream\n", 914, kNone},
        {"the number with a leading zero", "091 0 obj\n<< /Length 101 >>\nstream\n", 91, 34},
        {"a colon for a digit", "52: 0 obj\n<< /Length 584 >>\nstream\n", 52, kNone},
        {"a name for a digit", "520 0 obj\n<< /Length 5/4 >>\nstream\n", 520, 34},
        {"a letter for a digit", "520 0 obj\n<< /Length 58x >>\nstream\n", 520, 34},
        {"a string for a digit", "520 0 obj\n<< /Length 5(4 >>\nstream\n", 520, kNone},
        {"cut before its keyword ends", "520 0 obj\n<< /Length 584 >>\nstrea", 520, kNone},
        {"another keyword", "520 0 obj\n<< /Length 584 >>\nstreaX", 520, kNone},
        {"longer numbers", "5200 0 obj\n<< /Length 5841 >>\nstream", 5200, 36},
        {"back to the first shape", head, 520, 34},
        {"a digit for a space", "520 0 obj\n<< /Length 5841>>\nstream", 520, 34},
        {"a word ending in obj", "520 0 obj\n<< /Lobj 5841 >>\nstream", 520, kNone},
        {"an array", "7 0 obj\n<< /Length 5 /F [/A /B] >>\nstream", 7, 41},
        {"the array left open", "7 0 obj\n<< /Length 5 /F [/A /B  >>\nstream", 7, kNone},
        {"the array closed twice", "7 0 obj\n<< /Length 5 /F]/A /B] >>\nstream", 7, kNone},
        {"a nested dictionary", "7 0 obj\n<< /Length 5 /F <</A /B>> >>\nstream", 7, kNone},
        {"no dictionary", "7 0 obj\n[5 6 7 8 9 10 11 12 13 14]\nstream", 7, kNone},
        {"the shortest head", "1 0 obj<<>>stream", 1, 17},
        {"the shortest head again", "2 0 obj<<>>stream", 2, 17},
        {"a header read on", "2 0 objx<<>>stream", 2, kNone},
    };
    CPlainStreamHead kept;
    for (const Row& row : rows) {
        EXPECT_EQ(CPlainStreamHead::read(row.text, row.number), row.end) << row.name;
        EXPECT_EQ(kept.find(row.text, row.number), row.end) << row.name;
    }
}

} // namespace
