#include "documents/service_link.h"

#include <gtest/gtest.h>

#include <string>

namespace zubo {
namespace {

constexpr LinkKind T = LinkKind::kThread;
constexpr LinkKind B = LinkKind::kBoard;
constexpr LinkKind N = LinkKind::kNothing;

TEST(ServiceLink, TableOfForms) {
    struct Case {
        const char* url;
        LinkKind kind;
        const char* origin;
        const char* board;
        const char* key;
        int from;
        int last;
        bool service_host;
    } cases[] = {
        // read.cgi, with and without its slash, and every suffix.
        {"https://asahi.5ch.io/test/read.cgi/news/1767225600/", T, "https://asahi.5ch.io", "news", "1767225600", 0, 0, true},
        {"https://asahi.5ch.io/test/read.cgi/news/1767225600", T, "https://asahi.5ch.io", "news", "1767225600", 0, 0, true},
        {"https://asahi.5ch.io/test/read.cgi/news/1767225600/l50", T, "https://asahi.5ch.io", "news", "1767225600", 0, 50, true},
        {"https://asahi.5ch.io/test/read.cgi/news/1767225600/7", T, "https://asahi.5ch.io", "news", "1767225600", 7, 0, true},
        {"https://asahi.5ch.io/test/read.cgi/news/1767225600/2-", T, "https://asahi.5ch.io", "news", "1767225600", 2, 0, true},
        {"https://asahi.5ch.io/test/read.cgi/news/1767225600/2-9", T, "https://asahi.5ch.io", "news", "1767225600", 2, 0, true},
        {"https://asahi.5ch.io/test/read.cgi/news/1767225600/-30", T, "https://asahi.5ch.io", "news", "1767225600", 1, 0, true},
        // The other thread forms.
        {"http://asahi.5ch.io/news/dat/1767225600.dat", T, "http://asahi.5ch.io", "news", "1767225600", 0, 0, true},
        {"https://asahi.5ch.io/news/kako/1767/17672/1767225600.html", T, "https://asahi.5ch.io", "news", "1767225600", 0, 0, true},
        {"https://itest.5ch.io/asahi/test/read.cgi/news/1767225600/", T, "https://asahi.5ch.io", "news", "1767225600", 0, 0, true},
        {"https://itest.5ch.io/asahi/test/read.cgi/news/1767225600/l10", T, "https://asahi.5ch.io", "news", "1767225600", 0, 10, true},
        // Boards.
        {"https://asahi.5ch.io/news/", B, "https://asahi.5ch.io", "news", "", 0, 0, true},
        {"https://asahi.5ch.io/news/subback.html", B, "https://asahi.5ch.io", "news", "", 0, 0, true},
        {"https://itest.5ch.io/subback/news", B, "https://itest.5ch.io", "news", "", 0, 0, true},
        // Hosts: 5ch.net and 2ch.net under 5ch.io, bbspink, any case, a
        // loopback host with its port.
        {"http://hayabusa9.5ch.net/test/read.cgi/news/123/", T, "http://hayabusa9.5ch.io", "news", "123", 0, 0, true},
        {"http://pc11.2ch.net/unix/", B, "http://pc11.5ch.io", "unix", "", 0, 0, true},
        {"https://mercury.bbspink.com/test/read.cgi/erobbs/456/", T, "https://mercury.bbspink.com", "erobbs", "456", 0, 0, true},
        {"HTTPS://ASAHI.5CH.IO/news/", B, "https://asahi.5ch.io", "news", "", 0, 0, true},
        {"http://127.0.0.1:8080/test/read.cgi/news/1000000001/2-", T, "http://127.0.0.1:8080", "news", "1000000001", 2, 0, false},
        {"http://127.0.0.1:8080/news/", B, "http://127.0.0.1:8080", "news", "", 0, 0, false},
        // Schemes the service's habit cut short.
        {"ttp://asahi.5ch.io/news/", B, "http://asahi.5ch.io", "news", "", 0, 0, true},
        {"tp://asahi.5ch.io/news/", B, "http://asahi.5ch.io", "news", "", 0, 0, true},
        {"ttps://asahi.5ch.io/news/", B, "https://asahi.5ch.io", "news", "", 0, 0, true},
        // Wrappers.
        {"https://jump.5ch.io/?https://asahi.5ch.io/test/read.cgi/news/1/", T, "https://asahi.5ch.io", "news", "1", 0, 0, true},
        {"http://jump.5ch.net/?http://asahi.5ch.net/news/", B, "http://asahi.5ch.io", "news", "", 0, 0, true},
        {"http://jump.2ch.net/?asahi.2ch.net/news/", B, "http://asahi.5ch.io", "news", "", 0, 0, true},
        {"http://ime.nu/asahi.5ch.io/news/", B, "http://asahi.5ch.io", "news", "", 0, 0, true},
        {"http://ime.st/https://asahi.5ch.io/news/", B, "https://asahi.5ch.io", "news", "", 0, 0, true},
        {"ttp://nun.nu/asahi.5ch.io/news/", B, "http://asahi.5ch.io", "news", "", 0, 0, true},
        {"http://pinktower.com/mercury.bbspink.com/erobbs/", B, "http://mercury.bbspink.com", "erobbs", "", 0, 0, true},
        {"https://jump.5ch.io/?http://ime.nu/asahi.5ch.io/news/", B, "http://asahi.5ch.io", "news", "", 0, 0, true},
        // What names nothing zubo opens.
        {"https://asahi.5ch.io/", N, "", "", "", 0, 0, false},
        {"https://asahi.5ch.io/news", N, "", "", "", 0, 0, false},
        {"https://asahi.5ch.io/news/index.html", N, "", "", "", 0, 0, false},
        {"https://asahi.5ch.io/news/?page=2", N, "", "", "", 0, 0, false},
        {"https://asahi.5ch.io/test/", N, "", "", "", 0, 0, false},
        {"https://asahi.5ch.io/test/read.cgi/news/", N, "", "", "", 0, 0, false},
        {"https://asahi.5ch.io/test/read.cgi/news/12a/", N, "", "", "", 0, 0, false},
        {"https://asahi.5ch.io/test/read.cgi/news/123/l0", N, "", "", "", 0, 0, false},
        {"https://asahi.5ch.io/test/read.cgi/news/123/9-2", N, "", "", "", 0, 0, false},
        {"https://asahi.5ch.io/test/read.cgi/news/123/l50n", N, "", "", "", 0, 0, false},
        {"https://asahi.5ch.io/test/read.cgi/news/123/-", N, "", "", "", 0, 0, false},
        {"https://asahi.5ch.io/test/read.cgi/news/123/?v=pc", N, "", "", "", 0, 0, false},
        {"https://asahi.5ch.io/news/kako/x/123.html", N, "", "", "", 0, 0, false},
        {"https://asahi.5ch.io/news/kako/123.html", N, "", "", "", 0, 0, false},
        {"https://itest.5ch.io/news/", N, "", "", "", 0, 0, false},
        {"https://jump.5ch.io/?", N, "", "", "", 0, 0, false},
        {"ftp://asahi.5ch.io/news/", N, "", "", "", 0, 0, false},
        {"asahi.5ch.io/news/", N, "", "", "", 0, 0, false},
        {"https://www.example.com/a.jpg", N, "", "", "", 0, 0, false},
        {"http://a b/news/", N, "", "", "", 0, 0, false},
    };
    for (const Case& c : cases) {
        const ServiceLink link = read_service_link(c.url);
        EXPECT_EQ(link.kind, c.kind) << c.url;
        EXPECT_EQ(link.origin, c.origin) << c.url;
        EXPECT_EQ(link.board, c.board) << c.url;
        EXPECT_EQ(link.key, c.key) << c.url;
        EXPECT_EQ(link.from, c.from) << c.url;
        EXPECT_EQ(link.last, c.last) << c.url;
        EXPECT_EQ(link.service_host, c.service_host) << c.url;
    }
}

TEST(ServiceLink, WrappersComeOffAndSchemesAreCompleted) {
    EXPECT_EQ(unwrapped_link("https://jump.5ch.io/?https://example.com/a?b=1"), "https://example.com/a?b=1");
    EXPECT_EQ(unwrapped_link("ttp://ime.nu/example.com/"), "http://example.com/");
    EXPECT_EQ(unwrapped_link("tp://example.com/"), "http://example.com/");
    // Not a wrapper: a jump host with no link, or another path.
    EXPECT_EQ(unwrapped_link("https://jump.5ch.io/"), "https://jump.5ch.io/");
    EXPECT_EQ(unwrapped_link("https://ime.nu/"), "https://ime.nu/");
    EXPECT_EQ(unwrapped_link("https://ime.nuts.example/x"), "https://ime.nuts.example/x");
}

TEST(ServiceLink, TheMenusHostWinsAndOtherHostsNeedTheMenu) {
    const BoardUrls menu = {{"news", "https://asahi.5ch.io/news/"}, {"loop", "http://127.0.0.1:9/loop/"}};
    const ServiceLink moved = read_service_link("http://hayabusa9.2ch.net/test/read.cgi/news/123/");
    EXPECT_EQ(board_url_of(moved, menu), "https://asahi.5ch.io/news/");
    EXPECT_TRUE(is_service_link(moved, menu));
    const ServiceLink unlisted = read_service_link("https://mi.5ch.io/test/read.cgi/cook/123/");
    EXPECT_EQ(board_url_of(unlisted, menu), "https://mi.5ch.io/cook/");
    EXPECT_TRUE(is_service_link(unlisted, menu));
    // A host of no service: its board at the menu's own host only.
    EXPECT_TRUE(is_service_link(read_service_link("http://127.0.0.1:9/loop/"), menu));
    EXPECT_FALSE(is_service_link(read_service_link("http://127.0.0.1:10/loop/"), menu));
    EXPECT_FALSE(is_service_link(read_service_link("https://github.com/user/"), menu));
    EXPECT_FALSE(is_service_link(read_service_link("https://github.com/news/"), menu));
    EXPECT_FALSE(is_service_link(read_service_link("https://www.example.com/a.jpg"), menu));
}

}  // namespace
}  // namespace zubo
