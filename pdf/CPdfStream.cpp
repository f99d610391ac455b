#include "pdf/CPdfStream.h"

#include "pdf/CPdfException.h"

void CPdfStream::release()
{
    if (--refCount_ <= 0) {
        delete this;
    }
}

int CPdfStream::getRawChar()
{
    throw CPdfException("Internal: called getRawChar() on non-predictor stream");
}
