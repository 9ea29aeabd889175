#include "text/nocase_search.h"

#include <gtest/gtest.h>

#include <string>

#include "support/encoding.h"

namespace zubo {
namespace {

using test::sjis;

TEST(FindNocase, AsciiLettersWithoutCaseOnCharacterBoundaries) {
    constexpr std::size_t npos = std::string_view::npos;
    struct Case {
        std::string text;
        std::string needle;
        std::size_t at;
    } cases[] = {
        {"Hello", "hELLO", 0}, {"xxABC", "abc", 2}, {"abc", "", 0}, {"", "", 0}, {"", "a", npos},
        {"ab", "abc", npos}, {sjis("ＺＵＢＯとzubo"), sjis("とZUBO"), 8}, {sjis("ＡＢ"), sjis("ａｂ"), npos},
        // 0x83 0x41 is one character: its 'A' is no letter.
        {"\x83\x41", "a", npos}, {"\x83\x41", "A", npos}, {"\x83\x41" "a", "A", 2},
        // Trail bytes are compared as they are: 0x83 0x61 is not 0x83 0x41.
        {"\x83\x61", "\x83\x41", npos},
        // No match across two characters: 0x9F 0x88 inside 0x88 0x9F 0x88 0xA0.
        {"\x88\x9F\x88\xA0", "\x9F\x88", npos}, {"\x88\x9F\x88\xA0", "\x88\xA0", 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(find_nocase(c.text, c.needle), c.at) << c.text << " / " << c.needle;
        EXPECT_EQ(contains_nocase(c.text, c.needle), c.at != npos);
    }
}

}  // namespace
}  // namespace zubo
