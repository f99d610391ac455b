// Bytes opened as a PDF document whose cross-reference data cannot be found, so that every
// input goes through the rebuild of the table from the whole file; then every row fetched and
// the text of every compressed object taken.
#include "fuzz/FuzzHarness.h"
#include "fuzz/FuzzInputFile.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every "startxref" spelled otherwise: the file's own table is never used.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    for (size_t at = bytes.find("startxref"); at != std::string::npos;
         at = bytes.find("startxref", at + 9)) {
        bytes[at + 8] = 'q';
    }
    const std::string path = fuzz_harness::writeInputFile("repair", bytes);
    if (!path.empty()) {
        fuzz_harness::openAndFetchAll(path);
    }
    return 0;
}
