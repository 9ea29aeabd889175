#pragma once
// Sixteen bytes looked at all at once, with the compiler's vector extension
// (SSE2 on x86-64, whatever the target has elsewhere): a comparison gives
// each lane 0xff where it holds, 0 where it doesn't.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zubo {

using ByteBlock = unsigned char __attribute__((vector_size(16)));
// What comparing two blocks gives.
using ByteLanes = signed char __attribute__((vector_size(16)));
constexpr std::size_t kByteBlock = sizeof(ByteBlock);

inline ByteBlock load_block(const void* bytes) {
    ByteBlock block;
    std::memcpy(&block, bytes, kByteBlock);
    return block;
}

// The first lane of a comparison's result that holds; kByteBlock when none.
inline std::size_t first_hit(ByteLanes hits) {
    std::uint64_t halves[2];
    std::memcpy(halves, &hits, kByteBlock);
    if ((halves[0] | halves[1]) == 0) return kByteBlock;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Lane 0 is the low byte of the first half.
    if (halves[0]) return static_cast<std::size_t>(__builtin_ctzll(halves[0])) / 8;
    return 8 + static_cast<std::size_t>(__builtin_ctzll(halves[1])) / 8;
#else
    std::size_t lane = 0;
    while (!hits[lane]) ++lane;
    return lane;
#endif
}

}  // namespace zubo
