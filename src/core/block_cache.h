#pragma once
// Large blocks of memory kept for reuse. A picture-sized array freed by one step or picture is
// handed to the next array of the same size: clearing memory the process already holds costs a
// fraction of what fresh pages cost (each fresh page is a fault, cleared by the system).
// Thread-safe; the cache holds a bounded number of bytes.

#include <cstddef>

namespace orv::core {

// A block of at least `bytes`, zeroed when `zeroed`. Never returns null: throws std::bad_alloc.
void* acquireBlock(size_t bytes, bool zeroed);
// Gives a block from acquireBlock back (null is ignored).
void releaseBlock(void* block, size_t bytes);

// Memory the system can still give (MemAvailable), plus what waits in the block cache, and no
// more than the process's own address-space limit leaves (RLIMIT_AS, as the picture helper
// sets it on itself); the largest value when it cannot be told. Every allocation whose size a
// file decides is checked against it before it is made.
size_t availableMemoryBytes();
// A ceiling on what availableMemoryBytes() reports (0: none), so that tests can show how a
// reader refuses what does not fit.
void setMemoryCeilingForTests(size_t bytes);

}  // namespace orv::core
