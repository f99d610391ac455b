#pragma once

#include <cstdio>
#include <memory>

// An open C file owned by its holder and closed when the holder goes. Where the result of the
// close matters (a file written), the holder closes it itself: std::fclose(file.release()).
struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;
