#include "screens/post_screen.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "console/messages.h"
#include "loopback_server.h"
#include "screens/post_draft.h"
#include "store/database.h"
#include "support/encoding.h"
#include "support/files.h"
#include "support/scoped_env.h"
#include "support/screen_run.h"
#include "support/temp_dir.h"

namespace zubo {
namespace {

using test::sjis;

TEST(DraftFile, HeaderLinesEmptyLineAndBodyReadBackInEitherEncoding) {
    struct Row {
        PostDraft draft;
        bool new_thread;
        bool utf8;
        std::string file;  // the file's bytes, UTF-8 spelled
    };
    const Row rows[] = {
        {{"", "sage", "", "本文\n\n二行目"}, false, true, "名前: \nメール: sage\n\n本文\n\n二行目\n"},
        {{"名無し", "", "", "x"}, false, false, "名前: 名無し\nメール: \n\nx\n"},
        {{"n", "m", "題名", "&gt;>>1"}, true, true, "タイトル: 題名\n名前: n\nメール: m\n\n&gt;>>1\n"},
        {{"", "", "", ""}, true, false, "タイトル: \n名前: \nメール: \n\n"},
    };
    for (const Row& row : rows) {
        PostDraft cp932{sjis(row.draft.name), sjis(row.draft.mail), sjis(row.draft.title), sjis(row.draft.body)};
        const std::string bytes = draft_file_bytes(draft_text(cp932, row.new_thread), row.utf8);
        EXPECT_EQ(bytes, row.utf8 ? row.file : sjis(row.file)) << row.file;
        const PostDraft back = read_draft_text(draft_from_file_bytes(bytes, row.utf8));
        EXPECT_EQ(back.name, cp932.name);
        EXPECT_EQ(back.mail, cp932.mail);
        EXPECT_EQ(back.title, cp932.title);
        EXPECT_EQ(back.body, cp932.body) << row.file;
    }
    // As a user's editor leaves it: CRLF, a label without its blank, an
    // unknown header, trailing line ends.
    const PostDraft edited = read_draft_text(sjis("名前:abc\r\nX: y\r\nメール: sage\r\n\r\n>>3\r\nok\n\n\n"));
    EXPECT_EQ(edited.name, "abc");
    EXPECT_EQ(edited.mail, "sage");
    EXPECT_EQ(edited.body, ">>3\r\nok");
    EXPECT_EQ(read_draft_text(sjis("名前: n\nメール: m")).body, "");
}

TEST(DraftFile, WrittenWholeInItsDirectory) {
    test::WorkingDir dir;
    EXPECT_EQ(draft_path("board", "123"), "drafts/board-123.txt");
    EXPECT_EQ(draft_path("board", ""), "drafts/board-new.txt");
    EXPECT_EQ(draft_path("", "1"), "");
    EXPECT_EQ(draft_path("..", ""), "drafts/..-new.txt");
    ASSERT_TRUE(write_draft_file("drafts/b-1.txt", "first"));
    ASSERT_TRUE(write_draft_file("drafts/b-1.txt", "second, longer"));
    EXPECT_EQ(read_draft_file("drafts/b-1.txt").value_or(""), "second, longer");
    struct stat info;
    ASSERT_EQ(stat("drafts/b-1.txt", &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // Nothing is left beside it.
    std::vector<std::string> names;
    if (DIR* d = opendir("drafts")) {
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        }
        closedir(d);
    }
    EXPECT_EQ(names, std::vector<std::string>{"b-1.txt"});
    EXPECT_FALSE(write_draft_file("missing/deeper/x.txt", "x"));
    EXPECT_FALSE(read_draft_file("drafts/none.txt"));
}

// Writing through the questions of a pipe, to a loopback board: every
// request it makes is counted.
class PostScreen : public ::testing::Test {
protected:
    std::string write(const std::string& input, int anchor = 0, const std::string& key = "123") {
        test::ScreenRun console(input);
        console.run().state = state_;
        test::ends_at_end_of_input([&] { write_post(console.run(), {server_.url("/board/"), "board", key}, anchor); });
        return console.output();
    }

    static std::string draft(const std::string& name, const std::string& mail, const std::string& body) {
        return sjis("名前: " + name + "\nメール: " + mail + "\n\n" + body + "\n");
    }
    static std::string questions() {
        return std::string(messages::ask_name) + messages::ask_mail + messages::ask_body;
    }
    static std::string kept(const std::string& path) { return sjis("■下書きを残しました: " + path + "\n"); }

    test::WorkingDir dir_;
    LoopbackServer server_;
    store::Database* state_ = nullptr;
};

TEST_F(PostScreen, QuestionsInAPipeAndNKeepsTheDraftForTheNextW) {
    EXPECT_EQ(write(sjis("名無し\nsage\n一行目\n\n三行目\n.\nn\n"), 5),
              questions() + draft("名無し", "sage", ">>5\n一行目\n\n三行目") + messages::post_send_prompt +
                  kept("drafts/board-123.txt"));
    EXPECT_EQ(test::read_file("drafts/board-123.txt"), draft("名無し", "sage", ">>5\n一行目\n\n三行目"));
    // The next w starts from the draft; e asks again.
    EXPECT_EQ(write("n\n", 9), draft("名無し", "sage", ">>5\n一行目\n\n三行目") + messages::post_send_prompt +
                                   kept("drafts/board-123.txt"));
    EXPECT_EQ(write("e\nA\nB\nC\n.\nn\n"), draft("名無し", "sage", ">>5\n一行目\n\n三行目") +
                                               messages::post_send_prompt + questions() + draft("A", "B", "C") +
                                               messages::post_send_prompt + kept("drafts/board-123.txt"));
    // A new thread asks its title first, and keeps its own draft.
    EXPECT_EQ(write(sjis("題\nn\nm\nb\n.\nn\n"), 0, ""),
              std::string(messages::ask_title) + questions() + sjis("タイトル: 題\n") + draft("n", "m", "b") +
                  messages::post_send_prompt + kept("drafts/board-new.txt"));
    EXPECT_EQ(server_.request_count(), 0u);
}

TEST_F(PostScreen, AnEmptyBodyIsRefusedWithoutARequest) {
    EXPECT_EQ(write("n\nsage\n \n.\ny\n"),
              questions() + draft("n", "sage", " ") + messages::post_send_prompt + messages::empty_body +
                  kept("drafts/board-123.txt"));
    EXPECT_EQ(write("y\n"), draft("n", "sage", " ") + messages::post_send_prompt + messages::empty_body +
                                kept("drafts/board-123.txt"));
    EXPECT_EQ(server_.request_count(), 0u);
}

TEST_F(PostScreen, TheBoardsStoredWaitRefusesWithoutARequest) {
    test::ScopedEnv now({{"ZUBO_NOW", "1000000"}});
    store::Opened opened = store::Database::open("zubo.db");
    ASSERT_TRUE(opened.db && opened.db->set_post_wait("board", 1000042));
    state_ = opened.db.get();
    EXPECT_EQ(write("n\nsage\nbody\n.\ny\n"), questions() + draft("n", "sage", "body") + messages::post_send_prompt +
                                                  sjis("■あと42秒待ってください\n") + kept("drafts/board-123.txt"));
    // Another board is not kept waiting by it.
    EXPECT_EQ(opened.db->post_wait("other").found, std::nullopt);
    EXPECT_EQ(server_.request_count(), 0u);
}

// The loopback server has no bbs.cgi here: the post's answer is a refusal
// that says nothing of the post. Whatever it answered, the post went once,
// and the draft stays for the user to send again.
TEST_F(PostScreen, ARefusedPostIsSentOnceAndItsDraftKept) {
    const std::string out = write("n\nsage\nbody\n.\ny\n");
    const std::vector<SeenRequest> seen = server_.requests();
    ASSERT_EQ(seen.size(), 1u) << out;
    EXPECT_EQ(seen[0].target, "/test/bbs.cgi");
    EXPECT_EQ(seen[0].header("Referer"), server_.url("/test/read.cgi/board/123/"));
    EXPECT_EQ(out.substr(out.size() - kept("drafts/board-123.txt").size()), kept("drafts/board-123.txt"));
    EXPECT_EQ(test::read_file("drafts/board-123.txt"), draft("n", "sage", "body"));
}

}  // namespace
}  // namespace zubo
