#include "text/sjis.h"

#include <iconv.h>

#include <cerrno>

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
        // Worst growth is CP932 to UTF-8: one byte to three, or '?' per byte.
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

Converter& to_utf8_converter() {
    static Converter converter("UTF-8", "CP932");
    return converter;
}

Converter& from_utf8_converter() {
    static Converter converter("CP932", "UTF-8");
    return converter;
}

}  // namespace

const char* to_utf8(const char* cp932, std::size_t size, std::size_t* size_out) {
    return to_utf8_converter().run(cp932, size, size_out, false);
}

const char* from_utf8(const char* utf8, std::size_t size, std::size_t* size_out) {
    return from_utf8_converter().run(utf8, size, size_out, false);
}

const char* from_utf8_strict(const char* utf8, std::size_t size, std::size_t* size_out) {
    return from_utf8_converter().run(utf8, size, size_out, true);
}

const char* to_utf8_strict(const char* cp932, std::size_t size, std::size_t* size_out) {
    return to_utf8_converter().run(cp932, size, size_out, true);
}

const char* from_code_point(char32_t code_point, std::size_t* size_out) {
    char utf8[4];
    return from_utf8_strict(utf8, encode_utf8(code_point, utf8), size_out);
}

}  // namespace zubo::sjis
