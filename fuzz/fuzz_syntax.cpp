// A page's dictionary through the scans of the page rewrite: the one scan of the page and its
// resources, and the shape of the pages before, each against the scans it stands for; and the
// shape of a page object's first bytes against the framing's search and the readers after it.
#include "fuzz/FuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_harness::scanPageDictionary(data, size);
    fuzz_harness::matchObjectShape(data, size);
    return 0;
}
