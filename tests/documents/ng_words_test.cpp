#include "documents/ng_words.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "console/messages.h"
#include "support/encoding.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace zubo {
namespace {

const std::string kLine = "Name<>sage<>2009/01/13<>body text " + test::sjis("はにゃん") + " <>title\n";

// Runs the filter over kLine with the given ngword.txt (none when null).
std::string filtered(const char* words, int* replaced = nullptr) {
    test::WorkingDir dir;
    if (words) test::write_file("ngword.txt", words);
    char line[32768];
    std::strcpy(line, kLine.c_str());
    NgWords read = read_ng_words(false);
    int result = apply_ng_words(read, line);
    if (replaced) *replaced = result;
    return line;
}

TEST(NgFilter, HidesLinesHoldingAWord) {
    const std::string hani = test::sjis("はにゃ");
    struct Case {
        std::string words;
        bool hidden;
    } cases[] = {
        {"nothing\nelse\n", false},
        {"Name\n", true},              // in the name field only
        {"xyz\r\nsage\r\n", true},     // CR LF file: the CR is part of the line end
        {"zzz\n" + hani, true},        // last word without a newline
        {"\n \t\r\n\t\n", false},        // blank lines are no words
        {"<>title\n", true},           // whatever follows the body counts too
        {"&lt;\n", false},
        {std::string(1, hani[1]) + "\n", true},  // a trail byte matches on its own
    };
    for (const Case& c : cases) {
        int replaced = -1;
        std::string out = filtered(c.words.c_str(), &replaced);
        EXPECT_EQ(replaced, c.hidden ? 1 : 0) << c.words;
        EXPECT_EQ(out, c.hidden ? std::string(messages::abone_line) : kLine) << c.words;
    }
}

TEST(NgFilter, WordsReadOnceServeEveryLine) {
    test::WorkingDir dir;
    test::write_file("ngword.txt", "sage\r\n" + std::string(1998, 'q') + "Name\n");
    NgWords words = read_ng_words(false);
    // The file may change or go: the words already read stay.
    std::remove("ngword.txt");
    for (const std::string& line : {kLine, std::string("x<>sage<>d<>b<>\n"), std::string("Name<><><><>\n")}) {
        char buffer[256] = {};
        std::strcpy(buffer, line.c_str());
        EXPECT_EQ(apply_ng_words(words, buffer), 1) << line;
        EXPECT_STREQ(buffer, messages::abone_line);
    }
    char clean[] = "a<>b<>c<>d<>\n";
    EXPECT_EQ(apply_ng_words(words, clean), 0);
    EXPECT_STREQ(clean, "a<>b<>c<>d<>\n");
}

TEST(NgFilter, NoFileChangesNothing) {
    int replaced = -1;
    EXPECT_EQ(filtered(nullptr, &replaced), kLine);
    EXPECT_EQ(replaced, 0);
}

TEST(NgFilter, LongWordLinesAreReadInPiecesOfAtMost1998Bytes) {
    // 1,998 bytes of filler, then "Name": the second piece is its own word.
    std::string long_line = std::string(1998, 'q') + "Name\n";
    EXPECT_EQ(filtered(long_line.c_str()), messages::abone_line);
    // A line of 1,999 bytes: its one-byte tail "N" is a word of its own.
    std::string tail = std::string(1998, 'q') + "N\n";
    EXPECT_EQ(filtered(tail.c_str()), messages::abone_line);
    std::string short_tail = std::string(1998, 'q') + "X\n";
    EXPECT_EQ(filtered(short_tail.c_str()), kLine);
}

class NgWordsUtf8 : public ::testing::Test {
protected:
    // Runs a CP932 thread line through the filter; true when it was hidden.
    bool hidden(const std::string& line, bool utf8) {
        char buffer[256] = {};
        std::memcpy(buffer, line.data(), line.size());
        NgWords words = read_ng_words(utf8);
        return apply_ng_words(words, buffer) == 1;
    }

    test::WorkingDir dir_;
    const std::string line_ = test::sjis("名無し<><>2026/01/01<> 今すぐ儲かる話 <>\n");
};

TEST_F(NgWordsUtf8, Utf8WordMatchesCp932LineOnlyInUtf8Mode) {
    test::write_file("ngword.txt", "関係ない\n儲かる\r\n");
    EXPECT_TRUE(hidden(line_, true));
    EXPECT_FALSE(hidden(line_, false));
}

TEST_F(NgWordsUtf8, Cp932WordIsUsedAsItStands) {
    test::write_file("ngword.txt", test::sjis("儲かる") + "\n");
    EXPECT_TRUE(hidden(line_, true));
    EXPECT_TRUE(hidden(line_, false));
    EXPECT_FALSE(hidden(test::sjis("名無し<><>2026/01/01<> 平和な話 <>\n"), true));
}

}  // namespace
}  // namespace zubo
