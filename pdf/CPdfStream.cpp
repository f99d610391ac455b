#include "pdf/CPdfStream.h"

#include "pdf/CPdfException.h"

void CPdfStream::release() {
    if (--refCount_ <= 0) {
        delete this;
    }
}

int CPdfStream::getRawChar() {
    throw CPdfException("Internal: called getRawChar() on non-predictor stream");
}

size_t CPdfStream::getChars(unsigned char* out, size_t count) {
    size_t got = 0;
    for (; got < count; ++got) {
        const int c = getChar();
        if (c < 0) {
            break;
        }
        out[got] = static_cast<unsigned char>(c);
    }
    return got;
}
