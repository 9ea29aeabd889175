#include "text/sjis.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "text/char_refs.h"
#include "text/gc_bytes.h"

namespace zubo::sjis {
namespace {

// The UTF-8 bytes of one CP932 character; size 0 where there is none.
struct Utf8Char {
    unsigned char size;
    unsigned char bytes[3];
};

// Both tables are made at build time from iconv's CP932 (make_cp932), so
// zubo converts as iconv does without opening it: kSingle and kDouble, CP932
// to UTF-8; kFromUnicode, each code point of the Basic Multilingual Plane
// to its CP932 bytes.
#include "text/cp932_to_utf8.inc"
#include "text/unicode_to_cp932.inc"

const char kEmpty[] = "";

// The character at in[i], or null when none starts there; *used is its
// size in bytes.
const Utf8Char* char_at(const unsigned char* in, std::size_t size, std::size_t i, std::size_t* used) {
    const Utf8Char* c = &kSingle[in[i]];
    *used = 1;
    if (c->size != 0) return c;
    if (i + 1 >= size || in[i + 1] < 0x40) return nullptr;
    c = &kDouble[(in[i] - 0x80) * 192 + (in[i + 1] - 0x40)];
    *used = 2;
    return c->size != 0 ? c : nullptr;
}

const char* finish(char* out, char* end, std::size_t* size_out) {
    *end = '\0';
    *size_out = static_cast<std::size_t>(end - out);
    return out;
}

// Converts from in[*i] on into dst while a character's three bytes fit
// before dst_end, and returns where the output ended; *i is where the input
// did. A byte that starts no character becomes '?' (or, strict, ends the
// conversion there, *bad set), as iconv's conversion did.
char* convert_to_utf8(const unsigned char* in, std::size_t size, std::size_t* i, char* dst, const char* dst_end,
                      bool strict, bool* bad) {
    std::size_t at = *i;
    // In steps of input whose output surely fits: a byte gives at most
    // three, the last step may take seven bytes more (and give eight), and
    // a character's copy writes three bytes whatever its size.
    for (std::size_t room; at < size && (room = static_cast<std::size_t>(dst_end - dst)) >= 11;) {
        const std::size_t limit = at + std::min(size - at, (room - 8) / 3);
        while (at < limit) {
            if (in[at] < 0x80) {
                // ASCII, the same bytes in both, goes eight bytes at a time.
                std::uint64_t eight;
                if (size - at >= 8 && (std::memcpy(&eight, in + at, 8), (eight & 0x8080808080808080u) == 0)) {
                    std::memcpy(dst, &eight, 8);
                    dst += 8;
                    at += 8;
                } else {
                    *dst++ = static_cast<char>(in[at++]);
                }
                continue;
            }
            std::size_t used = 1;
            const Utf8Char* c = char_at(in, size, at, &used);
            if (!c) {
                if (strict) {
                    *bad = true;
                    *i = at;
                    return dst;
                }
                *dst++ = '?';
                ++at;
                continue;
            }
            // Three bytes always, a fixed copy; the character's own size is kept.
            std::memcpy(dst, c->bytes, sizeof c->bytes);
            dst += c->size;
            at += used;
        }
    }
    *i = at;
    return dst;
}

const char* table_to_utf8(const char* cp932, std::size_t size, std::size_t* size_out, bool strict) {
    *size_out = 0;
    // Three bytes for each byte at most, and the loop's slack of eight.
    char* out = gc::alloc_bytes(size * 3 + 8);
    if (!out) return strict ? nullptr : kEmpty;
    std::size_t i = 0;
    bool bad = false;
    char* end = convert_to_utf8(reinterpret_cast<const unsigned char*>(cp932), size, &i, out, out + size * 3 + 8,
                                strict, &bad);
    if (bad) return nullptr;
    return finish(out, end, size_out);
}

// The code point of the UTF-8 sequence at in[i] (its size in *used), or -1
// when none starts there: a stray or missing continuation, an overlong
// form, a surrogate, a value past U+10FFFF.
long decode_utf8(const unsigned char* in, std::size_t size, std::size_t i, std::size_t* used) {
    const unsigned char c = in[i];
    const std::size_t length = c < 0xc2 ? 0 : c < 0xe0 ? 2 : c < 0xf0 ? 3 : c < 0xf5 ? 4 : 0;
    if (length == 0 || i + length > size) return -1;
    long code = c & (0xff >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) {
        if ((in[i + k] & 0xc0) != 0x80) return -1;
        code = code << 6 | (in[i + k] & 0x3f);
    }
    const long least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return -1;
    *used = length;
    return code;
}

// Writes the CP932 bytes of a code point; false when CP932 has none.
bool put_cp932(long code, char** dst) {
    const std::uint16_t bytes = code < 0x10000 ? kFromUnicode[code] : 0;
    if (bytes == 0) return false;
    if (bytes > 0xff) *(*dst)++ = static_cast<char>(bytes >> 8);
    *(*dst)++ = static_cast<char>(bytes & 0xff);
    return true;
}

// A sequence that isn't UTF-8, or a character CP932 lacks, becomes a '?'
// for each of its bytes (or, strict, fails the whole), as iconv's
// conversion did.
const char* table_from_utf8(const char* utf8, std::size_t size, std::size_t* size_out, bool strict) {
    *size_out = 0;
    char* out = gc::alloc_bytes(size + 1);
    if (!out) return strict ? nullptr : kEmpty;
    const auto* in = reinterpret_cast<const unsigned char*>(utf8);
    char* dst = out;
    for (std::size_t i = 0; i < size;) {
        if (in[i] < 0x80) {
            *dst++ = static_cast<char>(in[i++]);
            continue;
        }
        std::size_t used = 1;
        const long code = decode_utf8(in, size, i, &used);
        if (code >= 0 && put_cp932(code, &dst)) {
            i += used;
            continue;
        }
        if (strict) return nullptr;
        *dst++ = '?';
        ++i;
    }
    return finish(out, dst, size_out);
}

}  // namespace

const char* to_utf8(const char* cp932, std::size_t size, std::size_t* size_out) {
    return table_to_utf8(cp932, size, size_out, false);
}

void to_utf8_pieces(const char* cp932, std::size_t size, void (*write)(const char*, std::size_t, void*),
                    void* context) {
    char piece[4096];
    const auto* in = reinterpret_cast<const unsigned char*>(cp932);
    bool bad = false;
    for (std::size_t i = 0; i < size;) {
        char* end = convert_to_utf8(in, size, &i, piece, piece + sizeof piece, false, &bad);
        write(piece, static_cast<std::size_t>(end - piece), context);
    }
}

const char* from_utf8(const char* utf8, std::size_t size, std::size_t* size_out) {
    return table_from_utf8(utf8, size, size_out, false);
}

const char* from_utf8_strict(const char* utf8, std::size_t size, std::size_t* size_out) {
    return table_from_utf8(utf8, size, size_out, true);
}

const char* to_utf8_strict(const char* cp932, std::size_t size, std::size_t* size_out) {
    return table_to_utf8(cp932, size, size_out, true);
}

const char* from_code_point(char32_t code_point, std::size_t* size_out) {
    char bytes[2];
    char* end = bytes;
    if (code_point >= 0x10000 || !put_cp932(static_cast<long>(code_point), &end)) return nullptr;
    *size_out = static_cast<std::size_t>(end - bytes);
    return gc::copy_bytes(bytes, *size_out);
}

}  // namespace zubo::sjis
