// Bytes opened as a PDF document (through a temporary file), every row fetched, the text of
// every compressed object taken.
#include "fuzz/FuzzHarness.h"
#include "fuzz/FuzzInputFile.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path =
        fuzz_harness::writeInputFile("document", {reinterpret_cast<const char*>(data), size});
    if (!path.empty()) {
        fuzz_harness::openAndFetchAll(path);
    }
    return 0;
}
