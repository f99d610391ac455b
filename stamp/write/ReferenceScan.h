#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
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

// A reference to an object number the input's table has no row for names nothing, and readers
// take it as null; the output's new objects take the numbers right after the table, so such a
// reference copied as it stands would name one of them (a content stream's /Filter would
// become the stamp's font). Text copied from the input has those references as "null".
//
// Whether text may hold a reference (as findReferences finds one) to an object number of rows
// or more: a quick look back from each "R" that never misses such a reference, though it may
// say yes for one inside a string or a comment.
bool mayReferencePast(std::string_view text, size_t rows);
// Marks the object numbers from rows up to (not with) limit that text may reference, by the look
// back of mayReferencePast (a comment between a reference's tokens is not passed), in named:
// one flag for each number from rows on, grown as far as the highest number marked, so that
// limit bounds its memory whatever the text holds.
void markNumbersPast(std::string_view text, size_t rows, size_t limit, std::vector<bool>& named);
// The first number from rows on that starts count numbers none of which named marks (those
// past its flags are unmarked).
size_t firstNumbersUnnamed(const std::vector<bool>& named, size_t rows, size_t count);
// Writes every reference in text to an object number of rows or more as "null", padded with
// spaces to the reference's length so that every other byte keeps its place (offsets found in
// the text before stay right). The number the first of them named, or 0 when text has none
// (a table always has row 0).
uint64_t nullReferencesPast(std::string& text, size_t rows);
