#pragma once

#include <cstdint>
#include <string>

class CPdfStream;

// Reads the subsection headers and rows of a classic cross-reference table: the tokens are
// those of the object lexer (white-space and comments skipped, any spacing and leading zeros
// accepted), and words that some writers put after a row on its line ("0000000000 65535 f
// free list head") are passed over, as long as they begin no row, subsection or trailer.
class CPdfTableScanner {
  public:
    enum class Kind { Integer, Word, Other, End };
    struct Token {
        Kind kind = Kind::End;
        int64_t value = 0; // Integer
        std::string text;  // Word
        bool isWord(const char* word) const { return kind == Kind::Word && text == word; }
    };

    explicit CPdfTableScanner(CPdfStream& source) : source_(source) {}

    Token next();
    // One row in the layout that writers use, "oooooooooo ggggg n" and a two-byte line end,
    // read without tokens; it gives what next() would give for its three tokens. When the
    // bytes after any white-space are not such a row, nothing is consumed and false returned.
    bool nextStandardRow(int64_t& offset, int64_t& generation, bool& inUse);
    // Up to max rows in that layout read one after the other from the bytes the stream has
    // already read ahead, each as nextStandardRow reads it: how many were read into rows. It
    // stops before the first that is no such row (its white-space passed over, as
    // nextStandardRow passes it) or that is not wholly in those bytes; nextStandardRow then
    // decides that row.
    struct StandardRow {
        int64_t offset = 0;
        int64_t generation = 0;
        bool inUse = false;
    };
    size_t nextStandardRows(StandardRow* rows, size_t max);
    // Called after a row's type letter: skips the rest of its line when it holds no row.
    void skipRowComment();

  private:
    void skipSpace();

    CPdfStream& source_;
};
