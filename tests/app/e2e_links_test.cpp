// Links, end to end against a loopback server: a thread or a board given
// on the command line, typed at a list's prompt, or chosen among a
// thread's links (uN), and the browser for the links of no board.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "loopback_server.h"
#include "support/e2e.h"
#include "support/encoding.h"
#include "support/files.h"
#include "support/run_zubo.h"
#include "support/temp_dir.h"

namespace zubo::test {
namespace {

// Post n of a thread: its body given, the rest plain; the first line
// carries the title.
std::string post_line(int n, const std::string& body, const std::string& title = "") {
    return "N<><>D" + std::to_string(n) + "<>" + body + "<>" + title + "\n";
}

std::string shown(int n, const std::string& body) { return std::to_string(n) + " : N [] D" + std::to_string(n) + "\n\t" + body + "\n"; }

// A board "/news/" of three threads on a loopback server the menu names:
// thread 1 links thread 2 (its last post) and a page of no board; thread
// 2 has three posts.
class E2eLinks : public ::testing::Test {
protected:
    TempDir dir_;
    LoopbackServer server_;
    std::vector<MenuBoard> boards_;
    const std::vector<std::string> titles_ = {"一 (2)", "二 (3)", "三 (1)"};
    std::string thread2_url_;

    void SetUp() override {
        boards_ = {{server_.url("/news/"), "ニュース速報"}, {server_.url("/game/"), "ゲーム"}};
        write_file(dir_.file("italist.txt"), board_menu(boards_));
        std::string subject;
        for (std::size_t i = 0; i < titles_.size(); ++i) subject += dat_name(static_cast<int>(i + 1)) + "<>" + sjis(titles_[i]) + "\n";
        server_.serve("/news/subject.txt", subject);
        server_.serve("/game/subject.txt", dat_name(1) + "<>" + sjis("ゲームのスレ (1)") + "\n");
        thread2_url_ = server_.url("/test/read.cgi/news/" + dat_name(2).substr(0, 10) + "/l1");
        server_.serve("/news/dat/" + dat_name(1),
                      post_line(1, " one ", "T1") + post_line(2, " see " + thread2_url_ + " ") +
                          post_line(3, " web http://example.invalid/a?b=1&amp;c=2 "));
        server_.serve("/news/dat/" + dat_name(2),
                      post_line(1, " a ", sjis("二のスレ")) + post_line(2, " b ") + post_line(3, " c "));
    }

    ZuboRun run(const std::string& input, std::vector<std::string> args = {},
                std::vector<std::pair<std::string, std::string>> env = {}) {
        ZuboOptions options;
        options.args = {"-s"};
        options.args.insert(options.args.end(), args.begin(), args.end());
        options.input = input;
        options.cwd = dir_.path();
        options.timeout_seconds = 10;
        options.env = std::move(env);
        return run_zubo(options);
    }

    // A BROWSER that records its arguments, a line each, in the directory.
    std::string recording_browser() {
        const std::string script = dir_.file("browser.sh");
        write_file(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + dir_.file("opened") + "'\n");
        chmod(script.c_str(), 0755);
        return script;
    }

    std::string list_page() const { return entries(titles_, 1, 3) + thread_prompt(3); }
    // The list after thread 2 was read to its end.
    std::string list_page_read() const {
        return entries(titles_, 1, 1) + "2 : " + sjis("二 (3) [既読]\n") + entries(titles_, 3, 3) + thread_prompt(3);
    }
    std::string thread1_page() const {
        return shown(1, " one ") + shown(2, " see " + thread2_url_ + " ") +
               shown(3, " web http://example.invalid/a?b=1&c=2 ") + post_prompt(sjis("一 (2)"), 1, 3, 3);
    }
    static std::string reading_thread() { return sjis("■スレッドを読み込んでいます...OK.\n■------スレッドを表示------\n"); }
    static std::string reading_list() { return sjis("■スレッド一覧を読み込んでいます...OK.\n■------スレッド一覧を表示------\n"); }
};

// zubo URL: the thread from the post its suffix names (the last one),
// titled by its own first line while no list is kept; e goes to its
// board's thread list and on to the board list.
TEST_F(E2eLinks, CommandLineThreadThenItsBoardThenTheBoardList) {
    ZuboRun r = run("e\ne\ne\n", {thread2_url_});
    expect_clean_exit(r);
    EXPECT_EQ(r.out, reading_thread() + shown(3, " c ") + post_prompt(sjis("二のスレ"), 3, 3, 3) + reading_list() +
                         list_page_read() + board_list_page(boards_) + leaving());
    // The list kept, the next time the title is the list's.
    ZuboRun again = run("e\ne\ne\n", {server_.url("/news/dat/" + dat_name(2))});
    expect_clean_exit(again);
    EXPECT_EQ(again.out.substr(0, again.out.find(sjis("■スレッド一覧を読み込んで"))),
              reading_thread() + sjis("■新着はありません\n") + shown(1, " a ") + shown(2, " b ") + shown(3, " c ") +
                  post_prompt(sjis("二 (3)"), 1, 3, 3));
}

// A board of the link's name is read where the menu has it, whatever host
// the link names (boards move).
TEST_F(E2eLinks, CommandLineBoardIsTheMenusBoardOfThatName) {
    ZuboRun r = run("e\ne\n", {"http://hayabusa9.2ch.net/news/"});
    expect_clean_exit(r);
    EXPECT_EQ(r.out, reading_list() + list_page() + board_list_page(boards_) + leaving());
}

TEST_F(E2eLinks, CommandLineLinkOfNothingIsSaidWithStatusTwoBeforeAnyDownload) {
    for (const std::string& link : {std::string("http://example.invalid/page.html"), server_.url("/news/dat/x.dat"),
                                    std::string("www.5ch.io/news/")}) {
        ZuboRun r = run("e\n", {link});
        EXPECT_TRUE(r.exited);
        EXPECT_EQ(r.status, 2) << link;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, sjis("■開けないURLです: ") + link + "\n");
    }
    EXPECT_EQ(server_.request_count(), 0u);
}

// At the board list's prompt a link opens its thread, then its board's
// list, and back the board list's page; at a thread list's, a link of
// nothing is said and the prompt asks again.
TEST_F(E2eLinks, LinksTypedAtTheListsPrompts) {
    ZuboRun r = run("ttp" + thread2_url_.substr(4) + "\ne\ne\n2\nhttp://example.invalid/x \ne\ne\n");
    expect_clean_exit(r);
    const std::string game = entries({"ゲームのスレ (1)"}, 1, 1) + thread_prompt(1);
    EXPECT_EQ(r.out, board_list_page(boards_) + reading_thread() + shown(3, " c ") +
                         post_prompt(sjis("二のスレ"), 3, 3, 3) + reading_list() + list_page_read() +
                         board_list_page(boards_) + board_opened(2, sjis("ゲーム")) + game +
                         sjis("■開けないURLです: http://example.invalid/x\n") + thread_prompt(1) +
                         board_list_page(boards_) + leaving());
}

// u numbers the links; u1 opens the thread it names at its last post,
// and e comes back to the page left; u2 gives the other link, its
// references decoded, to the browser, and the page shows again. Back in
// the list, the thread the link opened is marked read too.
TEST_F(E2eLinks, ThreadLinkOpensInZuboAndOthersInTheBrowser) {
    const std::string browser = recording_browser();
    ZuboRun r = run("1\n1\nu\nu1\ne\nu2\ne\ne\ne\n", {}, {{"BROWSER", browser}});
    expect_clean_exit(r);
    const std::string links = "1 : " + thread2_url_ + " (>>2)\n2 : http://example.invalid/a?b=1&c=2 (>>3)\n" +
                              sjis("■2件\n") + post_prompt(sjis("一 (2)"), 1, 3, 3);
    EXPECT_EQ(r.out, board_list_page(boards_) + board_opened(1, sjis("ニュース速報")) + list_page() +
                         thread_opened(1, sjis("一 (2)")) + thread1_page() + links + reading_thread() +
                         shown(3, " c ") + post_prompt(sjis("二 (3)"), 3, 3, 3) + thread1_page() + thread1_page() +
                         "1 : " + sjis("一 (2) [既読]\n2 : 二 (3) [既読]\n") + entries(titles_, 3, 3) + thread_prompt(3) +
                         board_list_page(boards_) + leaving());
    EXPECT_EQ(read_file(dir_.file("opened")), "http://example.invalid/a?b=1&c=2\n");
}

// BROWSER's words, the link in place of %s; without BROWSER nor xdg-open,
// the link is said.
TEST_F(E2eLinks, BrowserWordsAndNoBrowser) {
    const std::string browser = recording_browser();
    ZuboRun r = run("1\n1\nu2\ne\ne\ne\n", {}, {{"BROWSER", browser + " --new %s --x"}});
    expect_clean_exit(r);
    EXPECT_EQ(read_file(dir_.file("opened")), "--new\nhttp://example.invalid/a?b=1&c=2\n--x\n");

    // A BROWSER that can't be run is said, with the reason.
    ZuboRun missing = run("1\n1\nu2\ne\ne\ne\n", {}, {{"BROWSER", dir_.file("none")}});
    EXPECT_NE(missing.out.find(sjis("■ブラウザを起動できません: ") + dir_.file("none") +
                               " http://example.invalid/a?b=1&c=2 (No such file or directory)\n"),
              std::string::npos);

    const std::string empty_path = dir_.file("bin");
    mkdir(empty_path.c_str(), 0700);
    ZuboRun none = run("1\n1\nu2\ne\ne\ne\n", {}, {{"PATH", empty_path}});
    expect_clean_exit(none);
    EXPECT_NE(none.out.find(sjis("■ブラウザがありません: http://example.invalid/a?b=1&c=2\n") +
                            post_prompt(sjis("一 (2)"), 1, 3, 3) + "1 : " + sjis("一 (2) [既読]\n")),
              std::string::npos)
        << none.out;
}

}  // namespace
}  // namespace zubo::test
