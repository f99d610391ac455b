#include "stamp/write/COutputFile.h"

#include "platform/Platform.h"

#include <cerrno>
#include <cstring>

namespace {
// When the output replaces a file, how much of it is let to pile up in the system's cache
// before it is sent on to disk. A rename over an existing file makes some file systems (ext4)
// write the whole new file out before the rename returns; sent on in steps, it goes to disk
// while the rest is made. A new name has no such cost: its writing is left to the system.
constexpr uint64_t kWritebackStep = 4 * 1024 * 1024;
} // namespace

COutputFile::~COutputFile() {
    discard();
}

bool COutputFile::acceptsName(const std::string& finalPath) {
    if (platform::isDirectory(finalPath)) {
        errno = EISDIR;
        return false;
    }
    return true;
}

bool COutputFile::create(const std::string& finalPath) {
    discard();
    if (isStandardOutput(finalPath)) {
        // Made whole in the system's temporary folder first: a run that fails on the way
        // leaves nothing on standard output.
        finalPath_ = finalPath;
        replacing_ = false;
        file_.reset(platform::createTempFile(tempPath_));
    } else {
        // Written through a link: the file it names is replaced and the link stays.
        finalPath_ = platform::followLinks(finalPath);
        if (!acceptsName(finalPath_)) {
            failed_ = true;
            return false;
        }
        replacing_ = platform::fileExists(finalPath_);
        file_.reset(platform::createTempFileBeside(finalPath_, tempPath_));
    }
    if (file_ != nullptr) {
        // The writes are gathered here already; a second buffer in the library would only split
        // them.
        std::setvbuf(file_.get(), nullptr, _IONBF, 0);
    }
    offset_ = 0;
    origin_ = 0;
    written_ = 0;
    writebackStarted_ = 0;
    failed_ = file_ == nullptr;
    if (!buffer_) {
        // Left as allocated, not cleared: a small output touches only the part it fills.
        buffer_.reset(new char[kBufferSize]);
    }
    used_ = 0;
    return file_ != nullptr;
}

void COutputFile::writeOther(std::string_view bytes) {
    if (file_ == nullptr) {
        failed_ = true;
        return;
    }
    offset_ += bytes.size();
    if (failed_ || bytes.empty()) {
        return;
    }
    if (bytes.size() > kBufferSize - used_) {
        flushBuffer();
        if (bytes.size() >= kBufferSize) {
            fileWrite(bytes.data(), bytes.size());
            return;
        }
    }
    std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
}

bool COutputFile::appendFileRange(std::FILE* source, uint64_t offset, uint64_t count) {
    if (file_ == nullptr) {
        failed_ = true;
    }
    offset_ += count;
    if (failed_) {
        return false;
    }
    flushBuffer();
    if (failed_ || !platform::appendFileRange(source, offset, count, file_.get())) {
        failed_ = true;
        return false;
    }
    handedOver(count);
    return true;
}

void COutputFile::flushBuffer() {
    if (used_ != 0) {
        fileWrite(buffer_.get(), used_);
    }
    used_ = 0;
}

void COutputFile::fileWrite(const char* data, size_t size) {
    if (failed_) {
        return;
    }
    if (std::fwrite(data, 1, size, file_.get()) != size) {
        failed_ = true;
        return;
    }
    handedOver(size);
}

void COutputFile::handedOver(uint64_t count) {
    written_ += count;
    if (replacing_ && written_ - writebackStarted_ >= kWritebackStep) {
        // The file is unbuffered: what was written is with the system already.
        platform::startWriteback(file_.get(), writebackStarted_, written_ - writebackStarted_);
        writebackStarted_ = written_;
    }
}

bool COutputFile::commit() {
    if (file_ == nullptr) {
        return false;
    }
    flushBuffer();
    // The file is unbuffered, so fclose has nothing left to flush; it still reports a failed
    // close.
    if (std::fclose(file_.release()) != 0) {
        failed_ = true;
    }
    targetInUse_ = false;
    if (!failed_ && isStandardOutput(finalPath_)) {
        failed_ = !sendToStandardOutput(tempPath_);
        platform::removeFile(tempPath_);
        tempPath_.clear();
        return !failed_;
    }
    if (failed_ || !platform::renameReplacing(tempPath_, finalPath_)) {
        targetInUse_ = !failed_ && platform::lastFailureWasInUse();
        platform::removeFile(tempPath_);
        tempPath_.clear();
        return false;
    }
    tempPath_.clear();
    return true;
}

bool COutputFile::sendToStandardOutput(const std::string& path) {
    std::string error;
    const UniqueFile file(platform::openRegularFile(path, error));
    return file != nullptr && platform::sendToStandardOutput(file.get());
}

void COutputFile::discard() {
    file_.reset();
    if (!tempPath_.empty()) {
        platform::removeFile(tempPath_);
        tempPath_.clear();
    }
    used_ = 0;
}
