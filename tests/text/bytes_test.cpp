#include "text/bytes.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace zubo {
namespace {

TEST(SplitNext, ReturnsOnlyFieldsFollowedByASeparator) {
    EXPECT_STREQ(split_next("a<>b<>c", "<>"), "a");
    EXPECT_STREQ(split_next(nullptr, "<>"), "b");
    EXPECT_EQ(split_next(nullptr, "<>"), nullptr);
    EXPECT_EQ(split_next(nullptr, "<>"), nullptr);
}

TEST(SplitNext, LeadingSeparatorGivesAnEmptyField) {
    EXPECT_STREQ(split_next("<>x<>", "<>"), "");
    EXPECT_STREQ(split_next(nullptr, "<>"), "x");
    EXPECT_EQ(split_next(nullptr, "<>"), nullptr);
}

TEST(SplitNext, NewStringDiscardsThePreviousPosition) {
    EXPECT_STREQ(split_next("a<>b<>c<>", "<>"), "a");
    EXPECT_STREQ(split_next("x<>y<>", "<>"), "x");
    EXPECT_STREQ(split_next(nullptr, "<>"), "y");
}

TEST(SplitNext, WorksOnAPrivateCopy) {
    char line[] = "n<>m<>";
    EXPECT_STREQ(split_next(line, "<>"), "n");
    EXPECT_STREQ(line, "n<>m<>");
}

TEST(ReplaceFirst, CallerLoopReplacesEveryOccurrence) {
    char s[] = "x<br>y<br>z";
    int made = 0;
    while (replace_first(s, "<br>", "\n\t")) ++made;
    EXPECT_EQ(made, 2);
    EXPECT_STREQ(s, "x\n\ty\n\tz");
}

TEST(ReplaceFirst, UnchangedWhenNothingToDo) {
    struct Case {
        const char* find;
        const char* repl;
    } cases[] = {{"&lt;", "<"}, {"", "X"}, {"abcdefgh", ""}};
    for (const Case& c : cases) {
        char s[] = "abc<>def";
        EXPECT_EQ(replace_first(s, c.find, c.repl), 0) << c.find;
        EXPECT_STREQ(s, "abc<>def");
    }
}

TEST(ReplaceFirst, ShortensAtStartAndEnd) {
    char head[] = "&quot;x";
    EXPECT_EQ(replace_first(head, "&quot;", "\""), 1);
    EXPECT_STREQ(head, "\"x");
    char tail[] = "x&gt;";
    EXPECT_EQ(replace_first(tail, "&gt;", ">"), 1);
    EXPECT_STREQ(tail, "x>");
}

TEST(ParseDecimal, ReadsLikeTheCommandsDo) {
    struct Case {
        const char* text;
        long long value;
    } cases[] = {
        {"12\n", 12},     {"  7x", 7},     {"+3", 3},     {"-4", -4},       {"", 0},
        {"abc", 0},       {"e12", 0},      {"\t\n 45", 45}, {"0012", 12},     {"-", 0},
        {"4294967297", 4294967297LL},      {"99999999999999999999999", LLONG_MAX},
        {"-99999999999999999999999", -LLONG_MAX},
    };
    for (const Case& c : cases) EXPECT_EQ(parse_decimal(c.text), c.value) << c.text;
}

TEST(CopyField, CutsToTheFieldWhateverTheInput) {
    char field[8];
    std::memset(field, 'Z', sizeof field);
    copy_field(field, sizeof field, "0123456789");
    EXPECT_STREQ(field, "0123456");
    copy_field(field, sizeof field, nullptr);
    EXPECT_STREQ(field, "");
    copy_field(field, sizeof field, "abcdef", 3);
    EXPECT_STREQ(field, "abc");
}

TEST(StartsWithNocase, FoldsAsciiOnly) {
    EXPECT_TRUE(starts_with_nocase("<br><br><B>News", "<br><br><b>"));
    EXPECT_TRUE(starts_with_nocase("<BR><BR><B>", "<br><br><b>"));
    EXPECT_FALSE(starts_with_nocase("<BR><BR>", "<br><br><b>"));
    EXPECT_FALSE(starts_with_nocase(" <BR><BR><B>", "<br><br><b>"));
    EXPECT_EQ(fold_lower(0xC1), 0xC1);
    EXPECT_EQ(fold_lower('J'), 'j');
}

}  // namespace
}  // namespace zubo
