#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

// Lines of list files are at most this long (text-lines files use a shorter limit of their own);
// a longer line is read as several lines, as fgets with a buffer of that size would.
inline constexpr size_t kMaxLineBytes = 4095;

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Reads up to and including the next line feed, or maxBytes bytes. False at the end of the file
// when nothing was read.
bool readLine(std::FILE* file, std::string& line, size_t maxBytes = kMaxLineBytes);
