#include "stamp/text/CRomanNumeral.h"

#include <cctype>

namespace {

const char* const kOnes[10] = {"", "I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX"};
const char* const kTens[10] = {"", "X", "XX", "XXX", "XL", "L", "LX", "LXX", "LXXX", "XC"};
const char* const kHundreds[10] = {"", "C", "CC", "CCC", "CD", "D", "DC", "DCC", "DCCC", "CM"};
const char* const kThousands[10] = {"", "M", "MM", "MMM", "MMMM", "MMMMM", "", "", "", ""};

} // namespace

std::string CRomanNumeral::toRoman(int32_t number, bool lowerCase) const {
    if (number < 0 || number > kLargest) {
        return std::to_string(number);
    }
    int32_t belowThousand = number % 1000;
    int32_t belowHundred = belowThousand % 100;
    std::string result;
    result += kThousands[(number - belowThousand) / 1000];
    result += kHundreds[(belowThousand - belowHundred) / 100];
    result += kTens[belowHundred / 10];
    result += kOnes[belowHundred % 10];
    if (lowerCase) {
        for (char& c : result) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return result;
}
