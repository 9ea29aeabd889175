#include "documents/thread_document.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/encoding.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace zubo {
namespace {

// One line through the NG words of the working directory's ngword.txt.
PostRecord parse(const std::string& line) {
    std::vector<char> buf(kLineSize);
    std::memcpy(buf.data(), line.c_str(), line.size() + 1);
    NgWords words = read_ng_words(false);
    PostRecord post;
    parse_thread_line(buf.data(), words, &post);
    return post;
}

TEST(ParseThreadLine, SplitsFourFieldsAndCountsLines) {
    PostRecord post = parse("N<>M<>D<>x<br>y<br>z<>title\n");
    EXPECT_STREQ(post.name, "N");
    EXPECT_STREQ(post.mail, "M");
    EXPECT_STREQ(post.date, "D");
    EXPECT_STREQ(post.body, "x\n\ty\n\tz");
    EXPECT_EQ(post.lines, 4);
}

TEST(ParseThreadLine, TagsAreRenderedInEveryFieldAfterTheCut) {
    PostRecord post = parse(test::sjis("名無しさん </b>◆trip <b><><a>sage</a><>2026/11/30 ID:x "
                                       "<a href=\"http://be.5ch.io/user/1\">?2BP(1000)</a><>"
                                       "<a href=\"../test/read.cgi/b/1/2\">&gt;&gt;2</a> <br> &amp;<>\n"));
    EXPECT_EQ(post.name, test::sjis("名無しさん ◆trip "));
    EXPECT_STREQ(post.mail, "sage");
    EXPECT_STREQ(post.date, "2026/11/30 ID:x ?2BP(1000)");
    EXPECT_STREQ(post.body, "&gt;&gt;2 \n\t &amp;");
    EXPECT_EQ(post.lines, 3);

    // A break anywhere in the post takes a screen line.
    EXPECT_EQ(parse("a<br>b<>m<br><>d<>x<br>y<>\n").lines, 5);

    // A tag cut by the field's end is no tag: it stays as text.
    std::string name = std::string(250, 'n') + "<a href=\"x\">y</a>";
    EXPECT_EQ(std::string(parse(name + "<>m<>d<>b<>\n").name), name.substr(0, 259));
}

TEST(ParseThreadLine, ShortAndOverLongLinesStayInTheirFields) {
    PostRecord page = parse("<html><body>500 Internal Server Error</body></html>\n");
    EXPECT_STREQ(page.name, "");
    EXPECT_STREQ(page.body, "");
    EXPECT_EQ(page.lines, 2);

    PostRecord two = parse("N<>M<>rest\n");
    EXPECT_STREQ(two.name, "N");
    EXPECT_STREQ(two.mail, "M");
    EXPECT_STREQ(two.date, "");

    std::string big(400, 'n');
    PostRecord wide = parse(big + "<>" + big + "<>" + big + "<>b<>\n");
    EXPECT_EQ(std::string(wide.name), big.substr(0, 259));
    EXPECT_EQ(std::string(wide.date), big.substr(0, 259));
    EXPECT_STREQ(wide.body, "b");
}

TEST(ParseThreadLine, NgWordGivesTheAboneFields) {
    test::WorkingDir dir;
    test::write_file("ngword.txt", "secret\n");
    PostRecord post = parse("N<>M<>D<>a secret<br>b<>\n");
    const std::string abone = test::sjis("あぼ～ん");
    EXPECT_EQ(post.name, abone);
    EXPECT_EQ(post.mail, abone);
    EXPECT_EQ(post.date, abone);
    EXPECT_EQ(post.body, abone);
    EXPECT_EQ(post.lines, 2);

    // Words match the raw line: markup and references included, as served.
    test::write_file("ngword.txt", "</b>\n&amp;\n");
    for (const char* line : {"a </b>trip<>m<>d<>b<>\n", "N<>M<>D<>x&amp;y<>\n"}) {
        EXPECT_EQ(parse(line).body, abone) << line;
    }
    EXPECT_STREQ(parse("N<>M<>D<>x&y <i>b</i><>\n").body, "x&y b");
}

}  // namespace
}  // namespace zubo
