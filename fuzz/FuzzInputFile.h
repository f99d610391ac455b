#pragma once

// The file through which a fuzz target hands each input to code that opens files by name.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

namespace fuzz_harness {

// Writes the bytes to a file of this process's own, named after the target: in memory
// (/dev/shm) where the system has it, since a disk file's truncation and write cost more than
// most runs. The file is removed when the fuzzer ends. Returns its path, or an empty string
// when the bytes could not be written.
inline std::string writeInputFile(const char* target, std::string_view bytes) {
    static const std::string path =
        std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/quillmark-fuzz-" +
        target + "-" + std::to_string(getpid()) + ".pdf";
    static const bool cleanup = [] {
        std::atexit([] { std::remove(path.c_str()); });
        return true;
    }();
    (void)cleanup;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return {};
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written ? path : std::string();
}

} // namespace fuzz_harness
