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
bool read_char_ref(const char* text, CharRef* ref);

// Writes a Unicode scalar value as UTF-8 into out (room for four bytes);
// returns the number of bytes.
std::size_t encode_utf8(char32_t code_point, char* out);

}  // namespace zubo
