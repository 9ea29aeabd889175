#include "text/char_refs.h"

#include <gtest/gtest.h>

#include <string>

namespace zubo {
namespace {

// What read_char_ref finds at the start of a text: no reference to decode
// (size 0), or a character and the bytes its reference takes.
struct Found {
    char32_t code_point;
    std::size_t size;
    bool operator==(const Found& o) const { return code_point == o.code_point && size == o.size; }
};

Found find(const char* text) {
    CharRef ref{0, 0};
    if (!read_char_ref(text, &ref)) return {0, 0};
    return {ref.code_point, ref.size};
}

constexpr Found kNone{0, 0};

TEST(ReadCharRef, NamedAndNumericFormsAtTheirBoundaries) {
    struct Case {
        const char* text;
        Found found;
    } cases[] = {
        {"&amp;lt;", {'&', 5}},
        {"&lt;", {'<', 4}},
        {"&gt;&gt;1", {'>', 4}},
        {"&quot;x", {'"', 6}},
        {"&AMP;", kNone},
        {"&amp", kNone},
        {"&nbsp;", kNone},
        {"& amp;", kNone},
        {"&", kNone},
        {"x&amp;", kNone},
        // Controls and zero stay; the first and last shown characters decode.
        {"&#0;", kNone},
        {"&#31;", kNone},
        {"&#32;", {0x20, 5}},
        {"&#x1F;", kNone},
        {"&#x20;", {0x20, 6}},
        {"&#126;", {0x7E, 6}},
        {"&#127;", kNone},
        {"&#x9F;", kNone},
        {"&#160;", {0xA0, 6}},
        {"&#55295;", {0xD7FF, 8}},
        {"&#57344;", {0xE000, 8}},
        {"&#1114111;", {0x10FFFF, 10}},
        {"&#1114112;", kNone},
        {"&#x10FFFF;", {0x10FFFF, 10}},
        {"&#x110000;", kNone},
        {"&#9999999;", kNone},
        {"&#xFFFFFF;", kNone},
        // Seven decimal digits at most, six hex digits at most.
        {"&#0000065;", {'A', 10}},
        {"&#00000065;", kNone},
        {"&#x000041;", {'A', 10}},
        {"&#x0000041;", kNone},
        {"&#X41;", {'A', 6}},
        {"&#x1f600;", {0x1F600, 9}},
        {"&#128512;", {0x1F600, 9}},
        // Malformed.
        {"&#;", kNone},
        {"&#x;", kNone},
        {"&#xZZ;", kNone},
        {"&#65", kNone},
        {"&#65 ;", kNone},
        {"&#-65;", kNone},
        {"&#+65;", kNone},
        {"&# 65;", kNone},
        {"&#x 41;", kNone},
        {"&#4a;", kNone},
        {"&x41;", kNone},
    };
    for (const Case& c : cases) {
        Found f = find(c.text);
        EXPECT_TRUE(f == c.found) << c.text << " gave U+" << std::hex << f.code_point << " size " << f.size;
    }
}

TEST(ReadCharRef, SurrogatesDecodeOnlyAsAPair) {
    struct Case {
        const char* text;
        Found found;
    } cases[] = {
        {"&#55357;&#56832;", {0x1F600, 16}},
        {"&#xD83D;&#xDE00;", {0x1F600, 16}},
        {"&#xd83d;&#56832;!", {0x1F600, 16}},
        {"&#xDBFF;&#xDFFF;", {0x10FFFF, 16}},
        {"&#xD800;&#xDC00;", {0x10000, 16}},
        {"&#55296;", kNone},
        {"&#xD800;", kNone},
        {"&#57343;", kNone},
        {"&#xDFFF;", kNone},
        {"&#56832;&#55357;", kNone},
        {"&#55357; &#56832;", kNone},
        {"&#55357;&#55357;&#56832;", kNone},
        {"&#55357;&#56832", kNone},
        {"&#55357;&#128512;", kNone},
        {"&#55357;&amp;", kNone},
    };
    for (const Case& c : cases) {
        Found f = find(c.text);
        EXPECT_TRUE(f == c.found) << c.text << " gave U+" << std::hex << f.code_point << " size " << f.size;
    }
}

TEST(EncodeUtf8, EachLengthAtItsBoundaries) {
    struct Case {
        char32_t code_point;
        std::string utf8;
    } cases[] = {
        {0x20, " "},
        {0x7E, "~"},
        {0xA0, "\xc2\xa0"},
        {0x7FF, "\xdf\xbf"},
        {0x800, "\xe0\xa0\x80"},
        {0x3042, "あ"},
        {0xD7FF, "\xed\x9f\xbf"},
        {0xE000, "\xee\x80\x80"},
        {0xFFFF, "\xef\xbf\xbf"},
        {0x10000, "\xf0\x90\x80\x80"},
        {0x1F600, "😀"},
        {0x10FFFF, "\xf4\x8f\xbf\xbf"},
    };
    for (const Case& c : cases) {
        char out[4];
        std::size_t size = encode_utf8(c.code_point, out);
        EXPECT_EQ(std::string(out, size), c.utf8) << std::hex << c.code_point;
    }
}

}  // namespace
}  // namespace zubo
