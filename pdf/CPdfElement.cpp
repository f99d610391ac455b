#include "pdf/CPdfElement.h"

#include "pdf/CPdfArray.h"
#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfStream.h"
#include "pdf/CPdfXRef.h"

#include <limits>
#include <utility>

CPdfElement::CPdfElement(const CPdfElement& other) {
    assign(other);
}

CPdfElement::CPdfElement(CPdfElement&& other) noexcept {
    *this = std::move(other);
}

CPdfElement& CPdfElement::operator=(const CPdfElement& other) {
    if (this != &other) {
        // Take the new reference before dropping the old one: other may live inside our container.
        CPdfElement copy(other);
        *this = std::move(copy);
    }
    return *this;
}

CPdfElement& CPdfElement::operator=(CPdfElement&& other) noexcept {
    if (this != &other) {
        clear();
        kind_ = other.kind_;
        boolean_ = other.boolean_;
        integer_ = other.integer_;
        integer64_ = other.integer64_;
        generation_ = other.generation_;
        real_ = other.real_;
        text_ = std::move(other.text_);
        array_ = other.array_;
        dictionary_ = other.dictionary_;
        stream_ = other.stream_;
        other.array_ = nullptr;
        other.dictionary_ = nullptr;
        other.stream_ = nullptr;
        other.text_.clear();
        other.kind_ = ElementKind::None;
    }
    return *this;
}

CPdfElement::~CPdfElement() {
    clear();
}

void CPdfElement::assign(const CPdfElement& source) {
    if (this == &source) {
        return;
    }
    clear();
    kind_ = source.kind_;
    boolean_ = source.boolean_;
    integer_ = source.integer_;
    integer64_ = source.integer64_;
    generation_ = source.generation_;
    real_ = source.real_;
    switch (kind_) {
    case ElementKind::String:
    case ElementKind::Name:
    case ElementKind::Keyword:
        text_ = source.text_;
        break;
    case ElementKind::Array:
        array_ = source.array_;
        array_->addRef();
        break;
    case ElementKind::Dictionary:
        dictionary_ = source.dictionary_;
        dictionary_->addRef();
        break;
    case ElementKind::Stream:
        stream_ = source.stream_;
        stream_->addRef();
        break;
    default:
        break;
    }
}

void CPdfElement::clear() {
    // Detach first: releasing may destroy a container whose items point back at us.
    CPdfArray* array = std::exchange(array_, nullptr);
    CPdfDictionary* dictionary = std::exchange(dictionary_, nullptr);
    CPdfStream* stream = std::exchange(stream_, nullptr);
    kind_ = ElementKind::None;
    text_.clear();
    text_.shrink_to_fit();
    boolean_ = false;
    integer_ = 0;
    integer64_ = 0;
    generation_ = 0;
    real_ = 0.0;
    if (array) {
        array->release();
    }
    if (dictionary) {
        dictionary->release();
    }
    if (stream) {
        stream->release();
    }
}

void CPdfElement::setBoolean(bool value) {
    clear();
    kind_ = ElementKind::Boolean;
    boolean_ = value;
}

void CPdfElement::setInteger(int32_t value) {
    setInteger64(value);
}

void CPdfElement::setInteger64(int64_t value) {
    clear();
    kind_ = ElementKind::Integer;
    integer64_ = value;
    if (value > std::numeric_limits<int32_t>::max()) {
        integer_ = std::numeric_limits<int32_t>::max();
    } else if (value < std::numeric_limits<int32_t>::min()) {
        integer_ = std::numeric_limits<int32_t>::min();
    } else {
        integer_ = static_cast<int32_t>(value);
    }
}

void CPdfElement::setReal(double value) {
    clear();
    kind_ = ElementKind::Real;
    real_ = value;
}

void CPdfElement::setNull() {
    clear();
    kind_ = ElementKind::Null;
}

void CPdfElement::setReference(int32_t number, int32_t generation) {
    clear();
    kind_ = ElementKind::Reference;
    integer_ = number;
    integer64_ = number;
    generation_ = generation;
}

void CPdfElement::setError() {
    clear();
    kind_ = ElementKind::Error;
}

void CPdfElement::setEndOfInput() {
    clear();
    kind_ = ElementKind::EndOfInput;
}

void CPdfElement::setString(std::string_view text) {
    clear();
    kind_ = ElementKind::String;
    text_.assign(text.data(), text.size());
}

void CPdfElement::setName(std::string_view text) {
    clear();
    kind_ = ElementKind::Name;
    text_.assign(text.data(), text.size());
}

void CPdfElement::setKeyword(std::string_view text) {
    clear();
    kind_ = ElementKind::Keyword;
    text_.assign(text.data(), text.size());
}

void CPdfElement::makeArray(CPdfXRef* xref) {
    clear();
    kind_ = ElementKind::Array;
    array_ = new CPdfArray(xref);
}

void CPdfElement::makeDictionary(CPdfXRef* xref) {
    clear();
    kind_ = ElementKind::Dictionary;
    dictionary_ = new CPdfDictionary(xref);
}

void CPdfElement::setDictionary(CPdfDictionary* dictionary) {
    dictionary->addRef();
    clear();
    kind_ = ElementKind::Dictionary;
    dictionary_ = dictionary;
}

void CPdfElement::setStream(CPdfStream* stream) {
    stream->addRef();
    clear();
    kind_ = ElementKind::Stream;
    stream_ = stream;
}

bool CPdfElement::isKeyword(std::string_view text) const {
    return kind_ == ElementKind::Keyword && text_ == text;
}

void CPdfElement::resolve(CPdfXRef* xref, CPdfElement& out) const {
    if (kind_ == ElementKind::Reference && xref) {
        xref->fetchObject(integer_, generation_, out);
    } else {
        out.assign(*this);
    }
}
