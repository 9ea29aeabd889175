#include "documents/thread_listing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/encoding.h"
#include "support/files.h"
#include "support/parse_text.h"

namespace zubo {
namespace {

auto parse(const std::string& text) { return test::parse_text<ThreadRecord>(text, kThreadTableSize, parse_subject); }

TEST(ParseSubjectLine, FirstTwoTokensAreNameAndTitle) {
    struct Case {
        std::string line, dat_name, title;
    } cases[] = {
        {"123.dat<>Title (12)\n", "123.dat", "Title (12)"},
        {"\n", "", ""},
        {"", "", ""},
        {"only.dat\n", "only.dat", ""},
        {"<>>a<b>c\n", "a", "b"},
        {"1.dat<>x > y (3)\n", "1.dat", "x "},
        {"1.dat<>t&lt;x&gt; (3)\n", "1.dat", "t&lt;x&gt; (3)"},
        {std::string(300, 'd') + "<>" + std::string(300, 't'), std::string(259, 'd'), std::string(259, 't')},
    };
    for (const Case& c : cases) {
        ThreadRecord thread;
        parse_subject_line(c.line.c_str(), &thread);
        EXPECT_EQ(thread.dat_name, c.dat_name) << c.line;
        EXPECT_EQ(thread.title, c.title) << c.line;
    }
}

TEST(ParseSubject, EveryLineTakesANumberUpToTheLimit) {
    auto lines = [](int n) {
        std::string text;
        for (int i = 1; i <= n; ++i) text += std::to_string(i) + ".dat<>T" + std::to_string(i) + "\n";
        return text;
    };
    auto full = parse(lines(kThreadTableSize - 1));
    EXPECT_EQ(full.result.count, 2999);
    EXPECT_FALSE(full.result.over_limit);

    auto over = parse(lines(kThreadTableSize + 1));
    EXPECT_EQ(over.result.count, 2999);
    EXPECT_TRUE(over.result.over_limit);
    EXPECT_STREQ(over.records.back().title, "T2999");

    auto with_gap = parse("1.dat<>A\n\n3.dat<>C\n");
    ASSERT_EQ(with_gap.result.count, 3);
    EXPECT_STREQ(with_gap.records[1].dat_name, "");
    EXPECT_STREQ(with_gap.records[2].title, "C");
}

TEST(ParseSubject, RealThreadLists) {
    ZUBO_NEED_REAL_FIXTURES();
    auto recent = parse(test::real_fixture("subject-2013.txt"));
    ASSERT_EQ(recent.result.count, 714);
    EXPECT_STREQ(recent.records[0].dat_name, "1302924333.dat");
    EXPECT_EQ(recent.records[0].title, test::sjis("【ハム太郎】春名ヒロ子ちゃんのスレ【ロコちゃん】 (23)"));
    EXPECT_EQ(recent.records[713].title, test::sjis("【はにゃん】今週のさくらちゃんPart21【ですわ～】 (1001)"));

    auto older = parse(test::real_fixture("subject-2012.txt"));
    ASSERT_EQ(older.result.count, 378);
    EXPECT_EQ(older.records[21].title,
              test::sjis("韓国の物価がやばいｗ政府の統制も効かず&lt;丶；∀；&gt;「ジャップ助けてー」 (33)"));
}

}  // namespace
}  // namespace zubo
