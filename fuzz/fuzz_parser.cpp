// Arbitrary bytes through the object parser over an in-memory stream.
#include "fuzz/FuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_harness::parseBytes(data, size);
    return 0;
}
