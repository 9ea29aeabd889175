// Build-time tool: writes the CP932 form of every program text, made with
// iconv from its UTF-8 spelling in messages.def, as a file of
// ZUBO_MESSAGE_CP932(name, "bytes") lines that messages.cpp includes. A text
// CP932 can't spell, or one whose CP932 form doesn't read back as the same
// text, fails the build.

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_cp932 OUTPUT\n");
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
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
