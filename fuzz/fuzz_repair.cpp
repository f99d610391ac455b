// Bytes opened as a PDF document whose cross-reference data cannot be found, so that every
// input goes through the rebuild of the table from the whole file; then every row fetched and
// the text of every compressed object taken.
#include "fuzz/FuzzHarness.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

// The input is written to a file for every execution: in memory (/dev/shm) where the system
// has it, since a disk file's truncation and write cost more than the run itself.
const std::string& inputPath() {
    static const std::string path =
        std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
        "/quillmark-fuzz-repair-" + std::to_string(getpid()) + ".pdf";
    static const bool cleanup = [] {
        std::atexit([] { std::remove(inputPath().c_str()); });
        return true;
    }();
    (void)cleanup;
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every "startxref" spelled otherwise: the file's own table is never used.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    for (size_t at = bytes.find("startxref"); at != std::string::npos;
         at = bytes.find("startxref", at + 9)) {
        bytes[at + 8] = 'q';
    }
    const std::string& path = inputPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return 0;
    }
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    fuzzharness::openAndFetchAll(path);
    return 0;
}
