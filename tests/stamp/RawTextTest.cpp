#include "stamp/RawText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct FindRow {
    const char* name;
    std::string_view buffer;
    std::string_view needle;
    size_t start;
    size_t expected;
};

TEST(RawTextTest, FindTextGivesTheLastByteOfTheFirstMatch) {
    const FindRow rows[] = {
        {"match inside", "abcdef", "cd", 0, 3},
        {"match at the end", "abcdef", "ef", 0, 5},
        {"two-byte match at the start", "abcdef", "ab", 0, 1},
        {"one-byte match at index 0 reads as absent", "abcdef", "a", 0, 0},
        {"first of two matches", "xabxab", "ab", 0, 2},
        {"absent", "abcdef", "xy", 0, 0},
        {"needle longer than the buffer", "ab", "abc", 0, 0},
        {"match cut by the end of the buffer", "abcde", "def", 0, 0},
        {"empty needle", "abc", "", 0, 0},
        {"empty buffer", "", "a", 0, 0},
        {"start skips the first match", "abcabc", "abc", 1, 5},
        {"start at a match", "abcabc", "abc", 3, 5},
        {"start past the end", "abcabc", "abc", 9, 0},
    };
    for (const FindRow& row : rows) {
        EXPECT_EQ(rawtext::findText(row.buffer, row.needle, row.start), row.expected) << row.name;
    }
}

struct NumberRow {
    const char* name;
    std::string_view buffer;
    int32_t value;
    bool isReference;
    bool found;
};

TEST(RawTextTest, ReadNumberAfterKey) {
    const NumberRow rows[] = {
        {"plain", "<< /Rotate 90 >>", 90, false, true},
        {"negative", "<< /Rotate -90 >>", -90, false, true},
        {"sign separated from the digits", "<< /Rotate - 90 >>", 90, false, true},
        {"digits found past other bytes", "<< /Rotate /X 270 >>", 270, false, true},
        {"reference", "<< /Rotate 12 0 R >>", 12, true, true},
        {"reference of another generation", "<< /Rotate 12 1 R >>", 12, false, true},
        {"reference cut by the end", "/Rotate 12 0 ", 12, false, true},
        {"digits at the very end", "/Rotate 180", 180, false, true},
        {"key at the very end", "<< /Rotate", 0, false, false},
        {"no digit after the key", "<< /Rotate /None >>", 0, false, false},
        {"key absent", "<< /Type /Page >>", 0, false, false},
        {"first occurrence of the key", "/Rotate 90 /Rotate 180", 90, false, true},
        {"overlong digits wrap in 32 bits", "/Rotate 4294967386", 90, false, true},
    };
    for (const NumberRow& row : rows) {
        const rawtext::NumberAfter n = rawtext::readNumberAfter(row.buffer, "/Rotate");
        EXPECT_EQ(n.value, row.value) << row.name;
        EXPECT_EQ(n.isReference, row.isReference) << row.name;
        EXPECT_EQ(n.found, row.found) << row.name;
    }
}

TEST(RawTextTest, ScansStayInsideTheirBuffer) {
    // The view ends before the digits and the " 0 R" that follow in memory.
    const std::string text = "<< /Pages 3 0 R >>";
    const std::string_view cut(text.data(), 10);
    EXPECT_FALSE(rawtext::readNumberAfter(cut, "/Pages").found);
    const std::string_view digitsOnly(text.data(), 11);
    const rawtext::NumberAfter n = rawtext::readNumberAfter(digitsOnly, "/Pages");
    EXPECT_EQ(n.value, 3);
    EXPECT_FALSE(n.isReference);
    EXPECT_EQ(rawtext::findText(cut, "3 0 R"), 0u);
}

} // namespace
