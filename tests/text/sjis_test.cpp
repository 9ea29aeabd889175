#include "text/sjis.h"

#include "text/char_refs.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace zubo {
namespace {

// iconv's own conversion of the whole text, or "" when it fails anywhere.
std::string iconv_convert(const char* to, const char* from, const std::string& text) {
    iconv_t cd = iconv_open(to, from);
    std::string out(text.size() * 4 + 4, '\0');
    char* src = const_cast<char*>(text.data());
    std::size_t src_left = text.size();
    char* dst = out.data();
    std::size_t dst_left = out.size();
    const bool ok = iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    return ok ? out.substr(0, out.size() - dst_left) : "";
}

std::string converted(const std::string& cp932, bool strict) {
    std::size_t size = 0;
    const char* out = strict ? sjis::to_utf8_strict(cp932.data(), cp932.size(), &size)
                             : sjis::to_utf8(cp932.data(), cp932.size(), &size);
    return out ? std::string(out, size) : "(none)";
}

// The table made at build time says what iconv says, for every byte and
// every pair a lead byte can start, between ASCII so no neighbour hides a
// fault.
TEST(Sjis, TableToUtf8IsIconvsMapping) {
    for (int first = 0x80; first < 0x100; ++first) {
        for (int second = 0x01; second < 0x100; ++second) {
            const std::string text = {'a', static_cast<char>(first), static_cast<char>(second), 'z'};
            const std::string expected = iconv_convert("UTF-8", "CP932", text);
            if (!expected.empty()) {
                ASSERT_EQ(converted(text, true), expected) << std::hex << first << " " << second;
                ASSERT_EQ(converted(text, false), expected) << std::hex << first << " " << second;
            } else {
                ASSERT_EQ(converted(text, true), "(none)") << std::hex << first << " " << second;
            }
        }
    }
}

std::string converted_back(const std::string& utf8, bool strict) {
    std::size_t size = 0;
    const char* out = strict ? sjis::from_utf8_strict(utf8.data(), utf8.size(), &size)
                             : sjis::from_utf8(utf8.data(), utf8.size(), &size);
    return out ? std::string(out, size) : "(none)";
}

// The table back says what iconv says for every code point of the Basic
// Multilingual Plane, and for every one a reference may name.
TEST(Sjis, TableFromUnicodeIsIconvsMapping) {
    for (char32_t c = 0x80; c < 0x10000; ++c) {
        if (c >= 0xd800 && c <= 0xdfff) continue;
        char utf8[4];
        const std::string text = "a" + std::string(utf8, encode_utf8(c, utf8)) + "z";
        const std::string expected = iconv_convert("CP932", "UTF-8", text);
        std::size_t size = 0;
        const char* one = sjis::from_code_point(c, &size);
        if (!expected.empty()) {
            ASSERT_EQ(converted_back(text, true), expected) << std::hex << c;
            ASSERT_EQ(one ? std::string(one, size) : "", expected.substr(1, expected.size() - 2)) << std::hex << c;
        } else {
            ASSERT_EQ(converted_back(text, true), "(none)") << std::hex << c;
            ASSERT_EQ(one, nullptr) << std::hex << c;
        }
    }
}

// ASCII goes eight bytes at a time: runs of every length up to past two
// such steps, with a character before and after them, and output handed
// out in pieces across many piece ends say what the whole conversion says.
TEST(Sjis, AsciiRunsAndPiecesConvertAsAWhole) {
    std::string text;
    for (int run = 0; run <= 17; ++run) {
        const std::string around = run % 2 ? "\x82\xa0" : "\xb1";  // あ, or a half-width kana
        const std::string piece = around + std::string(static_cast<std::size_t>(run), 'x') + around;
        ASSERT_EQ(converted(piece, false), iconv_convert("UTF-8", "CP932", piece)) << run;
        text += piece;
    }
    while (text.size() < 20000) text += text;
    std::string pieces;
    sjis::to_utf8_pieces(text.data(), text.size(),
                         [](const char* bytes, std::size_t size, void* into) {
                             static_cast<std::string*>(into)->append(bytes, size);
                         },
                         &pieces);
    EXPECT_EQ(pieces, iconv_convert("UTF-8", "CP932", text));
    EXPECT_EQ(converted(text, true), pieces);
}

TEST(Sjis, LenientConversionMarksEachByteThatStartsNoCharacter) {
    // Back: a character CP932 lacks, and bytes that are no UTF-8.
    EXPECT_EQ(converted_back("a\xf0\x9f\x98\x80z", false), "a????z");
    EXPECT_EQ(converted_back("\xe3\x81", false), "??");            // cut short
    EXPECT_EQ(converted_back("\xc0\xaf\xed\xa0\x80", false), "?????");  // overlong, a surrogate
    EXPECT_EQ(converted_back("\xe3\x81\x82", false), "\x82\xa0");
    EXPECT_EQ(converted("a\x82", false), "a?");               // a lead byte at the end
    EXPECT_EQ(converted("\x82\x20" "b", false), "? b");       // a lead byte before no trail
    EXPECT_EQ(converted("\xff\x82\xa0", false), "?\xe3\x81\x82");
    EXPECT_EQ(converted("\xb1", false), "\xef\xbd\xb1");      // half-width kana, one byte
    EXPECT_EQ(converted("", true), "");
}

}  // namespace
}  // namespace zubo
