// A page's dictionary through the scans of the page rewrite: the one scan of the page and its
// resources, and the form of the pages before, each against the scans it stands for; and the
// form of a page object's first bytes against the framing's search and the readers after it.
#include "fuzz/FuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzharness::scanPageDictionary(data, size);
    fuzzharness::matchObjectForm(data, size);
    return 0;
}
