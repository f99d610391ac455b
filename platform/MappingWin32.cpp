#include "platform/Platform.h"
#include "platform/PlatformSystem.h"

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

namespace {} // namespace

bool systemMapFile(std::FILE* file, uint64_t size, FileMapping& out) {
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

void systemReleasePages(const char* start, uint64_t length) {
    // Unlocking pages that are not locked takes them out of the working set: the memory goes
    // back to the system, and the pages are read from the file again when next touched.
    (void)VirtualUnlock(const_cast<char*>(start), static_cast<SIZE_T>(length));
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

} // namespace platform
