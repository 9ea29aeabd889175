#pragma once
// Character references as the service's documents write them: &amp; &lt;
// &gt; &quot;, &#decimal; and &#xhex;. Pure byte scanning; how a decoded
// character reaches the terminal is the console's business.

#include <cstddef>

namespace zubo {

struct CharRef {
    char32_t code_point;
    std::size_t size;  // bytes of the reference text; both references of a surrogate pair
};

// Whether text starts with a reference that decodes to a character: one of
// the four named ones; &# and 1 to 7 decimal digits, or &#x (&#X) and 1 to 6
// hex digits, and ';', whose value is a Unicode scalar value of U+0020 or
// above outside U+007F-U+009F; or a high-surrogate reference followed at
// once by a low-surrogate one, which decode together. Anything else (a
// malformed reference, zero, a control, a lone surrogate, a value past
// U+10FFFF) is not a reference to decode: its text stands as it is.
// The named ones, most references of all, are read here, inline.
inline bool read_char_ref(const char* text, CharRef* ref);

// The numeric forms of read_char_ref: text starts "&#".
bool read_numeric_ref(const char* text, CharRef* ref);

// Writes a Unicode scalar value as UTF-8 into out (room for four bytes);
// returns the number of bytes.
std::size_t encode_utf8(char32_t code_point, char* out);

namespace char_refs_detail {

// Whether text, whose first two bytes are name's ("&l"), goes on as the
// named reference name ("&lt;"); compared a byte at a time, so a shorter
// text ends the comparison at its zero.
template <std::size_t N>
bool read_name(const char* text, const char (&name)[N], char32_t code_point, CharRef* ref) {
#pragma GCC unroll 8
    for (std::size_t i = 2; i < N - 1; ++i) {
        if (text[i] != name[i]) return false;
    }
    *ref = {code_point, N - 1};
    return true;
}

}  // namespace char_refs_detail

inline bool read_char_ref(const char* text, CharRef* ref) {
    using char_refs_detail::read_name;
    if (text[0] != '&') return false;
    // The byte after '&' tells the forms apart.
    switch (text[1]) {
    case 'a':
        return read_name(text, "&amp;", '&', ref);
    case 'l':
        return read_name(text, "&lt;", '<', ref);
    case 'g':
        return read_name(text, "&gt;", '>', ref);
    case 'q':
        return read_name(text, "&quot;", '"', ref);
    case '#':
        return read_numeric_ref(text, ref);
    default:
        return false;
    }
}

}  // namespace zubo
