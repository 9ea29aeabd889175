// The built zubo on the whole road: board list, thread list, thread view and
// back, against a loopback server holding a board and its threads.

#include <fcntl.h>
#include <linux/fs.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "store/database.h"
#include "support/documents.h"
#include "support/e2e.h"
#include "support/encoding.h"
#include "support/files.h"
#include "loopback_server.h"
#include "support/run_zubo.h"
#include "support/temp_dir.h"

namespace zubo::test {
namespace {

// A post as the document holds it (raw) and as zubo shows its body.
struct Post {
    std::string name, mail, date, body, shown;
};

DatFields dat_fields(const Post& p) { return {p.name, p.mail, p.date, p.body}; }

std::string dat_document(const std::vector<Post>& posts) {
    return sjis(thread_document(static_cast<int>(posts.size()),
                                [&](int n) { return dat_fields(posts[static_cast<std::size_t>(n - 1)]); }));
}

Post plain_post(int n) {
    std::string body = "本文" + std::to_string(n);
    return {"名無しさん", "sage", "2026/01/01(木) 00:00:" + std::to_string(10 + n) + " ID:zubo" + std::to_string(n),
            " " + body + " ", " " + body + " "};
}

std::vector<Post> plain_posts(int count) {
    std::vector<Post> posts;
    for (int n = 1; n <= count; ++n) posts.push_back(plain_post(n));
    return posts;
}

std::string printed(int n, const Post& p) {
    return std::to_string(n) + " : " + sjis(p.name + " [" + p.mail + "] " + p.date + "\n\t" + p.shown) + "\n";
}

std::string printed(const std::vector<Post>& posts, int from, int to) {
    std::string out;
    for (int n = from; n <= to; ++n) out += printed(n, posts[static_cast<std::size_t>(n - 1)]);
    return out;
}

// subject.txt of titles[0..]: thread k is <dat_name(k)>.
std::string subject(const std::vector<std::string>& titles) {
    std::string doc;
    for (std::size_t i = 0; i < titles.size(); ++i) doc += dat_name(static_cast<int>(i + 1)) + "<>" + sjis(titles[i]) + "\n";
    return doc;
}

std::vector<std::string> numbered_titles(const std::string& stem, int count) {
    std::vector<std::string> titles;
    for (int k = 1; k <= count; ++k) titles.push_back(stem + std::to_string(k) + " (" + std::to_string(k) + ")");
    return titles;
}

const std::string kOk = "OK.\n";
const std::string kCannotConnect = "失敗 (接続できません)\n";
std::string dat_open_error() { return sjis("■datオープンエラー\n"); }

// What a UTF-8 console shows for a CP932 screen: the same text, with the
// references CP932 has no character for decoded after all.
std::string on_utf8_console(const std::string& cp932_screen,
                            const std::vector<std::pair<std::string, std::string>>& decoded) {
    std::string screen = utf8(cp932_screen);
    for (const auto& [reference, character] : decoded) {
        for (std::size_t at = 0; (at = screen.find(reference, at)) != std::string::npos; at += character.size()) {
            screen.replace(at, reference.size(), character);
        }
    }
    return screen;
}

// Working directory with italist.txt naming two boards of the loopback
// server; the first, "/news/", is the one the tests visit.
class E2eThreads : public ::testing::Test {
protected:
    TempDir dir_;
    std::unique_ptr<LoopbackServer> server_;
    std::vector<MenuBoard> boards_;
    std::vector<std::string> titles_ = numbered_titles("スレッド", 45);
    std::vector<std::pair<std::string, std::string>> env_;

    void SetUp() override { start_server(); }

    // A fresh server (on a new port) named by italist.txt, serving the board.
    void start_server() {
        // A new case: nothing remembered of the one before.
        forget_read_state(dir_.path());
        server_ = std::make_unique<LoopbackServer>();
        boards_ = {{server_->url("/news/"), "ニュース速報"}, {server_->url("/game/"), "ゲーム"}};
        write_file(dir_.file("italist.txt"), board_menu(boards_));
        server_->serve("/news/subject.txt", subject(titles_));
    }

    ZuboRun run(const std::string& input, bool utf8 = false) {
        ZuboOptions options;
        options.args = {utf8 ? "-u" : "-s"};
        options.input = input;
        options.cwd = dir_.path();
        options.timeout_seconds = 10;
        options.env = env_;
        ZuboRun r = run_zubo(options);
        expect_clean_exit(r);
        return r;
    }

    std::size_t requests_for(const std::string& target) const {
        std::size_t n = 0;
        for (const SeenRequest& seen : server_->requests()) n += seen.target == target;
        return n;
    }

    // Board 1, then thread `thread` from the prompt after entry 20: what is
    // printed up to the thread view's banner.
    std::string up_to_thread(int thread, const std::string& title, const std::string& board_outcome = kOk,
                             const std::string& thread_outcome = kOk) const {
        return board_list_page(boards_) + board_opened(1, sjis("ニュース速報"), board_outcome) + entries(titles_, 1, 20) +
               thread_prompt(static_cast<int>(titles_.size())) + thread_opened(thread, sjis(title), thread_outcome);
    }
    // After the thread view: the thread list's first page again, thread
    // `thread` with its mark, e there, and e in the board list shown again.
    std::string back_and_out(int thread = 1, const std::string& mark = " [既読]") const {
        return marked_entries(thread, mark) + thread_prompt(static_cast<int>(titles_.size())) +
               board_list_page(boards_) + leaving();
    }
    // Entries 1 to 20, thread `thread` followed by its mark (UTF-8).
    std::string marked_entries(int thread, const std::string& mark) const {
        return entries(titles_, 1, thread - 1) + std::to_string(thread) + " : " +
               sjis(titles_[static_cast<std::size_t>(thread - 1)] + mark) + "\n" + entries(titles_, thread + 1, 20);
    }
};

TEST_F(E2eThreads, WholeRoadFromBoardToThreadAndBack) {
    std::vector<Post> posts;
    for (int n = 1; n <= 30; ++n) posts.push_back(plain_post(n));
    posts[0].body += "<>スレッド3";  // the first line carries the thread's title after the body
    posts[1].body = " 一行目 <br> 二行目 <br> 三行目 ";
    posts[1].shown = " 一行目 \n\t 二行目 \n\t 三行目 ";
    posts[2].body = " &lt;a&gt; &amp;lt; &quot;引用&quot; ";
    posts[2].shown = " <a> &lt; \"引用\" ";
    posts[3].body = " &lt;br&gt;は改行しない ";
    posts[3].shown = " <br>は改行しない ";
    const std::string document = dat_document(posts);
    server_->serve("/news/dat/" + dat_name(3), document);

    // Board 1, thread 3, next page, jump to post 28, the end's one byte,
    // then e in the thread list and e in the board list.
    ZuboRun r = run("1\n3\n\nj28\n\ne\ne\n");

    const std::string title = "スレッド3 (3)";
    // Posts 1 to 9 take 2 + 4 + 7 * 2 = 20 lines; 10 to 19 another 20.
    EXPECT_EQ(r.out, up_to_thread(3, title) + printed(posts, 1, 9) + post_prompt(sjis(title), 1, 9, 30) +
                         printed(posts, 10, 19) + post_prompt(sjis(title), 10, 19, 30) + printed(posts, 28, 30) +
                         thread_last_page(sjis(title), 28, 30, 30) + back_and_out(3));
    EXPECT_EQ(read_file(dir_.file("boards/news/dat/" + dat_name(3))), document);
    EXPECT_EQ(read_file(dir_.file("boards/news/subject.txt")), subject(titles_));
}

TEST_F(E2eThreads, ShortBoardOpensItsThreadsFromItsOnlyPrompt) {
    titles_ = numbered_titles("スレッド", 3);
    server_->serve("/news/subject.txt", subject(titles_));
    const std::vector<Post> posts = {plain_post(1), plain_post(2)};
    server_->serve("/news/dat/" + dat_name(2), dat_document(posts));

    // Board 1; thread 2 at the prompt after the last entry; the thread's
    // last prompt answered with 2, which is no command there, then Enter;
    // back at the list's page, thread 2 again, read to its end: it opens at
    // its last page; then Enter, Enter, which ends the list at once, and e.
    ZuboRun r = run("1\n2\n2\n\n2\n\n\ne\n");
    const std::string list = entries(titles_, 1, 3) + thread_prompt(3);
    // Back from thread 2, the list marks it read.
    const std::string read = entries(titles_, 1, 1) + "2 : " + sjis(titles_[1] + " [既読]\n") + entries(titles_, 3, 3) +
                             thread_prompt(3);
    const std::string title = sjis(titles_[1]);
    const std::string first = thread_opened(2, title) + printed(posts, 1, 2) + post_prompt(title, 1, 2, 2) +
                              sjis("■不明な入力です: 2 (?:ヘルプ)\n") + thread_last_page(title, 1, 2, 2);
    const std::string again = thread_opened(2, title) + sjis("■新着はありません\n") + printed(posts, 1, 2) +
                              thread_last_page(title, 1, 2, 2);
    EXPECT_EQ(r.out, board_list_page(boards_) + board_opened(1, sjis("ニュース速報")) + list + first + read + again + read +
                         sjis("■板一覧に戻ります\n") + board_list_page(boards_) + leaving());
    EXPECT_EQ(requests_for("/news/dat/" + dat_name(2)), 2u);
}

// Two boards, each with a thread of the same key: online and offline, each
// board shows its own list and its own thread; a board whose list can't be
// had and was never had says so, never showing another board's.
TEST_F(E2eThreads, BoardsKeepTheirOwnListsAndThreads) {
    const std::vector<std::string> game_titles = numbered_titles("ゲーム", 3);
    const std::string news_doc = dat_document({plain_post(1)}), game_doc = dat_document({plain_post(2)});
    server_->serve("/game/subject.txt", subject(game_titles));
    server_->serve("/news/dat/" + dat_name(1), news_doc);
    server_->serve("/game/dat/" + dat_name(1), game_doc);
    // Board 1, thread 1, its end, e at the list; board 2, thread 1, its end,
    // e at the list shown again; e.
    const std::string input = "1\n1\n\ne\n2\n1\n\ne\ne\n";
    const std::string news_thread = printed(1, plain_post(1)) + thread_last_page(sjis(titles_[0]), 1, 1, 1);
    const std::string game_thread = printed(1, plain_post(2)) + thread_last_page(sjis(game_titles[0]), 1, 1, 1);
    for (const std::string& outcome : {kOk, kCannotConnect}) {
        SCOPED_TRACE(outcome);
        forget_read_state(dir_.path());  // the copies are this case's matter
        ZuboRun r = run(input);
        const std::size_t news = r.out.find(thread_opened(1, sjis(titles_[0]), outcome) + news_thread);
        const std::size_t game = r.out.find(board_opened(2, sjis("ゲーム"), outcome));
        EXPECT_NE(news, std::string::npos);
        ASSERT_NE(game, std::string::npos);
        EXPECT_LT(news, game);
        EXPECT_NE(r.out.find(thread_opened(1, sjis(game_titles[0]), outcome) + game_thread, game), std::string::npos);
        EXPECT_EQ(r.out.find(sjis(titles_[0]), game), std::string::npos);  // no news title under the game board
        EXPECT_EQ(read_file(dir_.file("boards/news/dat/" + dat_name(1))), news_doc);
        EXPECT_EQ(read_file(dir_.file("boards/game/dat/" + dat_name(1))), game_doc);
        server_.reset();
    }

    std::filesystem::remove_all(dir_.file("boards/game"));
    ZuboRun none = run("2\ne\n");
    EXPECT_EQ(none.out, board_list_page(boards_) + board_opened(2, sjis("ゲーム"), kCannotConnect) +
                            sjis("■スレッド一覧がありません\n") + board_list_page(boards_) + leaving());
}

// Titles an NG rule names are left out of the list, their numbers
// skipped; a rule line zubo can't read is said once per start.
TEST_F(E2eThreads, NgTitlesAreLeftOutAndBadRuleLinesSaidOnce) {
    write_file(dir_.file("ng.txt"), sjis("title /スレッド1[0-9] /\nbogus line\ntitle 3 (3)\n"));
    // The second time round, j21 jumps to the 21st thread shown.
    ZuboRun r = run("1\ne\n1\nj21\ne\ne\n");
    const std::string opened = board_opened(1, sjis("ニュース速報"));
    // The 34 threads shown take the numbers 1 to 34.
    std::vector<std::string> shown = {titles_[0], titles_[1]};
    for (int k = 4; k <= 45; ++k) {
        if (k < 10 || k > 19) shown.push_back(titles_[static_cast<std::size_t>(k - 1)]);
    }
    ASSERT_EQ(shown.size(), 34u);
    const std::string listed = sjis("■NGスレッド 11件\n") + entries(shown, 1, 20) + thread_prompt(34);
    EXPECT_EQ(r.out, board_list_page(boards_) + opened + sjis("■ng.txt 2行目を読めません\n") + listed +
                         board_list_page(boards_) + opened + listed + entries(shown, 21, 34) + thread_prompt(34) +
                         board_list_page(boards_) + leaving());
}

// ngi at the thread prompt hides that ID's posts at once and in the next
// run; ngn on a UTF-8 console writes the name to ng.txt in UTF-8.
TEST_F(E2eThreads, RulesAddedAtThePromptHideAtOnceAndAfterARestart) {
    std::vector<Post> posts = plain_posts(5);
    posts[3].date = posts[1].date;
    posts[2].name = "コテハン";
    server_->serve("/news/dat/" + dat_name(1), dat_document(posts));
    std::vector<Post> hidden = posts;
    hidden[1] = hidden[3] = {"あぼ～ん", "あぼ～ん", "あぼ～ん", "あぼ～ん", "あぼ～ん"};
    const std::string title = sjis(titles_[0]);

    // The name four posts of five carry would hide the thread: not added.
    ZuboRun common = run("1\n1\nngn 1\ne\ne\ne\n");
    EXPECT_NE(common.out.find(post_prompt(title, 1, 5, 5) + sjis("■「名無しさん」は4件の書き込みの名前です: 追加しません\n") +
                              post_prompt(title, 1, 5, 5)),
              std::string::npos);
    EXPECT_FALSE(file_exists(dir_.file("ng.txt")));
    forget_read_state(dir_.path());

    ZuboRun first = run("1\n1\nngi 2\ne\ne\ne\n");
    EXPECT_EQ(first.out, up_to_thread(1, titles_[0]) + printed(posts, 1, 5) + post_prompt(title, 1, 5, 5) +
                             sjis("■NGに追加しました: id zubo2\n") + printed(hidden, 1, 5) + post_prompt(title, 1, 5, 5) +
                             back_and_out());
    forget_read_state(dir_.path());  // no read marks in the list
    ZuboRun again = run("1\n1\ne\ne\ne\n");
    EXPECT_EQ(again.out, up_to_thread(1, titles_[0]) + printed(hidden, 1, 5) + post_prompt(title, 1, 5, 5) + back_and_out());

    ZuboRun utf8_console = run("1\n1\nngn 3\ne\ne\ne\n", true);
    hidden[2] = hidden[1];
    EXPECT_NE(utf8_console.out.find(utf8(sjis("■NGに追加しました: name コテハン\n") + printed(hidden, 1, 5))), std::string::npos);
    EXPECT_EQ(read_file(dir_.file("ng.txt")), "id zubo2\nname コテハン\n");

    // A Japanese word typed on a UTF-8 console is written in UTF-8, and
    // hides its posts at once and after a restart.
    ZuboRun word = run("1\n1\nngw ンテ\ne\ne\ne\n", true);
    EXPECT_NE(word.out.find("■NGに追加しました: word ンテ\n"), std::string::npos) << word.out;
    EXPECT_EQ(read_file(dir_.file("ng.txt")), "id zubo2\nname コテハン\nword ンテ\n");
    forget_read_state(dir_.path());
    ZuboRun restarted = run("1\n1\ne\ne\ne\n", true);
    EXPECT_EQ(restarted.out.find("コテハン"), std::string::npos);
    EXPECT_EQ(restarted.out.find("ng.txt"), std::string::npos) << "no line of ng.txt is unreadable";
}

// ? at a list's prompt prints the pager's commands, the list's own and how
// to leave, then the same prompt again.
TEST_F(E2eThreads, QuestionMarkPrintsEachListsCommands) {
    ZuboRun r = run("?\n1\n?\ne\ne\n");
    const std::string pager = "数値 : その番号を開く\nj[数値] : その番号へジャンプ\ns文字列 : 検索\nEnter : 次のページ\n"
                              "? : このヘルプ\n";
    const std::string prompt = thread_prompt(45);
    EXPECT_EQ(r.out, board_list_page(boards_) + sjis(pager + "c : カテゴリ一覧\nf : お気に入り\nh : 履歴\nURL : そのスレッドか板を開く\ne : 終わり\n") +
                         board_list_page(boards_).substr(board_list_page(boards_).rfind("\n") + 1) +
                         board_opened(1, sjis("ニュース速報")) + entries(titles_, 1, 20) + prompt +
                         sjis(pager + "o[m/n/c/u/o] : 並べ替え (m:勢い n:新しい順 c:レス数 u:未読 o:元の順)\nw : スレッドを立てる\n"
                                      "URL : そのスレッドか板を開く\ne : 板一覧に戻る\n") +
                         prompt + board_list_page(boards_) + leaving());
}

// c lists the menu's headings (the boards before the first under
// "(なし)"); a number lists that heading's boards, which open as from the
// board list; e goes back one list at a time.
TEST_F(E2eThreads, CategoriesListTheirBoards) {
    write_file(dir_.file("italist.txt"), sjis("<br><br><B>\n<A HREF=" + boards_[0].url +
                                              ">ニュース速報</A><br>\n<br><br><B>ゲーム</B><br>\n<A HREF=" +
                                              boards_[1].url + ">ゲーム</A>\n"));
    // c; 3 is out of range; category 1; ? there; board 1; e at its thread
    // list, e at the category's boards, e at the categories, e.
    ZuboRun r = run("c\n3\n1\n?\n1\ne\ne\ne\ne\n");
    const std::string categories = sjis("1 : (なし) (1)\n2 : ゲーム (1)\n") +
                                   sjis("■--カテゴリ番号を入力?(1-2:開く j[数値]:ジャンプ s:検索 e:板一覧)--");
    const std::string news = sjis("1 : ニュース速報\n") + board_prompt(1);
    const std::string help = "数値 : その番号を開く\nj[数値] : その番号へジャンプ\ns文字列 : 検索\nEnter : 次のページ\n"
                             "? : このヘルプ\nf : お気に入り\nh : 履歴\nURL : そのスレッドか板を開く\n"
                             "e : カテゴリ一覧に戻る\n";
    EXPECT_EQ(r.out, board_list_page(boards_) + sjis("■------カテゴリ一覧------\n") + categories +
                         sjis("■1-2の番号を入力してください\n") + categories.substr(categories.rfind("\n") + 1) +
                         sjis("■カテゴリ[1 : (なし)]を開きます\n") + news + sjis(help) + board_prompt(1) +
                         board_opened(1, sjis("ニュース速報")) + entries(titles_, 1, 20) + thread_prompt(45) + news +
                         categories + board_list_page(boards_) + leaving());
}

TEST_F(E2eThreads, EveryVisitToABoardDownloadsItsListAgain) {
    const std::vector<std::string> later = numbered_titles("新しいスレッド", 45);
    std::atomic<int> visits{0};
    server_->handle("/news/subject.txt", [&](const LoopbackRequest&, LoopbackResponse& res) {
        res.set_content(subject(++visits == 1 ? titles_ : later), "text/plain");
    });

    // Board 1, e in its thread list, board 1 again, e, e.
    ZuboRun r = run("1\ne\n1\ne\ne\n");

    EXPECT_EQ(requests_for("/news/subject.txt"), 2u);
    const std::string prompt = thread_prompt(45);
    EXPECT_EQ(r.out, board_list_page(boards_) + board_opened(1, sjis("ニュース速報")) + entries(titles_, 1, 20) + prompt +
                         board_list_page(boards_) + board_opened(1, sjis("ニュース速報")) + entries(later, 1, 20) + prompt +
                         board_list_page(boards_) + leaving());
}

TEST_F(E2eThreads, ThreadReadOnceIsShownWhenTheServerFailsIt) {
    const std::vector<Post> posts = {plain_post(1), plain_post(2), plain_post(3)};
    const std::string document = dat_document(posts);
    const std::string dat_path = "/news/dat/" + dat_name(1);
    const std::string input = "1\n1\n\ne\ne\n";
    const std::string rest = printed(posts, 1, 3) + thread_last_page(sjis(titles_[0]), 1, 3, 3) + back_and_out();

    for (bool server_down : {false, true}) {
        SCOPED_TRACE(server_down ? "server down" : "thread answers 404");
        start_server();
        std::filesystem::remove_all(dir_.file("boards/news/dat"));
        server_->serve(dat_path, document);

        ZuboRun first = run(input);
        EXPECT_EQ(first.out, up_to_thread(1, titles_[0]) + rest);

        // The download is this case's matter; the read state has its own.
        forget_read_state(dir_.path());
        if (server_down) server_.reset();
        else server_->serve(dat_path, "<html><body>404 Not Found</body></html>", 404);
        ZuboRun again = run(input);
        // The old thread list is shown after a failed download too.
        const std::string expected = server_down ? up_to_thread(1, titles_[0], kCannotConnect, kCannotConnect)
                                                 : up_to_thread(1, titles_[0], kOk, "失敗 (HTTP 404)\n");
        EXPECT_EQ(again.out, expected + rest);
        EXPECT_EQ(read_file(dir_.file("boards/news/dat/" + dat_name(1))), document);
    }
}

// Favourites across two boards: f brings their copies up to date with a
// ranged request each, then lists them with their copies' posts, their
// boards and unread posts; one whose board left the menu says so, and one
// the check could not reach. h lists the threads opened.
TEST_F(E2eThreads, FavouritesCheckForUpdatesAndHistoryRemembers) {
    const std::vector<std::string> game_titles = numbered_titles("ゲーム", 3);
    server_->serve("/game/subject.txt", subject(game_titles));
    server_->serve("/news/dat/" + dat_name(1), dat_document(plain_posts(3)));
    server_->serve("/game/dat/" + dat_name(2), dat_document(plain_posts(2)));
    // News thread 1 to its end, e; game thread 2 to its end, e at the list; e.
    run("1\n1\n\ne\n2\n2\n\ne\ne\n");
    // A copy the server no longer has, nor its archive.
    write_file(dir_.file("boards/news/dat/" + dat_name(3)), dat_document(plain_posts(2)));
    {
        store::Opened opened = store::Database::open(dir_.file("zubo.db"));
        ASSERT_TRUE(opened.db);
        opened.db->add_favourite({"news", dat_name(1), sjis(titles_[0])});
        opened.db->add_favourite({"game", dat_name(2), sjis(game_titles[1])});
        opened.db->add_favourite({"gone", dat_name(9), "old"});
        opened.db->add_favourite({"news", dat_name(3), sjis(titles_[2])});
    }
    server_->serve("/news/dat/" + dat_name(1), dat_document(plain_posts(5)));
    const std::size_t before = server_->requests().size();

    ZuboRun r = run("f\ne\nh\ne\ne\n");
    EXPECT_EQ(server_->requests().size(), before + 4);  // the lost one's archive too
    for (std::size_t i = before; i < server_->requests().size(); ++i) {
        EXPECT_FALSE(server_->requests()[i].header("Range").empty());
    }
    EXPECT_NE(r.out.find(sjis("■------お気に入りを表示------\n1 : スレッド1 (5) [news] [未読2]\n"
                              "2 : ゲーム2 (2) [game] [既読]\n3 : old (0) [gone] [板なし]\n"
                              "4 : スレッド3 (2) [news] [確認できず]\n")),
              std::string::npos);
    EXPECT_NE(r.out.find(sjis("■------履歴を表示------\n1 : ゲーム2 (2) [game] [既読]\n2 : スレッド1 (5) [news] [未読2]\n"
                              "■--履歴番号を入力?(1-2")),
              std::string::npos);

    // The counts remembered from the copies follow a copy that grew.
    server_->serve("/news/dat/" + dat_name(1), dat_document(plain_posts(7)));
    EXPECT_NE(run("f\ne\ne\n").out.find(sjis("1 : スレッド1 (7) [news] [未読4]\n")), std::string::npos);
    // Taken out of the favourites from their list, it leaves the list there.
    const std::string out = run("f\n1\nf\ne\ne\ne\n").out;
    const std::size_t removed = out.find(sjis("■お気に入りから外しました\n"));
    ASSERT_NE(removed, std::string::npos);
    EXPECT_NE(out.find(sjis("1 : ゲーム2 (2) [game] [既読]\n2 : old (0) [gone] [板なし]\n"), removed), std::string::npos);
}

// dN and mN M at the favourites' prompt: the list shows again in its new
// order; a number outside the list says the range and changes nothing; the
// history takes neither.
TEST_F(E2eThreads, FavouritesAreTakenOutAndMovedFromTheirList) {
    struct Case {
        std::string typed;
        std::string said;  // UTF-8
        std::vector<int> order;
    } cases[] = {
        {"d1", "■お気に入りから外しました\n", {2, 3}},
        {"D3", "■お気に入りから外しました\n", {1, 2}},
        {"d4", "■1-3の番号を入力してください\n", {1, 2, 3}},
        {"d0", "■1-3の番号を入力してください\n", {1, 2, 3}},
        {"m3 1", "■3を1番目に移しました\n", {3, 1, 2}},
        {"m1 3", "■1を3番目に移しました\n", {2, 3, 1}},
        {"m1  99", "■1を3番目に移しました\n", {2, 3, 1}},
        {"m2 0", "■2を1番目に移しました\n", {2, 1, 3}},
        {"m2 2", "■2を2番目に移しました\n", {1, 2, 3}},
        {"m4 1", "■1-3の番号を入力してください\n", {1, 2, 3}},
        {"m1", "", {1, 2, 3}},
        {"d", "", {1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        start_server();
        for (int k = 1; k <= 3; ++k) server_->serve("/news/dat/" + dat_name(k), dat_document(plain_posts(k)));
        {
            store::Opened opened = store::Database::open(dir_.file("zubo.db"));
            ASSERT_TRUE(opened.db);
            for (int k = 1; k <= 3; ++k) opened.db->add_favourite({"news", dat_name(k), sjis(titles_[k - 1])});
        }

        const std::string out = run("f\n" + c.typed + "\ne\nh\n" + c.typed + "\ne\ne\n").out;

        const std::string banner = sjis("■------お気に入りを表示------\n");
        std::size_t at = out.find(sjis(c.said), out.find(banner));
        ASSERT_NE(at, std::string::npos);
        std::vector<int> order;
        store::Opened opened = store::Database::open(dir_.file("zubo.db"));
        ASSERT_TRUE(opened.db);
        for (const store::ThreadRef& f : opened.db->favourites()) order.push_back(std::stoi(f.dat) - 1000000000);
        EXPECT_EQ(order, c.order);
        // Listed again from entry 1, in the new order, when it changed.
        if (c.said.find("番号を入力") == std::string::npos && !c.said.empty()) {
            for (std::size_t i = 0; i < c.order.size(); ++i) {
                const int k = c.order[i];
                at = out.find(std::to_string(i + 1) + " : " + sjis("スレッド" + std::to_string(k) + " (" + std::to_string(k) + ")"), at);
                EXPECT_NE(at, std::string::npos) << i;
            }
        }
        // The history has no such commands: the line is Enter there.
        EXPECT_EQ(out.find(sjis(c.said), out.find(sjis("■------履歴を表示------\n"))), c.said.empty() ? out.find(sjis("■------履歴を表示------\n")) : std::string::npos);
    }
    // ? lists them at the favourites only.
    const std::string out = run("1\n1\n\ne\nf\n?\ne\nh\n?\ne\ne\n").out;
    const std::string own = sjis("dN : Nをお気に入りから外す\nmN M : NをM番目に移す\ne : 板一覧に戻る\n");
    const std::size_t history = out.find(sjis("■------履歴を表示------\n"));
    EXPECT_LT(out.find(own), history);
    EXPECT_NE(out.find(sjis("? : このヘルプ\ne : 板一覧に戻る\n"), history), std::string::npos);
}

// A favourite the check found in the archive says [落] after its marks,
// from zubo.db, until a check finds it on its board again.
TEST_F(E2eThreads, FavouriteFoundInTheArchiveIsMarkedFallen) {
    server_->serve("/news/dat/" + dat_name(1), dat_document(plain_posts(2)));
    server_->serve("/news/oyster/1000/" + dat_name(2), dat_document(plain_posts(3)));
    {
        store::Opened opened = store::Database::open(dir_.file("zubo.db"));
        ASSERT_TRUE(opened.db);
        opened.db->add_favourite({"news", dat_name(1), sjis(titles_[0])});
        opened.db->add_favourite({"news", dat_name(2), sjis(titles_[1])});
    }
    EXPECT_NE(run("f\ne\ne\n").out.find(sjis("1 : スレッド1 (2) [news]\n2 : スレッド2 (3) [news] [落]\n")),
              std::string::npos);
    // Found on the board again, and the archive no longer answering: the
    // mark goes; a check that reaches neither keeps it.
    server_->serve("/news/dat/" + dat_name(2), dat_document(plain_posts(4)));
    server_->serve("/news/oyster/1000/" + dat_name(2), "<html>404</html>\n", 404, "text/html");
    server_->serve("/news/dat/" + dat_name(1), "<html>404</html>\n", 404, "text/html");
    server_->serve("/news/oyster/1000/" + dat_name(1), dat_document(plain_posts(2)));
    EXPECT_NE(run("f\ne\ne\n").out.find(sjis("1 : スレッド1 (2) [news] [落]\n2 : スレッド2 (4) [news]\n")),
              std::string::npos);
    server_->serve("/news/oyster/1000/" + dat_name(1), "<html>404</html>\n", 404, "text/html");
    EXPECT_NE(run("f\ne\ne\n").out.find(sjis("1 : スレッド1 (2) [news] [落] [確認できず]\n")), std::string::npos);
}

// One board's server accepts and never answers: the check gives its
// favourites up after their stall limit, the others' arrive meanwhile, and
// the list shows which were reached.
TEST_F(E2eThreads, CheckWithAStalledServerEndsWithinItsLimit) {
    LoopbackServer stalled;
    auto released = std::make_shared<std::atomic<bool>>(false);
    stalled.handle_others([released](const LoopbackRequest&, LoopbackResponse& res) {
        for (int waited = 0; waited < 2500 && !*released; ++waited) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        res.status = 500;
    });
    boards_.push_back({stalled.url("/slow/"), "遅い板"});
    write_file(dir_.file("italist.txt"), board_menu(boards_));
    for (int k = 1; k <= 5; ++k) server_->serve("/news/dat/" + dat_name(k), dat_document(plain_posts(k)));
    {
        store::Opened opened = store::Database::open(dir_.file("zubo.db"));
        ASSERT_TRUE(opened.db);
        opened.db->add_favourite({"slow", dat_name(1), "slow1"});
        for (int k = 1; k <= 3; ++k) opened.db->add_favourite({"news", dat_name(k), sjis(titles_[k - 1])});
        opened.db->add_favourite({"slow", dat_name(2), "slow2"});
        for (int k = 4; k <= 5; ++k) opened.db->add_favourite({"news", dat_name(k), sjis(titles_[k - 1])});
    }

    const auto start = std::chrono::steady_clock::now();
    ZuboOptions options;
    options.args = {"-s"};
    options.input = "f\ne\ne\n";
    options.cwd = dir_.path();
    options.timeout_seconds = 20;
    ZuboRun r = run_zubo(options);
    const auto took = std::chrono::steady_clock::now() - start;
    *released = true;

    expect_clean_exit(r);
    EXPECT_LT(took, std::chrono::seconds(14));
    EXPECT_NE(r.out.find(sjis("1 : slow1 (0) [slow] [確認できず]\n2 : スレッド1 (1) [news]\n3 : スレッド2 (2) [news]\n"
                              "4 : スレッド3 (3) [news]\n5 : slow2 (0) [slow] [確認できず]\n"
                              "6 : スレッド4 (4) [news]\n7 : スレッド5 (5) [news]\n")),
              std::string::npos)
        << r.out;
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(read_file(dir_.file("boards/news/dat/" + dat_name(k))), dat_document(plain_posts(k))) << k;
    }
}

// A reader comes back: the thread resumes after the last post seen, the
// posts that came since are marked, the list shows what is unread, and
// sorts by momentum on a fixed clock.
TEST_F(E2eThreads, ReadStateResumesMarksAndSorts) {
    env_ = {{"ZUBO_NOW", "1000086400"}};  // a day after the threads' keys
    titles_[0] = "続きスレ (30)";
    server_->serve("/news/subject.txt", subject(titles_));
    server_->serve("/news/dat/" + dat_name(1), dat_document(plain_posts(30)));
    // Board 1, thread 1, e after its first page (posts 1 to 10), e, e.
    run("1\n1\ne\ne\ne\n");

    titles_[0] = "続きスレ (33)";
    server_->serve("/news/subject.txt", subject(titles_));
    server_->serve("/news/dat/" + dat_name(1), dat_document(plain_posts(33)));
    // Posts 11 to 20, then a jump to the page of the new posts.
    ZuboRun back = run("1\n1\nj25\n\nom\ne\ne\n");
    EXPECT_NE(back.out.find("1 : " + sjis("続きスレ (33) [未読23]\n")), std::string::npos);
    EXPECT_NE(back.out.find(sjis("■続きから表示します (11/33)\n") + printed(11, plain_post(11))), std::string::npos);
    EXPECT_NE(back.out.find(sjis("■------ここから新着------\n") + printed(31, plain_post(31))), std::string::npos);
    // Read to its end, the thread grows: the visit starts at the first new
    // post, which the new-posts line still heads.
    server_->serve("/news/dat/" + dat_name(1), dat_document(plain_posts(35)));
    ZuboRun grown = run("1\n1\ne\ne\ne\n");
    EXPECT_NE(grown.out.find(sjis("■続きから表示します (34/35)\n■------ここから新着------\n") + printed(34, plain_post(34))),
              std::string::npos)
        << grown.out;
    EXPECT_EQ(back.out.find(printed(10, plain_post(10))), std::string::npos);
    EXPECT_NE(back.out.find(sjis("■並べ替え: 勢い順\n1 : スレッド45 (45) 勢45\n")), std::string::npos);
    EXPECT_NE(back.out.find(sjis("続きスレ (33) 勢33 [既読]\n")), std::string::npos);

    // Two readers at once on one home, each a thread of its own: both kept.
    std::vector<std::thread> readers;
    for (int thread : {2, 3}) {
        server_->serve("/news/dat/" + dat_name(thread), dat_document(plain_posts(thread)));
        readers.emplace_back([this, thread] { run("1\n" + std::to_string(thread) + "\n\ne\ne\n"); });
    }
    for (std::thread& reader : readers) reader.join();
    ZuboRun marks = run("1\ne\ne\n");
    EXPECT_NE(marks.out.find(sjis("スレッド2 (2) [既読]\n3 : スレッド3 (3) [既読]\n")), std::string::npos);

    forget_read_state(dir_.path());
    write_file(dir_.file("zubo.db"), "not a database, not at all: sixteen bytes and more\n");
    ZuboRun rebuilt = run("e\n");
    EXPECT_EQ(rebuilt.out.rfind(sjis("■記録を作り直します: file is not a database\n"
                                     "■元の記録は zubo.db.broken-1000086400 にあります\n"),
                                0),
              0u);
    EXPECT_TRUE(file_exists(dir_.file("zubo.db.broken-1000086400")));
}

// A long list's marks on every page: the first pages' states are looked up
// one by one, the rest of the board read at once past a hundred lookups,
// and the unread order reads them all.
TEST_F(E2eThreads, MarksHoldOnEveryPageOfALongList) {
    titles_ = numbered_titles("スレッド", 150);
    server_->serve("/news/subject.txt", subject(titles_));
    const std::vector<int> read = {1, 100, 101, 150};
    {
        store::Opened opened = store::Database::open(dir_.file("zubo.db"));
        ASSERT_TRUE(opened.db) << opened.failed;
        for (int k : read) opened.db->save_thread("news", dat_name(k), {k / 2, k});
    }
    // Pages 2 to 8 (twenty entries a page in a pipe), then sorted by unread.
    ZuboRun r = run("1\n" + std::string(7, '\n') + "ou\ne\ne\n");
    for (int k : read) {
        const std::string entry = std::to_string(k) + " : " + sjis("スレッド") + std::to_string(k) + " (" +
                                  std::to_string(k) + ")" + sjis(" [未読" + std::to_string(k - k / 2) + "]\n");
        EXPECT_NE(r.out.find(entry), std::string::npos) << k;
    }
    EXPECT_NE(r.out.find("102 : " + sjis("スレッド102 (102)\n")), std::string::npos);
    EXPECT_NE(r.out.find(sjis("■並べ替え: 未読順\n1 : スレッド150 (150) [未読75]\n2 : スレッド101 (101) [未読51]\n")),
              std::string::npos);
}

// A thread read to its end opens at its last page, saying nothing is new;
// n brings it up to date in place, showing what came under the new-posts
// line, and the read state follows.
TEST_F(E2eThreads, ThreadReadToItsEndOpensAtItsLastPageAndNBringsItUpToDate) {
    const std::string dat_path = "/news/dat/" + dat_name(1);
    const std::vector<Post> posts = plain_posts(28);
    std::vector<Post> before(posts.begin(), posts.begin() + 25);
    std::atomic<int> asked{0};
    // The first three answers are the thread of 25 posts, the later ones
    // of 28: the second run's second n finds them.
    server_->handle(dat_path, [&](const LoopbackRequest&, LoopbackResponse& res) {
        res.set_content(dat_document(++asked <= 3 ? before : posts), "text/plain");
    });
    const std::string title = sjis(titles_[0]);
    const std::string loading = sjis("■スレッドを読み込んでいます...OK.\n");
    const std::string none_new = sjis("■新着はありません\n");

    // Read to post 25 over three pages, and Enter at the last.
    run("1\n1\n\n\n\ne\ne\n");
    // Reopened: the last page; n finds nothing; b goes to the page that
    // ends before it; n again finds 26 to 28.
    ZuboRun again = run("1\n1\nn\nb\nn\ne\ne\ne\n");
    EXPECT_NE(again.out.find(thread_opened(1, title) + none_new + printed(posts, 16, 25) + post_prompt(title, 16, 25, 25) +
                             loading + none_new + post_prompt(title, 16, 25, 25) + printed(posts, 6, 15) +
                             post_prompt(title, 6, 15, 25) + loading + sjis("■------ここから新着------\n") +
                             printed(posts, 26, 28) + post_prompt(title, 26, 28, 28) + "1 : " +
                             sjis(titles_[0] + " [既読]\n")),
              std::string::npos)
        << again.out;
    EXPECT_EQ(asked, 4);
    // The state took the 28 posts, all seen.
    ZuboRun third = run("1\n1\ne\ne\ne\n");
    EXPECT_NE(third.out.find(sjis("■------スレッドを表示------\n■新着はありません\n") + printed(posts, 19, 28) +
                             post_prompt(title, 19, 28, 28)),
              std::string::npos)
        << third.out;
}

// A file nobody may write while it lives, root included: root passes the
// permission bits, so it gets the immutable flag.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(std::string path) : path_(std::move(path)) {
        made_ = geteuid() == 0 ? set_immutable(true) : chmod(path_.c_str(), 0444) == 0;
    }
    ~ReadOnlyFile() {
        if (made_ && geteuid() == 0) set_immutable(false);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    bool made() const { return made_; }

private:
    bool set_immutable(bool on) const {
        const int fd = open(path_.c_str(), O_RDONLY);
        int flags = 0;
        bool done = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0) close(fd);
        return done;
    }

    std::string path_;
    bool made_ = false;
};

void run_sql(const std::string& db, const char* sql) {
    sqlite3* handle = nullptr;
    sqlite3_open(db.c_str(), &handle);
    sqlite3_exec(handle, sql, nullptr, nullptr, nullptr);
    sqlite3_close(handle);
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// A read state zubo can't write, read or open is said once for each, and
// the reading goes on; what can't be read gives no marks and no resume,
// never "never read".
TEST_F(E2eThreads, AReadStateThatFailsIsSaidOnceAndTheReadingGoesOn) {
    titles_[0] = "続きスレ (30)";
    server_->serve("/news/subject.txt", subject(titles_));
    server_->serve("/news/dat/" + dat_name(1), dat_document(plain_posts(30)));
    const std::string db = dir_.file("zubo.db");
    struct Case {
        const char* name;
        std::function<std::unique_ptr<ReadOnlyFile>()> spoil;
        std::string unreadable, unwritable;  // the reasons said; empty: nothing said
        bool state_read;                     // the marks and the resume shown
    } cases[] = {
        {"read-only file",
         [&] {
             run_sql(db, "PRAGMA wal_checkpoint(TRUNCATE)");
             return std::make_unique<ReadOnlyFile>(db);
         },
         "", "attempt to write a readonly database", true},
        {"table gone",
         [&] {
             run_sql(db, "ALTER TABLE threads RENAME TO kept");
             return nullptr;
         },
         "no such table: threads", "no such table: threads", false},
        // Not set aside: then a new one would be made, and nothing said.
        {"a directory in its place",
         [&] {
             forget_read_state(dir_.path());
             std::filesystem::create_directory(db);
             return nullptr;
         },
         "unable to open database file", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(db);
        forget_read_state(dir_.path());
        run("1\n1\ne\ne\ne\n");  // posts 1 to 10 read
        const std::unique_ptr<ReadOnlyFile> read_only = c.spoil();
        if (read_only && !read_only->made()) GTEST_SKIP() << "no immutable flag on this file system";
        ZuboRun r = run("1\n1\ne\ne\ne\n");
        for (const auto& [reason, line] : {std::pair(c.unreadable, "■記録を読めません: "),
                                           std::pair(c.unwritable, "■記録を保存できません: ")}) {
            const std::size_t said = reason.empty() ? 0 : 1;
            EXPECT_EQ(occurrences(r.out, sjis(line)), said) << line;
            EXPECT_EQ(occurrences(r.out, sjis(line) + reason + "\n"), said) << line;
        }
        EXPECT_EQ(r.out.find("1 : " + sjis("続きスレ (30) [未読20]\n")) != std::string::npos, c.state_read);
        EXPECT_EQ(r.out.find("1 : " + sjis("続きスレ (30)\n")) != std::string::npos, !c.state_read);
        EXPECT_EQ(r.out.find(sjis("■続きから表示します (11/30)\n")) != std::string::npos, c.state_read);
        EXPECT_NE(r.out.find(printed(c.state_read ? 11 : 1, plain_post(c.state_read ? 11 : 1))), std::string::npos);
    }
}


// Read once, then reopened in a second run after the thread changed (or
// not) on the server: the second run shows the thread as the server now has
// it, asking for as little as it can.
TEST_F(E2eThreads, ReopenedThreadIsBroughtUpToDate) {
    std::vector<Post> fourth_deleted = plain_posts(5);
    fourth_deleted.erase(fourth_deleted.begin() + 3);
    struct Case {
        const char* name;
        std::vector<Post> before, after;
        bool ignores_ranges;
        std::size_t requests;        // for the thread, in the second run
        std::size_t max_body_bytes;  // of its first answer; 0: not counted
    } cases[] = {
        {"nothing new", plain_posts(5), plain_posts(5), false, 1, 16},
        {"new posts appended", plain_posts(3), plain_posts(5), false, 1, 16 + dat_document(plain_posts(5)).size() -
                                                                             dat_document(plain_posts(3)).size()},
        // The document is now shorter than the copy: 416, then the whole.
        {"post deleted near the end", plain_posts(5), fourth_deleted, false, 2, 0},
        {"server ignores ranges", plain_posts(3), plain_posts(5), true, 1, 0},
    };
    const std::string dat_path = "/news/dat/" + dat_name(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start_server();
        std::filesystem::remove_all(dir_.file("boards/news/dat"));
        server_->serve(dat_path, dat_document(c.before));
        ZuboRun first = run("1\n1\n\ne\ne\n");
        ASSERT_EQ(read_file(dir_.file("boards/news/dat/" + dat_name(1))), dat_document(c.before));

        const std::string after = dat_document(c.after);
        if (c.ignores_ranges) server_->serve_ignoring_ranges(dat_path, after);
        else server_->serve(dat_path, after);
        const std::size_t before_second = server_->requests().size();
        // The download is this case's matter; the read state has its own.
        forget_read_state(dir_.path());
        ZuboRun second = run("1\n1\n\ne\ne\n");

        const int count = static_cast<int>(c.after.size());
        EXPECT_EQ(second.out, up_to_thread(1, titles_[0]) + printed(c.after, 1, count) +
                                 thread_last_page(sjis(titles_[0]), 1, count, count) + back_and_out());
        if (dat_document(c.before) == after) {
            EXPECT_EQ(second.out, first.out);
        }
        EXPECT_EQ(read_file(dir_.file("boards/news/dat/" + dat_name(1))), after);
        EXPECT_EQ(names_in(dir_.file("boards/news/dat")), std::set<std::string>{dat_name(1)});

        std::vector<SeenRequest> thread_requests;
        const std::vector<SeenRequest> seen = server_->requests();
        for (std::size_t i = before_second; i < seen.size(); ++i) {
            if (seen[i].target == dat_path) thread_requests.push_back(seen[i]);
        }
        ASSERT_EQ(thread_requests.size(), c.requests);
        EXPECT_EQ(thread_requests[0].header("Range"),
                  "bytes=" + std::to_string(dat_document(c.before).size() - 16) + "-");
        EXPECT_FALSE(thread_requests[0].has_header("Accept-Encoding"));
        if (c.max_body_bytes) {
            EXPECT_LE(thread_requests[0].body_bytes, c.max_body_bytes);
        }
    }
}

// The thread's server says the thread is gone: zubo asks the archive once,
// and shows what it got, or the local copy, or the open error.
TEST_F(E2eThreads, FallenThreadIsReadFromTheArchive) {
    const std::string dat_path = "/news/dat/" + dat_name(1);
    const std::string archive_path = "/news/oyster/1000/" + dat_name(1);
    const std::vector<Post> archived = plain_posts(5), copy = plain_posts(3);
    enum class Thread { k404, k410, k403, k500, kToPage, kToArchive };
    struct Case {
        const char* name;
        Thread thread;
        bool archive_present;
        bool local_copy;
        std::string outcome;
        std::vector<std::string> asked;  // for the thread, in turn
    } cases[] = {
        {"404, archive present, no copy", Thread::k404, true, false, kOk, {dat_path, archive_path}},
        {"404, archive present, an older copy", Thread::k404, true, true, kOk, {dat_path, archive_path}},
        {"410, archive present", Thread::k410, true, false, kOk, {dat_path, archive_path}},
        {"403 twice, archive present", Thread::k403, true, false, kOk, {dat_path, dat_path, archive_path}},
        {"302 to a page, archive present", Thread::kToPage, true, true, kOk, {dat_path, archive_path}},
        {"redirected to the archive", Thread::kToArchive, true, true, kOk, {dat_path, archive_path}},
        {"404, archive absent, a copy", Thread::k404, false, true, "失敗 (HTTP 404)\n", {dat_path, archive_path}},
        {"404, neither", Thread::k404, false, false, "失敗 (HTTP 404)\n", {dat_path, archive_path}},
        {"302 to a page keeps the copy", Thread::kToPage, false, true, "失敗 (HTTP 404)\n", {dat_path, archive_path}},
        {"500 never asks the archive", Thread::k500, true, true, "失敗 (HTTP 500)\n", {dat_path}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start_server();
        std::filesystem::remove_all(dir_.file("boards/news/dat"));
        if (c.local_copy) {
            std::filesystem::create_directories(dir_.file("boards/news/dat"));
            write_file(dir_.file("boards/news/dat/" + dat_name(1)), dat_document(copy));
        }
        switch (c.thread) {
        case Thread::k404: server_->serve(dat_path, "<html>404 Not Found</html>\n", 404, "text/html"); break;
        case Thread::k410: server_->serve(dat_path, "<html>410 Gone</html>\n", 410, "text/html"); break;
        case Thread::k403: server_->serve(dat_path, "<html>403 Forbidden</html>\n", 403, "text/html"); break;
        case Thread::k500: server_->serve(dat_path, "<html>500</html>\n", 500, "text/html"); break;
        case Thread::kToPage:
            server_->handle(dat_path, [](const LoopbackRequest&, LoopbackResponse& res) {
                res.set_redirect("/news/kako/fallen.html", 302);
            });
            server_->serve("/news/kako/fallen.html", "<html><body>過去ログ</body></html>\n", 200, "text/html");
            break;
        case Thread::kToArchive:
            server_->handle(dat_path, [archive_path](const LoopbackRequest&, LoopbackResponse& res) {
                res.set_redirect(archive_path, 302);
            });
            break;
        }
        if (c.archive_present) server_->serve(archive_path, dat_document(archived));

        const bool shown = c.archive_present && c.outcome == kOk;
        ZuboRun r = run(c.local_copy || shown ? "1\n1\n\ne\ne\n" : "1\n1\ne\ne\n");

        const std::vector<Post>& posts = shown ? archived : copy;
        // What the archive answered says so, and its thread is over. (A
        // redirect the board's server made to the archive is followed as
        // the board's own answer.)
        const bool archive_said = shown && c.thread != Thread::kToArchive;
        const std::string thread = c.local_copy || shown
                                       ? printed(posts, 1, static_cast<int>(posts.size())) +
                                             (archive_said ? sjis("■このスレッドは終わっています (t:次スレ候補)\n") : "") +
                                             thread_last_page(sjis(titles_[0]), 1, static_cast<int>(posts.size()),
                                                              static_cast<int>(posts.size()))
                                       : dat_open_error();
        const std::string outcome = c.outcome + (archive_said ? "■過去ログ倉庫から読みました\n" : "");
        EXPECT_EQ(r.out, up_to_thread(1, titles_[0], kOk, outcome) + thread +
                             back_and_out(1, c.local_copy || shown ? " [既読]" : ""));
        if (c.local_copy || shown) {
            EXPECT_EQ(read_file(dir_.file("boards/news/dat/" + dat_name(1))), dat_document(posts));
        }
        EXPECT_EQ(names_in(dir_.file("boards/news/dat")), c.local_copy || shown ? std::set<std::string>{dat_name(1)}
                                                                    : std::set<std::string>{});
        std::vector<std::string> asked;
        for (const SeenRequest& seen : server_->requests()) {
            if (seen.target == "/news/subject.txt") continue;
            asked.push_back(seen.target);
            // The archive too is asked only for what follows a copy.
            EXPECT_EQ(seen.header("Range").empty(), !c.local_copy) << seen.target;
        }
        EXPECT_EQ(asked, c.asked);
    }
}

// Seen from the service's front end: a 403 to a connection's first
// request, the same request answered on the same connection.
TEST_F(E2eThreads, FirstForbiddenIsAskedAgainOnTheRunsOneConnection) {
    const std::vector<Post> posts = plain_posts(3);
    const std::string dat_path = "/news/dat/" + dat_name(1);
    auto forbidden_first = [](std::string body) {
        auto asked = std::make_shared<std::atomic<int>>(0);
        return [asked, body](const LoopbackRequest&, LoopbackResponse& res) {
            if ((*asked)++ == 0) {
                res.status = 403;
                res.set_content("<html>403 Forbidden</html>\n", "text/html");
            } else {
                res.set_content(body, "text/plain");
            }
        };
    };
    server_->handle("/news/subject.txt", forbidden_first(subject(titles_)));
    server_->handle(dat_path, forbidden_first(dat_document(posts)));

    ZuboRun r = run("1\n1\n\ne\ne\n");

    EXPECT_EQ(r.out, up_to_thread(1, titles_[0]) + printed(posts, 1, 3) + thread_last_page(sjis(titles_[0]), 1, 3, 3) +
                         back_and_out());
    const std::vector<SeenRequest> seen = server_->requests();
    std::vector<std::string> targets;
    for (const SeenRequest& request : seen) targets.push_back(request.target);
    EXPECT_EQ(targets, (std::vector<std::string>{"/news/subject.txt", "/news/subject.txt", dat_path, dat_path}));
    // The thread list and the thread, on one connection.
    for (const SeenRequest& request : seen) EXPECT_EQ(request.remote_port, seen[0].remote_port);
}

// In a pipe nobody presses Ctrl-C: a download that keeps zubo waiting
// adds nothing to its loading line.
TEST_F(E2eThreads, SlowDownloadInAPipeAddsNoAdvice) {
    const std::vector<Post> posts = plain_posts(3);
    const std::string document = dat_document(posts);
    server_->handle("/news/dat/" + dat_name(1), [document](const LoopbackRequest&, LoopbackResponse& res) {
        std::this_thread::sleep_for(std::chrono::milliseconds(3500));
        res.set_content(document, "text/plain");
    });

    ZuboRun r = run("1\n1\n\ne\ne\n");

    EXPECT_EQ(r.out, up_to_thread(1, titles_[0]) + printed(posts, 1, 3) + thread_last_page(sjis(titles_[0]), 1, 3, 3) +
                         back_and_out());
}

TEST_F(E2eThreads, NoLocalCopyAndNoServerIsADatOpenError) {
    write_file(dir_.file("boards/news/subject.txt"), subject(titles_));
    server_.reset();

    ZuboRun r = run("1\n1\ne\ne\n");

    EXPECT_EQ(r.out, up_to_thread(1, titles_[0], kCannotConnect, kCannotConnect) + dat_open_error() + back_and_out(1, ""));
    EXPECT_EQ(names_in(dir_.file("boards/news/dat")), std::set<std::string>{});
}

TEST_F(E2eThreads, DatNameOutsideDatIsNeitherRequestedNorWritten) {
    titles_[1] = "悪いスレ (2)";
    std::string document = subject(titles_);
    document.replace(document.find(dat_name(2)), dat_name(2).size(), "../evil.dat");
    server_->serve("/news/subject.txt", document);
    const std::string evil = sjis(dat_line(dat_fields(plain_post(1))));
    server_->serve("/news/evil.dat", evil);
    server_->serve("/news/dat/../evil.dat", evil);

    ZuboRun r = run("1\n2\ne\ne\n");

    EXPECT_EQ(r.out, up_to_thread(2, titles_[1], kOk, "失敗 (スレッド名が不正です)\n") + dat_open_error() + back_and_out(2, ""));
    for (const SeenRequest& seen : server_->requests()) EXPECT_EQ(seen.target.find("evil"), std::string::npos) << seen.target;
    EXPECT_EQ(names_in(dir_.path()), plus_read_state({"italist.txt", "boards"}));
    EXPECT_FALSE(file_exists(dir_.file("boards/news/dat")));
}

TEST_F(E2eThreads, ControlBytesFromTheServerNeverReachTheTerminal) {
    titles_[0] = "\x1b[2J消える\x07スレ (1)";
    server_->serve("/news/subject.txt", subject(titles_));
    Post post = plain_post(1);
    post.name = "\x1b]0;乗っ取り\x07名無し";
    post.body = " \x1b[31m赤\x1b[0m<br>\x1b[H戻る ";
    const std::string document = sjis(dat_line(dat_fields(post)));
    server_->serve("/news/dat/" + dat_name(1), document);

    ZuboRun r = run("1\n1\n\ne\ne\n");

    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(r.out.find('\x07'), std::string::npos);
    titles_[0] = "[2J消えるスレ (1)";
    post.name = "]0;乗っ取り名無し";
    post.shown = " [31m赤[0m\n\t[H戻る ";
    EXPECT_EQ(r.out, up_to_thread(1, titles_[0]) + printed(1, post) + thread_last_page(sjis(titles_[0]), 1, 1, 1) +
                         back_and_out());
    // Only the output is cleaned: the local copy is as the server sent it.
    EXPECT_EQ(read_file(dir_.file("boards/news/dat/" + dat_name(1))), document);
}

TEST_F(E2eThreads, FormatDirectivesInTextPrintAsTyped) {
    titles_[0] = "%s%n%d%%スレ (1)";
    server_->serve("/news/subject.txt", subject(titles_));
    std::vector<Post> posts;
    for (int n = 1; n <= 11; ++n) posts.push_back(plain_post(n));
    posts[0].name = "%n%n名無し";
    posts[0].body = posts[0].shown = " 100%s%p ";
    server_->serve("/news/dat/" + dat_name(1), dat_document(posts));

    // The thread's prompt after ten posts carries the title; e goes back.
    ZuboRun r = run("1\n1\ne\ne\ne\n");

    EXPECT_EQ(r.out,
              up_to_thread(1, titles_[0]) + printed(posts, 1, 10) + post_prompt(sjis(titles_[0]), 1, 10, 11) + back_and_out());
}

TEST_F(E2eThreads, MarkupAndReferencesShowRenderedInBothModes) {
    titles_[0] = "C++ 雑談 &#128512; Part 12 &amp; 相談所 (10)";
    server_->serve("/news/subject.txt", subject(titles_));
    std::vector<Post> posts;
    for (int n = 1; n <= 10; ++n) posts.push_back(plain_post(n));
    posts[0].date += " <a href=\"http://be.5ch.io/user/123456789\" target=\"_blank\">?2BP(1000)</a>";
    posts[0].body = " 検索は <br> https://www.google.com/search?q=zubo&amp;hl=ja&amp;num=10 ";
    posts[0].shown = " 検索は \n\t https://www.google.com/search?q=zubo&hl=ja&num=10 ";
    posts[1].name = "名無しさん </b>◆Zubo.X1yz2 <b>";
    posts[1].body = " <a href=\"../test/read.cgi/news/1000000001/1\" rel=\"noopener noreferrer\" "
                    "target=\"_blank\">&gt;&gt;1</a> 絵文字 &#128512; と &#55357;&#56832; ";
    posts[1].shown = " >>1 絵文字 &#128512; と &#55357;&#56832; ";
    posts[2].body = " &amp;lt;br&amp;gt; は &lt;br&gt; のまま、&#12354;&#x3044; は文字に ";
    posts[2].shown = " &lt;br&gt; は <br> のまま、あい は文字に ";
    const std::string document = dat_document(posts);
    server_->serve("/news/dat/" + dat_name(1), document);

    // The CP932 console: the trip's and the link's tags gone, the name and
    // date printed as fields, references CP932 lacks kept as text.
    titles_[0] = "C++ 雑談 &#128512; Part 12 & 相談所 (10)";
    Post& dated = posts[0];
    dated.date = "2026/01/01(木) 00:00:11 ID:zubo1 ?2BP(1000)";
    posts[1].name = "名無しさん ◆Zubo.X1yz2 ";
    // Posts 1 to 9 take 3 + 8 * 2 = 19 lines; post 10 goes on the next page.
    const std::string cp932_screen = up_to_thread(1, titles_[0]) + printed(posts, 1, 9) + post_prompt(sjis(titles_[0]), 1, 9, 10) +
                                     printed(posts, 10, 10) + thread_last_page(sjis(titles_[0]), 10, 10, 10) +
                                     back_and_out();

    for (bool utf8 : {false, true}) {
        SCOPED_TRACE(utf8 ? "UTF-8" : "CP932");
        forget_read_state(dir_.path());  // each console reads it anew
        ZuboRun r = run("1\n1\n\n\ne\ne\n", utf8);
        EXPECT_EQ(r.out, utf8 ? on_utf8_console(cp932_screen, {{"&#128512;", "😀"}, {"&#55357;&#56832;", "😀"}})
                              : cp932_screen);
        EXPECT_EQ(read_file(dir_.file("boards/news/dat/" + dat_name(1))), document);
    }
}

TEST_F(E2eThreads, RealThreadOfTodayShowsAnchorsAndEmoji) {
    ZUBO_NEED_REAL_FIXTURES();
    // The real titles first, then enough of ours for the list to prompt.
    server_->serve("/news/subject.txt", real_fixture("subject-2026-style.txt") + subject(titles_));
    server_->serve("/news/dat/1764505451.dat", real_fixture("thread-2026-style.dat"));
    struct Shown {
        std::string utf8, cp932;
    } shown[] = {
        {"1 : C++ 雑談スレ 😀 Part 12 & 相談所 (6)\n", "1 : C++ 雑談スレ &#128512; Part 12 & 相談所 (6)\n"},
        {"2 : 【悲報】\"動かない\" <template> がわからない (1001)\n", ""},
        {"?q=zubo&hl=ja&num=10 で \n2 : 名無しさん [sage] 2026/11/30(月) 21:05:02.13 ID:Xy7zQ1wE0\n\t >>1 \n\t 乙です👍 \n",
         "?q=zubo&hl=ja&num=10 で \n2 : 名無しさん [sage] 2026/11/30(月) 21:05:02.13 ID:Xy7zQ1wE0\n\t >>1 \n\t "
         "乙です&#128077; \n"},
        {"ID:Be0Link00 ?2BP(1000)\n\t >>2 >>3 \n\t 絵文字は二つの参照で来ることもある 😀 \n",
         "ID:Be0Link00 ?2BP(1000)\n\t >>2 >>3 \n\t 絵文字は二つの参照で来ることもある &#55357;&#56832; \n"},
        {"二重エスケープ &lt;br&gt; と &#128512; は文字どおり \n\t 壊れた参照 &#xZZ; &#; &#1114112; &#0; はそのまま \n",
         ""},
        {"著作権表示は©、ハートは❤️、ひらがなの参照はあ \n", "著作権表示は&#169;、ハートは&#x2764;&#xFE0F;、ひらがなの参照はあ \n"},
    };

    for (bool utf8 : {false, true}) {
        SCOPED_TRACE(utf8 ? "UTF-8" : "CP932");
        forget_read_state(dir_.path());  // each console reads it anew
        ZuboRun r = run("1\n1\n\ne\ne\n", utf8);
        for (const Shown& s : shown) {
            const std::string& text = utf8 || s.cp932.empty() ? s.utf8 : s.cp932;
            EXPECT_NE(r.out.find(utf8 ? text : sjis(text)), std::string::npos) << text;
        }
        for (const char* raw : {"<a ", "</a>", "<b>", "&gt;&gt;", "&quot;", "&amp;hl"}) {
            EXPECT_EQ(r.out.find(raw), std::string::npos) << raw;
        }
    }
}

TEST_F(E2eThreads, RealBoardAndThreadOfTheService) {
    ZUBO_NEED_REAL_FIXTURES();
    const std::string board = real_fixture("subject-2013.txt");
    const std::string thread = real_fixture("1231808850.dat");
    server_->serve("/news/subject.txt", board);
    // The board's first thread is 1302924333.dat; it answers with the real
    // thread document.
    server_->serve("/news/dat/1302924333.dat", thread);

    ZuboRun r = run("1\n1\ne\ne\ne\n");

    const std::string first_title = "【ハム太郎】春名ヒロ子ちゃんのスレ【ロコちゃん】 (23)";
    const std::string listing = board_opened(1, sjis("ニュース速報")) + sjis("1 : " + first_title + "\n");
    EXPECT_NE(r.out.find(listing), std::string::npos);
    EXPECT_NE(r.out.find(thread_prompt(714)), std::string::npos);
    const std::string first_post =
        thread_opened(1, sjis(first_title)) + sjis("1 : CC名無したん [] 2009/01/13(火) 10:07:30 ID:fQ0FFwOR0\n\t はにゃ～ん☆ \n");
    EXPECT_NE(r.out.find(first_post), std::string::npos);
    EXPECT_NE(r.out.find(post_prompt(sjis(first_title))), std::string::npos);
    EXPECT_EQ(read_file(dir_.file("boards/news/dat/1302924333.dat")), thread);
}

}  // namespace
}  // namespace zubo::test
