#include "stamp/text/PageNumbering.h"

#include <cstdint>

bool isPageSelected(const StampDefinition& stamp, int32_t position) {
    if (position < stamp.startPage || position > stamp.endPage) {
        return false;
    }
    if (stamp.nth == 0) {
        return true;
    }
    const int64_t counted = static_cast<int64_t>(stamp.startPage) + position - 1;
    return counted % stamp.nth != 0;
}

int32_t pageNumberFor(const StampDefinition& stamp, int32_t firstNumber, uint32_t pageCount,
                      int32_t position) {
    int64_t v = position;
    const int64_t half = pageCount / 2;
    // With no n-th value every page is stamped, so the stamped pages count as their positions.
    if (stamp.sequential && stamp.nth != 0) {
        v = v / stamp.nth + 1;
    }
    if (stamp.twoUp) {
        v = (v % 2 != 0) ? v / 2 + 1 : v / 2 + half;
    }
    if (stamp.abTwoUp) {
        v = v > half ? 2 * (v - half) : 2 * v - 1;
    }
    if (stamp.reverse) {
        v = static_cast<int64_t>(pageCount) - v + 1;
    }
    v += static_cast<int64_t>(firstNumber) - stamp.startPage;
    if (v > INT32_MAX) {
        v = INT32_MAX;
    } else if (v < INT32_MIN) {
        v = INT32_MIN;
    }
    return static_cast<int32_t>(v);
}

int64_t nextStartNumber(int32_t startNumber, uint32_t numberedPages, int32_t highestShown) {
    if (numberedPages == 0) {
        return startNumber;
    }
    return static_cast<int64_t>(highestShown) + 1;
}
