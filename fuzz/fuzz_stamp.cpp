// Runs one whole stamping pass on arbitrary bytes: the input is written to a temporary file and
// stamped into another; every failure must end as a clean CPdfException. Built twice: as
// fuzz_stamp for the rewrite, and with QUILLMARK_FUZZ_INCREMENTAL as fuzz_incremental for the
// incremental update.
#include "pdf/CPdfException.h"
#include "stamp/pass/CPdfStamp.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

const std::filesystem::path& workFolder() {
    static const std::filesystem::path folder = [] {
        std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("quillmark-fuzz-stamp-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = (workFolder() / "in.pdf").string();
    const std::string output = (workFolder() / "out.pdf").string();
    if (std::FILE* file = std::fopen(input.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    } else {
        return 0;
    }
    CPdfStamp job;
    job.inputName = input;
    job.outputName = output;
    job.quiet = true;
#ifdef QUILLMARK_FUZZ_INCREMENTAL
    job.incremental = true;
#endif
    job.stamp.alignment = (size % 2) ? "right" : "left";
    try {
        job.stampDocument();
    } catch (const CPdfException&) {
    }
    std::remove(output.c_str());
    return 0;
}
