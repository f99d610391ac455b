#include "stamp/files/CounterFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using namespace std::string_literals;

// Counter files as "-export", Notepad, PowerShell and a shell write them.
TEST(CounterFileTest, ReadsTheNumberThroughMarksAndBlanks) {
    const std::pair<std::string, int32_t> numbers[] = {
        {"5", 5},
        {"17\n", 17},
        {"17\r\n", 17},
        {"  \t42 \r\n", 42},
        {"-3", -3},
        {"+8", 8},
        {"\xEF\xBB\xBF"
         "123\r\n",
         123},
        {"\xFF\xFE"
         "5\0\r\0\n\0"s,
         5},
        {"\xFE\xFF"
         "\0"
         "6\0"
         "1\0\n"s,
         61},
        {"99999999999", INT32_MAX},
    };
    for (const auto& [bytes, expected] : numbers) {
        int32_t value = -999;
        EXPECT_TRUE(counter_file::parse(bytes, value)) << testing::PrintToString(bytes);
        EXPECT_EQ(value, expected) << testing::PrintToString(bytes);
    }
    const std::string notNumbers[] = {
        "",
        "\n",
        "abc",
        "\xEF\xBB\xBF",
        "\xEF\xBB\xBF\xEF\xBB\xBF"
        "5",
        "5 pages",
        "1,5",
        "\xFF\xFE",
        "\xFF\xFE"
        "5\0\x30"s, // an odd last byte
        "\xFF\xFE"
        "5\x04"s,    // a unit beyond ASCII
        "\x00\x35"s, // UTF-16 without its mark
    };
    for (const std::string& bytes : notNumbers) {
        int32_t value = -999;
        EXPECT_FALSE(counter_file::parse(bytes, value)) << testing::PrintToString(bytes);
        EXPECT_EQ(value, -999) << testing::PrintToString(bytes);
    }
}

TEST(CounterFileTest, CausesNameTheFile) {
    TempDir folder;
    int32_t value = 0;
    std::string cause;
    EXPECT_TRUE(counter_file::read(folder.write("ok.txt", "\xFF\xFE"
                                                          "7\0"s),
                                   value, cause));
    EXPECT_EQ(value, 7);
    const std::string empty = folder.write("empty.txt", "");
    EXPECT_FALSE(counter_file::read(empty, value, cause));
    EXPECT_EQ(cause, "The counter file '" + empty + "' holds no number");
    const std::string big = folder.write("big.txt", std::string(300, ' ') + "5");
    EXPECT_FALSE(counter_file::read(big, value, cause));
    EXPECT_NE(cause.find("'" + big + "'"), std::string::npos) << cause;
    const std::string missing = folder.file("missing.txt");
    EXPECT_FALSE(counter_file::read(missing, value, cause));
    EXPECT_EQ(cause.rfind("Can't open the counter file '" + missing + "': ", 0), 0u) << cause;
    EXPECT_EQ(value, 7);
}

} // namespace
