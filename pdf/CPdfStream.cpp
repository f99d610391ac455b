#include "pdf/CPdfStream.h"

#include "pdf/CPdfException.h"

#include <algorithm>

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

bool CPdfStream::readRest(std::string& out, size_t limit) {
    const size_t before = out.size();
    size_t step = 4096;
    for (;;) {
        const size_t size = out.size();
        out.resize(size + step);
        const size_t got = getChars(reinterpret_cast<unsigned char*>(out.data()) + size, step);
        out.resize(size + got);
        if (out.size() - before > limit) {
            out.resize(before);
            return false;
        }
        if (got < step) {
            return true;
        }
        step = std::min<size_t>(step * 2, 1 << 20);
    }
}
