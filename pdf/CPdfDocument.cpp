#include "pdf/CPdfDocument.h"

#include "pdf/CPdfArray.h"
#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfFileStream.h"
#include "pdf/CPdfSecurityHandler.h"
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
        if (xref_->isEncrypted()) {
            openProtection();
        }
    } catch (...) {
        close();
        throw;
    }
    opened_ = true;
}

void CPdfDocument::openProtection() {
    const CPdfDictionary& trailer = *xref_->trailer().getDictionary();
    const CPdfElement* entry = trailer.find("Encrypt");
    CPdfElement encrypt;
    int32_t encryptNumber = 0;
    if (entry->is(ElementKind::Reference)) {
        encryptNumber = entry->getRefNumber();
        xref_->fetchObject(entry->getRefNumber(), entry->getRefGeneration(), encrypt);
    } else {
        encrypt.assign(*entry);
    }
    if (!encrypt.is(ElementKind::Dictionary)) {
        throw CPdfException("PDF file was damaged", "the trailer's /Encrypt is no dictionary");
    }
    std::string firstId;
    CPdfElement id;
    trailer.getEntry("ID", id);
    if (id.is(ElementKind::Array) && id.getArray()->getCount() > 0 &&
        id.getArray()->getItem(0).is(ElementKind::String)) {
        firstId = id.getArray()->getItem(0).getText();
    }
    auto security = std::make_unique<CPdfSecurityHandler>(*encrypt.getDictionary(), firstId);
    if (!(!password_.empty() && security->authenticate(password_)) && !security->authenticate("")) {
        throw CPdfException(password_.empty()
                                ? "PDF file needs a password: give it with -password"
                                : "PDF file password is wrong: the password given with -password "
                                  "opens it neither as its owner nor as its user");
    }
    xref_->setSecurity(std::move(security), encryptNumber);
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
