// The standard security handler on hostile input: an /Encrypt dictionary, an /ID, a password
// and an object's text, each as the file or the user could give them.
#include "fuzz/FuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_harness::decryptPieces(data, size);
    return 0;
}
