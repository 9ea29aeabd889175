// The sample service that `make demo` runs: zubo reaches its board menu
// through http_proxy and its boards directly.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "image/decode.h"
#include "net/download.h"
#include "sample_board.h"
#include "support/files.h"
#include "support/scoped_env.h"
#include "support/run_zubo.h"
#include "support/temp_dir.h"

namespace zubo {
namespace {

// The service as a child process, stopped when the test ends.
class SampleService {
public:
    SampleService() {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            execl(ZUBO_SAMPLE_SERVICE, ZUBO_SAMPLE_SERVICE, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        // "port N" and a newline, within a few seconds.
        std::string line;
        pollfd fd{out[0], POLLIN, 0};
        char c = 0;
        while (line.find('\n') == std::string::npos && poll(&fd, 1, 5000) > 0 && read(out[0], &c, 1) == 1) line += c;
        close(out[0]);
        if (line.rfind("port ", 0) == 0) port_ = std::stoi(line.substr(5));
    }
    ~SampleService() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    SampleService(const SampleService&) = delete;
    SampleService& operator=(const SampleService&) = delete;

    int port() const { return port_; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

TEST(SampleService, ServesZuboTheMenuThroughTheProxyAndTheBoardsDirectly) {
    SampleService service;
    ASSERT_GT(service.port(), 0);
    test::TempDir dir;
    // Board 1 opened from the downloaded menu, its thread list left with
    // e, then the board list after one more page.
    test::ZuboRun run = test::run_zubo({{"-u"},
                                        "1\ne\n\ne\n",
                                        dir.path(),
                                        {{"http_proxy", service.url()}, {"no_proxy", "127.0.0.1"}},
                                        20});
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");

    const sample::Board& first = *sample::boards_in_order()[0];
    EXPECT_NE(run.out.find("ok\n1 : " + first.name + "\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("1 : " + first.threads[0].title + " ("), std::string::npos) << run.out;
    EXPECT_EQ(test::read_file(dir.file("italist.txt")), sample::documents(service.url()).at("/bbsmenu.html"));
}

TEST(SampleService, RequestTargetsMapToPaths) {
    struct Case {
        const char* target;
        const char* path;
    } cases[] = {
        {"/news/subject.txt", "/news/subject.txt"},
        {"http://menu.5ch.io/bbsmenu.html", "/bbsmenu.html"},
        {"http://127.0.0.1:8080/news/dat/1.dat", "/news/dat/1.dat"},
        {"http://127.0.0.1:8080", "/"},
    };
    for (const Case& c : cases) EXPECT_EQ(sample::path_of(c.target), c.path) << c.target;
}

// The picture for the demo: a post after the first of board 1's first
// thread links it, and the service answers it as a PNG that decodes.
TEST(SampleService, ServesThePictureAPostLinks) {
    test::ScopedEnv no_proxy{{"http_proxy", std::nullopt}, {"HTTP_PROXY", std::nullopt}};
    SampleService service;
    ASSERT_GT(service.port(), 0);
    const std::string link = service.url() + sample::kPicturePath;
    const sample::Board& board = *sample::boards_in_order().front();
    const std::string document = sample::documents(service.url()).at("/" + board.dir + "/dat/" + board.threads[0].key);
    const std::size_t first_line_end = document.find('\n');
    EXPECT_NE(document.find(link, first_line_end), std::string::npos);

    test::TempDir dir;
    DownloadResult result = download_to_file(link.c_str(), dir.file("zubo.png").c_str());
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.content_type, "image/png");
    const std::string bytes = test::read_file(dir.file("zubo.png"));
    const image::Decoded picture = image::decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    ASSERT_TRUE(picture.ok());
    EXPECT_EQ(picture.format, image::Format::kPng);
    EXPECT_EQ(picture.width, 48);
    EXPECT_EQ(picture.height, 32);
}

}  // namespace
}  // namespace zubo
