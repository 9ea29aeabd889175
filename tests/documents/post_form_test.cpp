#include "documents/post_form.h"

#include <gtest/gtest.h>

#include <string>

#include "support/encoding.h"

namespace zubo {
namespace {

// 書き込む and 新規スレッド作成, CP932 percent-encoded.
constexpr char kReply[] = "submit=%8F%91%82%AB%8D%9E%82%DE&oekaki_thread1=";
constexpr char kNewThread[] = "submit=%90V%8BK%83X%83%8C%83b%83h%8D%EC%90%AC&oekaki_thread1=";

TEST(PostForm, FieldsInOrderEncodedAsTheServiceReadsThem) {
    const PostPlace reply{"https://mao.5ch.io/news/", "news", "1767225600"};
    const PostPlace fresh{"https://mao.5ch.io/news/", "news", ""};
    struct Case {
        const char* what;
        PostPlace place;
        PostDraft draft;
        std::string body;
    } cases[] = {
        {"plain", reply, {"", "sage", "", "abc"},
         std::string("FROM=&mail=sage&MESSAGE=abc&bbs=news&key=1767225600&time=1767225570&") + kReply},
        {"spaces and the kept marks", reply, {"a b", "-._*", "", "x+y=z&w"},
         std::string("FROM=a+b&mail=-._*&MESSAGE=x%2By%3Dz%26w&bbs=news&key=1767225600&time=1767225570&") + kReply},
        {"line breaks, a CR alone kept", reply, {"", "", "", "1\n2\r\n3\r"},
         std::string("FROM=&mail=&MESSAGE=1%0D%0A2%0D%0A3%0D&bbs=news&key=1767225600&time=1767225570&") + kReply},
        {"Japanese and an emoji's reference", reply, {"", "", "", cp932_for_post("あ😀")},
         std::string("FROM=&mail=&MESSAGE=%82%A0%26%23128512%3B&bbs=news&key=1767225600&time=1767225570&") + kReply},
        {"a new thread: subject, no key", fresh, {"", "", "t t", "b"},
         std::string("FROM=&mail=&MESSAGE=b&subject=t+t&bbs=news&time=1767225570&") + kNewThread},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(post_form_body(c.place, c.draft, 1767225570), c.body) << c.what;
    }
}

TEST(PostForm, UrlAndRefererKeepTheBoardsSchemeAndHost) {
    struct Case {
        PostPlace place;
        std::string url, referer;
    } cases[] = {
        {{"https://mao.5ch.io/news/", "news", "123"}, "https://mao.5ch.io/test/bbs.cgi",
         "https://mao.5ch.io/test/read.cgi/news/123/"},
        {{"http://127.0.0.1:8080/news/", "news", "123"}, "http://127.0.0.1:8080/test/bbs.cgi",
         "http://127.0.0.1:8080/test/read.cgi/news/123/"},
        {{"https://mao.5ch.io/news/", "news", ""}, "https://mao.5ch.io/test/bbs.cgi", "https://mao.5ch.io/news/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(post_url(c.place), c.url);
        EXPECT_EQ(post_referer(c.place), c.referer);
    }
}

TEST(PostForm, ForPostConvertsToCp932WithReferencesForTheRest) {
    EXPECT_EQ(cp932_for_post("abc ～"), test::sjis("abc ～"));
    EXPECT_EQ(cp932_for_post("a😀b\xe2\x82\xac"), "a&#128512;b&#8364;");
    EXPECT_EQ(cp932_for_post(""), "");
}

TEST(PostForm, ConfirmationSendsTheHiddenInputsBackInTheirOrder) {
    const ConfirmForm form{"http://h/test/bbs.cgi", {{"FROM", ""}, {"feature", "a&b=c"}, {"time", "1"}}};
    EXPECT_EQ(confirm_form_body(form),
              "FROM=&feature=a%26b%3Dc&time=1&submit="
              "%8F%E3%8BL%91S%82%C4%82%F0%8F%B3%91%F8%82%B5%82%C4%8F%91%82%AB%8D%9E%82%DE");
}

}  // namespace
}  // namespace zubo
