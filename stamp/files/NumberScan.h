#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Numbers read from option arguments and from the small text files a run is configured with,
// by the rules of the C library's scanning functions. Each reads at pos and, when it finds a
// number, moves pos past it; blanks are those of isspace in the C locale.
namespace number_scan {

// "%d": optional blanks, an optional sign, at least one decimal digit. Values beyond 32 bits
// saturate. False (pos and value untouched) when no digit follows.
bool scanDecimal(std::string_view text, size_t& pos, int32_t& value);

// "%X": optional blanks, an optional sign, an optional "0x" or "0X", at least one hexadecimal
// digit of either case. Values beyond 32 bits saturate; a minus sign negates modulo 2^32, as
// strtoul does. False (pos and value untouched) when no digit follows.
bool scanHex(std::string_view text, size_t& pos, uint32_t& value);

// atoi: the "%d" number at the start of text, 0 when there is none.
int32_t leadingDecimal(std::string_view text);

// A number of a page box as the box reader takes it: the digits and dots from pos (which holds
// a digit), the dots after the first marking the fraction; a "-" just before pos makes it
// negative.
float scanBoxNumber(std::string_view text, size_t& pos);

} // namespace number_scan
