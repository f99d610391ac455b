#include "platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <io.h>
#include <windows.h>

namespace platform {

// Windows keeps a file from being cut shorter while a view of it is mapped (SetEndOfFile then
// fails with ERROR_USER_MAPPED_FILE), so the shrinking file that damages a POSIX mapping
// cannot happen here, and a mapping is never marked damaged. The pages come in as they are
// touched; nothing is read ahead.

namespace {

std::atomic<bool> mappingEnabled{true};
// The large page size of the POSIX side: memory is given back in the same steps.
constexpr uint64_t kLargePage = 2 * 1024 * 1024;

uint64_t mappedEnd(const FileMapping& mapping, uint64_t offset, uint64_t length) {
    return length > mapping.size - offset ? mapping.size : offset + length;
}

} // namespace

bool mapFile(std::FILE* file, uint64_t size, FileMapping& out) {
    out = FileMapping{};
    if (file == nullptr || size == 0 || size > SIZE_MAX / 2 ||
        !mappingEnabled.load(std::memory_order_relaxed)) {
        return false;
    }
    const int descriptor = _fileno(file);
    if (descriptor < 0) {
        return false;
    }
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    HANDLE section =
        CreateFileMappingW(handle, nullptr, PAGE_READONLY, static_cast<DWORD>(size >> 32),
                           static_cast<DWORD>(size & 0xffffffffULL), nullptr);
    if (section == nullptr) {
        return false;
    }
    void* view = MapViewOfFile(section, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(size));
    // The view keeps the section alive.
    CloseHandle(section);
    if (view == nullptr) {
        return false;
    }
    out.data = static_cast<const char*>(view);
    out.size = size;
    return true;
}

void unmapFile(FileMapping& mapping) {
    if (mapping.data == nullptr) {
        return;
    }
    UnmapViewOfFile(mapping.data);
    mapping = FileMapping{};
}

void releaseMappedRange(const FileMapping& mapping, uint64_t offset, uint64_t length) {
    if (mapping.data == nullptr || offset >= mapping.size) {
        return;
    }
    const uint64_t start = offset - offset % kLargePage;
    const uint64_t last = mappedEnd(mapping, offset, length);
    const uint64_t end = std::min((last + kLargePage - 1) / kLargePage * kLargePage, mapping.size);
    // Unlocking pages that are not locked takes them out of the working set: the memory goes
    // back to the system, and the pages are read from the file again when next touched.
    (void)VirtualUnlock(const_cast<char*>(mapping.data) + start, static_cast<SIZE_T>(end - start));
}

bool populateMappedRange(const FileMapping& mapping, uint64_t offset, uint64_t length) {
    if (mapping.data == nullptr || offset >= mapping.size) {
        return false;
    }
    (void)length;
    return true;
}

bool mappingDamaged(const FileMapping& mapping) {
    (void)mapping;
    return false;
}

void setFileMappingForTesting(bool enabled) {
    mappingEnabled.store(enabled, std::memory_order_relaxed);
}

} // namespace platform
