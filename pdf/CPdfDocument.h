#pragma once

#include "pdf/CPdfInputFile.h"
#include "pdf/CPdfXRef.h" // complete, since the defaulted constructor destroys xref_ on failure

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

    // Opens the file (a regular file only); false when it cannot be opened, with
    // input().openError() saying why.
    bool openFile(const std::string& path);
    // Finds the header of the file opened and loads its cross-reference data, or throws
    // CPdfException (the loader's messages). A protected file is opened with the password set
    // before (or else the empty one): its objects are then read decrypted.
    void load();
    // The password tried on a protected file, as the owner's or the user's; when it opens
    // neither, the empty user password is tried as well.
    void setPassword(std::string password) { password_ = std::move(password); }
    // Both, or throws CPdfException ("Can't open file", the loader's messages).
    void open(const std::string& path);
    void close();
    bool isOpen() const { return opened_; }
    CPdfXRef* getXRef() const { return xref_.get(); }
    // The file's bytes, by offsets from its header.
    CPdfInputFile& input() { return input_; }

  private:
    // Opens the protection of the file with the password, or throws the cause.
    void openProtection();

    std::string password_;
    bool opened_ = false;
    CPdfInputFile input_;
    CPdfFileStream* fileStream_ = nullptr;
    std::unique_ptr<CPdfXRef> xref_;
};
