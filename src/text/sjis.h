#pragma once
// Conversion between CP932 and UTF-8 for the UTF-8 console mode. Bytes that
// don't convert become '?': the output goes on, nothing after them is lost.

#include <cstddef>

namespace zubo::sjis {

// Each returns a zero-terminated block from the collector and its length in
// *size_out; an empty string when the heap is exhausted.
const char* to_utf8(const char* cp932, std::size_t size, std::size_t* size_out);
const char* from_utf8(const char* utf8, std::size_t size, std::size_t* size_out);

// Converts a word to CP932 only when it is valid UTF-8 as a whole;
// otherwise returns nullptr and the caller keeps the word as it stands.
const char* from_utf8_strict(const char* utf8, std::size_t size, std::size_t* size_out);

}  // namespace zubo::sjis
