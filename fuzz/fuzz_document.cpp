// Bytes opened as a PDF document (through a temporary file), every row fetched, the text of
// every compressed object taken.
#include "fuzz/FuzzHarness.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string& inputPath() {
    static const std::string path =
        "/tmp/quillmark-fuzz-document-" + std::to_string(getpid()) + ".pdf";
    static const bool cleanup = [] {
        std::atexit([] { std::remove(inputPath().c_str()); });
        return true;
    }();
    (void)cleanup;
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = inputPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    fuzzharness::openAndFetchAll(path);
    return 0;
}
