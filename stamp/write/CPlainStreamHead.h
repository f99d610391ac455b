#pragma once

#include "pdf/CPdfObjectShape.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// The head of a stream object as writers put it: its own header, a dictionary of plain entries
// and the keyword "stream" ("520 0 obj\n<< /Length 584 >>\nstream"). The content streams of one
// writer have heads of one shape that differ only in their numbers (the object's number, its
// /Length), so the shape of the last head read is kept (CPdfObjectShape): a head of that shape is
// judged by a comparison of its bytes instead of a reading of them.
class CPlainStreamHead {
  public:
    // Where the plain head of object number at the start of text ends (the byte after
    // "stream"), or npos for any other form: the header "number G obj" (one to 18 digits each,
    // spaces or line ends between the words, a byte after "obj" that ends the word), white-space,
    // "<<" and entries that hold no string, comment or bracket of another dictionary, whose
    // arrays close in order and where no word ends in "obj" or "stream", so that the first ">>"
    // closes the dictionary; then white-space and "stream".
    static size_t read(std::string_view text, int64_t number);

    // What read gives, with the shape of the last head it accepted kept.
    size_t find(std::string_view text, int64_t number);

  private:
    // The longest head kept: longer ones are read each time.
    static constexpr size_t kMaxKept = 128;

    void keep(std::string_view text, size_t end);

    CPdfObjectShape form_;
};
