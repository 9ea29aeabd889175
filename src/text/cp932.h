#pragma once
// Walking CP932 text a character at a time. A lead byte (0x81-0x9F,
// 0xE0-0xFC) and a trail byte (0x40-0x7E, 0x80-0xFC) make one character;
// every other byte is a character of its own, and so is a lead byte with
// no trail after it, so a walk never loses its step. ASCII bytes below 0x40
// ('>', '&', digits, space) are never trail bytes: a search for them needs
// no walk.

#include <cstddef>
#include <string_view>

namespace zubo::cp932 {

inline bool is_lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

inline bool is_trail(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// The bytes of the character at text[at]: 2 or 1, 0 at the end.
inline std::size_t char_size(std::string_view text, std::size_t at) {
    if (at >= text.size()) return 0;
    if (at + 1 < text.size() && is_lead(static_cast<unsigned char>(text[at])) &&
        is_trail(static_cast<unsigned char>(text[at + 1]))) {
        return 2;
    }
    return 1;
}

}  // namespace zubo::cp932
