#pragma once
// Builders shared by the end-to-end tests: a board menu as the service
// serves it, the board list zubo prints for it, and the checks every run
// of the program must pass.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/encoding.h"
#include "support/run_zubo.h"

namespace zubo::test {

struct MenuBoard {
    std::string url;   // ends with '/'
    std::string name;  // UTF-8 spelling
};

// A menu page: a link before the marker line (not a board), the marker in
// the service's present lower-case spelling, a category heading, then one
// link line per board with its trailing <br>.
inline std::string board_menu(const std::vector<MenuBoard>& boards) {
    std::string menu = sjis("<HTML><HEAD><TITLE>BBS MENU</TITLE></HEAD><BODY>\n"
                            "<A HREF=http://www.example.invalid/>トップ</A><br>\n"
                            "<br><br><B>ニュース</B><br>\n");
    for (const MenuBoard& board : boards) menu += "<A HREF=" + board.url + ">" + sjis(board.name) + "</A><br>\n";
    return menu + "</BODY></HTML>\n";
}

// The board list's entries and the prompt that follows them (a list of
// fewer than twenty boards prompts after its last).
inline std::string board_list_page(const std::vector<MenuBoard>& boards) {
    std::string page;
    for (std::size_t i = 0; i < boards.size(); ++i) page += std::to_string(i + 1) + " : " + sjis(boards[i].name) + "\n";
    return page + sjis("■--スレッド一覧番号入力?(1-" + std::to_string(boards.size()) +
                       " j[数値]:ジャンプ s:検索 e:終わり)--");
}

// Every end of zubo: status 0 and nothing on standard error.
inline void expect_clean_exit(const ZuboRun& run) {
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
}

}  // namespace zubo::test
