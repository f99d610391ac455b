#include "pdf/CPdfArray.h"

void CPdfArray::release() {
    if (--refCount_ <= 0) {
        delete this;
    }
}
