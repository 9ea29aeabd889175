#include "text/decoded_text.h"

#include <cstring>

#include "text/char_refs.h"
#include "text/sjis.h"

namespace zubo {
namespace {

bool is_lead_byte(unsigned char c) { return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc); }

char fold_ascii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

void append_cp932(std::string* out, const char* bytes, std::size_t size, bool fold) {
    const std::size_t at = out->size();
    out->append(bytes, size);
    if (!fold) return;
    char* p = out->data() + at;
    for (std::size_t i = 0; i < size; ++i) {
        if (is_lead_byte(static_cast<unsigned char>(p[i]))) ++i;
        else p[i] = fold_ascii(p[i]);
    }
}

}  // namespace

const char* decoded_cp932(const char* field, bool fold, std::string* out, bool decode) {
    if (!fold && (!decode || !std::strchr(field, '&'))) return field;
    out->clear();
    const char* run = field;
    const char* p = field;
    // A CP932 trail byte is never '&', so a byte scan finds every reference.
    while (*(p = decode ? strchrnul(p, '&') : p + std::strlen(p))) {
        CharRef ref;
        if (!read_char_ref(p, &ref)) {
            ++p;
            continue;
        }
        append_cp932(out, run, static_cast<std::size_t>(p - run), fold);
        std::size_t size = 0;
        const char* bytes = ref.code_point < 0x80 ? nullptr : sjis::from_code_point(ref.code_point, &size);
        if (ref.code_point < 0x80) {
            out->push_back(fold ? fold_ascii(static_cast<char>(ref.code_point)) : static_cast<char>(ref.code_point));
        } else if (bytes) {
            out->append(bytes, size);
        } else {
            out->append(p, ref.size);
        }
        p += ref.size;
        run = p;
    }
    append_cp932(out, run, static_cast<std::size_t>(p - run), fold);
    return out->c_str();
}

}  // namespace zubo
