#pragma once
// Shared by the harnesses: the fuzz input as a read-only stream (held in a
// zubo::File), and a check that aborts (so libFuzzer records the input)
// when an invariant fails.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "text/lines.h"

namespace zubo::fuzz {

// fmemopen over the input; an empty input reads as an empty stream.
inline std::FILE* open_input(const std::uint8_t* data, std::size_t size) {
    static char empty[1];
    if (size == 0) return fmemopen(empty, 0, "r");
    return fmemopen(const_cast<std::uint8_t*>(data), size, "r");
}

// A field must end within its slot.
inline bool terminated(const char* field, std::size_t size) { return std::memchr(field, '\0', size) != nullptr; }

#define ZUBO_FUZZ_CHECK(cond)                                                    \
    do {                                                                         \
        if (!(cond)) {                                                           \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                        \
        }                                                                        \
    } while (0)

}  // namespace zubo::fuzz
