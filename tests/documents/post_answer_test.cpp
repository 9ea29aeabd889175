#include "documents/post_answer.h"

#include <gtest/gtest.h>

#include <string>

#include "support/encoding.h"

namespace zubo {
namespace {

constexpr char kPageUrl[] = "https://mao.5ch.io/test/bbs.cgi";

std::string page(const std::string& title, const std::string& body_utf8, const std::string& comment = "") {
    return test::sjis("<html><head><title>" + title + "</title></head>" + comment + "<body>" + body_utf8 +
                      "</body></html>");
}

TEST(PostAnswer, ClassesByTitleCommentHeaderAndStatus) {
    struct Case {
        const char* what;
        long status;
        std::string headers, body;
        PostOutcome outcome;
        std::string message;  // UTF-8
        int wait_seconds, post_number;
    } cases[] = {
        {"written, its number", 200, "Content-Type: text/html\r\nX-ResNum: 12\r\n", page("書きこみました。", "ok"),
         PostOutcome::kDone, "", 0, 12},
        {"written by the comment", 200, "", page("x", "ok", "<!-- 2ch_X:true -->"), PostOutcome::kDone, "", 0, 0},
        {"a redirect is written", 302, "Location: /news/\r\n", "", PostOutcome::kDone, "", 0, 0},
        {"nested bold", 200, "",
         page("ＥＲＲＯＲ！", "<b>ERROR: <b>どんぐりレベルが足りません</b></b><br>戻る"), PostOutcome::kError,
         "どんぐりレベルが足りません", 0, 0},
        {"by the comment", 200, "", page("x", "<b>Your acorn is planted</b>", "<!-- 2ch_X:error -->"),
         PostOutcome::kError, "Your acorn is planted", 0, 0},
        {"false, without bold", 200, "", page("x", "書けません", "<!-- 2ch_X:false -->"), PostOutcome::kError,
         "書けません", 0, 0},
        {"busy", 200, "", page("お茶でも飲みましょう。", "<b>お茶でも飲みましょう。</b>"), PostOutcome::kBusy,
         "お茶でも飲みましょう。", 0, 0},
        {"593 Samba", 200, "", page("ＥＲＲＯＲ！", "<b>ＥＲＲＯＲ - 593 60 sec たたないと書けません。</b>"),
         PostOutcome::kWait, "ＥＲＲＯＲ - 593 60 sec たたないと書けません。", 60, 0},
        {"Samba24", 200, "", page("ERROR", "<b>Samba24:Caution 25 秒たたないと書けません</b>"), PostOutcome::kWait,
         "Samba24:Caution 25 秒たたないと書けません", 25, 0},
        {"a number not Samba's", 200, "", page("ERROR", "<b>593 is no wait</b>"), PostOutcome::kError,
         "593 is no wait", 0, 0},
        {"broken ticket", 200, "x-chx-error: E3000 Broken MonaTicket\r\n", page("ERROR", "<b>E3000</b>"),
         PostOutcome::kBrokenTicket, "E3000", 0, 0},
        {"the confirmation by its title", 200, "", page("■ 書き込み確認 ■", "確認<br>"), PostOutcome::kConfirm,
         "確認", 0, 0},
        {"a server error", 500, "", page("ＥＲＲＯＲ", "<b>x</b>"), PostOutcome::kUnknown, "", 0, 0},
        {"a page of nothing known", 200, "", page("hello", "hello"), PostOutcome::kUnknown, "", 0, 0},
    };
    for (const Case& c : cases) {
        const PostAnswer answer = read_post_answer(c.status, c.headers, c.body, kPageUrl);
        EXPECT_EQ(answer.outcome, c.outcome) << c.what;
        EXPECT_EQ(test::utf8(answer.message), c.message) << c.what;
        EXPECT_EQ(answer.wait_seconds, c.wait_seconds) << c.what;
        EXPECT_EQ(answer.post_number, c.post_number) << c.what;
    }
}

TEST(PostAnswer, ConfirmationGivesItsFormAsABrowserReadsIt) {
    const std::string body = page("書き込み確認",
                                  "<b>書き込み＆投稿確認</b><br>利用規約に同意して<br>"
                                  "<form method=POST action=\"../test/bbs.cgi?guid=ON\">"
                                  "<input type=hidden name=FROM value=\"\">"
                                  "<input type=submit value=\"上記全てを承諾して書き込む\">"
                                  "<input TYPE=\"hidden\" name='MESSAGE' value='a &amp; b&#x3D;&lt;&#128512;'>"
                                  "<input type=text name=ignored value=x>"
                                  "<input type=hidden name=feature value=confirmed:a&amp;b&#x3D;c>"
                                  "</form>",
                                  "<!-- 2ch_X:cookie -->");
    const PostAnswer answer = read_post_answer(200, "", body, "https://mao.5ch.io/test/bbs.cgi");
    ASSERT_EQ(answer.outcome, PostOutcome::kConfirm);
    EXPECT_EQ(answer.form.action, "https://mao.5ch.io/test/bbs.cgi?guid=ON");
    ASSERT_EQ(answer.form.inputs.size(), 3u);
    EXPECT_EQ(answer.form.inputs[0], std::make_pair(std::string("FROM"), std::string()));
    EXPECT_EQ(answer.form.inputs[1],
              std::make_pair(std::string("MESSAGE"), std::string("a & b=<&#128512;")));
    EXPECT_EQ(answer.form.inputs[2], std::make_pair(std::string("feature"), std::string("confirmed:a&b=c")));
    EXPECT_NE(test::utf8(answer.message).find("利用規約に同意して"), std::string::npos);
}

TEST(PostAnswer, ConfirmationByHeaderAloneAndActionsResolved) {
    struct Case {
        std::string action, resolved;
    } cases[] = {
        {"bbs.cgi", "http://h:8/test/bbs.cgi"},
        {"/test/bbs.cgi", "http://h:8/test/bbs.cgi"},
        {"//other/test/bbs.cgi", "http://other/test/bbs.cgi"},
        {"https://x/y", "https://x/y"},
        {"", "http://h:8/test/bbs.cgi?a=1"},
    };
    for (const Case& c : cases) {
        const std::string body = "<form action=\"" + c.action + "\"><input type=hidden name=k value=1></form>";
        const PostAnswer answer =
            read_post_answer(200, "x-chx-error: 0000 Confirmation\r\n", body, "http://h:8/test/bbs.cgi?a=1");
        EXPECT_EQ(answer.outcome, PostOutcome::kConfirm) << c.action;
        EXPECT_EQ(answer.form.action, c.resolved) << c.action;
    }
}

}  // namespace
}  // namespace zubo
