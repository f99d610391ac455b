#include "pdf/CPdfDictionary.h"

void CPdfDictionary::getEntry(std::string_view key, CPdfElement& out) const {
    const CPdfElement* value = find(key);
    if (!value) {
        out.setNull();
        return;
    }
    value->resolve(xref_, out);
}

void CPdfDictionary::getRawEntry(std::string_view key, CPdfElement& out) const {
    const CPdfElement* value = find(key);
    if (!value) {
        out.setNull();
        return;
    }
    out.assign(*value);
}

const CPdfElement* CPdfDictionary::find(std::string_view key) const {
    auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : &it->second;
}

void CPdfDictionary::addEntry(std::string_view key, const CPdfElement& value) {
    // A key given again replaces its value: the last one is in force, as viewers read it.
    replaceEntry(key, value);
}

void CPdfDictionary::replaceEntry(std::string_view key, const CPdfElement& value) {
    if (auto it = entries_.find(key); it != entries_.end()) {
        it->second = value;
    } else {
        entries_.emplace(std::string(key), value);
    }
}

void CPdfDictionary::release() {
    if (--refCount_ <= 0) {
        delete this;
    }
}
