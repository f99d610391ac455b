#pragma once

#include <cstdint>
#include <string>

// Formats page numbers as roman numerals. Numbers from 0 to 5999 are converted digit by digit
// (up to five "M" for the thousands, 0 gives the empty string); other numbers have no roman
// form here and are written in decimal digits.
class CRomanNumeral {
  public:
    static constexpr int32_t kLargest = 5999;

    CRomanNumeral() = default;
    virtual ~CRomanNumeral() = default;

    std::string toRoman(int32_t number, bool lowerCase) const;
};
