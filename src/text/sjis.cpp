#include "text/sjis.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "text/char_refs.h"
#include "text/gc_bytes.h"

namespace zubo::sjis {
namespace {

// One conversion descriptor per direction, opened on first use and kept
// for the run.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts size bytes; on an unconvertible or incomplete sequence either
    // gives up (strict) or writes '?' and skips one byte.
    const char* run(const char* in, std::size_t size, std::size_t* size_out, bool strict) {
        static const char kEmpty[] = "";
        *size_out = 0;
        // Room for any growth: UTF-8 to CP932 never grows but by a '?' per byte.
        std::size_t cap = size * 3 + 1;
        char* out = gc::alloc_bytes(cap);
        if (!out || !ok()) return strict ? nullptr : kEmpty;

        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in);
        std::size_t src_left = size;
        char* dst = out;
        std::size_t dst_left = cap - 1;
        while (src_left > 0) {
            if (iconv(cd_, &src, &src_left, &dst, &dst_left) != static_cast<std::size_t>(-1)) break;
            if (errno == E2BIG || strict) return strict ? nullptr : finish(out, dst, size_out);
            *dst++ = '?';
            --dst_left;
            ++src;
            --src_left;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return finish(out, dst, size_out);
    }

private:
    static const char* finish(char* out, char* end, std::size_t* size_out) {
        *end = '\0';
        *size_out = static_cast<std::size_t>(end - out);
        return out;
    }

    iconv_t cd_;
};

// The UTF-8 bytes of one CP932 character; size 0 where there is none.
struct Utf8Char {
    unsigned char size;
    unsigned char bytes[3];
};

#include "text/cp932_to_utf8.inc"

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

// CP932 to UTF-8 by the table made from iconv's mapping at build time: the
// console converts every line it writes, and the table takes a fraction of
// iconv's time. A byte that starts no character becomes '?' (or, strict,
// fails the whole), as iconv's conversion did.
const char* table_to_utf8(const char* cp932, std::size_t size, std::size_t* size_out, bool strict) {
    static const char kEmpty[] = "";
    *size_out = 0;
    char* out = gc::alloc_bytes(size * 3 + 1);
    if (!out) return strict ? nullptr : kEmpty;
    const auto* in = reinterpret_cast<const unsigned char*>(cp932);
    char* dst = out;
    for (std::size_t i = 0; i < size;) {
        if (in[i] < 0x80) {
            *dst++ = static_cast<char>(in[i++]);
            continue;
        }
        std::size_t used = 1;
        const Utf8Char* c = char_at(in, size, i, &used);
        if (!c) {
            if (strict) return nullptr;
            *dst++ = '?';
            ++i;
            continue;
        }
        std::memcpy(dst, c->bytes, c->size);
        dst += c->size;
        i += used;
    }
    *dst = '\0';
    *size_out = static_cast<std::size_t>(dst - out);
    return out;
}

Converter& from_utf8_converter() {
    static Converter converter("CP932", "UTF-8");
    return converter;
}

}  // namespace

const char* to_utf8(const char* cp932, std::size_t size, std::size_t* size_out) {
    return table_to_utf8(cp932, size, size_out, false);
}

const char* from_utf8(const char* utf8, std::size_t size, std::size_t* size_out) {
    return from_utf8_converter().run(utf8, size, size_out, false);
}

const char* from_utf8_strict(const char* utf8, std::size_t size, std::size_t* size_out) {
    return from_utf8_converter().run(utf8, size, size_out, true);
}

const char* to_utf8_strict(const char* cp932, std::size_t size, std::size_t* size_out) {
    return table_to_utf8(cp932, size, size_out, true);
}

const char* from_code_point(char32_t code_point, std::size_t* size_out) {
    char utf8[4];
    return from_utf8_strict(utf8, encode_utf8(code_point, utf8), size_out);
}

}  // namespace zubo::sjis
