// Posting through zubo, end to end, against the sample service in this
// process: the confirmation accepted, the post shown as the user's, Samba's
// refusal from the server and then from zubo itself, without a request.

#include <gtest/gtest.h>

#include <string>

#include "loopback_server.h"
#include "sample_board.h"
#include "sample_posts.h"
#include "support/run_zubo.h"
#include "support/temp_dir.h"

namespace zubo {
namespace {

class E2ePosting : public ::testing::Test {
protected:
    E2ePosting() { service_.serve_on(server_); }

    // Board 1, thread 1, w, the questions answered in a pipe, y, then what
    // follows, then back to the board list and its end.
    test::ZuboRun write(const std::string& body, const std::string& after) {
        return run("1\n1\nw\n\n\n" + body + "\n.\ny\n" + after + "e\ne\ne\n");
    }

    test::ZuboRun run(const std::string& input) {
        test::ZuboOptions options;
        options.cwd = dir_.path();
        options.input = input;
        options.env = {{"http_proxy", server_.url("")}, {"no_proxy", "127.0.0.1"}, {"ZUBO_HOME", dir_.path()}};
        return test::run_zubo(options);
    }

    std::size_t posts_sent() const {
        std::size_t sent = 0;
        for (const SeenRequest& seen : server_.requests()) sent += seen.method == "POST";
        return sent;
    }

    LoopbackServer server_;
    sample::Service service_{server_.url("")};
    test::TempDir dir_;
};

TEST_F(E2ePosting, AcceptedPostShowsAsTheUsersAndSambaRefusesTheNext) {
    // The first post meets the confirmation: y accepts it.
    test::ZuboRun first = write("zubo から", "y\n");  // zubo speaks UTF-8 here: LC_ALL=C
    const std::string shown = first.out;
    EXPECT_NE(shown.find("■上記全てを承諾して書き込みますか? (y/n)■書き込みました\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find(" (自分)\n\t zubo から"), std::string::npos) << shown;
    EXPECT_EQ(posts_sent(), 2u);

    // The next, within ten seconds: the server's Samba, the draft kept.
    test::ZuboRun second = write("もう一度", "");
    EXPECT_NE(second.out.find("■あと10秒待ってください\n■下書きを残しました: "), std::string::npos)
        << second.out;
    EXPECT_EQ(posts_sent(), 3u);

    // The kept draft again, at once: zubo refuses it itself, sending nothing.
    test::ZuboRun third = run("1\n1\nw\ny\ne\ne\ne\n");
    EXPECT_NE(third.out.find("■あと"), std::string::npos) << third.out;
    EXPECT_EQ(posts_sent(), 3u);
}

}  // namespace
}  // namespace zubo
