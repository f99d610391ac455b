#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// One indirect reference "N G R" in an object's text: where it lies and what it names.
struct ReferenceSpan {
    size_t start = 0; // the first digit of N
    size_t end = 0;   // one past the "R"
    int64_t number = 0;
    int64_t generation = 0;
};

// The references in text, the body of an object (or any part of one), in their order: three
// tokens in a row, two unsigned integers and the keyword R, outside literal and hex strings,
// names and comments. Numbers too large for an object number are held at INT64_MAX.
std::vector<ReferenceSpan> findReferences(std::string_view text);
