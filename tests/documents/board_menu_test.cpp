#include "documents/board_menu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/encoding.h"
#include "support/files.h"
#include "support/parse_text.h"

namespace zubo {
namespace {

auto parse(const std::string& text) { return test::parse_text<BoardRecord>(text, kBoardTableSize, parse_board_menu); }

TEST(ParseLinkLine, TakesUrlAndNameOfALinkLine) {
    struct Case {
        std::string line;
        bool is_board;
        std::string url, name;
    } cases[] = {
        {"<A HREF=http://host/board/>Name</A><br>\n", true, "http://host/board/", "Name"},
        {"<A HREF=\"http://host/q/\">Quoted</A>", true, "\"http://host/q/\"", "Quoted"},
        {"<A HREF=http://ma-na.biz/ TARGET=_blank>Ext</A>", true, "http://ma-na.biz/ TARGET=_blank", "Ext"},
        {"<A HREF=x>a</A>b</A>", true, "x", "a"},
        {"<A HREF=x></A>", true, "x", ""},
        {"<a href=http://host/board/>lower</a>", false, "", ""},
        {"<A HREF=http://host/board/>no end", false, "", ""},
        {"<A HREF=no-gt</A>>", false, "", ""},
        {" <A HREF=x>lead</A>", false, "", ""},
        {"<B>heading</B>", false, "", ""},
    };
    for (const Case& c : cases) {
        BoardRecord board;
        ASSERT_EQ(parse_link_line(c.line.c_str(), &board), c.is_board) << c.line;
        if (!c.is_board) continue;
        EXPECT_EQ(board.url, c.url) << c.line;
        EXPECT_EQ(board.name, c.name) << c.line;
    }
}

TEST(ParseLinkLine, CutsOverLongFieldsToTheirRoom) {
    std::string url(5000, 'u'), name(40000, 'n');
    BoardRecord board;
    ASSERT_TRUE(parse_link_line(("<A HREF=" + url + ">" + name + "</A>").c_str(), &board));
    EXPECT_EQ(std::string(board.url), url.substr(0, kFieldSize - 1));
    EXPECT_EQ(std::string(board.name), name.substr(0, kFieldSize - 1));
}

TEST(ParseBoardMenu, TakesOnlyLinksAfterTheMarker) {
    auto p = parse(
        "<A HREF=http://before/>Before</A>\n"
        "<br><br><B>News</B><br>\n"
        "<A HREF=http://a/>A</A><br>\n"
        "\n"
        "<BR><BR><B>Other</B><BR>\n"
        "<A HREF=http://b/>B</A>\n"
        "<a href=http://c/>C</a>\n");
    ASSERT_TRUE(p.result.marker_found);
    ASSERT_EQ(p.result.count, 2);
    EXPECT_STREQ(p.records[0].url, "http://a/");
    EXPECT_STREQ(p.records[1].name, "B");
    EXPECT_FALSE(p.result.over_limit);
}

TEST(ParseBoardMenu, NoMarkerMeansNoMenu) {
    for (const char* text : {"", "<html>error</html>\n<A HREF=http://a/>A</A>\n", "<BR><BR>\n"}) {
        auto p = parse(text);
        EXPECT_FALSE(p.result.marker_found) << text;
        EXPECT_EQ(p.result.count, 0);
    }
}

TEST(ParseBoardMenu, OverLongLineStaysOneLine) {
    // Its tail looks like a link line, but it is not the start of a line.
    std::string line = std::string(kLineSize + 10, 'x') + "<A HREF=http://tail/>Tail</A>\n";
    auto p = parse("<BR><BR><B>x</B>\n" + line + "<A HREF=http://a/>A</A>\n");
    ASSERT_EQ(p.result.count, 1);
    EXPECT_STREQ(p.records[0].url, "http://a/");
}

TEST(ParseBoardMenu, StopsAtTheTableLimit) {
    std::string text = "<BR><BR><B>x</B>\n";
    for (int i = 1; i <= kBoardTableSize + 5; ++i) text += "<A HREF=http://h/" + std::to_string(i) + "/>b</A>\n";
    auto p = parse(text);
    EXPECT_TRUE(p.result.over_limit);
    ASSERT_EQ(p.result.count, kBoardTableSize - 1);
    EXPECT_EQ(std::string(p.records.back().url), "http://h/2999/");
}

TEST(ParseBoardMenu, RealMenus) {
    ZUBO_NEED_REAL_FIXTURES();
    auto old_menu = parse(test::real_fixture("bbsmenu-2013.html"));
    ASSERT_EQ(old_menu.result.count, 907);
    EXPECT_STREQ(old_menu.records[0].url, "http://headline.2ch.net/bbynamazu/");
    EXPECT_EQ(old_menu.records[0].name, test::sjis("地震headline"));
    EXPECT_EQ(old_menu.records[99].name, test::sjis("エネルギー"));

    auto new_menu = parse(test::real_fixture("bbsmenu-2026-style.html"));
    ASSERT_EQ(new_menu.result.count, 16);
    EXPECT_STREQ(new_menu.records[0].url, "https://headline.5ch.io/bbynamazu/");
    EXPECT_EQ(new_menu.records[15].name, test::sjis("数学"));
    EXPECT_EQ(new_menu.records[10].name, test::sjis("鉄道総合"));

    // Its headings in order, each with its boards; the last has none.
    std::vector<std::pair<std::string, int>> categories;
    for (const MenuCategory& c : new_menu.result.categories) categories.emplace_back(test::utf8(c.name), c.count);
    EXPECT_EQ(categories, (std::vector<std::pair<std::string, int>>{
                              {"地震", 3}, {"ニュース", 3}, {"PC等", 4}, {"趣味", 6}, {"他のサイト", 0}}));
    // The old menu's headings hold every board, one heading not after the
    // marker's spelling (<BR><B>運営案内</B><BR>) among them.
    int boards = 0;
    for (const MenuCategory& c : old_menu.result.categories) boards += c.count;
    EXPECT_EQ(boards, 907);
    EXPECT_EQ(old_menu.result.categories.size(), 47u);
    EXPECT_TRUE(old_menu.result.categories.front().headed);
}

// Each category: its name (empty for the boards before the first heading),
// its first board and how many boards it holds.
TEST(ParseBoardMenu, HeadingsMakeCategories) {
    struct Expected {
        std::string name;
        bool headed;
        int first, count;
    };
    struct Case {
        const char* menu;
        std::vector<Expected> categories;
    } cases[] = {
        {"<A HREF=http://top/>Top</A>\n"
         "<br><br><b>\n"
         "<A HREF=http://a/>A</A><br>\n"
         "<A HREF=http://b/>B</A><br>\n"
         "<BR><BR><B>News</B><BR>\n"
         "<A HREF=http://c/>C</A>\n"
         "<BR><B>Empty</B><BR>\n"
         "<br><br><B>Last</B><br>\n"
         "<A HREF=http://d/>D</A>\n",
         {{"", false, 1, 2}, {"News", true, 3, 1}, {"Empty", true, 4, 0}, {"Last", true, 4, 1}}},
        {"<br><br><B>Only</B><br>\n<A HREF=http://a/>A</A>\n<A HREF=http://b/>B</A>\n", {{"Only", true, 1, 2}}},
        {"<br><br><B>None</B><br>\n", {{"None", true, 1, 0}}},
        {"<br><br><B></B><br>\n<A HREF=http://a/>A</A>\n", {{"", true, 1, 1}}},
        // A link that holds <B> is a board; a heading without its end is none.
        {"<br><br><B>x</B>\n<A HREF=http://a/><B>A</B></A>\n<B>open\n<A HREF=http://b/>B</A>\n", {{"x", true, 1, 2}}},
        {"<br><br>\n<A HREF=http://a/>A</A>\n", {}},
    };
    for (const Case& c : cases) {
        auto p = parse(c.menu);
        const std::vector<MenuCategory>& got = p.result.categories;
        ASSERT_EQ(got.size(), c.categories.size()) << c.menu;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].name, c.categories[i].name) << c.menu << i;
            EXPECT_EQ(got[i].headed, c.categories[i].headed) << c.menu << i;
            EXPECT_EQ(got[i].first, c.categories[i].first) << c.menu << i;
            EXPECT_EQ(got[i].count, c.categories[i].count) << c.menu << i;
        }
    }
}

}  // namespace
}  // namespace zubo
