#pragma once
// Byte blocks from the collector's pointer-free heap. Never freed: the
// collector reclaims them once unreachable. Each returns null when the heap
// cannot grow.

#include <cstddef>

namespace zubo::gc {

char* alloc_bytes(std::size_t size);

// A zero-terminated copy of size bytes.
char* copy_bytes(const char* bytes, std::size_t size);

// The zero-terminated concatenation of a, b and c (c may be null), whatever
// their length: URLs and paths are built with this, never cut.
char* concat(const char* a, const char* b, const char* c = nullptr);

// Runs a full collection now, so the blocks of screens that have returned
// are free before a large block is asked for.
void collect();

}  // namespace zubo::gc
