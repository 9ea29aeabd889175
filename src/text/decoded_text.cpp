#include "text/decoded_text.h"

#include <array>
#include <cstring>

#include "text/char_refs.h"
#include "text/sjis.h"

namespace zubo {
namespace {

// What each byte is to the copy: kept as it is, folded to its lower case,
// the lead byte of a pair (its trail byte is kept whatever it is), or '&'.
enum ByteClass : unsigned char { kKept, kUpper, kLead, kAmpersand };

constexpr std::array<ByteClass, 256> make_classes() {
    std::array<ByteClass, 256> classes{};
    for (int c = 0; c < 256; ++c) {
        if (c >= 'A' && c <= 'Z') classes[c] = kUpper;
        else if ((c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc)) classes[c] = kLead;
        else if (c == '&') classes[c] = kAmpersand;
    }
    return classes;
}
constexpr std::array<ByteClass, 256> kClasses = make_classes();

// Writes the decoded reference's CP932 bytes (or its text when CP932 has
// none) at out; returns the end.
char* put_reference(const CharRef& ref, const char* text, bool fold, char* out) {
    if (ref.code_point < 0x80) {
        const char c = static_cast<char>(ref.code_point);
        *out++ = fold && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        return out;
    }
    std::size_t size = 0;
    const char* bytes = sjis::from_code_point(ref.code_point, &size);
    if (!bytes) bytes = text, size = ref.size;
    std::memcpy(out, bytes, size);
    return out + size;
}

}  // namespace

const char* decoded_cp932(const char* field, bool fold, std::string* out, bool decode) {
    if (!fold && (!decode || !std::strchr(field, '&'))) return field;
    // Decoding never lengthens a text: a reference is at least as long as
    // what it stands for, or stays as it is.
    const std::size_t size = std::strlen(field);
    out->resize(size);
    char* to = out->data();
    for (const char* p = field; *p;) {
        const auto c = static_cast<unsigned char>(*p);
        switch (kClasses[c]) {
        case kKept:
            *to++ = *p++;
            break;
        case kUpper:
            *to++ = fold ? static_cast<char>(c - 'A' + 'a') : *p;
            ++p;
            break;
        case kLead:
            // A trail byte is never '&': one that is starts a reference,
            // as the console reads it.
            *to++ = *p++;
            if (*p && *p != '&') *to++ = *p++;
            break;
        case kAmpersand: {
            CharRef ref;
            if (decode && read_char_ref(p, &ref)) {
                to = put_reference(ref, p, fold, to);
                p += ref.size;
            } else {
                *to++ = *p++;
            }
            break;
        }
        }
    }
    out->resize(static_cast<std::size_t>(to - out->data()));
    return out->c_str();
}

}  // namespace zubo
