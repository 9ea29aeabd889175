#include "text/nocase_search.h"

#include "text/bytes.h"
#include "text/cp932.h"

namespace zubo {
namespace {

// Whether needle matches text from text[at], a character's first byte.
// Walking the needle by its characters, each byte of text that lines up
// with a single-byte character of the needle is itself one (the bytes
// before it matched whole characters), so only those are folded.
bool matches_at(std::string_view text, std::size_t at, std::string_view needle) {
    if (text.size() - at < needle.size()) return false;
    for (std::size_t i = 0; i < needle.size();) {
        std::size_t size = cp932::char_size(needle, i);
        if (size == 2) {
            if (text.compare(at + i, 2, needle, i, 2) != 0) return false;
        } else if (fold_lower(static_cast<unsigned char>(text[at + i])) !=
                   fold_lower(static_cast<unsigned char>(needle[i]))) {
            return false;
        }
        i += size;
    }
    return true;
}

}  // namespace

std::size_t find_nocase(std::string_view text, std::string_view needle) {
    for (std::size_t at = 0; at < text.size(); at += cp932::char_size(text, at)) {
        if (matches_at(text, at, needle)) return at;
    }
    return needle.empty() ? 0 : std::string_view::npos;
}

}  // namespace zubo
