#pragma once

#include "platform/UniqueFile.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

// The output PDF, written to a temporary file beside its final name and moved there only when
// it is complete. Every write is checked; the first failure is kept and reported by commit.
// The name "-" is standard output: the temporary file is then made in the system's temporary
// folder and copied to standard output when it is complete.
class COutputFile {
  public:
    static bool isStandardOutput(const std::string& name) { return name == "-"; }

    COutputFile() = default;
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    // Whether an output can be made under finalPath: not where a folder has that name, which
    // could never be replaced (errno is then set to EISDIR). A run that makes its output in
    // steps asks before the first.
    static bool acceptsName(const std::string& finalPath);
    // Creates the temporary file in the folder of finalPath, or of the file it names when it is
    // a symbolic link; refused for a name that acceptsName refuses, before anything is written.
    bool create(const std::string& finalPath);
    void write(std::string_view bytes) {
        // Small pieces are gathered in the buffer while it has room: the common case, inline.
        if (bytes.size() <= kBufferSize - used_ && !failed_ && file_ != nullptr && !bytes.empty()) {
            std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
            used_ += bytes.size();
            offset_ += bytes.size();
            return;
        }
        writeOther(bytes);
    }
    void write(const char* data, size_t size) { write(std::string_view(data, size)); }
    // Appends count bytes of an open file from offset on, copied by the system where it can
    // (see platform::appendFileRange). False, and the output failed, when they could not all
    // be copied.
    bool appendFileRange(std::FILE* source, uint64_t offset, uint64_t count);
    // Where offset() counts from: the output's offsets count as the input's do, from its
    // "%PDF-" header, when the input's bytes before it are copied as well. 0 unless set.
    void setOrigin(uint64_t position) { origin_ = position; }
    // The position of the next byte, from the origin.
    uint64_t offset() const { return offset_ - origin_; }
    bool failed() const { return failed_; }
    // Flushes, closes and renames the temporary file to the final name (or copies it to
    // standard output); false on any failure. The temporary file is removed in either case.
    bool commit();
    // After a failed commit: true when the final name could not be replaced because another
    // program holds that file open (a viewer, on Windows).
    bool targetInUse() const { return targetInUse_; }
    // Closes and removes the temporary file; the final name is not touched.
    void discard();
    bool isOpen() const { return file_ != nullptr; }

  private:
    static constexpr size_t kBufferSize = 256 * 1024;

    // Every write that does not simply go into the buffer.
    void writeOther(std::string_view bytes);
    void flushBuffer();
    void fileWrite(const char* data, size_t size);
    // Counts bytes now with the system, and starts the writeback of a replacing output.
    void handedOver(uint64_t count);
    // Copies the complete file to standard output; false when it could not all be sent.
    static bool sendToStandardOutput(const std::string& path);

    UniqueFile file_;
    std::string finalPath_;
    std::string tempPath_;
    std::unique_ptr<char[]> buffer_; // kBufferSize bytes, allocated once; the first used_ are held
    size_t used_ = 0;
    uint64_t offset_ = 0;
    uint64_t origin_ = 0;
    uint64_t written_ = 0;          // bytes handed to the file
    uint64_t writebackStarted_ = 0; // bytes the system was asked to start writing to disk
    bool replacing_ = false;        // a file under the final name is to be replaced
    bool failed_ = false;
    bool targetInUse_ = false;
};
