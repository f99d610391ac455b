#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The counter file of "-import": the number the next run starts at, as "-export" writes it or as
// a user typed it. Windows editors and shells write it with a byte-order mark (Notepad's
// "UTF-8 with BOM", PowerShell 5's UTF-16), so the mark is read through.
namespace counter_file {

// Counter files are a number and a line end; a longer file is not a counter file.
inline constexpr size_t kMaxCounterBytes = 256;

// Reads the number in the bytes of a counter file: after a UTF-8 or UTF-16 (either byte order)
// byte-order mark, blanks, an optional sign and decimal digits, then only blanks and line ends.
// Values beyond 32 bits saturate. False when the bytes hold no such number.
bool parse(std::string_view bytes, int32_t& value);

// Reads the counter file at path. False with cause set (naming the file) when it cannot be
// opened or holds no number.
bool read(const std::string& path, int32_t& value, std::string& cause);

} // namespace counter_file
