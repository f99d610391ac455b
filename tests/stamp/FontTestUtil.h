#pragma once

// Helpers shared by the font tests.

#include "support/TempDir.h"

#include <string>

namespace font_test {

// A file with the given contents, alone in a temporary folder of its own; the folder and the
// file are removed on destruction.
class TempFile {
  public:
    explicit TempFile(const std::string& contents, const std::string& suffix = ".txt")
        : path_(folder_.write("file" + suffix, contents)) {}
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }

  private:
    TempDir folder_;
    std::string path_;
};

} // namespace font_test
