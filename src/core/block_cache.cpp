#include "core/block_cache.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace orv::core {

namespace {

// Blocks below this size come and go through malloc, which keeps them itself.
constexpr size_t kCachedFrom = size_t{1} << 20;
// At most this much memory waits in the cache.
constexpr size_t kCacheLimit = size_t{512} << 20;
// Blocks from this size are mapped in whole huge pages (2 MiB, aligned to them) and asked to be
// backed by them: a picture-sized array then costs one page fault per 2 MiB instead of one per
// 4 KiB, and giving it back to the system at exit is as much cheaper.
constexpr size_t kHugePage = size_t{2} << 20;

// The bytes mapped for a block of `bytes`.
size_t mappedBytes(size_t bytes) {
    return bytes >= kHugePage ? (bytes + kHugePage - 1) / kHugePage * kHugePage : bytes;
}

// Fresh zero pages for a block of `bytes` (at least kCachedFrom), aligned to huge pages where
// the block is that large; a smaller one with `populate` is mapped in at once (the caller writes
// every byte).
void* freshBlock(size_t bytes, bool populate) {
    const size_t mapped = mappedBytes(bytes);
    if (mapped < kHugePage) {
        void* p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | (populate ? MAP_POPULATE : 0), -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        return p;
    }
    // Map one huge page more and cut the ends so that the block starts on a huge page.
    void* raw = mmap(nullptr, mapped + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > start) munmap(raw, aligned - start);
    const uintptr_t end = start + mapped + kHugePage;
    if (end > aligned + mapped)
        munmap(reinterpret_cast<void*>(aligned + mapped), end - aligned - mapped);
    void* block = reinterpret_cast<void*>(aligned);
    madvise(block, mapped, MADV_HUGEPAGE);
    // Not mapped in here even when it is to be written in full: a fault per huge page costs
    // little, and the threads that write the block's bands then clear their own pages at once
    // instead of this thread clearing them all first.
    return block;
}

struct Cached {
    void* block;
    size_t bytes;
};

struct Cache {
    std::mutex mutex;
    std::vector<Cached> blocks;
    size_t held = 0;

    // The cache lives until the process ends, and the system takes its blocks back then in one
    // go: unmapping them one by one before would only add to the time of every exit.
    ~Cache() = default;
};

Cache& cache() {
    static Cache c;
    return c;
}

}  // namespace

void* acquireBlock(size_t bytes, bool zeroed) {
    if (bytes >= kCachedFrom) {
        Cache& c = cache();
        void* block = nullptr;
        {
            std::lock_guard lock(c.mutex);
            for (size_t i = 0; i < c.blocks.size(); ++i) {
                if (c.blocks[i].bytes != bytes) continue;
                block = c.blocks[i].block;
                c.held -= bytes;
                c.blocks.erase(c.blocks.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
        if (block != nullptr) {
            // A block in whole huge pages is zeroed by giving its pages back: the system maps
            // zero pages again where it is next touched, so the parts never touched cost nothing
            // and the rest is cleared once, not cleared and then written over.
            if (zeroed &&
                (bytes < kHugePage || madvise(block, mappedBytes(bytes), MADV_DONTNEED) != 0))
                std::memset(block, 0, bytes);
            return block;
        }
        // Fresh pages from the system are zero. A block that is about to be written in full
        // gets its pages at once, which costs much less than a fault per page.
        return freshBlock(bytes, !zeroed);
    }
    void* block = zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void releaseBlock(void* block, size_t bytes) {
    if (block == nullptr) return;
    if (bytes >= kCachedFrom) {
        Cache& c = cache();
        std::vector<Cached> evicted;
        {
            std::lock_guard lock(c.mutex);
            c.blocks.push_back({block, bytes});
            c.held += bytes;
            // The oldest blocks go first when the cache is over its limit.
            while (c.held > kCacheLimit) {
                evicted.push_back(c.blocks.front());
                c.held -= c.blocks.front().bytes;
                c.blocks.erase(c.blocks.begin());
            }
        }
        for (const Cached& e : evicted) munmap(e.block, mappedBytes(e.bytes));
        return;
    }
    std::free(block);
}

namespace {

std::atomic<size_t> testCeiling{0};

// What the address-space limit leaves (SIZE_MAX without one).
size_t addressSpaceLeft() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) return SIZE_MAX;
    size_t pages = 0;
    const bool read = std::fscanf(f, "%zu", &pages) == 1;
    std::fclose(f);
    if (!read) return SIZE_MAX;
    const size_t used = pages * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}

}  // namespace

void setMemoryCeilingForTests(size_t bytes) {
    testCeiling = bytes;
}

size_t availableMemoryBytes() {
    size_t cached = 0;
    {
        Cache& c = cache();
        std::lock_guard lock(c.mutex);
        cached = c.held;
    }
    std::FILE* f = std::fopen("/proc/meminfo", "r");
    if (f == nullptr) return SIZE_MAX;
    char line[256];
    size_t kib = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f))
        found = std::sscanf(line, "MemAvailable: %zu kB", &kib) == 1;
    std::fclose(f);
    size_t available = std::min(found ? kib * 1024 + cached : SIZE_MAX, addressSpaceLeft());
    if (const size_t ceiling = testCeiling; ceiling > 0) available = std::min(available, ceiling);
    return available;
}

}  // namespace orv::core
