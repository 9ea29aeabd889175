// Posting against the sample service in this process: the form, the
// confirmation sent back, the answers, the documents changed.

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <string>

#include "documents/post_answer.h"
#include "documents/post_form.h"
#include "loopback_server.h"
#include "net/post.h"
#include "sample_board.h"
#include "sample_posts.h"
#include "support/encoding.h"
#include "support/temp_dir.h"

namespace zubo {
namespace {

class SamplePosting : public ::testing::Test {
protected:
    SamplePosting() { service_.serve_on(server_); }

    PostAnswer send(const PostPlace& place, const PostDraft& draft, const std::string& jar, long long time) {
        return answer_of(send_post(post_url(place), post_referer(place), post_form_body(place, draft, time), jar, {}));
    }
    PostAnswer confirm(const ConfirmForm& form, const std::string& jar) {
        return answer_of(send_post(form.action, server_.url("/test/bbs.cgi"), confirm_form_body(form), jar, {}));
    }
    static PostAnswer answer_of(const PostExchange& exchange) {
        EXPECT_TRUE(exchange.answered) << exchange.error;
        return read_post_answer(exchange.status, exchange.headers, exchange.body, exchange.url);
    }
    std::string document(const std::string& path) const {
        std::string body;
        EXPECT_TRUE(service_.document(path, &body)) << path;
        return test::utf8(body);
    }

    // The cookie's expiry is the client's clock's business: the sample's
    // clock starts at the real time.
    std::atomic<long long> now_{static_cast<long long>(std::time(nullptr))};
    LoopbackServer server_;
    sample::Service service_{server_.url(""), [this] { return now_.load(); }};
    test::TempDir dir_;
    const sample::Board& board_ = *sample::boards_in_order()[0];
    const std::string key_ = board_.threads[0].key.substr(0, board_.threads[0].key.size() - 4);
    const PostPlace reply_{server_.url("/" + board_.dir + "/"), board_.dir, key_};
};

TEST_F(SamplePosting, ConfirmationRoundTripWritesThePostThenSambaRefuses) {
    const std::string jar = dir_.file("cookie.txt");
    const PostDraft draft{"", "sage", "", test::sjis("こんにちは\n二行目 a&b <i>")};
    const PostAnswer first = send(reply_, draft, jar, now_ - 30);
    ASSERT_EQ(first.outcome, PostOutcome::kConfirm) << test::utf8(first.message);
    EXPECT_EQ(first.form.action, server_.url("/test/bbs.cgi?guid=ON"));
    ASSERT_FALSE(first.form.inputs.empty());
    EXPECT_EQ(first.form.inputs.front(), std::make_pair(std::string("FROM"), std::string()));
    // Read back from the page, the line break is the wire's CR LF.
    EXPECT_EQ(test::utf8(first.form.inputs[2].second), "こんにちは\r\n二行目 a&b <i>");
    EXPECT_EQ(first.form.inputs.back().first, "feature");
    EXPECT_NE(first.form.inputs.back().second.find("&seq="), std::string::npos);  // decoded as a browser does

    const PostAnswer written = confirm(first.form, jar);
    ASSERT_EQ(written.outcome, PostOutcome::kDone) << test::utf8(written.message);
    const std::size_t before = board_.threads[0].lines.size();
    EXPECT_EQ(written.post_number, static_cast<int>(before + 1));
    const std::string dat = document("/" + board_.dir + "/dat/" + key_ + ".dat");
    const std::string last = dat.substr(dat.rfind('\n', dat.size() - 2) + 1);
    EXPECT_EQ(last.rfind("名無しさん<>sage<>20", 0), 0u) << last;
    EXPECT_NE(last.find(".00 ID:"), std::string::npos) << last;
    EXPECT_NE(last.find("<> こんにちは <br> 二行目 a&b &lt;i&gt; <>\n"), std::string::npos) << last;
    EXPECT_NE(document("/" + board_.dir + "/subject.txt").find(key_ + ".dat<>" + board_.threads[0].title + " (" +
                                                                std::to_string(before + 1) + ")"),
              std::string::npos);

    now_ += 9;
    const PostAnswer again = send(reply_, draft, jar, now_);
    EXPECT_EQ(again.outcome, PostOutcome::kWait);
    EXPECT_EQ(again.wait_seconds, 10);
    now_ += 1;
    EXPECT_EQ(send(reply_, draft, jar, now_).outcome, PostOutcome::kDone);
}

TEST_F(SamplePosting, NewThreadGetsItsKeyAtTheTopOfTheList) {
    const std::string jar = dir_.file("cookie.txt");
    const PostPlace fresh{reply_.board_url, reply_.board, ""};
    const PostDraft draft{test::sjis("名前"), "", test::sjis("新スレ"), "first"};
    const PostAnswer first = send(fresh, draft, jar, now_);
    ASSERT_EQ(first.outcome, PostOutcome::kConfirm);
    ASSERT_EQ(confirm(first.form, jar).outcome, PostOutcome::kDone);
    const std::string subject = document("/" + board_.dir + "/subject.txt");
    EXPECT_EQ(subject.rfind(std::to_string(now_) + ".dat<>新スレ (1)\n", 0), 0u) << subject.substr(0, 80);
    EXPECT_NE(document("/" + board_.dir + "/dat/" + std::to_string(now_) + ".dat").find("名前<><>"), std::string::npos);
}

TEST_F(SamplePosting, RefusesAChangedConfirmationAndAClockFarOff) {
    const std::string jar = dir_.file("cookie.txt");
    const PostDraft draft{"", "", "", "x"};
    PostAnswer first = send(reply_, draft, jar, now_);
    ASSERT_EQ(first.outcome, PostOutcome::kConfirm);
    ConfirmForm changed = first.form;
    changed.inputs.back().second += "x";
    const PostAnswer refused = confirm(changed, jar);
    EXPECT_EQ(refused.outcome, PostOutcome::kError);
    const PostAnswer accepted = confirm(first.form, jar);
    EXPECT_EQ(accepted.outcome, PostOutcome::kDone);

    now_ += 60;
    const PostAnswer late = send(reply_, draft, jar, now_ - 601);
    EXPECT_EQ(late.outcome, PostOutcome::kError);
    EXPECT_NE(test::utf8(late.message).find("投稿時刻がおかしいです"), std::string::npos);
}

}  // namespace
}  // namespace zubo
