// The raw input: reads, views, pieces and searches over blocks of the file, with the file
// mapped into memory and, where it cannot be mapped, read block by block; and what happens
// when the file shrinks under it.

#include "platform/Platform.h"
#include "stamp/CRawInput.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/mman.h>

namespace {

constexpr size_t kInputBlock = 64 * 1024;

// Runs each test once with the file mapped and once with it read.
class RawInput : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { platform::setFileMappingForTesting(GetParam()); }
    void TearDown() override { platform::setFileMappingForTesting(true); }
    void checkLongRuns(const std::string& bytes);
};

std::string patterned(size_t size, size_t step) {
    std::string bytes;
    bytes.reserve(size);
    for (size_t i = 0; bytes.size() < size; ++i) {
        bytes += static_cast<char>('A' + (i * step + i / kInputBlock) % 53);
    }
    return bytes;
}

} // namespace

TEST_P(RawInput, ReadsFromManyBlocksInTurn) {
    // More blocks of the file than the input holds at once (64), read in an order that makes
    // it let go of them and come back to them; a file small enough to be read through its
    // mapping when it is mapped.
    constexpr size_t kBlocks = 120;
    const std::string bytes = patterned(kBlocks * kInputBlock, 7);
    TempDir folder;
    const std::string path = folder.write("many.bin", bytes);
    CRawInput input;
    ASSERT_TRUE(input.open(path));
    for (int round = 0; round < 3; ++round) {
        for (size_t k = 0; k < kBlocks; ++k) {
            const size_t block = (k * 67 + static_cast<size_t>(round)) % kBlocks;
            const size_t at = block * kInputBlock + (k * 131) % (kInputBlock - 64);
            std::string_view view;
            ASSERT_TRUE(input.view(at, 64, view));
            ASSERT_EQ(view, std::string_view(bytes).substr(at, 64)) << at;
            EXPECT_EQ(input.find(at, bytes.substr(at + 20, 6)), static_cast<int64_t>(at + 25))
                << at;
        }
    }
    EXPECT_FALSE(input.failed());
}

TEST_P(RawInput, ReadsViewsAndSearchesAcrossBlocks) {
    constexpr size_t kBlock = 256 * 1024;
    std::string bytes;
    for (size_t i = 0; bytes.size() < 5 * kBlock + 100; ++i) {
        bytes += static_cast<char>('a' + i % 23);
    }
    // Needles that end in one block and begin in the one before, and one inside a block.
    bytes.replace(kBlock - 3, 6, "endobj");
    bytes.replace(3 * kBlock - 1, 6, "stream");
    bytes.replace(4 * kBlock + 10, 6, "endobj");
    TempDir folder;
    const std::string path = folder.write("raw.bin", "JUNK" + bytes);
    CRawInput input;
    ASSERT_TRUE(input.open(path));
    input.setBase(4);
    EXPECT_EQ(input.size(), bytes.size());

    EXPECT_EQ(input.find(0, "endobj"), static_cast<int64_t>(kBlock - 3 + 5));
    EXPECT_EQ(input.find(kBlock, "endobj"), static_cast<int64_t>(4 * kBlock + 15));
    EXPECT_EQ(input.find(0, "stream"), static_cast<int64_t>(3 * kBlock + 4));
    // A limit below a match's last byte hides it.
    EXPECT_EQ(input.find(0, "stream", 3 * kBlock + 3), -1);
    EXPECT_EQ(input.find(0, "stream", 3 * kBlock + 4), static_cast<int64_t>(3 * kBlock + 4));

    // Reads in turns from blocks far apart.
    for (int round = 0; round < 2; ++round) {
        for (size_t at : {size_t{10}, 4 * kBlock + 7, kBlock - 20, 2 * kBlock + 5, 3 * kBlock - 3,
                          5 * kBlock + 50}) {
            std::string copy;
            ASSERT_TRUE(input.read(at, 40, copy));
            EXPECT_EQ(copy, bytes.substr(at, 40)) << at;
            std::string_view view;
            ASSERT_TRUE(input.view(at, 40, view));
            EXPECT_EQ(view, bytes.substr(at, 40)) << at;
            ASSERT_TRUE(input.piece(at, 40, view));
            EXPECT_EQ(view, bytes.substr(at, view.size())) << at;
            EXPECT_GT(view.size(), 0u);
        }
    }
    // A piece stops at the end of its block; a view does not.
    std::string_view view;
    ASSERT_TRUE(input.piece(kBlock - 4 - 10, 100, view));
    EXPECT_EQ(view.size(), 10u);
    ASSERT_TRUE(input.view(kBlock - 4 - 10, 100, view));
    EXPECT_EQ(view, bytes.substr(kBlock - 14, 100));
    // The end of the input.
    ASSERT_TRUE(input.view(bytes.size() - 5, 100, view));
    EXPECT_EQ(view, bytes.substr(bytes.size() - 5));
    EXPECT_FALSE(input.piece(bytes.size(), 10, view));
    EXPECT_FALSE(input.view(bytes.size() + 1, 10, view));
    EXPECT_FALSE(input.failed());
}

TEST_P(RawInput, AFileThatShrinksWhileOpenIsAFailureNotACrash) {
    const std::string bytes = patterned(10 * kInputBlock, 3);
    TempDir folder;
    const std::string path = folder.write("shrinks.bin", bytes);
    CRawInput input;
    ASSERT_TRUE(input.open(path));
    std::string_view view;
    ASSERT_TRUE(input.view(100, 50, view));
    EXPECT_EQ(view, bytes.substr(100, 50));
    EXPECT_FALSE(input.failed());

    // Another program cuts the file down to one block while it is open.
    std::filesystem::resize_file(path, kInputBlock);
    // What lies past the new end cannot be what the file held: mapped, it reads as zeros;
    // read, the read fails. Either way the input says it failed.
    std::string copy;
    const bool read = input.read(6 * kInputBlock + 10, 100, copy);
    if (read) {
        EXPECT_EQ(copy, std::string(100, '\0'));
    }
    EXPECT_NE(copy, bytes.substr(6 * kInputBlock + 10, 100));
    EXPECT_TRUE(input.failed());
    // A search over the missing part finds nothing and does not fault either.
    EXPECT_EQ(input.find(7 * kInputBlock, "AB"), -1);
    // A long run over the missing part is not given out, mapped or not.
    EXPECT_FALSE(input.mappedRun(5 * kInputBlock, 2 * kInputBlock, view));
    // The block that is still there reads as before.
    ASSERT_TRUE(input.view(kInputBlock - 50, 50, view));
    EXPECT_EQ(view, bytes.substr(kInputBlock - 50, 50));

    // The failure outlives close, so that a pass can still ask after it closed its input; the
    // next file opened starts clean.
    input.close();
    EXPECT_TRUE(input.failed());
    const std::string other = folder.write("other.bin", bytes);
    ASSERT_TRUE(input.open(other));
    EXPECT_FALSE(input.failed());
    ASSERT_TRUE(input.view(6 * kInputBlock + 10, 100, view));
    EXPECT_EQ(view, bytes.substr(6 * kInputBlock + 10, 100));
}

TEST_P(RawInput, LongRunsComeStraightFromTheMappingAndReadAgainOnceGivenBack) {
    // A small file, whose blocks are read through the mapping, and one large enough to have
    // its blocks read, whose runs' memory is given back in whole large pages.
    for (const size_t blocks : {40, 264}) {
        SCOPED_TRACE(blocks);
        checkLongRuns(patterned(blocks * kInputBlock + 77, 11));
    }
}

void RawInput::checkLongRuns(const std::string& bytes) {
    TempDir folder;
    const std::string path = folder.write("runs.bin", "HEAD" + bytes);
    CRawInput input;
    ASSERT_TRUE(input.open(path));
    input.setBase(4);
    std::string_view run;
    if (!GetParam()) {
        EXPECT_FALSE(input.mappedRun(0, 1 << 20, run));
        return;
    }
    for (int round = 0; round < 2; ++round) {
        for (uint64_t at : {uint64_t{0}, uint64_t{5000}, bytes.size() - kInputBlock - 77}) {
            ASSERT_TRUE(input.mappedRun(at, 1 << 20, run));
            const size_t expected = std::min<size_t>(1 << 20, bytes.size() - at);
            ASSERT_EQ(run.size(), expected);
            EXPECT_TRUE(run == std::string_view(bytes).substr(at, expected)) << at;
            input.releaseRun(at, run.size());
        }
        // Blocks that share pages with a run given back still read right.
        std::string_view view;
        ASSERT_TRUE(input.view(4990, 40, view));
        EXPECT_EQ(view, std::string_view(bytes).substr(4990, 40));
        const size_t middle = bytes.size() / 2 + 9;
        ASSERT_TRUE(input.view(middle, 40, view));
        EXPECT_EQ(view, std::string_view(bytes).substr(middle, 40));
    }
    EXPECT_FALSE(input.mappedRun(bytes.size(), 10, run));
    EXPECT_FALSE(input.failed());
}

INSTANTIATE_TEST_SUITE_P(MappedAndRead, RawInput, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("Mapped") : std::string("Read");
                         });

TEST(RawInputDeathTest, BusErrorsOutsideItsMappingsStillEndTheProcess) {
    // The handler that turns lost pages of the input into zeros must not swallow a bus error
    // of any other mapping: that one still ends the process.
    TempDir folder;
    const std::string bytes = patterned(4 * kInputBlock, 5);
    const std::string ours = folder.write("ours.bin", bytes);
    const std::string other = folder.write("other.bin", bytes);
    CRawInput input;
    ASSERT_TRUE(input.open(ours)); // installs the handler
    auto touchLostPage = [&] {
        std::FILE* file = std::fopen(other.c_str(), "rb");
        void* mapped = mmap(nullptr, bytes.size(), PROT_READ, MAP_PRIVATE, fileno(file), 0);
        if (mapped == MAP_FAILED) {
            std::abort();
        }
        std::filesystem::resize_file(other, 0);
        volatile const char* page = static_cast<const char*>(mapped) + 2 * kInputBlock;
        std::fprintf(stderr, "read %d\n", static_cast<int>(*page));
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(touchLostPage(), "");
}
