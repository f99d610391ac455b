#pragma once

#include "pdf/CPdfXRef.h" // complete, since the defaulted constructor destroys xref_ on failure

#include <cstdio>
#include <memory>
#include <string>

class CPdfFileStream;

// One opened input PDF file: the file, the stream over it and its cross-reference table.
class CPdfDocument {
  public:
    CPdfDocument() = default;
    virtual ~CPdfDocument();
    CPdfDocument(const CPdfDocument&) = delete;
    CPdfDocument& operator=(const CPdfDocument&) = delete;

    // Opens and loads the file, or throws CPdfException ("Can't open file", loader messages).
    void open(const std::string& path);
    void close();
    bool isOpen() const { return opened_; }
    CPdfXRef* getXRef() const { return xref_.get(); }

  private:
    bool opened_ = false;
    std::FILE* file_ = nullptr;
    CPdfFileStream* fileStream_ = nullptr;
    std::unique_ptr<CPdfXRef> xref_;
};
