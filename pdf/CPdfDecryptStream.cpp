#include "pdf/CPdfDecryptStream.h"

#include "pdf/CPdfSecurityHandler.h"

#include <algorithm>

CPdfDecryptStream::CPdfDecryptStream(CPdfStream* raw, const CPdfSecurityHandler& security,
                                     int64_t number, int64_t generation)
    : raw_(raw), security_(security), number_(number), generation_(generation) {}

CPdfDecryptStream::~CPdfDecryptStream() {
    raw_->release();
}

const std::string& CPdfDecryptStream::data() {
    if (!decrypted_) {
        decrypted_ = true;
        // The window never reaches past the file, so the encrypted bytes are bounded by its
        // size.
        std::string raw;
        unsigned char chunk[16384];
        raw_->rewind();
        for (size_t got = raw_->getChars(chunk, sizeof chunk); got > 0;
             got = raw_->getChars(chunk, sizeof chunk)) {
            raw.append(reinterpret_cast<const char*>(chunk), got);
        }
        data_ = security_.decrypt(true, number_, generation_, raw);
    }
    return data_;
}

int CPdfDecryptStream::getChar() {
    const std::string& bytes = data();
    return pos_ < bytes.size() ? static_cast<unsigned char>(bytes[pos_++]) : -1;
}

int CPdfDecryptStream::peekChar() {
    const std::string& bytes = data();
    return pos_ < bytes.size() ? static_cast<unsigned char>(bytes[pos_]) : -1;
}

size_t CPdfDecryptStream::getChars(unsigned char* out, size_t count) {
    const std::string& bytes = data();
    const size_t take = pos_ < bytes.size() ? std::min<size_t>(count, bytes.size() - pos_) : 0;
    std::copy_n(bytes.data() + pos_, take, out);
    pos_ += take;
    return take;
}

const CPdfElement& CPdfDecryptStream::getDict() const {
    return raw_->getDict();
}

void CPdfDecryptStream::setPos(int64_t offset, int origin) {
    const int64_t size = static_cast<int64_t>(data().size());
    int64_t base = origin == 1 ? static_cast<int64_t>(pos_) : origin == 2 ? size : 0;
    const int64_t target = offset > size - base ? size : std::max<int64_t>(0, base + offset);
    pos_ = static_cast<uint64_t>(target);
}

uint64_t CPdfDecryptStream::getLength() const {
    return raw_->getLength();
}
