#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

// Lines of list files and font metrics files are at most this long (text-lines and font sizes
// files use a shorter limit of their own); a longer line is read as several lines, as fgets
// with a buffer of that size would.
inline constexpr size_t kMaxLineBytes = 4095;

// Reads up to and including the next line end (LF, CR LF or a CR alone), or maxBytes bytes (a
// CR LF pair is not split). False at the end of the file when nothing was read.
bool readLine(std::FILE* file, std::string& line, size_t maxBytes = kMaxLineBytes);

// The line without its line end.
std::string_view withoutLineEnd(std::string_view line);

// The number of lines readLine reads from the file with this limit; the file is then read again
// from its start.
size_t countLines(std::FILE* file, size_t maxBytes);
