#include "text/bytes.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace zubo {
namespace {

TEST(FieldSplitter, ReturnsOnlyFieldsFollowedByASeparator) {
    struct Case {
        const char* text;
        std::vector<std::string> fields;
    } cases[] = {{"a<>b<>c", {"a", "b"}}, {"<>x<>", {"", "x"}}, {"<<>>", {"<"}}, {"plain", {}}, {"x<y<>z<", {"x<y"}}};
    for (const Case& c : cases) {
        std::string text = c.text;
        FieldSplitter fields(text.data(), "<>");
        for (const std::string& field : c.fields) EXPECT_STREQ(fields.next(), field.c_str()) << c.text;
        EXPECT_EQ(fields.next(), nullptr) << c.text;
        EXPECT_EQ(fields.next(), nullptr) << c.text;
    }
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
