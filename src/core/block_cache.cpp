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

struct Cached {
    void* block;
    size_t bytes;
};

struct Cache {
    std::mutex mutex;
    std::vector<Cached> blocks;
    size_t held = 0;

    ~Cache() {
        for (auto& c : blocks) munmap(c.block, c.bytes);
    }
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
            if (zeroed) std::memset(block, 0, bytes);
            return block;
        }
        // Fresh pages from the system are zero. A block that is about to be written in full
        // gets its pages at once, which costs much less than a fault per page.
        void* fresh = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | (zeroed ? 0 : MAP_POPULATE), -1, 0);
        if (fresh == MAP_FAILED) throw std::bad_alloc();
        return fresh;
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
        for (const Cached& e : evicted) munmap(e.block, e.bytes);
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
