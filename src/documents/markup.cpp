#include "documents/markup.h"

#include <cstring>

#include "text/bytes.h"

namespace zubo {
namespace {

constexpr char kBreakTag[] = "<br>";
constexpr std::size_t kBreakTagSize = sizeof kBreakTag - 1;

// The bytes of the tag text starts with, or 0 when it starts none: '<', an
// ASCII letter, '/' or '!', then any bytes but '<' and '>', then '>'.
std::size_t tag_size(const char* text) {
    if (text[0] != '<') return 0;
    unsigned char first = fold_lower(static_cast<unsigned char>(text[1]));
    if (!(first >= 'a' && first <= 'z') && first != '/' && first != '!') return 0;
    std::size_t end = 2 + std::strcspn(text + 2, "<>");
    return text[end] == '>' ? end + 1 : 0;
}

}  // namespace

int render_tags(char* field) {
    int breaks = 0;
    char* kept = field;
    for (const char* p = field; *p;) {
        // The text up to the next '<' stays as it is.
        std::size_t plain = static_cast<std::size_t>(strchrnul(p, '<') - p);
        if (kept != p) std::memmove(kept, p, plain);
        kept += plain;
        p += plain;
        if (!*p) break;
        std::size_t tag = tag_size(p);
        if (tag == 0) {
            *kept++ = *p++;
            continue;
        }
        if (tag == kBreakTagSize && std::memcmp(p, kBreakTag, kBreakTagSize) == 0) {
            *kept++ = '\n';
            *kept++ = '\t';
            ++breaks;
        }
        p += tag;
    }
    *kept = '\0';
    return breaks;
}

}  // namespace zubo
