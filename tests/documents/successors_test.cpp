#include "documents/successors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/encoding.h"

namespace zubo {
namespace {

TEST(TitleSimilarity, DiceOfBigramsWithoutDigitsSpacesAndBrackets) {
    struct Case {
        std::string a, b;
        double expected;
    } cases[] = {
        {test::sjis("【雑談】プログラミング総合スレ part12 (1001)"), test::sjis("【雑談】プログラミング総合スレ part13 (5)"), 1.0},
        {test::sjis("ニュース速報★１２"), test::sjis("ニュース速報★１３"), 1.0},
        {test::sjis("「実況」　ドラマ〈第2話〉"), "\t" + test::sjis("実況ドラマ第話"), 1.0},
        {test::sjis("今日の晩ご飯"), test::sjis("プログラミング総合"), 0.0},
        {"[ab] {c}", "<abc>", 1.0},
        {"ab", "abc", 2.0 / 3},
        {"aaa", "aa", 2.0 / 3},        // a bigram is shared as often as both hold it
        {test::sjis("ーa"), test::sjis("ーa"), 1.0},  // "ー" ends in the byte of '['
        {"ab\x82", "ab", 2.0 / 3},     // a lead byte at the end is a character of its own
        {"12 34", "1", 0.0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(title_similarity(c.a, c.b), c.expected) << test::utf8(c.a) << " / " << test::utf8(c.b);
        EXPECT_DOUBLE_EQ(title_similarity(c.b, c.a), c.expected);
    }
}

TEST(SuccessorCandidates, LaterThreadsByScoreWithTheQuotedKeysBonus) {
    std::vector<std::string> titles = {
        test::sjis("プログラミング総合スレ part12 (1001)"), test::sjis("プログラミング総合スレ part11 (1000)"),
        test::sjis("今日の晩ご飯 (20)"),                     test::sjis("プログラミング総合スレ part13 (5)"),
        test::sjis("次の話題 (3)"),                          test::sjis("プログラミング総合スレ★part13 (2)"),
        test::sjis("今日のプログ (4)"),  // alike, but below the threshold
    };
    std::vector<long long> keys = {1700000000, 1690000000, 1700500000, 1700600000, 1700700000, 1700800000, 1700900000};
    const double faint = title_similarity(titles[0], titles[6]);
    EXPECT_GT(faint, 0.0);
    EXPECT_LT(faint, kSuccessorThreshold);
    std::vector<KeyedTitle> list;
    for (std::size_t i = 0; i < titles.size(); ++i) list.push_back({keys[i], titles[i]});
    std::vector<std::string> posts = {"1700500", "next: https://x.5ch.net/test/read.cgi/prog/1700700000/"};

    auto found = successor_candidates(list[0], list, posts);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].entry, 4);
    EXPECT_DOUBLE_EQ(found[0].score, 1.0);
    EXPECT_EQ(found[1].entry, 6);
    EXPECT_DOUBLE_EQ(found[1].score, 26.0 / 29);
    EXPECT_EQ(found[2].entry, 5);
    EXPECT_DOUBLE_EQ(found[2].score, kSuccessorBonus);

    // Seven equal titles: the first five in list order.
    std::vector<KeyedTitle> same(8, {1700000001, titles[3]});
    same[0].key = 1700000000;
    found = successor_candidates(same[0], same, {});
    ASSERT_EQ(found.size(), kSuccessorLimit);
    for (std::size_t i = 0; i < found.size(); ++i) EXPECT_EQ(found[i].entry, static_cast<int>(i) + 2);
}

}  // namespace
}  // namespace zubo
