#include "stamp/write/CPseudoRandom.h"

#include <cstddef>

CPseudoRandom::CPseudoRandom(uint32_t seed) {
    if (seed == 0) {
        seed = 1;
    }
    // The first words: a Lehmer sequence (16807 * previous mod 2^31 - 1), worked out in parts
    // that do not overflow, from the seed taken as a signed 32-bit word.
    int32_t word = static_cast<int32_t>(seed);
    state_[0] = seed;
    for (int i = 1; i < kWords; ++i) {
        const int64_t high = word / 127773;
        const int64_t low = word % 127773;
        int64_t next = 16807 * low - 2836 * high;
        if (next < 0) {
            next += 2147483647;
        }
        word = static_cast<int32_t>(next);
        state_[static_cast<size_t>(i)] = static_cast<uint32_t>(word);
    }
    // The first ten rounds of the state are passed over.
    for (int i = 0; i < 10 * kWords; ++i) {
        (void)next();
    }
}

int32_t CPseudoRandom::next() {
    const uint32_t value = state_[static_cast<size_t>(front_)] +=
        state_[static_cast<size_t>(rear_)];
    front_ = (front_ + 1) % kWords;
    rear_ = (rear_ + 1) % kWords;
    // The lowest bit is the least random one.
    return static_cast<int32_t>(value >> 1);
}
