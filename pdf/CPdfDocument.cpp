#include "pdf/CPdfDocument.h"

#include "pdf/CPdfException.h"
#include "pdf/CPdfFileStream.h"
#include "pdf/CPdfXRef.h"

#include <cstring>

namespace {

// Where "%PDF-" begins within the first 1023 bytes (positions 0 to 1017), or -1.
int64_t findHeader(CPdfFileStream& file) {
    char head[1023];
    file.rewind();
    for (char& c : head) {
        int b = file.getChar();
        c = static_cast<char>(b < 0 ? 255 : b);
    }
    for (int p = 0; p <= 1017; ++p) {
        if (std::memcmp(head + p, "%PDF-", 5) == 0) {
            return p;
        }
    }
    return -1;
}

} // namespace

CPdfDocument::~CPdfDocument() {
    close();
}

void CPdfDocument::open(const std::string& path) {
    close();
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
        throw CPdfException("Can't open file");
    }
    // The file streams buffer for themselves; a second buffer in the C library would only copy.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    try {
        CPdfElement none;
        none.setNull();
        fileStream_ = new CPdfFileStream(file_, 0, 0, none);
        int64_t header = findHeader(*fileStream_);
        if (header > 0) {
            fileStream_->shiftStart(header);
        }
        xref_ = std::make_unique<CPdfXRef>(fileStream_);
        xref_->load();
    } catch (...) {
        close();
        throw;
    }
    opened_ = true;
}

void CPdfDocument::close() {
    xref_.reset();
    if (fileStream_) {
        fileStream_->release();
        fileStream_ = nullptr;
    }
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    opened_ = false;
}
