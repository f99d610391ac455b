// Inputs that once made a fuzz target fail, run again through the code of that target.
// A file's name says which: parser-*, flate-*, document-* or decrypt-*
// (tests/pdf/regressions/).

#include "support/TempDir.h"

#include "fuzz/FuzzHarness.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(FuzzRegression, EveryStoredInputRunsCleanly) {
    const fs::path dir = fs::path(QUILLMARK_SOURCE_DIR) / "tests" / "pdf" / "regressions";
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    int count = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        const std::string path = entry.path().string();
        SCOPED_TRACE(name);
        std::string bytes = TempDir::read(path);
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
        if (name.rfind("parser-", 0) == 0) {
            fuzz_harness::parseBytes(data, bytes.size());
        } else if (name.rfind("flate-", 0) == 0) {
            fuzz_harness::inflateBytes(data, bytes.size());
        } else if (name.rfind("document-", 0) == 0) {
            fuzz_harness::openAndFetchAll(path);
        } else if (name.rfind("decrypt-", 0) == 0) {
            fuzz_harness::decryptPieces(data, bytes.size());
        } else {
            continue;
        }
        ++count;
    }
    EXPECT_GT(count, 0);
}
