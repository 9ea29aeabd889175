#include "text/multi_search.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace zubo {
namespace {

// What strstr says: whether any word occurs in text.
bool any_occurs(const std::vector<std::string>& words, const std::string& text) {
    for (const std::string& w : words) {
        if (std::strstr(text.c_str(), w.c_str())) return true;
    }
    return false;
}

bool found(const std::vector<std::string>& words, const std::string& text) {
    MultiSearch search;
    for (const std::string& w : words) search.add(w.data(), w.size());
    return search.found_in(text.c_str());
}

TEST(MultiSearch, FindsWhatStrstrFinds) {
    struct Case {
        std::vector<std::string> words;
        std::string text;
        bool found;
    } cases[] = {
        {{}, "anything", false},
        {{""}, "", true},                           // an empty word occurs everywhere
        {{"he", "she", "his", "hers"}, "ushers", true},
        {{"abcd", "bc"}, "xabcx", true},            // found through a failure link
        {{"abcd", "bcx"}, "abcx", true},            // the longer word fails over to the shorter
        {{"aab"}, "aaab", true},                    // a restart inside a repeated prefix
        {{"abab"}, "abaab", false},
        {{"word"}, "wor", false},                   // the text ends inside a word
        {{"\x82\xa0", "\xa0"}, "x\x82\xa0y", true},  // bytes, not characters: a trail byte alone
        {{"b\xff"}, "ab\xff", true},                // bytes above 0x7f
        {{"long", "x"}, "abcx", true},              // a word of one byte at the text's end
        {{"ab", "cd"}, "xxa", false},               // the text ends after a pair's first byte
    };
    for (const Case& c : cases) {
        EXPECT_EQ(found(c.words, c.text), c.found) << c.text;
        EXPECT_EQ(any_occurs(c.words, c.text), c.found) << c.text;
    }
}

TEST(MultiSearch, AgreesWithStrstrOnRandomWordsAndTexts) {
    // A small alphabet makes overlaps, shared prefixes and failures common.
    std::mt19937 random(20261208);
    auto text_of = [&](int length) {
        std::string s;
        for (int i = 0; i < length; ++i) s += "ab\x82\xa0"[random() % 4];
        return s;
    };
    for (int round = 0; round < 4000; ++round) {
        // Every other round, words of three bytes or more.
        const int shortest = round % 2 ? 3 : 1;
        std::vector<std::string> words;
        for (int k = 0, n = 1 + static_cast<int>(random() % 6); k < n; ++k) {
            words.push_back(text_of(shortest + static_cast<int>(random() % 5)));
        }
        std::string text = text_of(static_cast<int>(random() % 48));
        ASSERT_EQ(found(words, text), any_occurs(words, text)) << text;
    }
}

TEST(MultiSearch, WordsAddedAfterASearchCount) {
    MultiSearch search;
    search.add("ab", 2);
    EXPECT_FALSE(search.found_in("xbcx"));
    search.add("bc", 2);
    EXPECT_TRUE(search.found_in("xbcx"));
    EXPECT_TRUE(search.found_in("ab"));
}

}  // namespace
}  // namespace zubo
