#include "documents/thread_marks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/encoding.h"

namespace zubo {
namespace {

TEST(ThreadMarks, KeyAndPostsComeFromTheDatNameAndTheLabelsEnd) {
    struct Case {
        const char* dat_name;
        std::string title;
        long long key, posts;
    } cases[] = {
        {"1700000001.dat", test::sjis("スレタイ (123)"), 1700000001, 123},
        {"1700000001.dat", test::sjis("ソ(1)表 (5)"), 1700000001, 5},
        {"17000x0001.dat", "t (12) ", 0, 0},
        {".dat", "t ()", 0, 0},
        {"99999999999999999999.dat", "(99999999999)", 0, 0},
        {"1234", "(7)", 1234, 7},
        {"", "t 12)", 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(thread_key(c.dat_name), c.key) << c.dat_name;
        EXPECT_EQ(label_posts(c.title.c_str()), c.posts) << c.title;
    }
}

TEST(ThreadMarks, MarkFollowsTheStateAndTheLastVisit) {
    struct Case {
        int posts;
        std::optional<store::ThreadState> state;
        std::optional<long long> visited;
        std::string mark;
        bool unknown = false;  // the state couldn't be read
    } cases[] = {
        {123, store::ThreadState{100, 110}, 1800000000, test::sjis(" [未読23]")},
        {100, store::ThreadState{100, 100}, std::nullopt, test::sjis(" [既読]")},
        {90, store::ThreadState{100, 100}, std::nullopt, test::sjis(" [既読]")},
        {5, std::nullopt, 1699999999, test::sjis(" [新]")},
        {5, std::nullopt, 1700000001, ""},
        {5, std::nullopt, std::nullopt, ""},
        // Unknown is not "never read": neither new nor unread.
        {5, std::nullopt, 1699999999, "", true},
        {123, store::ThreadState{100, 110}, 1800000000, "", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(thread_mark({1700000001, c.posts, c.state, c.unknown}, c.visited), c.mark)
            << test::utf8(c.mark) << c.unknown;
    }
    // Given out of order, looked up between and at the ends.
    store::BoardStates states;
    states.add("1700000003.dat", {9, 9});
    states.add("1700000001.dat", {3, 4});
    states.sort();
    EXPECT_EQ(unread_posts(listed_thread("1700000001.dat", "t (10)", states)), 7);
    EXPECT_EQ(unread_posts(listed_thread("1700000002.dat", "t (10)", states)), 0);
    EXPECT_EQ(unread_posts(listed_thread("1700000003.dat", "t (10)", states)), 1);
    EXPECT_EQ(listed_thread("1700000004.dat", "t (10)", states).state, std::nullopt);
}

TEST(ThreadMarks, OrdersAreStableAndNumberFromOne) {
    const long long now = 1700100000;
    std::vector<ListedThread> list = {
        {1700000000, 100, store::ThreadState{100, 100}},  // 100 posts over 100000 s: 86 a day
        {1700090000, 10, store::ThreadState{2, 10}},      // 10 over 10000 s: 86 a day
        {0, 500, std::nullopt},                            // no key: a whole epoch old
        {1700099999, 3, store::ThreadState{1, 3}},        // 259200 a day
        {1700050000, 100, std::nullopt},                   // 172 a day
    };
    struct Case {
        char letter;
        std::vector<int> entries;
    } cases[] = {
        {'m', {4, 5, 1, 2, 3}}, {'n', {4, 2, 5, 1, 3}}, {'c', {3, 1, 5, 2, 4}}, {'u', {2, 4, 1, 3, 5}}, {'o', {1, 2, 3, 4, 5}}};
    for (const Case& c : cases) {
        auto order = list_order(c.letter);
        ASSERT_TRUE(order) << c.letter;
        EXPECT_EQ(sorted_entries(list, *order, now), c.entries) << c.letter;
    }
    EXPECT_FALSE(list_order('x'));
    EXPECT_EQ(momentum({now + 50, 2, std::nullopt}, now), 172800);  // a key ahead of the clock
    EXPECT_EQ(momentum_text(momentum(list[3], now)), test::sjis(" 勢259200"));
}

}  // namespace
}  // namespace zubo
