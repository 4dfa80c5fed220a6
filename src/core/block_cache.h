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

// Memory the system can still give (MemAvailable), plus what waits in the block cache; the
// largest value when it cannot be told.
size_t availableMemoryBytes();

}  // namespace orv::core
