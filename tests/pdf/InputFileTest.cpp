// The input file: pieces, views, reads and searches at scattered offsets of files of several
// MiB, counted from the header base, with the file mapped into memory and, where it cannot be
// mapped, read from the file; and what happens when the file shrinks under it.

#include "pdf/CPdfInputFile.h"
#include "platform/Platform.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#ifndef _WIN32
#include <sys/mman.h>
#endif
#include <vector>

namespace {

constexpr size_t kMiB = 1024 * 1024;

// Runs each test once with the file mapped and once with it read.
class InputFile : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { platform::setFileMappingForTesting(GetParam()); }
    void TearDown() override { platform::setFileMappingForTesting(true); }
};

// Lower-case letters in a pattern that does not repeat at any power of two, so that a byte
// read from the wrong place shows.
std::string patterned(size_t size) {
    std::string bytes(size, ' ');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 4099) % 23);
    }
    return bytes;
}

// Opens "JUNK" followed by the bytes, with the base after the junk.
void openAfterJunk(CPdfInputFile& input, const TempDir& folder, const std::string& bytes) {
    ASSERT_TRUE(input.open(folder.write("input.bin", "JUNK" + bytes)));
    input.setBase(4);
    ASSERT_EQ(input.size(), bytes.size());
}

} // namespace

TEST_P(InputFile, ReadsScatteredRangesOfLargeFiles) {
    for (const size_t size : {3 * kMiB + 77, 20 * kMiB + 5}) {
        SCOPED_TRACE(size);
        const std::string bytes = patterned(size);
        const std::string_view all(bytes);
        TempDir folder;
        CPdfInputFile input;
        openAfterJunk(input, folder, bytes);
        // The whole range piece by piece, as the writer copies it: long runs and shorter pieces.
        std::string copied;
        std::string_view piece;
        for (uint64_t at = 5; at < size; at += piece.size()) {
            const size_t want = static_cast<size_t>(
                std::min<uint64_t>(size - at, at % 3 == 0 ? CPdfInputFile::kLongRun : 5000));
            ASSERT_TRUE(input.piece(at, want, piece)) << at;
            ASSERT_FALSE(piece.empty()) << at;
            ASSERT_LE(piece.size(), want);
            copied.append(piece);
        }
        EXPECT_TRUE(copied == all.substr(5));
        // Places far apart, visited in turn and again: more than any cache of the input holds.
        const size_t counts[] = {1, 40, 700, 70000, 300000};
        for (size_t k = 0; k < 600; ++k) {
            const uint64_t at = (k % 300) * 2654435761u % size;
            const size_t count = counts[k % 5];
            std::string_view view;
            ASSERT_TRUE(input.view(at, count, view)) << at;
            ASSERT_TRUE(view == all.substr(at, count)) << at << " " << count;
            std::string copy;
            ASSERT_TRUE(input.read(at, count, copy)) << at;
            ASSERT_TRUE(copy == all.substr(at, count)) << at << " " << count;
            ASSERT_TRUE(input.piece(at, count, piece)) << at;
            ASSERT_TRUE(!piece.empty() && piece.size() <= count) << at;
            ASSERT_TRUE(piece == all.substr(at, piece.size())) << at << " " << count;
        }
        // The end of the input.
        std::string_view view;
        ASSERT_TRUE(input.view(size - 5, 100, view));
        EXPECT_EQ(view, all.substr(size - 5));
        EXPECT_TRUE(input.view(size, 10, view) && view.empty());
        EXPECT_FALSE(input.view(size + 1, 10, view));
        EXPECT_FALSE(input.piece(size, 10, view));
        EXPECT_FALSE(input.failed());
    }
}

TEST_P(InputFile, FindsNeedlesAcrossAnyBoundary) {
    // A needle that begins one to five bytes before each power of two from 1 KiB to 4 MiB.
    const std::string needle = "ENDOBJ";
    std::string bytes = patterned(4 * kMiB + 1000);
    std::vector<int64_t> ends;
    for (size_t boundary = 1024; boundary <= 4 * kMiB; boundary *= 2) {
        const size_t start = boundary - 1 - ends.size() % 5;
        bytes.replace(start, needle.size(), needle);
        ends.push_back(static_cast<int64_t>(start + needle.size() - 1));
    }
    TempDir folder;
    CPdfInputFile input;
    openAfterJunk(input, folder, bytes);
    EXPECT_EQ(input.find(0, needle), ends[0]);
    for (size_t i = 0; i < ends.size(); ++i) {
        const uint64_t end = static_cast<uint64_t>(ends[i]);
        const uint64_t before = end - 700;
        EXPECT_EQ(input.find(before, needle), ends[i]) << end;
        EXPECT_EQ(input.find(end - 4, needle), i + 1 < ends.size() ? ends[i + 1] : -1) << end;
        // A limit below a match's last byte hides it.
        EXPECT_EQ(input.find(before, needle, end - 1), -1) << end;
        EXPECT_EQ(input.find(before, needle, end), ends[i]) << end;
    }
    EXPECT_EQ(input.find(bytes.size() - 3, needle), -1);
    EXPECT_FALSE(input.failed());
}

TEST_P(InputFile, AFileThatShrinksWhileOpenIsAFailureNotACrash) {
    const std::string bytes = patterned(3 * kMiB);
    const std::string_view all(bytes);
    TempDir folder;
    const std::string path = folder.write("shrinks.bin", bytes);
    CPdfInputFile input;
    ASSERT_TRUE(input.open(path));
    std::string_view view;
    ASSERT_TRUE(input.view(100, 50, view));
    EXPECT_EQ(view, all.substr(100, 50));
    EXPECT_FALSE(input.failed());

    // Another program cuts the file down to 1 MiB while it is open.
    std::error_code cut;
    std::filesystem::resize_file(path, kMiB, cut);
#ifdef _WIN32
    if (GetParam()) {
        // Windows refuses to cut a file short while a view of it is mapped: the input reads
        // on as it was.
        EXPECT_TRUE(cut);
        ASSERT_TRUE(input.view(2 * kMiB + 10, 100, view));
        EXPECT_EQ(view, all.substr(2 * kMiB + 10, 100));
        EXPECT_FALSE(input.failed());
        return;
    }
#endif
    ASSERT_FALSE(cut) << cut.message();
    // What lies past the new end cannot be what the file held: mapped, it reads as zeros;
    // read, the read fails. Either way the input says it failed.
    std::string copy;
    if (input.read(2 * kMiB + 10, 100, copy)) {
        EXPECT_EQ(copy, std::string(100, '\0'));
    }
    EXPECT_NE(copy, all.substr(2 * kMiB + 10, 100));
    EXPECT_TRUE(input.failed());
    // A search over the missing part finds nothing and does not fault either, nor does a long
    // run.
    EXPECT_EQ(input.find(2 * kMiB + 500, "abc"), -1);
    if (input.piece(kMiB + 100, CPdfInputFile::kLongRun, view)) {
        EXPECT_FALSE(view == all.substr(kMiB + 100, view.size()));
    }
    // What is still there reads as before.
    ASSERT_TRUE(input.view(kMiB - 50, 50, view));
    EXPECT_EQ(view, all.substr(kMiB - 50, 50));

    // The failure outlives close, so that a pass can still ask after it closed its input; the
    // next file opened starts clean.
    input.close();
    EXPECT_TRUE(input.failed());
    ASSERT_TRUE(input.open(folder.write("other.bin", bytes)));
    EXPECT_FALSE(input.failed());
    ASSERT_TRUE(input.view(2 * kMiB + 10, 100, view));
    EXPECT_EQ(view, all.substr(2 * kMiB + 10, 100));
}

INSTANTIATE_TEST_SUITE_P(MappedAndRead, InputFile, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("Mapped") : std::string("Read");
                         });

#ifndef _WIN32
TEST(InputFileDeathTest, BusErrorsOutsideItsMappingsStillEndTheProcess) {
    // The handler that turns lost pages of the input into zeros must not swallow a bus error
    // of any other mapping: that one still ends the process.
    TempDir folder;
    const std::string bytes = patterned(kMiB);
    const std::string ours = folder.write("ours.bin", bytes);
    const std::string other = folder.write("other.bin", bytes);
    CPdfInputFile input;
    ASSERT_TRUE(input.open(ours)); // installs the handler
    auto touchLostPage = [&] {
        std::FILE* file = std::fopen(other.c_str(), "rb");
        void* mapped = mmap(nullptr, bytes.size(), PROT_READ, MAP_PRIVATE, fileno(file), 0);
        if (mapped == MAP_FAILED) {
            std::abort();
        }
        std::filesystem::resize_file(other, 0);
        volatile const char* page = static_cast<const char*>(mapped) + kMiB / 2;
        std::fprintf(stderr, "read %d\n", static_cast<int>(*page));
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(touchLostPage(), "");
}
#endif
