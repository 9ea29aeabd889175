#pragma once
// Searching CP932 text for what the user typed, with ASCII letters
// compared without case. Matches begin at a character of the text, and the
// needle's bytes line up with the text's characters, so a trail byte never
// matches a letter: "A" is not found in "ア" (0x83 0x41), and a needle's
// two-byte character never matches the tail of one character and the head
// of the next.

#include <cstddef>
#include <string_view>

namespace zubo {

// The offset of the first match of needle in text, or npos. An empty
// needle is found at 0.
std::size_t find_nocase(std::string_view text, std::string_view needle);

inline bool contains_nocase(std::string_view text, std::string_view needle) {
    return find_nocase(text, needle) != std::string_view::npos;
}

}  // namespace zubo
