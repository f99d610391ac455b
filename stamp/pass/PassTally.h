#pragma once

#include "stamp/pass/PassNumbers.h"
#include "stamp/pass/PassResult.h"

#include <cstddef>
#include <cstdint>
#include <set>

// What a pass has done so far: its numbers and result, the pages of its first and last
// stamped text, its progress, and what its warnings have named already.
struct PassTally {
    static constexpr size_t kNoPage = static_cast<size_t>(-1);

    PassNumbers numbers;
    PassResult result;
    size_t firstStamped = 0; // page index of result.firstText, and of its lastText
    size_t lastStamped = 0;
    uint32_t firstStampPages = 0; // pages that got the first stamp
    int32_t progressCounter = 0;
    std::set<uint32_t> undrawableReported;
    size_t overflowPage = kNoPage; // the first page whose stamp is longer than its room
    float overflowLength = 0.0f;
    float overflowRoom = 0.0f;
};
