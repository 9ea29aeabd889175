#include "net/download.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "loopback_server.h"
#include "support/e2e.h"
#include "support/files.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace zubo {
namespace {

using test::file_exists;
using test::names_in;
using test::read_file;
using test::TempDir;
using test::write_file;

using namespace std::string_literals;

constexpr char kBinaryType[] = "application/octet-stream";  // never compressed by the server

using test::ScopedEnv;

// Every byte value, repeated: NULs, CRs and LFs must come through as sent.
std::string binary_body(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return body;
}

class Download : public ::testing::Test {
protected:
    // Requests go straight to the loopback server, whatever the caller's
    // environment says about proxies.
    ScopedEnv no_proxies_{{"http_proxy", std::nullopt}, {"HTTP_PROXY", std::nullopt}, {"https_proxy", std::nullopt},
                          {"HTTPS_PROXY", std::nullopt}, {"all_proxy", std::nullopt}, {"ALL_PROXY", std::nullopt},
                          {"no_proxy", std::nullopt},   {"NO_PROXY", std::nullopt}};
    LoopbackServer server_;
    TempDir dir_;
    std::string target_ = dir_.file("body.txt");

    DownloadResult fetch(const std::string& path) { return download_to_file(server_.url(path).c_str(), target_.c_str()); }
};

TEST_F(Download, AsksWithoutCacheUnderTheVersionName) {
    server_.serve("/board/subject.txt", "1.dat<>t (1)\n");
    ASSERT_TRUE(fetch("/board/subject.txt").ok());

    ASSERT_EQ(server_.request_count(), 1u);
    SeenRequest seen = server_.requests()[0];
    EXPECT_EQ(seen.target, "/board/subject.txt");
    EXPECT_EQ(seen.header("User-Agent"), "Monazilla/1.00 zubo (varsion 0.04)");
    EXPECT_EQ(seen.header("Cache-Control"), "no-cache");
    EXPECT_EQ(seen.header("Pragma"), "no-cache");
    EXPECT_NE(seen.header("Accept-Encoding").find("gzip"), std::string::npos) << seen.header("Accept-Encoding");
    EXPECT_EQ(read_file(target_), "1.dat<>t (1)\n");
}

TEST_F(Download, StoresTheWholeBodyAsSent) {
    const std::string big = binary_body(100 * 1024);
    const std::string text(3 * 32768 + 5, 'a');
    struct Case {
        const char* name;
        std::string body;
        std::string content_type;
        std::string content_encoding;
        std::string stored;
    } cases[] = {
        {"100 KB in several reads", big, kBinaryType, "", big},
        {"gzip on the wire", gzip(text), kBinaryType, "gzip", text},
        {"text the server may compress itself", text, "text/plain", "", text},
    };
    for (const Case& c : cases) {
        server_.handle("/doc", [&c](const LoopbackRequest&, LoopbackResponse& res) {
            if (!c.content_encoding.empty()) res.set_header("Content-Encoding", c.content_encoding);
            res.set_content(c.body, c.content_type);
        });
        EXPECT_TRUE(fetch("/doc").ok()) << c.name;
        std::string stored = read_file(target_);
        EXPECT_EQ(stored.size(), c.stored.size()) << c.name;
        EXPECT_TRUE(stored == c.stored) << c.name;
    }
    EXPECT_EQ(names_in(dir_.path()), std::set<std::string>{"body.txt"});
}

TEST_F(Download, EmptyBodyGivesAnEmptyFile) {
    server_.serve("/empty", "");
    for (bool existed : {false, true}) {
        if (existed) write_file(target_, "old content\n");
        EXPECT_TRUE(fetch("/empty").ok()) << existed;
        EXPECT_TRUE(file_exists(target_)) << existed;
        EXPECT_EQ(read_file(target_), "") << existed;
    }
}

TEST_F(Download, FollowsARedirect) {
    server_.handle("/board/dat/1.dat", [](const LoopbackRequest&, LoopbackResponse& res) {
        res.set_redirect("/moved/dat/1.dat");
    });
    server_.serve("/moved/dat/1.dat", "a<>b<>c<>d<>\n");
    EXPECT_TRUE(fetch("/board/dat/1.dat").ok());
    EXPECT_EQ(read_file(target_), "a<>b<>c<>d<>\n");
    ASSERT_EQ(server_.request_count(), 2u);
    EXPECT_EQ(server_.requests()[1].target, "/moved/dat/1.dat");
}

// A redirect is followed only to the same file name, however it is
// written; any other leaves the file as it was and is never requested.
TEST_F(Download, FollowsARedirectOnlyToTheSameFileName) {
    const std::string https = "https://127.0.0.1:" + std::to_string(server_.port());
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> redirects;  // path, and where it leads
        DownloadFailure failure;
    } cases[] = {
        {"thread to the archive", {{"/news/dat/1234567890.dat", "/news/oyster/1234/1234567890.dat"}}, DownloadFailure::kNone},
        {"relative, two hops",
         {{"/news/dat/1234567890.dat", "../moved/1234567890.dat"}, {"/news/moved/1234567890.dat", "/far/1234567890.dat"}},
         DownloadFailure::kNone},
        {"list to another board path", {{"/news/subject.txt", "/news2/subject.txt"}}, DownloadFailure::kNone},
        // Followed: the TLS handshake with the plain loopback server is what fails.
        {"menu to https", {{"/bbsmenu.html", https + "/bbsmenu.html"}}, DownloadFailure::kSecureChannel},
        {"thread to an HTML page", {{"/news/dat/1234567890.dat", "/news/kako/index.html"}}, DownloadFailure::kRedirectRefused},
        {"list to the board's page", {{"/news/subject.txt", "/news/"}}, DownloadFailure::kRedirectRefused},
        {"thread to another thread", {{"/news/dat/1234567890.dat", "/news/dat/1234567891.dat"}},
         DownloadFailure::kRedirectRefused},
        {"same name, other case", {{"/news/subject.txt", "/news/SUBJECT.TXT"}}, DownloadFailure::kRedirectRefused},
        {"same name, not http", {{"/news/subject.txt", "ftp://127.0.0.1/news/subject.txt"}}, DownloadFailure::kRedirectRefused},
        {"good hop, then a page",
         {{"/news/dat/1234567890.dat", "/far/1234567890.dat"}, {"/far/1234567890.dat", "/far/index.html"}},
         DownloadFailure::kRedirectRefused},
    };
    const std::string previous = "1<>2<>3<>previous copy<>\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server;
        for (const auto& [path, location] : c.redirects) {
            server.handle(path, [location = location](const LoopbackRequest&, LoopbackResponse& res) {
                res.set_redirect(location, 302);
            });
        }
        // Wherever the last redirect leads on this server, a document waits.
        server.handle_others([](const LoopbackRequest&, LoopbackResponse& res) {
            res.set_content("a<>b<>c<>redirected<>\n", kBinaryType);
        });
        write_file(target_, previous);

        const std::string url = server.url(c.redirects[0].first);
        DownloadResult result = download_to_file(url.c_str(), target_.c_str());
        EXPECT_EQ(result.failure, c.failure);
        const std::vector<SeenRequest> seen = server.requests();
        if (c.failure == DownloadFailure::kNone) {
            EXPECT_EQ(read_file(target_), "a<>b<>c<>redirected<>\n");
            EXPECT_EQ(seen.size(), c.redirects.size() + 1);
        } else {
            EXPECT_EQ(read_file(target_), previous);
            EXPECT_EQ(names_in(dir_.path()), std::set<std::string>{"body.txt"});
        }
        if (c.failure == DownloadFailure::kRedirectRefused) {
            EXPECT_EQ(result.status, 302);
            EXPECT_EQ(seen.size(), c.redirects.size()) << "the refused target was asked for";
        }
    }
}

TEST_F(Download, FirstForbiddenIsAskedAgainOnTheSameConnection) {
    struct Case {
        const char* name;
        std::vector<int> statuses;  // of the answers in turn; the last repeats
        DownloadFailure failure;
        long status;
        std::size_t requests;
    } cases[] = {
        {"403, then the document", {403, 200}, DownloadFailure::kNone, 200, 2},
        {"403 twice counts", {403}, DownloadFailure::kHttpStatus, 403, 2},
        {"404 is not asked again", {404, 200}, DownloadFailure::kHttpStatus, 404, 1},
        {"a second 403 after a redirect counts", {403, 302, 403, 200}, DownloadFailure::kHttpStatus, 403, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server;
        std::atomic<std::size_t> answered{0};
        server.handle("/news/subject.txt", [&](const LoopbackRequest&, LoopbackResponse& res) {
            std::size_t n = std::min(answered++, c.statuses.size() - 1);
            res.status = c.statuses[n];
            if (res.status == 302) res.set_header("Location", "/news/subject.txt");
            res.set_content(res.status == 200 ? "1.dat<>t (1)\n" : "<html>refused</html>\n", "text/html");
        });
        std::filesystem::remove(target_);

        DownloadResult result = download_to_file(server.url("/news/subject.txt").c_str(), target_.c_str());
        EXPECT_EQ(result.failure, c.failure);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(file_exists(target_), c.failure == DownloadFailure::kNone);
        const std::vector<SeenRequest> seen = server.requests();
        ASSERT_EQ(seen.size(), c.requests);
        for (const SeenRequest& request : seen) EXPECT_EQ(request.remote_port, seen[0].remote_port);
    }
}

TEST_F(Download, SessionKeepsOneConnectionForEveryDownload) {
    server_.serve("/news/subject.txt", "1234567890.dat<>t (2)\n");
    server_.serve("/news/dat/1234567890.dat", "a<>b<>c<>first post of the thread<>\n");
    const std::string thread = dir_.file("thread.dat");
    auto three_downloads = [&](const DownloadLimits& limits) {
        std::filesystem::remove(thread);
        EXPECT_TRUE(download_to_file(server_.url("/news/subject.txt").c_str(), target_.c_str(), limits).ok());
        EXPECT_TRUE(update_copy(server_.url("/news/dat/1234567890.dat").c_str(), thread.c_str(), limits).ok());
        EXPECT_TRUE(update_copy(server_.url("/news/dat/1234567890.dat").c_str(), thread.c_str(), limits).ok());
        std::set<int> ports;
        for (const SeenRequest& seen : server_.requests()) ports.insert(seen.remote_port);
        return ports.size();
    };
    {
        // Started early, as zubo starts it: the handle made on the other
        // thread is the one every download rides.
        DownloadSession session;
        session.start_early();
        DownloadLimits limits;
        limits.session = &session;
        EXPECT_EQ(three_downloads(limits), 1u);
    }
    {
        DownloadSession unused;
        unused.start_early();  // and ended before it was ever used
    }
    // Without a session each download has a connection of its own.
    EXPECT_EQ(three_downloads(DownloadLimits{}), 1u + 3u);
}

// A thread document of the given posts.
std::string thread_doc(int posts, int first = 1) {
    std::string doc;
    for (int n = first; n < first + posts; ++n) {
        doc += "name<>sage<>2026/01/01 00:00:00 ID:" + std::to_string(n) + "<>post " + std::to_string(n) + "<>\n";
    }
    return doc;
}

// How the server answers a thread's document.
enum class Serving {
    kRanges,          // 206 and the part asked for, 416 past the end
    kIgnoresRanges,   // 200 and the whole document
    kSlicesUnder200,  // the part asked for, but with 200 (and its Content-Range)
    kOtherPart,       // 206 and the part asked for, but a Content-Range from 0
    kNotFound,
    kCutShort,        // 206, then 20 bytes, then the connection drops
};

constexpr char kThreadPath[] = "/news/dat/1234567890.dat";

void serve_thread(LoopbackServer& server, Serving how, const std::string& doc) {
    switch (how) {
    case Serving::kRanges:
        return server.serve(kThreadPath, doc, 200, kBinaryType);
    case Serving::kIgnoresRanges:
        return server.serve_ignoring_ranges(kThreadPath, doc);
    case Serving::kSlicesUnder200:
        return server.handle(kThreadPath, [doc](const LoopbackRequest&, LoopbackResponse& res) {
            res.status = 200;
            res.set_content(doc, kBinaryType);
        });
    case Serving::kOtherPart:
        return server.handle(kThreadPath, [doc](const LoopbackRequest& req, LoopbackResponse& res) {
            if (req.range_start < 0) return res.set_content(doc, kBinaryType);
            std::string part = doc.substr(static_cast<std::size_t>(req.range_start));
            res.status = 206;
            res.set_header("Content-Range", "bytes 0-" + std::to_string(part.size() - 1) + "/" + std::to_string(doc.size()));
            res.stream_whole(kBinaryType, part);
        });
    case Serving::kNotFound:
        return server.serve(kThreadPath, "<html>404</html>\n", 404, "text/html");
    case Serving::kCutShort:
        return server.handle(kThreadPath, [doc](const LoopbackRequest&, LoopbackResponse& res) {
            res.set_content_provider(doc.size(), kBinaryType, [doc](size_t offset, size_t length, BodyWriter& sink) {
                sink.write(doc.data() + offset, std::min<size_t>(length, 20));
                return false;
            });
        });
    }
}

TEST_F(Download, UpdateAsksOnlyForWhatFollowsTheCopy) {
    const std::string three = thread_doc(3), five = thread_doc(5);
    std::string edited = five;  // the last post edited on the server, same length
    edited.replace(edited.rfind("post 5"), 6, "POST 5");
    const std::string fourth_deleted = thread_doc(3) + thread_doc(1, 5);
    const std::string second_deleted_two_new = thread_doc(1) + thread_doc(5, 3);
    const std::string sixteen = "a<>b<>c<>dddd<>\n";
    auto range_at = [](const std::string& copy) { return "bytes=" + std::to_string(copy.size() - 16) + "-"; };
    struct Case {
        const char* name;
        std::optional<std::string> copy;
        Serving how;
        std::string doc;
        std::vector<std::string> ranges;  // the Range of each request; "" for none
        DownloadFailure failure;
    } cases[] = {
        {"nothing new", five, Serving::kRanges, five, {range_at(five)}, DownloadFailure::kNone},
        {"new posts appended", three, Serving::kRanges, five, {range_at(three)}, DownloadFailure::kNone},
        {"copy of just the overlap", sixteen, Serving::kRanges, sixteen + three, {"bytes=0-"}, DownloadFailure::kNone},
        {"last post edited", five, Serving::kRanges, edited, {range_at(five), ""}, DownloadFailure::kNone},
        {"post deleted near the end", five, Serving::kRanges, fourth_deleted, {range_at(five), ""}, DownloadFailure::kNone},
        {"post deleted, posts added", three, Serving::kRanges, second_deleted_two_new, {range_at(three), ""},
         DownloadFailure::kNone},
        {"server ignores ranges", three, Serving::kIgnoresRanges, five, {range_at(three)}, DownloadFailure::kNone},
        {"a slice under 200", three, Serving::kSlicesUnder200, five, {range_at(three), ""}, DownloadFailure::kNone},
        {"206 of another part", three, Serving::kOtherPart, five, {range_at(three), ""}, DownloadFailure::kNone},
        {"copy without its last newline", three.substr(0, three.size() - 1), Serving::kRanges, five, {""},
         DownloadFailure::kNone},
        {"copy shorter than the overlap", sixteen.substr(1), Serving::kRanges, five, {""}, DownloadFailure::kNone},
        {"no copy", std::nullopt, Serving::kRanges, five, {""}, DownloadFailure::kNone},
        {"404 to the range", three, Serving::kNotFound, five, {range_at(three)}, DownloadFailure::kHttpStatus},
        {"cut in the new part", three, Serving::kCutShort, five, {range_at(three)}, DownloadFailure::kInterrupted},
    };
    // Alone, and as one of the copies brought up to date at once: the same rules.
    for (const bool at_once : {false, true})
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (at_once ? ", at once" : ""));
        LoopbackServer server;
        serve_thread(server, c.how, c.doc);
        std::filesystem::remove(target_);
        if (c.copy) write_file(target_, *c.copy);

        const std::string url = server.url(kThreadPath);
        CopyUpdate update;
        update.url = url;
        update.path = target_;
        DownloadResult result = at_once ? update_copies({update}, DownloadLimits{}, nullptr).at(0)
                                        : update_copy(url.c_str(), target_.c_str());
        EXPECT_FALSE(result.from_archive);
        EXPECT_EQ(result.failure, c.failure);
        EXPECT_EQ(read_file(target_), c.failure == DownloadFailure::kNone ? c.doc : c.copy.value_or(""));
        EXPECT_EQ(names_in(dir_.path()), std::set<std::string>{"body.txt"});
        const std::vector<SeenRequest> seen = server.requests();
        ASSERT_EQ(seen.size(), c.ranges.size());
        for (std::size_t i = 0; i < seen.size(); ++i) {
            EXPECT_EQ(seen[i].header("Range"), c.ranges[i]) << i;
            // A range counts stored bytes: it goes without compression.
            if (c.ranges[i].empty()) EXPECT_NE(seen[i].header("Accept-Encoding"), "") << i;
            else EXPECT_FALSE(seen[i].has_header("Accept-Encoding")) << i;
        }
        if (c.how == Serving::kRanges && c.ranges.size() == 1 && !c.ranges[0].empty()) {
            EXPECT_EQ(seen[0].body_bytes, 16 + c.doc.size() - c.copy->size());
        }
    }
}

// Lowers this process's file-size limit for one scope: a write past it
// fails with EFBIG, as on a full disk.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit lowered{bytes, saved.rlim_max};
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, was_ignored);
    }
    sighandler_t was_ignored = signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
};

TEST_F(Download, DocumentTheDiskRefusesIsKeptWholeInMemory) {
    // About 135 KB: past the limit in its second buffer's write.
    const std::string three = thread_doc(3), doc = thread_doc(3000);
    const std::string page = "<html>" + std::string(200000, 'p') + "</html>\n";
    auto thread_like = [](std::FILE* f) { return std::fgetc(f) != '<'; };
    constexpr DownloadFailure kSaveFailed = DownloadFailure::kLocalFile;
    struct Case {
        const char* name;
        std::string target;
        rlim_t limit;
        std::optional<std::string> copy;
        std::string served;
        DownloadFailure failure;
        int error;  // and the document comes back; 0: it doesn't
    } cases[] = {
        {"no directory for the copy", dir_.file("gone/body.txt"), RLIM_INFINITY, {}, doc, kSaveFailed, ENOENT},
        {"whole, past the file-size limit", target_, 100000, {}, doc, kSaveFailed, EFBIG},
        {"appended, past the file-size limit", target_, 100000, three, doc, kSaveFailed, EFBIG},
        {"a page in its place, past the limit", target_, 100000, three, page, DownloadFailure::kNotTheDocument, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server;
        serve_thread(server, Serving::kRanges, c.served);
        std::filesystem::remove(target_);
        if (c.copy) write_file(target_, *c.copy);

        DownloadResult result;
        {
            FileSizeLimit limit(c.limit);
            result = update_copy(server.url(kThreadPath).c_str(), c.target.c_str(), thread_like, {});
        }
        EXPECT_EQ(result.failure, c.failure);
        EXPECT_EQ(result.save_error, c.error);
        EXPECT_TRUE(result.unsaved == (c.error ? std::optional(c.served) : std::nullopt));
        EXPECT_EQ(read_file(target_), c.copy.value_or(""));
        EXPECT_EQ(names_in(dir_.path()), c.copy ? std::set<std::string>{"body.txt"} : std::set<std::string>{});
    }
}

TEST_F(Download, UpdateWithNothingNewLeavesTheFileUntouched) {
    const std::string doc = thread_doc(1001);
    serve_thread(server_, Serving::kRanges, doc);
    write_file(target_, doc);
    const auto written = std::filesystem::last_write_time(target_) - std::chrono::hours(1);
    std::filesystem::last_write_time(target_, written);
    struct stat before {};
    ASSERT_EQ(stat(target_.c_str(), &before), 0);

    EXPECT_TRUE(update_copy(server_.url(kThreadPath).c_str(), target_.c_str()).ok());

    struct stat after {};
    ASSERT_EQ(stat(target_.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(std::filesystem::last_write_time(target_), written);
    ASSERT_EQ(server_.requests().size(), 1u);
    EXPECT_EQ(server_.requests()[0].status, 206);
    EXPECT_EQ(server_.requests()[0].body_bytes, 16u);
}

TEST_F(Download, FailureLeavesTheFileAsItWas) {
    server_.serve("/gone", "<html>404 Not Found</html>", 404);
    server_.serve("/broken", "<html>500 Internal Server Error</html>", 500);
    // Announces 10,000 bytes, sends 1,000, then drops the connection.
    server_.handle("/cut", [](const LoopbackRequest&, LoopbackResponse& res) {
        res.set_content_provider(10000, kBinaryType, [](size_t offset, size_t, BodyWriter& sink) {
            if (offset > 0) return false;
            std::string part(1000, 'x');
            sink.write(part.data(), part.size());
            return true;
        });
    });
    const std::string nowhere = test::closed_url("/board/subject.txt");
    const std::string previous = "previous copy\r\n\0with a NUL\n"s + binary_body(300);

    server_.serve("/page", "<html>maintenance</html>\n");
    DownloadLimits given_up;
    given_up.cancelled = [] { return true; };
    struct Case {
        const char* name;
        std::string url;
        DownloadFailure failure;
        long status;
        DocumentRules rules = {};
        DownloadLimits limits = {};
    } cases[] = {
        {"closed port", nowhere, DownloadFailure::kCannotConnect, 0},
        {"404", server_.url("/gone"), DownloadFailure::kHttpStatus, 404},
        {"500", server_.url("/broken"), DownloadFailure::kHttpStatus, 500},
        {"dropped mid-body", server_.url("/cut"), DownloadFailure::kInterrupted, 200},
        {"a page in place of the document", server_.url("/page"), DownloadFailure::kNotTheDocument, 200,
         {[](std::FILE* f) { return std::fgetc(f) != '<'; }, true}},
        {"given up", server_.url("/page"), DownloadFailure::kCancelled, 0, {}, given_up},
    };
    for (const Case& c : cases) {
        for (bool existed : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (existed ? ", file existed" : ", no file"));
            std::filesystem::remove(target_);
            if (existed) write_file(target_, previous);
            DownloadResult result = download_to_file(c.url.c_str(), target_.c_str(), c.rules, c.limits);
            EXPECT_EQ(result.failure, c.failure);
            EXPECT_EQ(result.status, c.status);
            if (existed) {
                EXPECT_TRUE(read_file(target_) == previous);
                EXPECT_EQ(names_in(dir_.path()), std::set<std::string>{"body.txt"});
            } else {
                EXPECT_EQ(names_in(dir_.path()), std::set<std::string>{});
            }
        }
    }
}

TEST_F(Download, ConditionalDownloadKeepsACurrentCopyAndItsDate) {
    // Mon, 01 Jan 2024 00:00:00 GMT
    constexpr time_t kModified = 1704067200;
    std::vector<std::string> asked;
    server_.handle("/subject.txt", [&](const LoopbackRequest& req, LoopbackResponse& res) {
        asked.push_back(req.header("If-Modified-Since"));
        if (!asked.back().empty()) {
            res.status = 304;
            return;
        }
        res.set_header("Last-Modified", "Mon, 01 Jan 2024 00:00:00 GMT");
        res.set_content("1.dat<>t (1)\n", kBinaryType);
    });
    const DocumentRules conditional{nullptr, true};
    const std::string url = server_.url("/subject.txt");
    ASSERT_TRUE(download_to_file(url.c_str(), target_.c_str(), conditional, {}).ok());
    struct stat info;
    ASSERT_EQ(stat(target_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, kModified);

    DownloadResult again = download_to_file(url.c_str(), target_.c_str(), conditional, {});
    EXPECT_TRUE(again.ok());
    EXPECT_EQ(again.status, 304);
    EXPECT_EQ(read_file(target_), "1.dat<>t (1)\n");
    EXPECT_EQ(asked, (std::vector<std::string>{"", "Mon, 01 Jan 2024 00:00:00 GMT"}));
    EXPECT_EQ(names_in(dir_.path()), std::set<std::string>{"body.txt"});

    // A copy that is no such document is asked for whole.
    write_file(target_, "<html>a page stored long ago</html>\n");
    const DocumentRules checked{[](std::FILE* f) { return std::fgetc(f) != '<'; }, true};
    EXPECT_TRUE(download_to_file(url.c_str(), target_.c_str(), checked, {}).ok());
    EXPECT_EQ(asked.back(), "");
    EXPECT_EQ(read_file(target_), "1.dat<>t (1)\n");
}

TEST_F(Download, LeftoversOlderThanAnHourAreRemovedBeforeTheNextDownload) {
    server_.serve("/body.txt", "new\n");
    const timeval two_hours_ago[2] = {{time(nullptr) - 7200, 0}, {time(nullptr) - 7200, 0}};
    for (const char* name : {".body.txt.part-Q1OaMj", ".other.part-abcdef", ".keep.part-x", "keep.part-abcdef"}) {
        write_file(dir_.file(name), "x");
        utimes(dir_.file(name).c_str(), two_hours_ago);
    }
    write_file(dir_.file(".body.txt.part-recent"), "x");
    ASSERT_TRUE(fetch("/body.txt").ok());
    EXPECT_EQ(names_in(dir_.path()),
              (std::set<std::string>{"body.txt", ".body.txt.part-recent", ".keep.part-x", "keep.part-abcdef"}));
}

TEST_F(Download, GoesThroughTheProxyOfTheEnvironment) {
    ScopedEnv proxy{{"http_proxy", server_.url("")}};
    server_.serve("http://board.example.invalid/news/subject.txt", "via proxy\n");
    EXPECT_TRUE(download_to_file("http://board.example.invalid/news/subject.txt", target_.c_str()).ok());
    ASSERT_EQ(server_.request_count(), 1u);
    EXPECT_EQ(server_.requests()[0].target, "http://board.example.invalid/news/subject.txt");
    EXPECT_EQ(read_file(target_), "via proxy\n");
}

TEST_F(Download, StalledServerCountsAsFailed) {
    server_.handle("/slow", [](const LoopbackRequest&, LoopbackResponse& res) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        res.set_content("too late", "text/plain");
    });
    write_file(target_, "kept\n");
    DownloadLimits limits;
    limits.stall_seconds = 1;

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(download_to_file(server_.url("/slow").c_str(), target_.c_str(), limits).failure,
              DownloadFailure::kTimedOut);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_LT(waited, std::chrono::milliseconds(2500));
    EXPECT_EQ(read_file(target_), "kept\n");
}

// Copies on two servers brought up to date at once: one server stalls, the
// other's copies arrive all the same, the gone one from its fallback, and
// neither server ever has more than two of them at a time.
TEST_F(Download, CopiesAtOnceLeaveAStalledServerToItself) {
    LoopbackServer stalled;
    std::atomic<int> in_flight{0}, most{0};
    auto counted = [&](std::string body) {
        return [&, body](const LoopbackRequest&, LoopbackResponse& res) {
            const int now = ++in_flight;
            for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            --in_flight;
            res.set_content(body, kBinaryType);
        };
    };
    stalled.handle_others([](const LoopbackRequest&, LoopbackResponse& res) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        res.set_content("too late\n", kBinaryType);
    });
    for (int n = 1; n <= 5; ++n) server_.handle("/t" + std::to_string(n), counted("a<>b<>c<>" + std::to_string(n) + "\n"));
    server_.serve("/gone", "<html>404</html>\n", 404, "text/html");
    server_.serve("/archive", "archived<>\n");
    std::vector<std::string> urls = {stalled.url("/s1"), server_.url("/t1"), server_.url("/t2"), stalled.url("/s2"),
                                     server_.url("/t3"), server_.url("/t4"), server_.url("/gone"), server_.url("/t5")};
    const std::string archive = server_.url("/archive");
    std::vector<std::string> paths;
    std::vector<CopyUpdate> updates;
    for (std::size_t i = 0; i < urls.size(); ++i) paths.push_back(dir_.file("copy" + std::to_string(i)));
    for (std::size_t i = 0; i < urls.size(); ++i) {
        CopyUpdate update;
        update.url = urls[i];
        update.path = paths[i];
        update.fallback = archive;
        update.falls_back = is_gone;
        updates.push_back(update);
    }
    DownloadLimits limits;
    limits.stall_seconds = 1;
    std::vector<std::size_t> told;

    auto start = std::chrono::steady_clock::now();
    std::vector<DownloadResult> results = update_copies(updates, limits, [&](std::size_t n) { told.push_back(n); });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2800));

    ASSERT_EQ(results.size(), urls.size());
    for (std::size_t i : {0, 3}) {
        EXPECT_EQ(results[i].failure, DownloadFailure::kTimedOut) << i;
        EXPECT_FALSE(file_exists(paths[i])) << i;
    }
    for (std::size_t i : {1, 2, 4, 5, 7}) {
        EXPECT_TRUE(results[i].ok()) << i;
        EXPECT_FALSE(results[i].from_archive) << i;
        EXPECT_EQ(read_file(paths[i]).substr(0, 6), "a<>b<>") << i;
    }
    EXPECT_TRUE(results[6].ok());
    EXPECT_TRUE(results[6].from_archive);
    EXPECT_EQ(read_file(paths[6]), "archived<>\n");
    EXPECT_EQ(told, (std::vector<std::size_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(most.load(), kDownloadsPerServer);
}

// Cancelled before it starts, nothing is asked and every copy says so.
TEST_F(Download, CopiesAtOnceCancelledAskNothing) {
    const std::string url = server_.url("/t");
    CopyUpdate update;
    update.url = url;
    update.path = target_.c_str();
    DownloadLimits limits;
    limits.cancelled = [] { return true; };
    std::vector<DownloadResult> results = update_copies({update, update}, limits, nullptr);
    ASSERT_EQ(results.size(), 2u);
    for (const DownloadResult& result : results) EXPECT_EQ(result.failure, DownloadFailure::kCancelled);
    EXPECT_EQ(server_.request_count(), 0u);
}

// A transfer that has received nothing for a while says so once; one that
// answers at once says nothing.
TEST_F(Download, QuietTransferIsToldOnce) {
    static int told = 0;
    server_.handle("/slow", [](const LoopbackRequest&, LoopbackResponse& res) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2300));
        res.set_content("late\n", "text/plain");
    });
    server_.serve("/quick", "quick\n");
    DownloadLimits limits;
    limits.quiet_seconds = 1;
    limits.quiet = [] { ++told; };
    for (const auto& [path, times] : {std::pair<std::string, int>{"/quick", 0}, {"/slow", 1}}) {
        told = 0;
        EXPECT_TRUE(download_to_file(server_.url(path).c_str(), target_.c_str(), limits).ok()) << path;
        EXPECT_EQ(told, times) << path;
    }
}

// A body past the cap fails, whether its length was announced or it only
// kept coming; the file is left as it was. One at the cap is taken.
TEST_F(Download, BodyPastItsCapFailsAsTooLarge) {
    DownloadLimits limits;
    limits.max_body_bytes = 1000;
    server_.serve("/announced", binary_body(1001), 200, kBinaryType);
    server_.handle("/streamed", [](const LoopbackRequest&, LoopbackResponse& res) {
        res.set_chunked_content_provider(kBinaryType, [](std::size_t, BodyWriter& sink) {
            const std::string part = binary_body(600);
            return sink.write(part.data(), part.size()) && sink.write(part.data(), part.size()) && (sink.done(), true);
        });
    });
    server_.serve("/at-cap", binary_body(1000), 200, kBinaryType);
    write_file(target_, "old copy");
    for (const char* path : {"/announced", "/streamed"}) {
        DownloadResult result = download_to_file(server_.url(path).c_str(), target_.c_str(), limits);
        EXPECT_EQ(result.failure, DownloadFailure::kTooLarge) << path;
        EXPECT_EQ(read_file(target_), "old copy") << path;
    }
    DownloadResult result = download_to_file(server_.url("/at-cap").c_str(), target_.c_str(), limits);
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(read_file(target_), binary_body(1000));
}

TEST_F(Download, RemembersTheAnswersContentType) {
    server_.serve("/pic", "not really", 200, "image/png");
    DownloadResult result = fetch("/pic");
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.content_type, "image/png");
    server_.serve("/page", "<html>", 404, "text/html");
    EXPECT_EQ(fetch("/page").content_type, "text/html");
}

}  // namespace
}  // namespace zubo
