// The references of an object's text: found as tokens, never inside strings, names or comments.
#include "stamp/write/ReferenceScan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ReferenceScanTest, FindsReferenceTokensOnly) {
    struct Row {
        const char* name;
        std::string text;
        std::vector<std::string> found; // each "number generation" at its text
    };
    const Row rows[] = {
        {"dictionary and array",
         "<< /Font << /F1 12 0 R >> /Kids [3 0 R 4 1 R] >>",
         {"12 0", "3 0", "4 1"}},
        {"glued to delimiters", "<</A 7 0 R/B[8 0 R]>>", {"7 0", "8 0"}},
        {"line ends and comments between", "5\r\n0 % a note\nR", {"5 0"}},
        {"inside strings", "(1 0 R) (a (nested 2 0 R) \\) 3 0 R) <31203020> 9 0 R", {"9 0"}},
        {"names and keywords", "/R 1 0 /R 2 0 Rx 3 0 R", {"3 0"}},
        {"numbers that are no object numbers", "-1 0 R 1.0 0 R +2 0 R 1 0 0 R", {"0 0"}},
        {"three numbers, the last two taken", "1 2 3 R", {"2 3"}},
        {"an unclosed string hides the rest", "4 0 R (5 0 R", {"4 0"}},
        {"a huge number is held", "99999999999999999999 0 R", {"9223372036854775807 0"}},
    };
    for (const Row& row : rows) {
        std::vector<std::string> found;
        for (const ReferenceSpan& reference : findReferences(row.text)) {
            EXPECT_EQ(row.text.substr(reference.end - 1, 1), "R") << row.name;
            found.push_back(std::to_string(reference.number) + " " +
                            std::to_string(reference.generation));
        }
        EXPECT_EQ(found, row.found) << row.name;
    }
}

// References past the input's rows (7 here) are written as "null" in place; the others, and
// what only looks like one, stay.
TEST(ReferenceScanTest, ReferencesPastTheRowsBecomeNull) {
    struct Row {
        const char* name;
        std::string text;
        std::string nulled; // empty: the text stays
    };
    const Row rows[] = {
        {"one past, one inside", "<< /Filter 7 0 R /Font 6 0 R >>",
         "<< /Filter null  /Font 6 0 R >>"},
        {"a long number", "[12345678901234567890 0 R]", "[null" + std::string(20, ' ') + "]"},
        {"glued to delimiters", "<</A 9 0 R/B[8 0 R]>>", "<</A null /B[null ]>>"},
        {"a comment between the tokens", "10 0 % note\nR", "null" + std::string(9, ' ')},
        {"in a string", "(10 0 R) /N 6 0 R", ""},
        {"no reference", "/Length 999 /Rect [700 800 900 1000]", ""},
    };
    for (const Row& row : rows) {
        std::string text = row.text;
        EXPECT_EQ(nullReferencesPast(text, 7) != 0, !row.nulled.empty()) << row.name;
        EXPECT_EQ(text, row.nulled.empty() ? row.text : row.nulled) << row.name;
    }
}

// The numbers an update adds skip those the input names past its rows, and no more.
TEST(ReferenceScanTest, AddedNumbersPassThoseNamed) {
    const std::string text = "/A 12 0 R /B 15 0 R /C 40 0 R /D 3 0 R (x) 13 0 R";
    std::vector<bool> named;
    markNumbersPast(text, 10, 1000, named);
    std::vector<size_t> marked;
    for (size_t k = 0; k < named.size(); ++k) {
        if (named[k]) {
            marked.push_back(10 + k);
        }
    }
    EXPECT_EQ(marked, (std::vector<size_t>{12, 13, 15, 40}));
    EXPECT_EQ(firstNumbersUnnamed(named, 10, 2), 10u);  // 10 and 11 are free
    EXPECT_EQ(firstNumbersUnnamed(named, 10, 3), 16u);  // past 12, 13 and 15
    EXPECT_EQ(firstNumbersUnnamed(named, 10, 30), 41u); // 16 to 45 would hold 40
    // Past the flags every number is free: a run may begin inside them and go on beyond.
    EXPECT_EQ(firstNumbersUnnamed(std::vector<bool>(5, true), 10, 3), 15u);
    EXPECT_EQ(firstNumbersUnnamed({true, false, false}, 10, 3), 11u);
}

} // namespace
