#include "text/gc_bytes.h"

#include <gc.h>

#include <cstring>

namespace zubo::gc {

char* alloc_bytes(std::size_t size) { return static_cast<char*>(GC_malloc_atomic(size)); }

char* copy_bytes(const char* bytes, std::size_t size) {
    char* copy = alloc_bytes(size + 1);
    if (!copy) return nullptr;
    std::memcpy(copy, bytes, size);
    copy[size] = '\0';
    return copy;
}

char* concat(const char* a, const char* b, const char* c) {
    std::size_t la = std::strlen(a), lb = std::strlen(b), lc = c ? std::strlen(c) : 0;
    char* joined = alloc_bytes(la + lb + lc + 1);
    if (!joined) return nullptr;
    std::memcpy(joined, a, la);
    std::memcpy(joined + la, b, lb);
    if (c) std::memcpy(joined + la + lb, c, lc);
    joined[la + lb + lc] = '\0';
    return joined;
}

void collect() { GC_gcollect(); }

}  // namespace zubo::gc
