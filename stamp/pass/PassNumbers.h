#pragma once

#include <cstdint>

// The numbers of a pass that the steps after it name files and counters by.
struct PassNumbers {
    int32_t firstNumber = 1;    // the number the first stamped page counts from
    int32_t highestShown = 0;   // the highest number shown on a page (0 when none was)
    uint32_t numberedPages = 0; // the pages that show a number of the series
};
