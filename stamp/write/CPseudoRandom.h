#pragma once

#include <array>
#include <cstdint>

// The numbers of the resource names drawn from the clock. The same seed gives the same numbers
// on every system: the sequence of the GNU C library's rand() (an additive feedback generator
// over 31 words), which the Linux program has always drawn; the Windows library's rand() is
// another generator, and the same input would otherwise give another document there.
class CPseudoRandom {
  public:
    explicit CPseudoRandom(uint32_t seed);
    // The next number, 0 to 2^31 - 1.
    int32_t next();

  private:
    static constexpr int kWords = 31;
    static constexpr int kSeparation = 3;
    std::array<uint32_t, kWords> state_{};
    int front_ = kSeparation;
    int rear_ = 0;
};
