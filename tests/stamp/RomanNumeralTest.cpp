#include "stamp/text/CRomanNumeral.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct RomanCase {
    int32_t number;
    bool lowerCase;
    const char* expected;
};

TEST(RomanNumeralTest, ConvertsEveryDigitPosition) {
    const RomanCase cases[] = {
        {0, false, ""},
        {1, false, "I"},
        {4, false, "IV"},
        {9, false, "IX"},
        {14, false, "XIV"},
        {40, false, "XL"},
        {90, false, "XC"},
        {400, false, "CD"},
        {900, false, "CM"},
        {1999, false, "MCMXCIX"},
        {3888, false, "MMMDCCCLXXXVIII"},
        {4000, false, "MMMM"},
        {5000, false, "MMMMM"},
        {5999, false, "MMMMMCMXCIX"},
        {12, true, "xii"},
        {8, true, "viii"},
        {2024, true, "mmxxiv"},
        {0, true, ""},
    };
    CRomanNumeral roman;
    for (const RomanCase& c : cases) {
        EXPECT_EQ(roman.toRoman(c.number, c.lowerCase), c.expected)
            << "number " << c.number << (c.lowerCase ? " lower case" : " upper case");
    }
}

// Numbers without a roman form here are written in decimal digits.
TEST(RomanNumeralTest, OutOfRangeNumbersAreDecimal) {
    const RomanCase cases[] = {
        {6000, false, "6000"},
        {9999, true, "9999"},
        {10000, false, "10000"},
        {-1, false, "-1"},
        {-12, true, "-12"},
        {std::numeric_limits<int32_t>::max(), false, "2147483647"},
        {std::numeric_limits<int32_t>::min(), false, "-2147483648"},
    };
    CRomanNumeral roman;
    for (const RomanCase& c : cases) {
        EXPECT_EQ(roman.toRoman(c.number, c.lowerCase), c.expected) << "number " << c.number;
    }
}

} // namespace
