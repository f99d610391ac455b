#include "pdf/CPdfDocument.h"

#include "pdf/CPdfException.h"
#include "pdf/CPdfFileStream.h"
#include "pdf/CPdfXRef.h"

#include <string_view>

namespace {

// Where "%PDF-" begins within the first 1023 bytes (positions 0 to 1017), or -1.
int64_t findHeader(CPdfInputFile& input) {
    std::string_view head;
    if (!input.view(0, 1023, head)) {
        return -1;
    }
    const size_t at = head.find("%PDF-");
    return at == std::string_view::npos || at > 1017 ? -1 : static_cast<int64_t>(at);
}

} // namespace

CPdfDocument::~CPdfDocument() {
    close();
}

bool CPdfDocument::openFile(const std::string& path) {
    close();
    return input_.open(path);
}

void CPdfDocument::load() {
    try {
        const int64_t header = findHeader(input_);
        if (header > 0) {
            input_.setBase(static_cast<uint64_t>(header));
        }
        CPdfElement none;
        none.setNull();
        fileStream_ = new CPdfFileStream(input_, 0, 0, none);
        xref_ = std::make_unique<CPdfXRef>(fileStream_);
        xref_->load();
    } catch (...) {
        close();
        throw;
    }
    opened_ = true;
}

void CPdfDocument::open(const std::string& path) {
    if (!openFile(path)) {
        throw CPdfException("Can't open file", input_.openError());
    }
    load();
}

void CPdfDocument::close() {
    xref_.reset();
    if (fileStream_) {
        fileStream_->release();
        fileStream_ = nullptr;
    }
    input_.close();
    opened_ = false;
}
