#include "documents/markup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/encoding.h"

namespace zubo {
namespace {

TEST(RenderTags, BreaksBecomeLinesOtherTagsGoAndReferencesWait) {
    struct Case {
        std::string field, rendered;
        int breaks;
    } cases[] = {
        {"a<br>b<br>c", "a\n\tb\n\tc", 2},
        {"<br><br>", "\n\t\n\t", 2},
        // Character references are the console's to decode.
        {" &amp;lt; ", " &amp;lt; ", 0},
        {"&lt;br&gt;", "&lt;br&gt;", 0},
        {"<a href=\"../test/read.cgi/tech/1764505451/6\" rel=\"noopener\" target=\"_blank\">&gt;&gt;6</a> x",
         "&gt;&gt;6 x", 0},
        {test::sjis("名無しさん </b>◆Zubo.X1yz2 <b>"), test::sjis("名無しさん ◆Zubo.X1yz2 "), 0},
        {test::sjis("<b title=\"あい\">太字</b>"), test::sjis("太字"), 0},
        {"<!-- c -->x</>", "x", 0},
        // Only <br> breaks a line; other spellings are other tags.
        {"a<BR>b<br/>c<br >d", "abcd", 0},
        // A '<' that starts no tag stays.
        {"a < b > c", "a < b > c", 0},
        {"1<2 <> <3>", "1<2 <> <3>", 0},
        {"<<b>x", "<x", 0},
        {"<a <b>c>", "<a c>", 0},
        {"x <a href=\"cut off", "x <a href=\"cut off", 0},
        {"", "", 0},
    };
    for (const Case& c : cases) {
        std::vector<char> field(c.field.begin(), c.field.end());
        field.push_back('\0');
        EXPECT_EQ(render_tags(field.data()), c.breaks) << c.field;
        EXPECT_EQ(std::string(field.data()), c.rendered) << c.field;
    }
}

}  // namespace
}  // namespace zubo
