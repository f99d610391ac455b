#include "platform/Platform.h"
#include "platform/PlatformSystem.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

namespace platform {

namespace {

// The mappings the bus-error handler knows: the handler may only read these atomics.
struct MappingSlot {
    std::atomic<uintptr_t> start{0}; // 0: free
    std::atomic<uintptr_t> end{0};
    std::atomic<bool> damaged{false};
};
constexpr int kMappingSlots = 32;
MappingSlot mappingSlots[kMappingSlots];
std::mutex slotsLock; // taking and freeing slots; never touched by the handler

uintptr_t pageSize = 4096;
struct sigaction previousBusAction {};
bool busHandlerInstalled = false;
std::once_flag busHandlerOnce;

// A read from a mapped file whose page cannot be read (the file shrank, or the device failed)
// raises SIGBUS. For our mappings a page of zeros takes the page's place and the mapping is
// marked damaged; the read then completes. Any other bus error goes where it went before.
void onBusError(int signal, siginfo_t* info, void* context) {
    const uintptr_t address = reinterpret_cast<uintptr_t>(info->si_addr);
    for (MappingSlot& slot : mappingSlots) {
        const uintptr_t start = slot.start.load(std::memory_order_acquire);
        if (start == 0 || address < start || address >= slot.end.load(std::memory_order_acquire)) {
            continue;
        }
        void* page = reinterpret_cast<void*>(address & ~(pageSize - 1));
        if (mmap(page, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
            MAP_FAILED) {
            slot.damaged.store(true, std::memory_order_release);
            return;
        }
        break;
    }
    if ((previousBusAction.sa_flags & SA_SIGINFO) != 0 &&
        previousBusAction.sa_sigaction != nullptr) {
        previousBusAction.sa_sigaction(signal, info, context);
        return;
    }
    if (previousBusAction.sa_handler != SIG_DFL && previousBusAction.sa_handler != SIG_IGN &&
        previousBusAction.sa_handler != nullptr) {
        previousBusAction.sa_handler(signal);
        return;
    }
    // The default action: the faulting read runs again and ends the process, as without us.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(SIGBUS, &fallback, nullptr);
}

void installBusHandler() {
    const long size = sysconf(_SC_PAGESIZE);
    if (size <= 0 || (size & (size - 1)) != 0) {
        return;
    }
    pageSize = static_cast<uintptr_t>(size);
    struct sigaction action {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    busHandlerInstalled = sigaction(SIGBUS, &action, &previousBusAction) == 0;
}

} // namespace

bool systemMapFile(std::FILE* file, uint64_t size, FileMapping& out) {
    std::call_once(busHandlerOnce, installBusHandler);
    if (!busHandlerInstalled) {
        return false;
    }
    const int descriptor = fileno(file);
    if (descriptor < 0) {
        return false;
    }
    void* address = mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, descriptor, 0);
    if (address == MAP_FAILED) {
        return false;
    }
    const uintptr_t start = reinterpret_cast<uintptr_t>(address);
    std::lock_guard<std::mutex> guard(slotsLock);
    for (int i = 0; i < kMappingSlots; ++i) {
        MappingSlot& slot = mappingSlots[i];
        if (slot.start.load(std::memory_order_relaxed) != 0) {
            continue;
        }
        slot.damaged.store(false, std::memory_order_relaxed);
        slot.end.store(start + static_cast<uintptr_t>(size), std::memory_order_relaxed);
        slot.start.store(start, std::memory_order_release);
        out.data = static_cast<const char*>(address);
        out.size = size;
        out.slot = i;
        return true;
    }
    // More files mapped at once than the handler can watch: this one is read instead.
    munmap(address, static_cast<size_t>(size));
    return false;
}

void unmapFile(FileMapping& mapping) {
    if (mapping.data == nullptr) {
        return;
    }
    if (mapping.slot >= 0 && mapping.slot < kMappingSlots) {
        std::lock_guard<std::mutex> guard(slotsLock);
        mappingSlots[mapping.slot].start.store(0, std::memory_order_release);
        mappingSlots[mapping.slot].end.store(0, std::memory_order_relaxed);
    }
    munmap(const_cast<char*>(mapping.data), static_cast<size_t>(mapping.size));
    mapping = FileMapping{};
}

void systemReleasePages(const char* start, uint64_t length) {
    (void)madvise(const_cast<char*>(start), static_cast<size_t>(length), MADV_DONTNEED);
}

bool populateMappedRange(const FileMapping& mapping, uint64_t offset, uint64_t length) {
    if (mapping.data == nullptr || offset >= mapping.size) {
        return false;
    }
#ifdef MADV_POPULATE_READ
    const uint64_t start = offset - offset % pageSize;
    if (madvise(const_cast<char*>(mapping.data) + start,
                static_cast<size_t>(mappedEnd(mapping, offset, length) - start),
                MADV_POPULATE_READ) != 0) {
        // EFAULT: part of the range cannot be read (the file shrank). Any other error means
        // the system cannot read ahead; the pages then come in as they are touched.
        return errno != EFAULT;
    }
#else
    (void)length;
#endif
    return true;
}

bool mappingDamaged(const FileMapping& mapping) {
    if (mapping.data == nullptr || mapping.slot < 0 || mapping.slot >= kMappingSlots) {
        return false;
    }
    return mappingSlots[mapping.slot].damaged.load(std::memory_order_acquire);
}

} // namespace platform
