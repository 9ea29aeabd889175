#include "text/char_refs.h"

#include <cstring>

namespace zubo {
namespace {

constexpr char32_t kHighFirst = 0xD800;
constexpr char32_t kLowFirst = 0xDC00;
constexpr char32_t kLowLast = 0xDFFF;
constexpr char32_t kLast = 0x10FFFF;

// The value of c as a digit of base 10 or 16, or -1.
int digit_value(char c, int base) {
    if (c >= '0' && c <= '9') return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A well-formed numeric reference at text, whatever its value: false when
// the digits are missing or too many, or the ';' is missing.
bool read_numeric(const char* text, char32_t* value, std::size_t* size) {
    if (text[0] != '&' || text[1] != '#') return false;
    bool hex = text[2] == 'x' || text[2] == 'X';
    int base = hex ? 16 : 10;
    std::size_t max_digits = hex ? 6 : 7;
    const char* digits = text + (hex ? 3 : 2);

    std::size_t count = 0;
    char32_t v = 0;
    for (int d; (d = digit_value(digits[count], base)) >= 0; ++count) {
        if (count == max_digits) return false;
        v = v * static_cast<char32_t>(base) + static_cast<char32_t>(d);
    }
    if (count == 0 || digits[count] != ';') return false;
    *value = v;
    *size = static_cast<std::size_t>(digits + count + 1 - text);
    return true;
}

bool is_high_surrogate(char32_t v) { return v >= kHighFirst && v < kLowFirst; }
bool is_low_surrogate(char32_t v) { return v >= kLowFirst && v <= kLowLast; }

// A character a numeric reference may stand for: no control, no surrogate,
// nothing past the last code point.
bool is_shown_character(char32_t v) {
    if (v < 0x20 || (v >= 0x7F && v <= 0x9F)) return false;
    return v <= kLast && !(v >= kHighFirst && v <= kLowLast);
}

// The low half that must follow a high surrogate's reference at once.
bool read_surrogate_pair(const char* text, char32_t high, std::size_t high_size, CharRef* ref) {
    char32_t low = 0;
    std::size_t low_size = 0;
    if (!read_numeric(text + high_size, &low, &low_size) || !is_low_surrogate(low)) return false;
    *ref = {0x10000 + ((high - kHighFirst) << 10) + (low - kLowFirst), high_size + low_size};
    return true;
}

}  // namespace

bool read_numeric_ref(const char* text, CharRef* ref) {
    char32_t value = 0;
    std::size_t size = 0;
    if (!read_numeric(text, &value, &size)) return false;
    if (is_high_surrogate(value)) return read_surrogate_pair(text, value, size, ref);
    if (!is_shown_character(value)) return false;
    *ref = {value, size};
    return true;
}

std::size_t encode_utf8(char32_t cp, char* out) {
    auto byte = [](char32_t bits) { return static_cast<char>(static_cast<unsigned char>(bits)); };
    if (cp < 0x80) {
        out[0] = byte(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = byte(0xC0 | (cp >> 6));
        out[1] = byte(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = byte(0xE0 | (cp >> 12));
        out[1] = byte(0x80 | ((cp >> 6) & 0x3F));
        out[2] = byte(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = byte(0xF0 | (cp >> 18));
    out[1] = byte(0x80 | ((cp >> 12) & 0x3F));
    out[2] = byte(0x80 | ((cp >> 6) & 0x3F));
    out[3] = byte(0x80 | (cp & 0x3F));
    return 4;
}

}  // namespace zubo
