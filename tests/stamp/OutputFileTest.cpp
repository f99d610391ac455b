// The output file: bytes written in pieces of any size arrive in order, a complete file
// replaces what was under its name, and a discarded or failed one leaves that name alone.

#include "stamp/write/COutputFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

// Bytes whose value depends on their position, so that a piece out of place shows.
std::string patterned(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('0' + (i * 31 + i / 4093) % 75);
    }
    return bytes;
}

size_t filesIn(const std::string& folder) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

} // namespace

TEST(OutputFile, WritesPiecesOfEverySizeInOrderUnderANewNameOrOverAnOldFile) {
    // Over 9 MiB in pieces from one byte to over a MiB: small ones gathered, large ones passed
    // on as they are; an output that replaces a file is handed on to the disk in steps along
    // the way.
    const std::string bytes = patterned(9 * 1024 * 1024 + 12345);
    TempDir folder;
    const std::string replaced = folder.write("old.pdf", "the old output");
    for (const std::string& target : {replaced, folder.file("new.pdf")}) {
        SCOPED_TRACE(target);
        const bool existed = std::filesystem::exists(target);
        COutputFile output;
        ASSERT_TRUE(output.create(target));
        const size_t sizes[] = {1, 7, 300, 4096, 70000, 262143, 262144, 262145, 1300000, 17};
        size_t at = 0;
        for (size_t turn = 0; at < bytes.size(); ++turn) {
            const size_t size = std::min(sizes[turn % std::size(sizes)], bytes.size() - at);
            output.write(std::string_view(bytes).substr(at, size));
            at += size;
            EXPECT_EQ(output.offset(), at);
        }
        // Nothing shows under the name until the commit.
        EXPECT_EQ(std::filesystem::exists(target), existed);
        if (existed) {
            EXPECT_EQ(TempDir::read(target), "the old output");
        }
        ASSERT_TRUE(output.commit());
        EXPECT_FALSE(output.failed());
        const std::string written = TempDir::read(target);
        ASSERT_EQ(written.size(), bytes.size());
        EXPECT_TRUE(written == bytes);
    }
    EXPECT_EQ(filesIn(folder.path()), 2u); // no temporary file left beside them
}

TEST(OutputFile, DiscardOrAFailedCreateLeavesTheNameAlone) {
    TempDir folder;
    const std::string target = folder.write("out.pdf", "keep me");
    {
        COutputFile output;
        ASSERT_TRUE(output.create(target));
        output.write(patterned(5 * 1024 * 1024));
        output.discard();
        EXPECT_FALSE(output.commit());
    }
    {
        COutputFile output; // going away unfinished discards too
        ASSERT_TRUE(output.create(target));
        output.write("half a file");
    }
    EXPECT_EQ(TempDir::read(target), "keep me");
    EXPECT_EQ(filesIn(folder.path()), 1u);

    COutputFile nowhere;
    EXPECT_FALSE(nowhere.create(folder.file("missing/out.pdf")));
    nowhere.write("lost");
    EXPECT_TRUE(nowhere.failed());
    EXPECT_FALSE(nowhere.commit());
    EXPECT_FALSE(std::filesystem::exists(folder.file("missing")));

    // A folder under the name is refused at once, not when the finished file is moved there.
    std::filesystem::create_directory(folder.file("folder.pdf"));
    COutputFile overFolder;
    EXPECT_FALSE(overFolder.create(folder.file("folder.pdf")));
    EXPECT_EQ(filesIn(folder.path()), 2u);
}
