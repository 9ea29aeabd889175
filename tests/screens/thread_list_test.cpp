#include "screens/thread_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/encoding.h"
#include "support/files.h"
#include "support/parse_text.h"

namespace zubo {
namespace {

struct ParsedList {
    ThreadListing listing;
    std::vector<ThreadRecord> threads;  // threads[0] is thread number 1
};

ParsedList parse(const std::string& text) {
    auto parsed = test::parse_text<ThreadRecord>(text, kThreadTableSize, parse_subject);
    return {parsed.result, parsed.records};
}

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
    ParsedList full = parse(lines(kThreadTableSize - 1));
    EXPECT_EQ(full.listing.count, 2999);
    EXPECT_FALSE(full.listing.over_limit);

    ParsedList over = parse(lines(kThreadTableSize + 1));
    EXPECT_EQ(over.listing.count, 2999);
    EXPECT_TRUE(over.listing.over_limit);
    EXPECT_STREQ(over.threads.back().title, "T2999");

    ParsedList with_gap = parse("1.dat<>A\n\n3.dat<>C\n");
    ASSERT_EQ(with_gap.listing.count, 3);
    EXPECT_STREQ(with_gap.threads[1].dat_name, "");
    EXPECT_STREQ(with_gap.threads[2].title, "C");
}

TEST(ParseSubject, RealThreadLists) {
    ZUBO_NEED_REAL_FIXTURES();
    ParsedList recent = parse(test::real_fixture("subject-2013.txt"));
    ASSERT_EQ(recent.listing.count, 714);
    EXPECT_STREQ(recent.threads[0].dat_name, "1302924333.dat");
    EXPECT_EQ(recent.threads[0].title, test::sjis("【ハム太郎】春名ヒロ子ちゃんのスレ【ロコちゃん】 (23)"));
    EXPECT_EQ(recent.threads[713].title, test::sjis("【はにゃん】今週のさくらちゃんPart21【ですわ～】 (1001)"));

    ParsedList older = parse(test::real_fixture("subject-2012.txt"));
    ASSERT_EQ(older.listing.count, 378);
    EXPECT_EQ(older.threads[21].title,
              test::sjis("韓国の物価がやばいｗ政府の統制も効かず&lt;丶；∀；&gt;「ジャップ助けてー」 (33)"));
}

}  // namespace
}  // namespace zubo
