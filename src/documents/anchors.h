#pragma once
// Anchors: the ">>12" by which a post points at others. In a body they
// come after tag rendering, so the service's "&gt;&gt;12" is the usual
// form; old threads and hand-typed posts write ">>12" and the full-width
// "＞＞１２" too. Each '>' of the pair is any of '>', "&gt;" and '＞';
// digits are ASCII or full-width; a range joins two numbers with '-', '－'
// or '‐', a list joins numbers and ranges with ',' or '，': ">>3,5-7,10".
// Texts are CP932 bytes.

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace zubo {

// A range of post numbers, both ends included; a single number has
// from == to. Numbers are as written (past 999999999 they stop growing):
// the caller holds them against the thread's posts.
struct AnchorRange {
    int from;
    int to;
};

// A range in a body anchors its posts only when it is narrower than this:
// ">>1-1000" points at no post.
constexpr int kAnchorRangeLimit = 20;

// The anchor command typed at the thread prompt: one or two '>' (ASCII or
// full-width; "&gt;" reads as one too), a number, optionally a dash and a
// second number, and only white space around. Returns the range, smaller
// number first; nothing when the line is no anchor command (">x", ">>",
// ">>1,2", "x>>1").
std::optional<AnchorRange> read_anchor_command(std::string_view line);

// Where an anchor stands in a body, in bytes: [begin, end), the '>' pair
// and every number of its list, for the renderer to colour.
struct AnchorSpan {
    std::size_t begin;
    std::size_t end;
};

// Every anchor of a body, in order, however wide its ranges.
std::vector<AnchorSpan> anchor_spans(std::string_view body);

// The posts a body anchors, ascending, each once: every number of its
// anchors and lists, and every number of a range from A to B with A <= B
// and B - A < kAnchorRangeLimit. Numbers below 1 are left out.
std::vector<int> anchored_posts(std::string_view body);

// Whether the body anchors post n, by the rule of anchored_posts.
bool anchors(std::string_view body, int n);

}  // namespace zubo
