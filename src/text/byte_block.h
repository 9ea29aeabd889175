#pragma once
// Sixteen bytes looked at all at once, with the compiler's vector extension
// (SSE2 on x86-64, whatever the target has elsewhere): a comparison gives
// each lane 0xff where it holds, 0 where it doesn't.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zubo {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "lane 0 is the low byte of the first half");

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
template <typename Lanes>
std::size_t first_hit(Lanes hits) {
    static_assert(sizeof(Lanes) == kByteBlock, "a block's comparison");
    std::uint64_t halves[2];
    std::memcpy(halves, &hits, kByteBlock);
    if (halves[0]) return static_cast<std::size_t>(__builtin_ctzll(halves[0])) / 8;
    if (halves[1]) return 8 + static_cast<std::size_t>(__builtin_ctzll(halves[1])) / 8;
    return kByteBlock;
}

// How many lanes at the block's end hold, one after another.
template <typename Lanes>
std::size_t last_run(Lanes hits) {
    static_assert(sizeof(Lanes) == kByteBlock, "a block's comparison");
    std::uint64_t halves[2];
    std::memcpy(halves, &hits, kByteBlock);
    if (~halves[1]) return static_cast<std::size_t>(__builtin_clzll(~halves[1])) / 8;
    if (~halves[0]) return 8 + static_cast<std::size_t>(__builtin_clzll(~halves[0])) / 8;
    return kByteBlock;
}

}  // namespace zubo
