#pragma once

#include "pdf/CPdfElement.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

class CPdfXRef;

// A shared PDF dictionary, keys ordered byte-wise. A key given again takes the last value.
class CPdfDictionary {
  public:
    explicit CPdfDictionary(CPdfXRef* xref) : xref_(xref) {}
    virtual ~CPdfDictionary() = default;
    CPdfDictionary(const CPdfDictionary&) = delete;
    CPdfDictionary& operator=(const CPdfDictionary&) = delete;

    // The value resolved through the dictionary's xref; a missing key gives Null.
    void getEntry(std::string_view key, CPdfElement& out) const;
    // The value as stored; a missing key gives Null.
    void getRawEntry(std::string_view key, CPdfElement& out) const;
    // The stored value, or nullptr when the key is absent.
    const CPdfElement* find(std::string_view key) const;
    // Adds an entry as the file gives it; a key already present takes the new value.
    void addEntry(std::string_view key, const CPdfElement& value);
    // Sets a key's value, replacing the one it has.
    void replaceEntry(std::string_view key, const CPdfElement& value);
    size_t getCount() const { return entries_.size(); }
    const std::map<std::string, CPdfElement, std::less<>>& entries() const { return entries_; }

    CPdfXRef* xref() const { return xref_; }
    void setXRef(CPdfXRef* xref) { xref_ = xref; }

    void addRef() { ++refCount_; }
    void release();

  private:
    int32_t refCount_ = 1;
    CPdfXRef* xref_;
    std::map<std::string, CPdfElement, std::less<>> entries_;
};
