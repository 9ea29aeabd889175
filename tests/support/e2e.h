#pragma once
// Builders shared by the tests of the screens and of the whole program: a
// board menu as the service serves it, the screens' prompts and banners as
// zubo prints them (CP932; labels are given as CP932 bytes too), and the
// checks every run of the program must pass.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loopback_server.h"
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

// The prompts of the board list, the thread list and the thread view, and
// those after a search of either list.
inline std::string board_prompt(std::size_t count) {
    return sjis("■--スレッド一覧番号入力?(1-" + std::to_string(count) + " j[数値]:ジャンプ s:検索 c:カテゴリ f:お気に入り h:履歴 ?:ヘルプ e:終わり)--");
}
inline std::string thread_prompt(std::size_t count) {
    return sjis("■--スレッド番号を入力?(1-" + std::to_string(count) + ":開く j[数値]:ジャンプ s:検索 o[m/n/c/u/o]:並べ替え ?:ヘルプ e:板一覧)--");
}
inline std::string post_prompt(const std::string& title, int first, int last, int count) {
    return sjis("■--[") + title + "]--(" + std::to_string(first) + "-" + std::to_string(last) + "/" +
           std::to_string(count) + sjis(" j[数値]:ジャンプ b:前 e:戻る ?:ヘルプ)");
}
// The thread prompt's start, whatever page it ends.
inline std::string post_prompt(const std::string& title) { return sjis("■--[") + title + "]--("; }
// The last page's prompt, and Enter there going back to the thread list.
inline std::string thread_last_page(const std::string& title, int first, int last, int count) {
    return post_prompt(title, first, last, count) + sjis("■スレッド一覧に戻ります\n");
}
inline std::string board_search_prompt(std::size_t count) {
    return sjis("■検索結果は以上です。読みたい板番号を入力?(1-" + std::to_string(count) + ")");
}
inline std::string thread_search_prompt(std::size_t count) {
    return sjis("■検索結果は以上です。読みたいスレ番号を入力?(1-" + std::to_string(count) + ")");
}

// A board or a thread opened from its list: the opening line, the loading
// line with the download's outcome ("OK." or "失敗 (reason)", UTF-8), the
// banner.
inline std::string board_opened(int n, const std::string& name, const std::string& outcome = "OK.\n") {
    return sjis("■スレッド[" + std::to_string(n) + " : ") + name + sjis("]を開きます\n") +
           sjis("■スレッド一覧を読み込んでいます..." + outcome + "■------スレッド一覧を表示------\n");
}
inline std::string thread_opened(int n, const std::string& title, const std::string& outcome = "OK.\n") {
    return sjis("■ファイル[" + std::to_string(n) + " : ") + title + sjis("]を開きます\n") +
           sjis("■スレッドを読み込んでいます..." + outcome + "■------スレッドを表示------\n");
}

// The document name of thread n of a test board's subject.txt.
inline std::string dat_name(int n) { return std::to_string(1000000000 + n) + ".dat"; }

// The board list's entries and the prompt that follows them (a list of
// fewer than twenty boards prompts after its last).
inline std::string board_list_page(const std::vector<MenuBoard>& boards) {
    std::string page;
    for (std::size_t i = 0; i < boards.size(); ++i) page += std::to_string(i + 1) + " : " + sjis(boards[i].name) + "\n";
    return page + board_prompt(boards.size());
}

// Entries from to to of a list of labels (UTF-8; labels[0] is entry 1), a
// line each as the pager prints them.
inline std::string entries(const std::vector<std::string>& labels, int from, int to) {
    std::string out;
    for (int k = from; k <= to; ++k) out += std::to_string(k) + " : " + sjis(labels[static_cast<std::size_t>(k - 1)]) + "\n";
    return out;
}

// The line zubo ends with.
inline std::string leaving() { return sjis("■終了します。\n"); }

// A URL on loopback where nothing listens: the port a server just gave up.
inline std::string closed_url(const std::string& path = "") {
    int port = LoopbackServer().port();
    return "http://127.0.0.1:" + std::to_string(port) + path;
}

// Every end of zubo: the status (0 after e or the end of input) and nothing
// on standard error.
inline void expect_clean_exit(const ZuboRun& run, int status = 0) {
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.status, status);
    EXPECT_EQ(run.err, "");
}

}  // namespace zubo::test
