#include "net/post.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "loopback_server.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace zubo {
namespace {

int mode_of(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

TEST(SendPost, PostsTheFormKeepsTheCookieAndFollowsNoRedirect) {
    LoopbackServer server;
    server.handle("/test/bbs.cgi", [](const LoopbackRequest& req, LoopbackResponse& res) {
        if (req.method != "POST") {
            res.status = 405;
            return;
        }
        if (req.header("Cookie").find("MonaTicket=t1") != std::string::npos) {
            res.set_redirect("/elsewhere");
            return;
        }
        res.set_header("Set-Cookie", "MonaTicket=t1; max-age=1209600; path=/");
        res.set_header("x-resnum", "7");
        res.set_content("body:" + req.body, "text/html");
    });
    test::TempDir dir;
    const std::string jar = dir.file("cookie.txt");
    PostExchange first =
        send_post(server.url("/test/bbs.cgi"), server.url("/test/read.cgi/a/1/"), "a=1&b=%82%A0", jar, {});
    ASSERT_TRUE(first.answered) << first.error;
    EXPECT_EQ(first.status, 200);
    EXPECT_EQ(first.body, "body:a=1&b=%82%A0");
    EXPECT_NE(first.headers.find("x-resnum: 7"), std::string::npos);
    EXPECT_EQ(mode_of(jar), 0600);
    EXPECT_NE(test::read_file(jar).find("MonaTicket\tt1"), std::string::npos);

    const PostExchange second = send_post(server.url("/test/bbs.cgi"), "", "a=2", jar, {});
    ASSERT_TRUE(second.answered) << second.error;
    EXPECT_EQ(second.status, 302);
    const auto seen = server.requests();
    ASSERT_EQ(seen.size(), 2u);  // the redirect's target never asked
    EXPECT_EQ(seen[0].method, "POST");
    EXPECT_EQ(seen[0].header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(seen[0].header("Referer"), server.url("/test/read.cgi/a/1/"));
    EXPECT_EQ(seen[0].header("User-Agent"), "Monazilla/1.00 zubo/0.04");
}

TEST(SendPost, ThroughASessionTheJarIsWrittenAtOnceAndTheCookiesStayOutOfDownloads) {
    LoopbackServer server;
    server.handle("/test/bbs.cgi", [](const LoopbackRequest&, LoopbackResponse& res) {
        res.set_header("Set-Cookie", "MonaTicket=t2; max-age=1209600; path=/");
        res.set_content("ok", "text/html");
    });
    server.serve("/news/subject.txt", "1.dat<>a (1)\n");
    test::TempDir dir;
    const std::string jar = dir.file("cookie.txt");
    DownloadSession session;
    DownloadLimits limits;
    limits.session = &session;
    ASSERT_TRUE(send_post(server.url("/test/bbs.cgi"), "", "a=1", jar, limits).answered);
    EXPECT_NE(test::read_file(jar).find("MonaTicket\tt2"), std::string::npos);  // the session still open
    download_to_file(server.url("/news/subject.txt").c_str(), dir.file("subject.txt").c_str(), limits);
    ASSERT_TRUE(drop_ticket(jar));
    ASSERT_TRUE(send_post(server.url("/test/bbs.cgi"), "", "a=2", jar, limits).answered);
    const auto seen = server.requests();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_FALSE(seen[1].has_header("Cookie"));  // the download
    EXPECT_FALSE(seen[2].has_header("Cookie"));  // the dropped ticket stays dropped
}

TEST(SendPost, NoServerIsNoAnswer) {
    int port = 0;
    {
        LoopbackServer gone;
        port = gone.port();
    }
    test::TempDir dir;
    const PostExchange exchange =
        send_post("http://127.0.0.1:" + std::to_string(port) + "/test/bbs.cgi", "", "a=1", dir.file("c"), {});
    EXPECT_FALSE(exchange.answered);
    EXPECT_FALSE(exchange.error.empty());
}

TEST(CookieFile, ExpiringTicketsGoOthersStay) {
    test::TempDir dir;
    const std::string jar = dir.file("cookie.txt");
    const long long now = 1767225600;
    const std::string head = "# Netscape HTTP Cookie File\n\n";
    const std::string soon = "127.0.0.1\tFALSE\t/\tFALSE\t" + std::to_string(now + 3600) + "\tMonaTicket\tsoon\n";
    const std::string past = "#HttpOnly_.5ch.io\tTRUE\t/\tTRUE\t" + std::to_string(now - 1) + "\tMonaTicket\told\n";
    const std::string later = ".5ch.io\tTRUE\t/\tTRUE\t" + std::to_string(now + 86400 + 60) + "\tMonaTicket\tnew\n";
    const std::string other = ".5ch.io\tTRUE\t/\tFALSE\t" + std::to_string(now + 60) + "\tyuki\tx\n";
    test::write_file(jar, head + soon + past + later + other);
    ASSERT_TRUE(drop_expiring_tickets(jar, now));
    EXPECT_EQ(test::read_file(jar), head + later + other);
    EXPECT_EQ(mode_of(jar), 0600);
    ASSERT_TRUE(drop_ticket(jar));
    EXPECT_EQ(test::read_file(jar), head + other);
    EXPECT_TRUE(drop_ticket(dir.file("absent")));
}

}  // namespace
}  // namespace zubo
