#include "screens/thread_view.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "console/messages.h"
#include "store/database.h"
#include "store/home.h"
#include "support/documents.h"
#include "support/e2e.h"
#include "support/encoding.h"
#include "support/files.h"
#include "support/screen_run.h"
#include "support/temp_dir.h"

namespace zubo {
namespace {

// No server listens on port 1: every download fails at once and the thread
// view reads the local copy.
constexpr char kUnreachableBoard[] = "http://127.0.0.1:1/board/";

// A post as the table gives it back, its fields copied out.
struct Loaded {
    std::string name, mail, date, body;
    int lines;
};

struct LoadedThread {
    ThreadLoad load;
    std::vector<Loaded> posts;
};

// Runs load_thread over text as if it were the local copy.
LoadedThread load_all(const std::string& text) {
    std::FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    PostTable table;
    test::ScreenRun screen;
    LoadedThread loaded{load_thread(screen.run(), f, table), {}};
    std::fclose(f);
    for (int n = 1; n <= table.count(); ++n) {
        Post p = table.post(n);
        loaded.posts.push_back({p.name, p.mail, p.date, p.body, p.lines});
    }
    return loaded;
}

std::vector<Loaded> load(const std::string& text) { return load_all(text).posts; }

TEST(LoadThread, OneRecordPerLineUpToTheLimit) {
    std::string text;
    for (int i = 1; i <= kPostTableSize + 3; ++i) text += "n" + std::to_string(i) + "<>m<>d<>b<>\n";
    LoadedThread full = load_all(text);
    EXPECT_EQ(full.load.count, 1001);
    EXPECT_TRUE(full.load.over_limit);
    EXPECT_EQ(full.posts.front().name, "n1");
    EXPECT_EQ(full.posts.back().name, "n1001");

    // A line longer than the line buffer is one post, not several.
    std::vector<Loaded> posts = load("a<>b<>c<>" + std::string(40000, 'x') + "<>\nnext<>m<>d<>b<>\n");
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].date, "c");
    EXPECT_EQ(posts[0].body, "");  // cut before its separator
    EXPECT_EQ(posts[1].name, "next");

    // Full fields and long bodies, a thousand times over, come back whole
    // and each in its place.
    std::string wide;
    for (int i = 0; i < 1000; ++i) {
        wide += std::string(300, 'n') + "<>" + std::string(300, 'm') + "<>d" + std::to_string(i) + "<>" +
                std::string(20000 + i, 'b') + "<>\n";
    }
    std::vector<Loaded> big = load(wide);
    ASSERT_EQ(big.size(), 1000u);
    for (int i : {0, 1, 500, 999}) {
        const Loaded& p = big[static_cast<std::size_t>(i)];
        EXPECT_EQ(p.name, std::string(259, 'n'));
        EXPECT_EQ(p.mail, std::string(259, 'm'));
        EXPECT_EQ(p.date, "d" + std::to_string(i));
        EXPECT_EQ(p.body, std::string(20000 + static_cast<std::size_t>(i), 'b'));
    }
}

TEST(LoadThread, RealThreads) {
    ZUBO_NEED_REAL_FIXTURES();
    std::vector<Loaded> cc = load(test::real_fixture("1231808850.dat"));
    ASSERT_EQ(cc.size(), 27u);
    EXPECT_EQ(cc[0].name, test::sjis("CC名無したん"));
    EXPECT_EQ(cc[0].date, test::sjis("2009/01/13(火) 10:07:30 ID:fQ0FFwOR0"));
    EXPECT_EQ(cc[0].body, test::sjis(" はにゃ～ん☆ "));
    std::vector<int> lines;
    for (const Loaded& p : cc) lines.push_back(p.lines);
    EXPECT_EQ(lines, (std::vector<int>{2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 4, 2, 2, 2, 10, 2, 11, 2, 2, 2, 2, 13, 2,
                                       10, 2}));

    std::vector<Loaded> stema = load(test::real_fixture("stema.dat"));
    ASSERT_EQ(stema.size(), 10u);
    EXPECT_EQ(stema[0].lines, 12);
    EXPECT_EQ(stema[1].lines, 18);
    for (const Loaded& p : stema) EXPECT_EQ(p.body.find("<a"), std::string::npos) << p.body;

    std::vector<Loaded> today = load(test::real_fixture("thread-2026-style.dat"));
    ASSERT_EQ(today.size(), 6u);
    EXPECT_EQ(today[1].body, test::sjis(" &gt;&gt;1 \n\t 乙です&#128077; "));
    EXPECT_EQ(today[2].name, test::sjis("名無しさん ◆Zubo.X1yz2 "));
    EXPECT_EQ(today[3].date, test::sjis("2026/11/30(月) 21:10:00.00 ID:Be0Link00 ?2BP(1000)"));
    EXPECT_EQ(today[3].body, test::sjis(" &gt;&gt;2 &gt;&gt;3 \n\t 絵文字は二つの参照で来ることもある &#55357;&#56832; "));
    lines.clear();
    for (const Loaded& p : today) lines.push_back(p.lines);
    EXPECT_EQ(lines, (std::vector<int>{4, 3, 4, 3, 3, 2}));
}

TEST(IsPlainFileName, RefusesAnythingThatLeavesDat) {
    for (const char* ok : {"123.dat", "1231808850.dat", "a b", "..dat"}) EXPECT_TRUE(is_plain_file_name(ok)) << ok;
    for (const char* bad : {"", ".", "..", "../evil.dat", "a/b", "a\\b", "x\x1b", "\t"}) {
        EXPECT_FALSE(is_plain_file_name(bad)) << bad;
    }
}

// Paging, through the local copy of a thread and scripted input.
class ThreadPaging : public ::testing::Test {
protected:
    std::string show(const std::string& document, const std::string& input, const char* title = "T") {
        test::write_file("boards/board/dat/1.dat", document);
        test::ScreenRun console(input);
        console.run().state = state_;
        input_ended_ = test::ends_at_end_of_input(
            [&] { show_thread(console.run(), kUnreachableBoard, "board", "1.dat", title); });
        unread_ = console.unread_input();
        return console.output();
    }

    // As show, the thread remembered as read to post seen of count, and
    // nothing else.
    std::string show_read(const std::string& document, const std::string& input, long long seen, long long count) {
        for (const char* file : {"zubo.db", "zubo.db-wal", "zubo.db-shm"}) std::remove(file);
        store::Opened opened = store::Database::open("zubo.db");
        EXPECT_TRUE(opened.db && opened.db->save_thread("board", "1.dat", {seen, count}));
        state_ = opened.db.get();
        std::string out = show(document, input);
        state_ = nullptr;
        return out;
    }

    static std::string doc(int posts, const std::string& body = "b") {
        return test::thread_document(posts, [&](int n) { return test::DatFields{"n" + std::to_string(n), "m", "d", body}; });
    }

    static std::string posts(int from, int to, const std::string& body = "b") {
        std::string out;
        for (int i = from; i <= to; ++i) out += std::to_string(i) + " : n" + std::to_string(i) + " [m] d\n\t" + body + "\n";
        return out;
    }

    // The board is unreachable, so every opening reports a failed download.
    static std::string head() {
        return std::string(messages::reading_thread) + messages::failed_connect + messages::thread_banner;
    }
    static std::string prompt(int first, int last, int count) { return test::post_prompt("T", first, last, count); }
    static std::string end(int first, int last, int count) { return test::thread_last_page("T", first, last, count); }
    static std::string out_of_range(int count) { return test::sjis("■1-" + std::to_string(count) + "の番号を入力してください\n"); }
    static std::string unknown(const std::string& typed) { return test::sjis("■不明な入力です: ") + typed + test::sjis(" (?:ヘルプ)\n"); }

    test::WorkingDir dir_;
    std::string unread_;
    bool input_ended_ = false;
    store::Database* state_ = nullptr;

    void SetUp() override { ASSERT_EQ(make_directories("boards/board/dat"), 0); }
};

TEST_F(ThreadPaging, TenPlainPostsFillAPage) {
    // A line that is no command at the last page stays there.
    EXPECT_EQ(show(doc(25), "\n\nx\n\nrest"),
              head() + posts(1, 10) + prompt(1, 10, 25) + posts(11, 20) + prompt(11, 20, 25) + posts(21, 25) +
                  prompt(21, 25, 25) + unknown("x") + end(21, 25, 25));
    EXPECT_EQ(unread_, "rest");
}

TEST_F(ThreadPaging, LongPostPrintsWholeThenPrompts) {
    std::string tall;
    for (int i = 0; i < 24; ++i) tall += "l<br>";
    std::string document = "a<>m<>d<>x<>\n" "b<>m<>d<>" + tall + "<>\n" "c<>m<>d<>y<>\n";
    std::string tall_out;
    for (int i = 0; i < 24; ++i) tall_out += "l\n\t";
    EXPECT_EQ(show(document, "\n\n\n"), head() + "1 : a [m] d\n\tx\n" + prompt(1, 1, 3) + "2 : b [m] d\n\t" + tall_out +
                                          "\n" + prompt(2, 2, 3) + "3 : c [m] d\n\ty\n" + end(3, 3, 3));
}

TEST_F(ThreadPaging, JumpAndBackMoveByThisVisitsPages) {
    EXPECT_EQ(show(doc(30), "j5\nJ29\nb\nb\nB\n\ne\n"),
              head() + posts(1, 10) + prompt(1, 10, 30) + posts(5, 14) + prompt(5, 14, 30) + posts(29, 30) +
                  prompt(29, 30, 30) + posts(5, 14) + prompt(5, 14, 30) + posts(1, 10) + prompt(1, 10, 30) + posts(1, 10) +
                  prompt(1, 10, 30) + posts(11, 20) + prompt(11, 20, 30));
    // b goes back, never forward: from 33 to 26, the latest start below
    // it, though 36 was shown since; then to 1.
    EXPECT_EQ(show(doc(50), "j26\n\nj33\nb\nb\ne\n"),
              head() + posts(1, 10) + prompt(1, 10, 50) + posts(26, 35) + prompt(26, 35, 50) + posts(36, 45) +
                  prompt(36, 45, 50) + posts(33, 42) + prompt(33, 42, 50) + posts(26, 35) + prompt(26, 35, 50) +
                  posts(1, 10) + prompt(1, 10, 50));
    // Out of range: the page stays; a j without a number is no command.
    EXPECT_EQ(show(doc(20), "j0\nj21\nj\n12\n\n\n"), head() + posts(1, 10) + prompt(1, 10, 20) + out_of_range(20) +
                                                       prompt(1, 10, 20) + out_of_range(20) + prompt(1, 10, 20) +
                                                       unknown("j") + prompt(1, 10, 20) + unknown("12") +
                                                       prompt(1, 10, 20) + posts(11, 20) + end(11, 20, 20));
}

// Read to its last post with nothing new, a thread opens at its last page,
// from where b goes to the pages that end before it; resumed, b goes to
// the page before the first one shown.
TEST_F(ThreadPaging, ReadThreadsOpenWhereTheyWereLeft) {
    // The board is unreachable: whether anything is new is not known, and
    // not said (the last page shows all the same).
    EXPECT_EQ(show_read(doc(25), "b\nb\nb\ne\n", 25, 25),
              head() + posts(16, 25) + prompt(16, 25, 25) + posts(6, 15) + prompt(6, 15, 25) + posts(1, 10) +
                  prompt(1, 10, 25) + posts(1, 10) + prompt(1, 10, 25));
    // The last page holds the new-posts line no more: nothing is new.
    EXPECT_EQ(show_read(doc(5), "\n", 5, 5), head() + posts(1, 5) + end(1, 5, 5));
    EXPECT_EQ(show_read(doc(25), "b\ne\n", 10, 25),
              head() + test::sjis("■続きから表示します (11/25)\n") + posts(11, 20) + prompt(11, 20, 25) + posts(1, 10) +
                  prompt(1, 10, 25));
}

// The user's posts end their header line in (自分), the posts that anchor
// one of them in (返信), on the pages and in what the commands print.
TEST_F(ThreadPaging, YourPostsAndTheirRepliesAreMarked) {
    const std::string document = "n1<>m<>d<>first<>\n"
                                 "n2<>m<>d<>&gt;&gt;1 yes<>\n"
                                 "n3<>m<>d<>&gt;&gt;1-2 both<>\n"
                                 "n4<>m<>d<>&gt;&gt;12 not 1<>\n";
    const std::string own = test::sjis(" (自分)"), reply = test::sjis(" (返信)");
    struct Row {
        std::vector<int> mine;
        std::string typed, shown;
    };
    const Row rows[] = {
        {{}, "e\n", "1 : n1 [m] d\n\tfirst\n2 : n2 [m] d\n\t>>1 yes\n3 : n3 [m] d\n\t>>1-2 both\n4 : n4 [m] d\n\t>>12 not 1\n"},
        {{1}, "e\n", "1 : n1 [m] d" + own + "\n\tfirst\n2 : n2 [m] d" + reply + "\n\t>>1 yes\n3 : n3 [m] d" + reply +
                       "\n\t>>1-2 both\n4 : n4 [m] d\n\t>>12 not 1\n"},
        {{2, 4}, "e\n", "1 : n1 [m] d\n\tfirst\n2 : n2 [m] d" + own + "\n\t>>1 yes\n3 : n3 [m] d" + reply +
                          "\n\t>>1-2 both\n4 : n4 [m] d" + own + "\n\t>>12 not 1\n"},
    };
    for (const Row& row : rows) {
        for (const char* file : {"zubo.db", "zubo.db-wal", "zubo.db-shm"}) std::remove(file);
        store::Opened opened = store::Database::open("zubo.db");
        ASSERT_TRUE(opened.db);
        for (int n : row.mine) ASSERT_TRUE(opened.db->add_own_post("board", "1.dat", n));
        // Another thread's posts are not these.
        ASSERT_TRUE(opened.db->add_own_post("board", "2.dat", 3));
        state_ = opened.db.get();
        EXPECT_EQ(show(document, row.typed), head() + row.shown + prompt(1, 4, 4)) << row.mine.size();
        state_ = nullptr;
    }
    state_ = nullptr;
    store::Opened opened = store::Database::open("zubo.db");
    state_ = opened.db.get();
    EXPECT_EQ(show(document, ">>2\ne\n"), head() + rows[2].shown + prompt(1, 4, 4) + "2 : n2 [m] d" + own +
                                              "\n\t>>1 yes\n" + test::sjis("■1件\n") + prompt(1, 4, 4));
    state_ = nullptr;
}

TEST_F(ThreadPaging, CommandsPrintPostsWithTheirCountAndPromptAgain) {
    const std::string document = "n1<>m<>d ID:aaa<>first http://x.jp/a<>\n"
                                 "n2<>m<>d ID:bbb<>&gt;&gt;1 yes<>\n"
                                 "n3<>m<>d ID:aaa<>&gt;&gt;1-2 ttp://y.jp<>\n"
                                 "n4<>m<>d ID:?\?\?<>Needle<>\n";
    const std::string p[] = {"", "1 : n1 [m] d ID:aaa%s\n\tfirst http://x.jp/a\n", "2 : n2 [m] d ID:bbb%s\n\t>>1 yes\n",
                             "3 : n3 [m] d ID:aaa%s\n\t>>1-2 ttp://y.jp\n", "4 : n4 [m] d ID:?\?\?%s\n\tNeedle\n"};
    auto at = [&](int n, const std::string& place = "") { return p[n].substr(0, p[n].find("%s")) + place + p[n].substr(p[n].find("%s") + 2); };
    const std::string page = at(1) + at(2) + at(3) + at(4) + prompt(1, 4, 4);
    const struct {
        std::string typed, shown;
    } cases[] = {
        {">>2-3\n", at(2) + at(3) + test::sjis("■2件\n")},
        {test::sjis("＞＞９\n"), test::sjis("■0件\n")},
        {"r1\n", at(2) + at(3) + test::sjis("■>>1への返信 2件\n")},
        {"i3\n", at(1, " (1/2)") + at(3, " (2/2)") + test::sjis("■ID:aaa 2件\n")},
        {"i4\n", test::sjis("■IDがありません\n")},
        {"r9\n", out_of_range(4)},
        {"/NEEDLE\n", at(4) + test::sjis("■1件\n")},
        // The search reads the posts as shown: ">>1", not "&gt;&gt;1".
        {"/>>1 Y\n", at(2) + test::sjis("■1件\n")},
        {"/&\n", test::sjis("■0件\n")},
        {"/gt\n", test::sjis("■0件\n")},
        // Links numbered in order, each with its post.
        {"u\n", "1 : http://x.jp/a (>>1)\n2 : http://y.jp (>>3)\n" + test::sjis("■2件\n")},
        {"u3\n", out_of_range(2)},
        {"u0\n", out_of_range(2)},
        {"ux\n", unknown("ux")},
        // The help, line for line as it always read.
        {"?\n", test::sjis("j[数値] : その番号から表示\nb : 前のページ\ne : スレッド一覧に戻る\nEnter : 次のページ\n"
                           "n : 新着を読み込む\n"
                           ">>N >>N-M : そのレスを表示\nrN : Nへの返信を表示\niN : Nと同じIDのレスを表示\n/文字列 : 検索\n"
                           "u : URLの一覧\nuN : N番目のURLを開く\nngi N : NのIDをNGに追加\nngn N : Nの名前をNGに追加\n"
                           "ngw 文字列 : 文字列をNGワードに追加\nf : お気に入りに追加/削除\nt : 次スレ候補\nw wN : 書き込む (wNは>>Nから)\n? : このヘルプ\n")},
        // No list to look in: the board is unreachable and has no copy.
        {"t\n", std::string(messages::reading_thread_list) + messages::failed_connect + messages::no_successors},
        // Nor a thread to bring up to date: the copy's posts stay.
        // Unreachable: the download's failure, and nothing said of what is new.
        {"n\n", std::string(messages::reading_thread) + messages::failed_connect},
        // No command, or a command whose argument doesn't fit it, at the
        // last page: said, and the page stays.
        {"clear\n", unknown("clear")},
        {"12\n", unknown("12")},
        {"ngw \n", unknown("ngw ")},
        {"/\n", unknown("/")},
        {"n 1\n", unknown("n 1")},
        {">x\n", unknown(">x")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(show(document, c.typed + "e\n"), head() + page + c.shown + prompt(1, 4, 4)) << c.typed;
    }
    // Enter alone leaves from the last page.
    EXPECT_EQ(show(document, "\n"), head() + page + test::sjis("■スレッド一覧に戻ります\n"));
}

// ng.txt's rules by ID, name and chain, shown as the abone line or, with
// hide, left out while j, r and i still count every post; ngi adds a rule
// and prints the page again under it.
TEST_F(ThreadPaging, NgRulesHideChainAndAddFromThePrompt) {
    const std::string document = "n1<>m<>d ID:aaa<>first<>\n"
                                 "n2<>m<>d ID:bbb<>&gt;&gt;1 yes<>\n"
                                 "n3<>m<>d ID:aaa<>&gt;&gt;1-2 x<>\n"
                                 "n4<>m<>d ID:ccc<>&gt;&gt;2 &gt;&gt;5<>\n"
                                 "n5<>m<>d ID:ccc<>&gt;&gt;2<>\n"
                                 "n6<>m<>d ID:ddd<>plain<>\n";
    const std::string abone = test::sjis("あぼ～ん");
    auto ng = [&](int n) { return std::to_string(n) + " : " + abone + " [" + abone + "] " + abone + "\n\t" + abone + "\n"; };
    const std::string p1 = "1 : n1 [m] d ID:aaa\n\tfirst\n", p2 = "2 : n2 [m] d ID:bbb\n\t>>1 yes\n",
                      p3 = "3 : n3 [m] d ID:aaa\n\t>>1-2 x\n", p4 = "4 : n4 [m] d ID:ccc\n\t>>2 >>5\n",
                      p5 = "5 : n5 [m] d ID:ccc\n\t>>2\n", p6 = "6 : n6 [m] d ID:ddd\n\tplain\n";
    const struct {
        const char* rules;
        std::string typed, shown;
    } rows[] = {
        {"id aaa\n", "e\n", ng(1) + p2 + ng(3) + p4 + p5 + p6 + prompt(1, 6, 6)},
        // In document order: 4 anchors 5, not yet NG'd when 4 is judged;
        // 6 anchors nothing and stays, though an NG'd post comes before it.
        {"id aaa\nchain\n", "e\n", ng(1) + ng(2) + ng(3) + p4 + ng(5) + p6 + prompt(1, 6, 6)},
        {"id aaa\nchain\nhide\n", "j3\nj7\nr2\ni4\ne\n",
         p4 + p6 + prompt(4, 6, 6) + p4 + p6 + prompt(4, 6, 6) + out_of_range(6) + prompt(4, 6, 6) + p4 +
             test::sjis("■>>2への返信 1件\n") + prompt(4, 6, 6) + "4 : n4 [m] d ID:ccc (1/1)\n\t>>2 >>5\n" +
             test::sjis("■ID:ccc 1件\n") + prompt(4, 6, 6)},
        {"name /^n[1-4]$/\nhide\n", "\n", p5 + p6 + end(5, 6, 6)},
        {"", "ngi 5\ne\n", p1 + p2 + p3 + p4 + p5 + p6 + prompt(1, 6, 6) + test::sjis("■NGに追加しました: id ccc\n") +
                                 p1 + p2 + p3 + ng(4) + ng(5) + p6 + prompt(1, 6, 6)},
    };
    for (const auto& row : rows) {
        test::write_file("ng.txt", row.rules);
        EXPECT_EQ(show(document, row.typed), head() + row.shown) << row.rules << row.typed;
    }
    EXPECT_EQ(test::read_file("ng.txt"), "id ccc\n");
}

TEST_F(ThreadPaging, EGoesBackAndEndOfInputEndsZubo) {
    EXPECT_EQ(show(doc(30), "E\nrest"), head() + posts(1, 10) + prompt(1, 10, 30));
    EXPECT_EQ(unread_, "rest");
    EXPECT_FALSE(input_ended_);

    const std::string ending = "\n" + std::string(messages::ending);
    EXPECT_EQ(show(doc(30), ""), head() + posts(1, 10) + prompt(1, 10, 30) + ending);
    EXPECT_TRUE(input_ended_);
    EXPECT_EQ(show(doc(3), ""), head() + posts(1, 3) + prompt(1, 3, 3) + ending);
    EXPECT_TRUE(input_ended_);
}

TEST_F(ThreadPaging, ShortAndEmptyThreads) {
    EXPECT_EQ(show(doc(1), "2 and more\n\nrest"), head() + posts(1, 1) + prompt(1, 1, 1) + unknown("2 and more") + end(1, 1, 1));
    EXPECT_EQ(unread_, "rest");
    // The last page of a thread of 1000 posts says it is over; of 999 not.
    const std::string over = messages::thread_over;
    EXPECT_EQ(show(doc(1000), "j1000\ne\n"), head() + posts(1, 10) + prompt(1, 10, 1000) + posts(1000, 1000) + over +
                                                   prompt(1000, 1000, 1000));
    EXPECT_EQ(show(doc(999), "j995\n\n"), head() + posts(1, 10) + prompt(1, 10, 999) + posts(995, 999) + end(995, 999, 999));
    EXPECT_EQ(show("", "\n"), head() + messages::thread_end);
    EXPECT_FALSE(input_ended_);
}

TEST_F(ThreadPaging, TitleAndPostsPrintAsTextWithoutControlBytes) {
    std::string out = show("n<>m<>d<>\x1b[2Jx%s%n<>\n" + doc(11), "e\n", "%s%n\x1b]0;t\x07");
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    EXPECT_NE(out.find("1 : n [m] d\n\t[2Jx%s%n\n"), std::string::npos);
    EXPECT_NE(out.find(test::post_prompt("%s%n]0;t", 1, 10, 12)), std::string::npos);
}

TEST_F(ThreadPaging, MissingOrUnsafeCopyIsAnOpenError) {
    test::ScreenRun console("");
    show_thread(console.run(), kUnreachableBoard, "board", "2.dat", "T");
    show_thread(console.run(), kUnreachableBoard, "board", "../italist.txt", "T");
    std::string unsafe = std::string(messages::reading_thread) + messages::failed_unsafe_name +
                         messages::thread_banner + messages::dat_open_error;
    EXPECT_EQ(console.output(), head() + messages::dat_open_error + unsafe);
}

}  // namespace
}  // namespace zubo
