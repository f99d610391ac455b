// The references of an object's text: found as tokens, never inside strings, names or comments.
#include "stamp/picture/ReferenceScan.h"

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

} // namespace
