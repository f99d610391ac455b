#pragma once

#include "pdf/PdfSyntaxDictionaries.h"

#include <cstddef>

// The edits made to a text, at positions of the text before them, so that an entry found
// before them can be carried over to the edited text instead of being looked for again.
class CPdfEditLog {
  public:
    // The bytes [pos, pos + removed) replaced by added bytes (removed 0: an insertion at pos).
    void record(size_t pos, size_t removed, size_t added);
    // An edit that may have changed how the text reads: entries are to be looked for again.
    void markUnsure() { unsure_ = true; }
    // The entry moved along with the bytes before it; false when the log is unsure or an edit
    // falls inside the entry, and the entry is then to be looked for again.
    bool carry(pdf_syntax::DictEntry& entry) const;

  private:
    struct Edit {
        size_t pos = 0;
        size_t removed = 0;
        size_t added = 0;
    };
    static constexpr size_t kCapacity = 4;
    Edit edits_[kCapacity];
    size_t count_ = 0;
    bool unsure_ = false;
};
