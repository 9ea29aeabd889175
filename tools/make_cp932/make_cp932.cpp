// Build-time tool, made from iconv's own mapping so the program needs no
// iconv for either:
// - the CP932 form of every program text, from its UTF-8 spelling in
//   messages.def, as ZUBO_MESSAGE_CP932(name, "bytes") lines that
//   messages.cpp includes. A text CP932 can't spell, or one whose CP932
//   form doesn't read back as the same text, fails the build;
// - the table from CP932 to UTF-8 that the console's UTF-8 mode converts
//   every line with: each single byte and each lead and trail pair that
//   iconv converts, with its UTF-8 bytes;
// - the table back, from each code point of the Basic Multilingual Plane to
//   its CP932 bytes (CP932 has nothing above it).

#include <iconv.h>

#include <cstdio>
#include <string>

namespace {

struct Spelling {
    const char* name;
    const char* utf8;
};

const Spelling kSpellings[] = {
#define ZUBO_MESSAGE(name, utf8) {#name, utf8},
#include "console/messages.def"
#undef ZUBO_MESSAGE
};

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // The whole text converted; false when any of it doesn't convert.
    bool run(const std::string& in, std::string* out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out->assign(in.size() * 4 + 16, '\0');
        char* src = const_cast<char*>(in.data());
        std::size_t src_left = in.size();
        char* dst = out->data();
        std::size_t dst_left = out->size();
        if (iconv(cd_, &src, &src_left, &dst, &dst_left) == static_cast<std::size_t>(-1)) return false;
        out->resize(out->size() - dst_left);
        return true;
    }

private:
    iconv_t cd_;
};

// A C string literal of the bytes: octal escapes (never more than three
// digits, so no following character can join one) for all but plain ASCII.
std::string literal(const std::string& bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\' || c == '?') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\%03o", c);
            out += escape;
        }
    }
    return out + "\"";
}

bool write_file(const char* path, const std::string& text) {
    std::FILE* out = std::fopen(path, "w");
    if (!out) {
        std::perror(path);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(path);
        return false;
    }
    return true;
}

// One entry of the table: the UTF-8 bytes' count (0: no character) and
// the bytes.
std::string entry(Converter& to_utf8, const std::string& cp932) {
    std::string utf8;
    if (!to_utf8.run(cp932, &utf8) || utf8.empty() || utf8.size() > 3) return "{0,{0,0,0}},";
    std::string text = "{" + std::to_string(utf8.size()) + ",{";
    for (std::size_t i = 0; i < 3; ++i) {
        text += std::to_string(i < utf8.size() ? static_cast<unsigned char>(utf8[i]) : 0) + ",";
    }
    return text + "}},";
}

// kSingle[256] by byte, kDouble[128 * 192] by (lead - 0x80) * 192 + trail
// - 0x40. ASCII must map to itself: the converter copies it as it stands.
bool write_table(const char* path, Converter& to_utf8) {
    std::string text = "// Made by make_cp932 from iconv's CP932: do not edit.\n";
    text += "constexpr Utf8Char kSingle[256] = {\n";
    for (int c = 0; c < 256; ++c) {
        const std::string one(1, static_cast<char>(c));
        std::string utf8;
        if (c < 0x80 && (!to_utf8.run(one, &utf8) || utf8 != one)) {
            std::fprintf(stderr, "make_cp932: CP932 byte %#x is not ASCII\n", c);
            return false;
        }
        text += entry(to_utf8, one) + (c % 8 == 7 ? "\n" : "");
    }
    text += "};\nconstexpr Utf8Char kDouble[128 * 192] = {\n";
    for (int lead = 0x80; lead < 0x100; ++lead) {
        // A byte that is a character alone leads no pair.
        std::string alone;
        const bool single = to_utf8.run(std::string(1, static_cast<char>(lead)), &alone);
        for (int trail = 0x40; trail < 0x100; ++trail) {
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            text += (single ? std::string("{0,{0,0,0}},") : entry(to_utf8, pair)) + (trail % 8 == 7 ? "\n" : "");
        }
    }
    return write_file(path, text + "};\n");
}

// kFromUnicode[65536]: each code point's CP932 bytes as iconv gives them,
// 0 where CP932 has none, a byte below 0x100 alone, two bytes as lead * 256
// + trail. ASCII must map to itself.
bool write_reverse_table(const char* path, Converter& to_cp932) {
    std::string text = "// Made by make_cp932 from iconv's CP932: do not edit.\n";
    text += "constexpr std::uint16_t kFromUnicode[65536] = {\n";
    for (unsigned c = 0; c < 0x10000; ++c) {
        unsigned value = 0;
        std::string utf8, cp932;
        if (c < 0xd800 || c > 0xdfff) {
            if (c < 0x80) {
                utf8 = std::string(1, static_cast<char>(c));
            } else if (c < 0x800) {
                utf8 = {static_cast<char>(0xc0 | c >> 6), static_cast<char>(0x80 | (c & 0x3f))};
            } else {
                utf8 = {static_cast<char>(0xe0 | c >> 12), static_cast<char>(0x80 | ((c >> 6) & 0x3f)),
                        static_cast<char>(0x80 | (c & 0x3f))};
            }
            if (to_cp932.run(utf8, &cp932) && (cp932.size() == 1 || cp932.size() == 2)) {
                value = cp932.size() == 1 ? static_cast<unsigned char>(cp932[0])
                                          : static_cast<unsigned char>(cp932[0]) << 8 | static_cast<unsigned char>(cp932[1]);
            }
        }
        if (c < 0x80 && value != c) {
            std::fprintf(stderr, "make_cp932: U+%04X is not its ASCII byte in CP932\n", c);
            return false;
        }
        text += std::to_string(value) + (c % 16 == 15 ? ",\n" : ",");
    }
    return write_file(path, text + "};\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_cp932 MESSAGES_OUTPUT TO_UTF8_TABLE FROM_UNICODE_TABLE\n");
        return 2;
    }
    Converter to_cp932("CP932", "UTF-8");
    Converter back("UTF-8", "CP932");
    if (!to_cp932.ok() || !back.ok()) {
        std::fprintf(stderr, "make_cp932: iconv has no CP932\n");
        return 1;
    }
    std::string text = "// Made by make_cp932 from messages.def: do not edit.\n";
    for (const Spelling& s : kSpellings) {
        std::string cp932, again;
        if (!to_cp932.run(s.utf8, &cp932) || !back.run(cp932, &again) || again != s.utf8) {
            std::fprintf(stderr, "make_cp932: %s has no CP932 form that reads back as itself\n", s.name);
            return 1;
        }
        text += "ZUBO_MESSAGE_CP932(" + std::string(s.name) + ", " + literal(cp932) + ")\n";
    }
    return write_file(argv[1], text) && write_table(argv[2], back) && write_reverse_table(argv[3], to_cp932) ? 0 : 1;
}
