#pragma once

#include "pdf/CPdfElement.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class CPdfXRef;

// A shared PDF array. Created with reference count 1; the last release deletes it.
class CPdfArray {
  public:
    explicit CPdfArray(CPdfXRef* xref) : xref_(xref) {}
    virtual ~CPdfArray() = default;
    CPdfArray(const CPdfArray&) = delete;
    CPdfArray& operator=(const CPdfArray&) = delete;

    size_t getCount() const { return items_.size(); }
    // The item as stored, without resolving. index < getCount().
    const CPdfElement& getItem(size_t index) const { return items_[index]; }
    void append(const CPdfElement& item) { items_.push_back(item); }
    CPdfXRef* xref() const { return xref_; }

    void addRef() { ++refCount_; }
    void release();

  private:
    int32_t refCount_ = 1;
    CPdfXRef* xref_;
    std::vector<CPdfElement> items_;
};
