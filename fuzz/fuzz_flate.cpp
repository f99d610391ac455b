// Bytes through the Flate stream with each predictor; the first four bytes choose the
// predictor, the row parameters and whether the rest is compressed first.
#include "fuzz/FuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_harness::inflateBytes(data, size);
    return 0;
}
