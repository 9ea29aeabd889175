#include "documents/urls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/encoding.h"

namespace zubo {
namespace {

using test::sjis;

TEST(FindUrls, SchemesCompletionsAndEnds) {
    struct Found {
        std::size_t begin;
        std::string written;
        std::string url;
    };
    struct Case {
        std::string body;
        std::vector<Found> urls;
    } cases[] = {
        {"see https://a.jp/x?q=1&amp;r=2 ok", {{4, "https://a.jp/x?q=1&amp;r=2", "https://a.jp/x?q=1&amp;r=2"}}},
        {"ttp://a.jp/ and tp://b.jp", {{0, "ttp://a.jp/", "http://a.jp/"}, {16, "tp://b.jp", "http://b.jp"}}},
        {"ttps://c.jp", {{0, "ttps://c.jp", "https://c.jp"}}}, {"HTTP://A.JP", {{0, "HTTP://A.JP", "HTTP://A.JP"}}},
        {"&lt;http://a.jp&gt;", {{4, "http://a.jp", "http://a.jp"}}}, {"&quot;tp://a&quot;", {{6, "tp://a", "http://a"}}},
        {"http://a.jp\n\thttp://b.jp<br", {{0, "http://a.jp", "http://a.jp"}, {13, "http://b.jp", "http://b.jp"}}},
        {sjis("リンクhttp://a.jp/です"), {{6, "http://a.jp/", "http://a.jp/"}}}, {sjis("フtp://x"), {{2, "tp://x", "http://x"}}},
        {"sftp://x ftp://y xhttp://z http:// tp://", {}},
        // 0x83 't' is one character: "tp://" does not start at its 't'.
        {"\x83tp://x", {}},
    };
    for (const Case& c : cases) {
        std::vector<FoundUrl> urls = find_urls(c.body);
        ASSERT_EQ(urls.size(), c.urls.size()) << c.body;
        for (std::size_t i = 0; i < urls.size(); ++i) {
            EXPECT_EQ(urls[i].begin, c.urls[i].begin) << c.body;
            EXPECT_EQ(c.body.substr(urls[i].begin, urls[i].end - urls[i].begin), c.urls[i].written);
            EXPECT_EQ(urls[i].url, c.urls[i].url);
        }
    }
}

}  // namespace
}  // namespace zubo
