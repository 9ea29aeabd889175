#pragma once
// Conversion between CP932 and UTF-8, by tables made at build time from
// iconv's CP932, converting as iconv does. In the lenient forms, bytes that
// don't convert become '?', so the output goes on and nothing after them is
// lost.

#include <cstddef>

namespace zubo::sjis {

// Each returns a zero-terminated block from the collector and its length in
// *size_out; an empty string when the heap is exhausted.
const char* to_utf8(const char* cp932, std::size_t size, std::size_t* size_out);
const char* from_utf8(const char* utf8, std::size_t size, std::size_t* size_out);

// The strict forms convert only a text that converts as a whole; otherwise
// they return nullptr and the caller keeps the text as it stands.
const char* from_utf8_strict(const char* utf8, std::size_t size, std::size_t* size_out);
const char* to_utf8_strict(const char* cp932, std::size_t size, std::size_t* size_out);

// The lenient conversion to UTF-8 handed out a piece at a time to
// write(piece, piece_size, context), from a buffer of its own: for output,
// which needs no block of its own.
void to_utf8_pieces(const char* cp932, std::size_t size, void (*write)(const char*, std::size_t, void*),
                    void* context);

// The CP932 bytes of one Unicode scalar value; nullptr when CP932 has no
// form for it.
const char* from_code_point(char32_t code_point, std::size_t* size_out);

}  // namespace zubo::sjis
