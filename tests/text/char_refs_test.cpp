#include "text/char_refs.h"

#include <gtest/gtest.h>

#include <string>

namespace zubo {
namespace {

// What read_char_ref finds at the start of a text: a character and the bytes
// of its reference, or size 0 for text that stands as it is.
TEST(ReadCharRef, FormsBoundariesAndSurrogatePairs) {
    struct Case {
        const char* text;
        char32_t code_point;
        std::size_t size;
    } cases[] = {
        {"&amp;lt;", '&', 5}, {"&lt;", '<', 4}, {"&gt;&gt;", '>', 4}, {"&quot;", '"', 6},
        {"&AMP;", 0, 0}, {"&amp", 0, 0}, {"&nbsp;", 0, 0}, {"& amp;", 0, 0}, {"x&amp;", 0, 0},
        {"&q", 0, 0}, {"&quo", 0, 0}, {"&quot", 0, 0}, {"&gx;", 0, 0}, {"&l;", 0, 0},  // cut or wrong after the switch
        // The shown range: controls, zero and what lies past U+10FFFF stay.
        {"&#0;", 0, 0}, {"&#31;", 0, 0}, {"&#32;", 0x20, 5}, {"&#x1F;", 0, 0}, {"&#x20;", 0x20, 6},
        {"&#126;", 0x7E, 6}, {"&#127;", 0, 0}, {"&#x9F;", 0, 0}, {"&#160;", 0xA0, 6},
        {"&#55295;", 0xD7FF, 8}, {"&#57344;", 0xE000, 8}, {"&#1114111;", 0x10FFFF, 10},
        {"&#1114112;", 0, 0}, {"&#x10FFFF;", 0x10FFFF, 10}, {"&#x110000;", 0, 0},
        // Seven decimal digits at most, six hex digits at most.
        {"&#0000065;", 'A', 10}, {"&#00000065;", 0, 0}, {"&#x000041;", 'A', 10}, {"&#x0000041;", 0, 0},
        {"&#9999999;", 0, 0}, {"&#xFFFFFF;", 0, 0}, {"&#X41;", 'A', 6}, {"&#x1f600;", 0x1F600, 9},
        // Malformed.
        {"&#;", 0, 0}, {"&#x;", 0, 0}, {"&#xZZ;", 0, 0}, {"&#65", 0, 0}, {"&#65 ;", 0, 0},
        {"&#-65;", 0, 0}, {"&# 65;", 0, 0}, {"&#4a;", 0, 0}, {"&x41;", 0, 0},
        // Surrogates decode only as a high half followed at once by a low one.
        {"&#55357;&#56832;", 0x1F600, 16}, {"&#xd83d;&#56832;!", 0x1F600, 16},
        {"&#xD800;&#xDC00;", 0x10000, 16}, {"&#xDBFF;&#xDFFF;", 0x10FFFF, 16},
        {"&#55296;", 0, 0}, {"&#57343;", 0, 0}, {"&#56832;&#55357;", 0, 0}, {"&#55357; &#56832;", 0, 0},
        {"&#55357;&#55357;&#56832;", 0, 0}, {"&#55357;&#56832", 0, 0}, {"&#55357;&#128512;", 0, 0},
    };
    for (const Case& c : cases) {
        CharRef ref{0, 0};
        bool found = read_char_ref(c.text, &ref);
        EXPECT_EQ(found ? ref.size : 0, c.size) << c.text;
        EXPECT_EQ(found ? ref.code_point : 0, c.code_point) << c.text;
    }
}

TEST(EncodeUtf8, EachLengthAtItsBoundaries) {
    struct Case {
        char32_t code_point;
        std::string utf8;
    } cases[] = {
        {0x20, " "},          {0x7E, "~"},          {0xA0, "\xc2\xa0"},         {0x7FF, "\xdf\xbf"},
        {0x800, "\xe0\xa0\x80"}, {0xFFFF, "\xef\xbf\xbf"}, {0x10000, "\xf0\x90\x80\x80"}, {0x1F600, "😀"},
        {0x10FFFF, "\xf4\x8f\xbf\xbf"},
    };
    for (const Case& c : cases) {
        char out[4];
        EXPECT_EQ(std::string(out, encode_utf8(c.code_point, out)), c.utf8) << std::hex << c.code_point;
    }
}

}  // namespace
}  // namespace zubo
