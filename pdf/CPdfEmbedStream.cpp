#include "pdf/CPdfEmbedStream.h"

CPdfEmbedStream::CPdfEmbedStream(CPdfStream* underlying, const CPdfElement& dict, bool limited,
                                 int64_t limit)
    : dict_(dict), underlying_(underlying), limited_(limited), remaining_(limit) {}

int CPdfEmbedStream::getChar() {
    if (limited_) {
        if (remaining_ <= 0) {
            return -1;
        }
        --remaining_;
    }
    return underlying_->getChar();
}

int CPdfEmbedStream::peekChar() {
    if (limited_ && remaining_ <= 0) {
        return -1;
    }
    return underlying_->peekChar();
}
