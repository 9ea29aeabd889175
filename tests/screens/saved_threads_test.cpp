#include "screens/saved_threads.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/database.h"
#include "store/home.h"
#include "support/console_capture.h"
#include "support/encoding.h"
#include "support/files.h"
#include "support/screen_run.h"
#include "support/temp_dir.h"

namespace zubo {
namespace {

// The favourites' and the history's entry of a thread of five posts read
// to post seen, with the user's posts mine: its line as listed.
std::string listed_line(bool favourites, long long seen, const std::vector<int>& mine) {
    for (const char* file : {"zubo.db", "zubo.db-wal", "zubo.db-shm"}) std::remove(file);
    test::write_file("boards/board/dat/1.dat", "n<>m<>d<>first<>T\n"
                                               "n<>m<>d<>&gt;&gt;1<>\n"
                                               "n<>m<>d<>second<>\n"
                                               "n<>m<>d<>&gt;&gt;1 &gt;&gt;3<>\n"
                                               "n<>m<>d<>&gt;&gt;2-3<>\n");
    store::Opened opened = store::Database::open("zubo.db");
    EXPECT_TRUE(opened.db);
    if (!opened.db) return {};
    EXPECT_TRUE(opened.db->add_favourite({"board", "1.dat", "T"}));
    EXPECT_TRUE(opened.db->record_opened({"board", "1.dat", "T"}, 1));
    EXPECT_TRUE(opened.db->save_thread("board", "1.dat", {seen, seen}));
    for (int n : mine) EXPECT_TRUE(opened.db->add_own_post("board", "1.dat", n));
    test::ScreenRun screen("e\n");
    const BoardUrls boards;
    test::ends_at_end_of_input([&] {
        if (favourites) show_favourites(screen.run(), boards, *opened.db);
        else show_history(screen.run(), boards, *opened.db);
    });
    const std::string out = screen.output();
    const std::size_t start = out.find("1 : T");
    return start == std::string::npos ? out : out.substr(start, out.find('\n', start) - start);
}

TEST(SavedThreads, RepliesToYourPostsSinceTheLastVisitAreCounted) {
    test::WorkingDir dir;
    ASSERT_EQ(make_directories("boards/board/dat"), 0);
    struct Row {
        long long seen;
        std::vector<int> mine;
        std::string mark;
    };
    const Row rows[] = {
        {1, {}, ""},                             // no post of the user's
        {1, {1}, test::sjis(" [返信2]")},         // posts 2 and 4 answer 1
        {3, {3}, test::sjis(" [返信2]")},         // posts 4 and 5 answer 3
        {3, {1, 3}, test::sjis(" [返信2]")},      // each counted once
        {5, {1, 3}, ""},                         // nothing came since
    };
    for (bool favourites : {true, false}) {
        for (const Row& row : rows) {
            const std::string line = listed_line(favourites, row.seen, row.mine);
            EXPECT_EQ(line.substr(0, 15), "1 : T (5) [boar") << line;
            const std::size_t mark = line.find(test::sjis(" [返信"));
            EXPECT_EQ(mark == std::string::npos ? std::string() : line.substr(mark), row.mark)
                << favourites << " " << row.seen << " " << line;
        }
    }
}

}  // namespace
}  // namespace zubo
