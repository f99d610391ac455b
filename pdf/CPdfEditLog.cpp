#include "pdf/CPdfEditLog.h"

void CPdfEditLog::record(size_t pos, size_t removed, size_t added) {
    if (count_ == kCapacity) {
        unsure_ = true;
        return;
    }
    edits_[count_++] = Edit{pos, removed, added};
}

bool CPdfEditLog::carry(pdf_syntax::DictEntry& entry) const {
    if (unsure_) {
        return false;
    }
    size_t grown = 0;
    size_t shrunk = 0;
    for (size_t i = 0; i < count_; ++i) {
        const Edit& edit = edits_[i];
        if (edit.pos + edit.removed <= entry.keyStart) {
            grown += edit.added;
            shrunk += edit.removed;
        } else if (edit.pos < entry.valueEnd) {
            return false;
        }
    }
    entry.keyStart = entry.keyStart + grown - shrunk;
    entry.valueStart = entry.valueStart + grown - shrunk;
    entry.valueEnd = entry.valueEnd + grown - shrunk;
    return true;
}
