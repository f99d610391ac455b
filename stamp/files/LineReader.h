#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

// Lines of list files and font metrics files are at most this long (text-lines and font sizes
// files use a shorter limit of their own); a longer line is read as several lines, as fgets
// with a buffer of that size would.
inline constexpr size_t kMaxLineBytes = 4095;

// How the bytes of a lines file are read: as they are (UTF-8, or a single-byte code page), or
// as UTF-16 of either byte order, which is turned into UTF-8 (Windows PowerShell writes its
// redirected output as UTF-16 with a byte-order mark).
enum class LineEncoding { Bytes, Utf16LittleEndian, Utf16BigEndian };

// Reads the byte-order mark at the start of the file, if it has one, and leaves the file just
// past it: UTF-8's mark (EF BB BF) gives Bytes, UTF-16's (FF FE, FE FF) its byte order. A file
// without a mark is read from its start, as Bytes.
LineEncoding startLines(std::FILE* file);

// Reads up to and including the next line end (LF, CR LF or a CR alone), or maxBytes bytes (a
// CR LF pair is not split). False at the end of the file when nothing was read. UTF-16 lines
// come out as UTF-8, maxBytes counted in its bytes; a character is never split, and an
// unpaired surrogate becomes U+FFFD.
bool readLine(std::FILE* file, std::string& line, size_t maxBytes = kMaxLineBytes,
              LineEncoding encoding = LineEncoding::Bytes);

// The line without its line end.
std::string_view withoutLineEnd(std::string_view line);

// The number of lines readLine reads from the file with this limit; the file is then read again
// from its start, past its byte-order mark.
size_t countLines(std::FILE* file, size_t maxBytes, LineEncoding encoding = LineEncoding::Bytes);
