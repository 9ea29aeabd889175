#include "documents/anchors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/encoding.h"

namespace zubo {
namespace {

using test::sjis;

TEST(AnchorCommand, FormsRangesAndLinesThatAreNone) {
    struct Case {
        std::string line;
        int from;  // -1: no anchor command
        int to;
    } cases[] = {
        {">5", 5, 5}, {">>12\n", 12, 12}, {" >>3-7 ", 3, 7}, {">>7-3", 3, 7}, {">>0", 0, 0},
        {sjis("＞＞１２"), 12, 12}, {sjis("＞１－３"), 1, 3}, {sjis(">＞２‐4"), 2, 4},
        {">>99999999999", 999999999, 999999999},
        {">x", -1, -1}, {">>", -1, -1}, {">>>1", -1, -1}, {">>1,2", -1, -1}, {">>5-", -1, -1},
        {"x>>1", -1, -1}, {">>1 2", -1, -1}, {"", -1, -1}, {"j5", -1, -1},
    };
    for (const Case& c : cases) {
        std::optional<AnchorRange> range = read_anchor_command(c.line);
        EXPECT_EQ(range ? std::make_pair(range->from, range->to) : std::make_pair(-1, -1), std::make_pair(c.from, c.to))
            << c.line;
    }
}

// anchored_posts, and anchors() asked for every number around them.
TEST(BodyAnchors, FormsRangesListsAndTheWidthRule) {
    struct Case {
        std::string body;
        std::vector<int> posts;
    } cases[] = {
        {"&gt;&gt;12 " + sjis("乙"), {12}}, {">>3 x >>5", {3, 5}}, {sjis("＞＞１２です"), {12}},
        {"&gt;>4", {4}}, {sjis("&gt;＞４"), {4}}, {">>>2", {2}}, {">>2 >>2,1", {1, 2}},
        {">>3-5", {3, 4, 5}}, {sjis(">>3－4"), {3, 4}}, {">>1-21", {}}, {">>5-3", {}}, {">>0", {}},
        {">>1-20", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}},
        {">>1,3,5-6", {1, 3, 5, 6}}, {sjis("＞＞１，３－４、５"), {1, 3, 4}}, {">>1,x,2", {1}},
        {">>1-100,7", {7}}, {">1 &gt;2 &gt;&gt; 3 >>x", {}},
        // The second byte of a character and the next one make no '＞'.
        {"\x89\x81\x84\x81\x84" "1", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(anchored_posts(c.body), c.posts) << c.body;
        for (int n = 0; n <= 25; ++n) {
            bool listed = std::find(c.posts.begin(), c.posts.end(), n) != c.posts.end();
            EXPECT_EQ(anchors(c.body, n), listed) << c.body << " " << n;
        }
    }
}

TEST(BodyAnchors, SpansCoverThePairAndTheWholeList) {
    struct Case {
        std::string body;
        std::vector<std::pair<std::size_t, std::size_t>> spans;
    } cases[] = {
        {"a&gt;&gt;1-3,5, b>>2", {{1, 14}, {17, 20}}}, {sjis("あ＞＞１２"), {{2, 10}}}, {">>1-100", {{0, 7}}},
        {">> 1 >", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<std::size_t, std::size_t>> spans;
        for (AnchorSpan span : anchor_spans(c.body)) spans.emplace_back(span.begin, span.end);
        EXPECT_EQ(spans, c.spans) << c.body;
    }
}

}  // namespace
}  // namespace zubo
