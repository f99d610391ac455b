#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The head of a stream object as writers put it: its own header, a dictionary of plain entries
// and the keyword "stream" ("520 0 obj\n<< /Length 584 >>\nstream"). The content streams of one
// writer have heads of one form that differ only in their digits (the object's number, its
// /Length), so the form of the last head read is kept: a head with the same bytes where that one
// has no digit, and digits where it has them, is judged by a comparison of its bytes, eight at a
// time, instead of a reading of them.
class PlainStreamHead {
  public:
    // Where the plain head of object number at the start of text ends (the byte after
    // "stream"), or npos for any other form: the header "number G obj" (one to 18 digits each,
    // spaces or line ends between the words, a byte after "obj" that ends the word), white-space,
    // "<<" and entries that hold no string, comment or bracket of another dictionary, whose
    // arrays close in order and where no word ends in "obj" or "stream", so that the first ">>"
    // closes the dictionary; then white-space and "stream".
    static size_t read(std::string_view text, int64_t number);

    // What read gives, with the form of the last head it accepted kept.
    size_t find(std::string_view text, int64_t number);

  private:
    // Eight bytes of the kept form from at: the bytes that are no digits (and which these are),
    // and which bytes are digits.
    struct Word {
        size_t at = 0;
        uint64_t kept = 0;
        uint64_t fixed = 0;
        uint64_t digits = 0;
    };
    // The longest head kept: longer ones are read each time.
    static constexpr size_t kMaxKept = 128;

    bool matchesKept(std::string_view text, int64_t number) const;
    void keep(std::string_view text, size_t end);

    std::vector<Word> words_;
    size_t end_ = 0;          // the kept head's length; 0 while none is kept
    size_t numberDigits_ = 0; // the digits of its header's number, at its start
};
