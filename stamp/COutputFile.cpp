#include "stamp/COutputFile.h"

#include "platform/Platform.h"

namespace {
constexpr size_t kBufferSize = 256 * 1024;
} // namespace

COutputFile::~COutputFile() { discard(); }

bool COutputFile::create(const std::string& finalPath) {
    discard();
    finalPath_ = finalPath;
    file_ = platform::createTempFileBeside(finalPath, tempPath_);
    offset_ = 0;
    failed_ = file_ == nullptr;
    buffer_.clear();
    buffer_.reserve(kBufferSize);
    return file_ != nullptr;
}

void COutputFile::write(std::string_view bytes) {
    if (file_ == nullptr) {
        failed_ = true;
        return;
    }
    offset_ += bytes.size();
    if (failed_) {
        return;
    }
    if (buffer_.size() + bytes.size() > kBufferSize) {
        flushBuffer();
        if (bytes.size() >= kBufferSize) {
            if (!failed_ && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
                failed_ = true;
            }
            return;
        }
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void COutputFile::flushBuffer() {
    if (!buffer_.empty() && !failed_ &&
        std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
        failed_ = true;
    }
    buffer_.clear();
}

bool COutputFile::commit() {
    if (file_ == nullptr) {
        return false;
    }
    flushBuffer();
    if (std::fflush(file_) != 0) {
        failed_ = true;
    }
    if (std::fclose(file_) != 0) {
        failed_ = true;
    }
    file_ = nullptr;
    if (failed_ || !platform::renameReplacing(tempPath_, finalPath_)) {
        platform::removeFile(tempPath_);
        tempPath_.clear();
        return false;
    }
    tempPath_.clear();
    return true;
}

void COutputFile::discard() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!tempPath_.empty()) {
        platform::removeFile(tempPath_);
        tempPath_.clear();
    }
    buffer_.clear();
}
