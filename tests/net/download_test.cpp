#include "net/download.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/files.h"
#include "loopback_server.h"
#include "support/temp_dir.h"

namespace zubo {
namespace {

using test::file_exists;
using test::read_file;
using test::TempDir;
using test::write_file;

using namespace std::string_literals;

constexpr char kBinaryType[] = "application/octet-stream";  // never compressed by the server

// Sets (or, with no value, clears) environment variables for one scope and
// puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(std::initializer_list<std::pair<const char*, std::optional<std::string>>> values) {
        for (const auto& [name, value] : values) {
            const char* old = std::getenv(name);
            saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            if (value) setenv(name, value->c_str(), 1);
            else unsetenv(name);
        }
    }
    ~ScopedEnv() {
        for (const auto& [name, value] : saved_) {
            if (value) setenv(name.c_str(), value->c_str(), 1);
            else unsetenv(name.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

std::set<std::string> names_in(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

// Every byte value, repeated: NULs, CRs and LFs must come through as sent.
std::string binary_body(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return body;
}

std::string gzip(const std::string& plain) {
    std::string packed;
    httplib::detail::gzip_compressor compressor;
    bool ok = compressor.compress(plain.data(), plain.size(), true, [&](const char* data, size_t size) {
        packed.append(data, size);
        return true;
    });
    EXPECT_TRUE(ok);
    return packed;
}

// A port nothing listens on: one a server just gave up.
int closed_port() {
    LoopbackServer gone;
    return gone.port();
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
    EXPECT_EQ(seen.header("User-Agent"), "zubo (varsion 0.04)");
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
        server_.handle("/doc", [&c](const httplib::Request&, httplib::Response& res) {
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
    server_.handle("/board/dat/1.dat", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/moved/dat/1.dat");
    });
    server_.serve("/moved/dat/1.dat", "a<>b<>c<>d<>\n");
    EXPECT_TRUE(fetch("/board/dat/1.dat").ok());
    EXPECT_EQ(read_file(target_), "a<>b<>c<>d<>\n");
    ASSERT_EQ(server_.request_count(), 2u);
    EXPECT_EQ(server_.requests()[1].target, "/moved/dat/1.dat");
}

TEST_F(Download, FailureLeavesTheFileAsItWas) {
    server_.serve("/gone", "<html>404 Not Found</html>", 404);
    server_.serve("/broken", "<html>500 Internal Server Error</html>", 500);
    // Announces 10,000 bytes, sends 1,000, then drops the connection.
    server_.handle("/cut", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(10000, kBinaryType, [](size_t offset, size_t, httplib::DataSink& sink) {
            if (offset > 0) return false;
            std::string part(1000, 'x');
            sink.write(part.data(), part.size());
            return true;
        });
    });
    const std::string nowhere = "http://127.0.0.1:" + std::to_string(closed_port()) + "/board/subject.txt";
    const std::string previous = "previous copy\r\n\0with a NUL\n"s + binary_body(300);

    struct Case {
        const char* name;
        std::string url;
        DownloadFailure failure;
        long status;
    } cases[] = {
        {"closed port", nowhere, DownloadFailure::kCannotConnect, 0},
        {"404", server_.url("/gone"), DownloadFailure::kHttpStatus, 404},
        {"500", server_.url("/broken"), DownloadFailure::kHttpStatus, 500},
        {"dropped mid-body", server_.url("/cut"), DownloadFailure::kInterrupted, 200},
    };
    for (const Case& c : cases) {
        for (bool existed : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (existed ? ", file existed" : ", no file"));
            std::filesystem::remove(target_);
            if (existed) write_file(target_, previous);
            DownloadResult result = download_to_file(c.url.c_str(), target_.c_str());
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

TEST_F(Download, GoesThroughTheProxyOfTheEnvironment) {
    ScopedEnv proxy{{"http_proxy", server_.url("")}};
    server_.serve("http://board.example.invalid/news/subject.txt", "via proxy\n");
    EXPECT_TRUE(download_to_file("http://board.example.invalid/news/subject.txt", target_.c_str()).ok());
    ASSERT_EQ(server_.request_count(), 1u);
    EXPECT_EQ(server_.requests()[0].target, "http://board.example.invalid/news/subject.txt");
    EXPECT_EQ(read_file(target_), "via proxy\n");
}

TEST_F(Download, StalledServerCountsAsFailed) {
    server_.handle("/slow", [](const httplib::Request&, httplib::Response& res) {
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

}  // namespace
}  // namespace zubo
