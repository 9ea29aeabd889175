#include "text/screen_rows.h"

#include <gtest/gtest.h>

#include <string>

#include "support/encoding.h"

namespace zubo {
namespace {

using test::sjis;

TEST(ScreenRows, LinesWrapsTabsAndWideCharacters) {
    struct Case {
        std::string text;
        int width;
        bool utf8;
        int rows;
    } cases[] = {
        {"", 80, false, 0}, {"\n", 80, false, 1}, {"a\n\nb\n", 80, false, 3}, {"abc", 3, false, 1},
        {"abc\n", 3, false, 1}, {"abcd", 3, false, 2}, {"ab", 0, false, 2}, {"a\rb", 2, false, 2},
        // CP932: a byte a column; a two-byte character wraps whole.
        {sjis("あいう"), 6, false, 1}, {sjis("あいう"), 5, false, 2}, {"ab" + sjis("あ"), 3, false, 2},
        {"\xb1\xb2\xb3", 3, false, 1},
        // Tabs go to the next multiple of 8, never past the line's end.
        {"\tx", 8, false, 2}, {"\tx", 9, false, 1}, {"abc\tdefgh", 13, true, 1}, {"abc\tdefgh", 12, false, 2},
        {"abcdefghij\tx", 10, false, 2},
        // UTF-8: wcwidth's columns, whatever the bytes.
        {"あいう", 6, true, 1}, {"あいう", 5, true, 2}, {"a😀", 2, true, 2}, {"ｱｲｳ", 3, true, 1},
        {"e\xcc\x81" "e\xcc\x81", 2, true, 1}, {"ab\xff" "cd", 5, true, 1}, {"ab\xff" "cd", 4, true, 2},
        {"あ", 1, true, 1}, {"a\x01" "b", 2, true, 2},
        // Colour takes no column.
        {"\x1b[1;36mabc\x1b[0m", 3, true, 1}, {"\x1b[33mabc\x1b[0m\n", 3, false, 1}, {"\x1b[xabc", 3, false, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(screen_rows(c.text, c.width, c.utf8), c.rows) << c.text << " at " << c.width;
    }
}

}  // namespace
}  // namespace zubo
