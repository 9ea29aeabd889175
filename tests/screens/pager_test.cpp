#include "screens/pager.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "console/messages.h"
#include "support/screen_run.h"
#include "support/encoding.h"

namespace zubo {
namespace {

// A list of count entries labelled L1, L2, ... that records what it opens.
struct FakeList : PagerList {
    explicit FakeList(int count) {
        labels.resize(static_cast<std::size_t>(count) + 1);
        for (int i = 1; i <= count; ++i) labels[static_cast<std::size_t>(i)] = "L" + std::to_string(i);
    }
    int count() const override { return static_cast<int>(labels.size()) - 1; }
    const char* label(int n) const override { return labels[static_cast<std::size_t>(n)].c_str(); }
    void open(int n) override { opened.push_back(n); }

    std::vector<std::string> labels;
    std::vector<int> opened;
};

std::string format(const char* text, int n) {
    char buf[512];
    std::snprintf(buf, sizeof buf, text, n);
    return buf;
}

std::string format(const char* text, int n, const std::string& label) {
    char buf[512];
    std::snprintf(buf, sizeof buf, text, n, label.c_str());
    return buf;
}

std::string entries(int from, int to) {
    std::string out;
    for (int i = from; i <= to; ++i) out += format(messages::entry_line, i, "L" + std::to_string(i));
    return out;
}

std::string search_banner(const std::string& pattern) {
    char buf[512];
    std::snprintf(buf, sizeof buf, messages::search_banner, pattern.c_str());
    return buf;
}

std::string page_prompt(const PagerKind& kind, int count) { return format(kind.page_prompt, count); }
std::string opening(const PagerKind& kind, int n) { return format(kind.open_message, n, "L" + std::to_string(n)); }

struct PagerRun {
    std::string out;
    std::string unread;
    std::vector<int> opened;
    bool input_ended;  // zubo would have ended there
};

PagerRun run(const PagerKind& kind, int count, const std::string& input) {
    FakeList fake(count);
    test::ScreenRun console(input);
    bool ended = test::ends_at_end_of_input([&] { run_pager(console.run(), kind, fake); });
    return {console.output(), console.unread_input(), fake.opened, ended};
}

const std::string kEnding = "\n" + std::string(messages::ending);

const PagerKind& kBoard = kBoardListPager;
const PagerKind& kThread = kThreadListPager;

TEST(Pager, PromptsAfterEveryTwentiethAndTheLastEntryAndStartsOver) {
    PagerRun r = run(kBoard, 45, "\n\n\ne\n");
    std::string p = page_prompt(kBoard, 45);
    EXPECT_EQ(r.out, entries(1, 20) + p + entries(21, 40) + p + entries(41, 45) + p + entries(1, 20) + p +
                         messages::ending);
    EXPECT_TRUE(r.opened.empty());
}

TEST(Pager, ThreadListEndsWithItsMessageAndReadsNothingMore) {
    PagerRun r = run(kThread, 45, "\n\n\n2\nrest");
    std::string p = page_prompt(kThread, 45);
    EXPECT_EQ(r.out, entries(1, 20) + p + entries(21, 40) + p + entries(41, 45) + p + messages::thread_list_end);
    EXPECT_EQ(r.unread, "2\nrest");
    EXPECT_FALSE(r.input_ended);
}

TEST(Pager, JumpContinuesAtTheTargetAndPagesStayOnMultiplesOfTwenty) {
    PagerRun r = run(kThread, 100, "j45\ne\n");
    std::string p = page_prompt(kThread, 100);
    EXPECT_EQ(r.out, entries(1, 20) + p + entries(45, 60) + p);
}

std::string out_of_range(int count) { return format(messages::jump_out_of_range, count); }

std::string unknown(const std::string& line) {
    char buf[1024];
    std::snprintf(buf, sizeof buf, messages::unknown_input, line.c_str());
    return buf;
}

// Numbers and jumps outside 1..N say so and ask again; a line that is no
// command says so and asks again; the page stays where it was.
TEST(Pager, LinesThatAreNoCommandAskAgain) {
    struct Case {
        const char* line;
        bool in_range_line;  // a number or jump out of range; else unknown
    } cases[] = {
        {"j0", true},   {"j", true},    {"j101", true},  {"j-3", true},  {"j4294967297", true},
        {"jx", true},   {"0", true},    {"-1", true},    {"101", true},  {"400", true},
        {" 0", true},   {"xyz", false}, {"?x", false},   {"e12", false}, {"ee", false},
        {"o", false},   {"\x82\xa0", false},
    };
    std::string p = page_prompt(kThread, 100);
    for (const Case& c : cases) {
        PagerRun r = run(kThread, 100, std::string(c.line) + "\n\ne\n");
        std::string said = c.in_range_line ? out_of_range(100) : unknown(c.line);
        EXPECT_EQ(r.out, entries(1, 20) + p + said + p + entries(21, 40) + p) << c.line;
        EXPECT_TRUE(r.opened.empty()) << c.line;
    }
    // A CR before the newline is no part of the line shown.
    PagerRun crlf = run(kBoard, 3, "abc\r\ne\n");
    EXPECT_EQ(crlf.out, entries(1, 3) + page_prompt(kBoard, 3) + unknown("abc") + page_prompt(kBoard, 3) +
                            messages::ending);
}

// A visit that shortens the list (a favourite taken out): the page shown
// again is the one that now holds the last entry.
TEST(Pager, ListShortenedByAVisitShowsItsLastPage) {
    struct Shrinking : FakeList {
        using FakeList::FakeList;
        void open(int n) override {
            FakeList::open(n);
            labels.pop_back();
        }
    } fake(21);
    test::ScreenRun console("\n21\n\n");
    run_pager(console.run(), kThread, fake);
    EXPECT_EQ(console.output(), entries(1, 20) + page_prompt(kThread, 21) + entries(21, 21) +
                                    page_prompt(kThread, 21) + opening(kThread, 21) + entries(1, 20) +
                                    page_prompt(kThread, 20) + messages::thread_list_end);
}

TEST(Pager, CommandLettersFoldCase) {
    PagerRun upper_e = run(kBoard, 40, "E\n");
    EXPECT_EQ(upper_e.out, entries(1, 20) + page_prompt(kBoard, 40) + messages::ending);

    PagerRun upper_j = run(kThread, 40, "J12\ne\n");
    std::string p = page_prompt(kThread, 40);
    EXPECT_EQ(upper_j.out, entries(1, 20) + p + entries(12, 20) + p);
}

// Back from an entry, the page whose prompt opened it shows again: a
// page, a jump's page, the last page, after a search.
TEST(Pager, NumberOpensItsEntryThenItsPageShowsAgain) {
    std::string p = page_prompt(kThread, 45);
    PagerRun r = run(kThread, 45, "12\n\n30\nj43\n41\ne\n");
    EXPECT_EQ(r.out, entries(1, 20) + p + opening(kThread, 12) + entries(1, 20) + p + entries(21, 40) + p +
                         opening(kThread, 30) + entries(21, 40) + p + entries(43, 45) + p + opening(kThread, 41) +
                         entries(43, 45) + p);
    EXPECT_EQ(r.opened, (std::vector<int>{12, 30, 41}));

    PagerRun board = run(kBoard, 45, "\n3\ne\n");
    std::string b = page_prompt(kBoard, 45);
    EXPECT_EQ(board.out, entries(1, 20) + b + entries(21, 40) + b + opening(kBoard, 3) + entries(21, 40) + b +
                             messages::ending);
}

TEST(Pager, SearchListsHitsAndOpensFromItsOwnPrompt) {
    std::string p = page_prompt(kThread, 25);
    // Labels holding "L2": 2 and 20 to 25.
    PagerRun r = run(kThread, 25, "sL2\n26\n21\n\n\n");
    std::string hits = format(messages::entry_line, 2, "L2") + entries(20, 25);
    std::string sp = format(kThread.search_prompt, 25);
    EXPECT_EQ(r.out, entries(1, 20) + p + search_banner("L2") + hits + sp + out_of_range(25) + sp +
                         opening(kThread, 21) + entries(1, 20) + p + entries(21, 25) + p + messages::thread_list_end);
    EXPECT_EQ(r.opened, std::vector<int>{21});
}

TEST(Pager, BareSearchMatchesEveryLabel) {
    PagerRun r = run(kThread, 20, "s\nx\n\n");
    EXPECT_EQ(r.out, entries(1, 20) + page_prompt(kThread, 20) + search_banner("") + entries(1, 20) +
                         format(kThread.search_prompt, 20) + entries(1, 20) + page_prompt(kThread, 20) +
                         messages::thread_list_end);
}

TEST(Pager, SearchOnALastLineWithoutNewlineKeepsEveryByte) {
    PagerRun r = run(kThread, 20, "sL13");
    EXPECT_NE(r.out.find(format(messages::entry_line, 13, "L13") + format(kThread.search_prompt, 20)),
              std::string::npos);
}

TEST(Pager, LongCommandLineIsOneCommand) {
    // 1,000 bytes: a jump whose number runs past the buffer, then letters
    // that would each be a command of their own if the line came in pieces.
    std::string line = "j2" + std::string(400, '0') + std::string(598, 'e');
    PagerRun r = run(kThread, 45, line + "\nj21\ne\n");
    std::string p = page_prompt(kThread, 45);
    EXPECT_EQ(r.out, entries(1, 20) + p + out_of_range(45) + p + entries(21, 40) + p);
    EXPECT_EQ(r.unread, "");
}

TEST(Pager, ShortThreadListPromptsAfterItsLastEntry) {
    // Back from an entry opened at the last prompt, the last page shows
    // again: the list is left only by Enter or e there.
    PagerRun r = run(kThread, 3, "2\n3\n\nrest");
    const std::string page = entries(1, 3) + page_prompt(kThread, 3);
    EXPECT_EQ(r.out, page + opening(kThread, 2) + page + opening(kThread, 3) + page + messages::thread_list_end);
    EXPECT_EQ(r.opened, (std::vector<int>{2, 3}));
    EXPECT_EQ(r.unread, "rest");

    PagerRun empty = run(kThread, 0, "\n");
    EXPECT_EQ(empty.out, messages::thread_list_end);
    EXPECT_FALSE(empty.input_ended);
}

TEST(Pager, ShortBoardListPromptsAfterItsLastEntryEachTimeRound) {
    std::string p = page_prompt(kBoard, 3);
    PagerRun r = run(kBoard, 3, "\n2\ne\n");
    EXPECT_EQ(r.out, entries(1, 3) + p + entries(1, 3) + p + opening(kBoard, 2) + entries(1, 3) + p +
                         messages::ending);
    EXPECT_EQ(r.opened, std::vector<int>{2});
}

TEST(Pager, EmptyBoardListPromptsAtOnce) {
    PagerRun r = run(kBoard, 0, "1\n\ne\n");
    std::string p = test::sjis("■--スレッド一覧番号入力?(1-0 j[");
    ASSERT_EQ(r.out.substr(0, p.size()), p);
    EXPECT_EQ(r.out, page_prompt(kBoard, 0) + out_of_range(0) + page_prompt(kBoard, 0) + page_prompt(kBoard, 0) +
                         messages::ending);
    EXPECT_TRUE(r.opened.empty());
}

TEST(Pager, EndOfInputEndsZuboAtEveryRead) {
    PagerRun board = run(kBoard, 45, "\n");
    std::string p = page_prompt(kBoard, 45);
    EXPECT_EQ(board.out, entries(1, 20) + p + entries(21, 40) + p + kEnding);
    EXPECT_TRUE(board.input_ended);

    PagerRun at_search = run(kBoard, 20, "s1\n");
    EXPECT_EQ(at_search.out, entries(1, 20) + page_prompt(kBoard, 20) + search_banner("1") + entries(1, 1) +
                                 entries(10, 19) + format(kBoard.search_prompt, 20) + kEnding);

    PagerRun thread = run(kThread, 30, "");
    EXPECT_EQ(thread.out, entries(1, 20) + page_prompt(kThread, 30) + kEnding);

    PagerRun at_search_prompt = run(kThread, 3, "sL\n");
    std::string sp = format(kThread.search_prompt, 3);
    EXPECT_EQ(at_search_prompt.out, entries(1, 3) + page_prompt(kThread, 3) + search_banner("L") + entries(1, 3) +
                                        sp + kEnding);
    EXPECT_TRUE(at_search_prompt.input_ended);
}

TEST(Pager, LabelsArePrintedAsTextNotFormats) {
    FakeList fake(1);
    fake.labels[1] = "%s%n%d";
    test::ScreenRun console("\n\n");
    run_pager(console.run(), kThread, fake);
    EXPECT_EQ(console.output(), std::string("1 : %s%n%d\n") + page_prompt(kThread, 1) + messages::thread_list_end);
}

// Labels show with their character references decoded; the search matches
// the raw label and echoes the pattern as typed.
TEST(Pager, LabelsShowDecodedSearchMatchesTheRawLabel) {
    for (bool utf8 : {false, true}) {
        SCOPED_TRACE(utf8 ? "UTF-8" : "CP932");
        auto shown = [utf8](const std::string& text) { return utf8 ? text : test::sjis(text); };
        FakeList fake(3);
        fake.labels = {"", "Q&amp;A", "&lt;template&gt;", "&#128512; &#12354;"};
        test::ScreenRun console("s&amp;\n\ns<\n2\ne\n", utf8);
        run_pager(console.run(), kBoard, fake);

        const std::string emoji = utf8 ? "😀 あ" : "&#128512; " + test::sjis("あ");
        const std::string list = "1 : Q&A\n2 : <template>\n3 : " + emoji + "\n" +
                                 shown("■--スレッド一覧番号入力?(1-3 j[数値]:ジャンプ s:検索 c:カテゴリ f:お気に入り h:履歴 ?:ヘルプ e:終わり)--");
        const std::string hits_end = shown("■検索結果は以上です。読みたい板番号を入力?(1-3)");
        EXPECT_EQ(console.output(), list + shown("■&amp;を検索...\n") + "1 : Q&A\n" + hits_end + list +
                                        shown("■<を検索...\n") + hits_end +
                                        shown("■スレッド[2 : <template>]を開きます\n") + list +
                                        shown("■終了します。\n"));
        EXPECT_EQ(fake.opened, std::vector<int>{2});
    }
}

const char* const kTitles[] = {"", "雑談スレッド", "質問", "スレッド立て依頼"};

TEST(Pager, SearchTypedInUtf8FindsCp932Labels) {
    FakeList list(3);
    for (int i = 1; i < 4; ++i) list.labels[static_cast<std::size_t>(i)] = test::sjis(kTitles[i]);

    test::ScreenRun console("sスレッド\n\ne\n", true);
    run_pager(console.run(), kBoardListPager, list);
    std::string shown = console.output();
    EXPECT_NE(shown.find("■スレッドを検索...\n1 : 雑談スレッド\n3 : スレッド立て依頼\n■検索結果は以上です。"),
              std::string::npos)
        << shown;
}

}  // namespace
}  // namespace zubo
