#include "store/database.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

#include "store/clock.h"
#include "support/encoding.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace zubo::store {
namespace {

constexpr char kNow[] = "1700000000";

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("ZUBO_NOW", kNow, 1); }
    void TearDown() override { unsetenv("ZUBO_NOW"); }

    std::unique_ptr<Database> open_db() {
        Opened opened = Database::open(path());
        EXPECT_TRUE(opened.db) << opened.failed;
        EXPECT_EQ(opened.set_aside, "");
        return std::move(opened.db);
    }
    std::string path() const { return dir_.file(kDatabaseFile); }
    // zubo leaves its log beside the file; a plain connection's close folds
    // it in, so the file alone holds the database.
    void fold_log() const {
        sqlite3* db = nullptr;
        sqlite3_open(path().c_str(), &db);
        sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }

    // A plain connection's statements on the file, as another tool's.
    void run_sql(const char* sql) const {
        sqlite3* db = nullptr;
        sqlite3_open(path().c_str(), &db);
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }
    std::string column(const char* sql) const {
        sqlite3* db = nullptr;
        sqlite3_stmt* s = nullptr;
        sqlite3_open(path().c_str(), &db);
        sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
        std::string text = s && sqlite3_step(s) == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(s, 0)) : "";
        sqlite3_finalize(s);
        sqlite3_close(db);
        return text;
    }

    test::TempDir dir_;
};

TEST_F(StoreTest, ClockTakesZuboNowOnlyWhenItIsANumber) {
    EXPECT_EQ(now_seconds(), 1700000000);
    setenv("ZUBO_NOW", "17x", 1);
    EXPECT_GE(now_seconds(), static_cast<long long>(std::time(nullptr)) - 1);
}

TEST_F(StoreTest, ThreadStateKeepsTheHighestSeenAndTheLastCount) {
    // CP932 with a 0x5C trail byte and a quote: stored and matched as given.
    const std::string board = test::sjis("ソフト'板"), dat = "1700000001.dat";
    struct Case {
        ThreadState saved, expected;
    } cases[] = {
        {{30, 100}, {30, 100}},
        {{10, 120}, {30, 120}},  // a second process that read less keeps our progress
        {{80, 5}, {80, 5}},      // the thread was rewritten on the server
    };
    auto db = open_db();
    for (const Case& c : cases) {
        ASSERT_TRUE(db->save_thread(board, dat, c.saved));
        auto state = db->thread(board, dat).found;
        ASSERT_TRUE(state);
        EXPECT_EQ(state->seen, c.expected.seen) << c.saved.seen;
        EXPECT_EQ(state->count, c.expected.count) << c.saved.seen;
    }
    for (int i = 0; i < 1000; ++i) db->save_thread("news", std::to_string(i) + ".dat", {i, i + 1});
    db->set_visited(board, 1699999999);
    db = open_db();
    EXPECT_EQ(db->board_threads(board)->size(), 1u);
    EXPECT_EQ(db->board_threads("news")->find("999.dat")->seen, 999);
    EXPECT_FALSE(db->thread("news", dat).found);
    EXPECT_EQ(db->visited(board).found, 1699999999);
    EXPECT_FALSE(db->visited("news").found);
}

TEST_F(StoreTest, AFileThatIsNoSoundDatabaseIsSetAsideAndANewOneStarted) {
    open_db()->save_thread("b", "1.dat", {1, 1});
    fold_log();
    std::string torn_page = test::read_file(path());
    for (std::size_t i = 4096 + 8; i < torn_page.size(); ++i) torn_page[i] = static_cast<char>(i * 7);
    struct Case {
        std::string bytes;
        const char* now;
        const char* aside;  // the name's end
    } cases[] = {{std::string(5000, '\xA5') + "garbage", "1700000001", "1700000001"},
                 {torn_page, "1700000002", "1700000002"},
                 {"garbage again", "1700000002", "1700000002-2"}};  // the same second keeps the one before
    for (const auto& [bytes, now, aside] : cases) {
        setenv("ZUBO_NOW", now, 1);
        test::forget_read_state(dir_.path());  // the last case's log too
        test::write_file(path(), bytes);
        Opened opened = Database::open(path());
        ASSERT_TRUE(opened.db) << now << ": " << opened.failed;
        EXPECT_NE(opened.set_aside, "") << now;
        EXPECT_EQ(opened.aside_path, path() + ".broken-" + aside);
        EXPECT_TRUE(test::read_file(opened.aside_path) == bytes) << aside;
        EXPECT_FALSE(opened.db->thread("b", "1.dat").found) << now;
        EXPECT_TRUE(opened.db->save_thread("b", "1.dat", {2, 2})) << now;
    }
}

// The whole file is checked at the first opening of a day, and at the
// next opening after a run met a damaged page; a damage no read met waits
// for the day's check.
TEST_F(StoreTest, TheFileIsCheckedOnceADayAndAfterDamageIsMet) {
    struct Case {
        const char* name;
        bool meet_it;        // a read meets the damage before the next opening
        const char* next;    // the next opening's clock
        bool set_aside;
    } cases[] = {{"the same day", false, kNow, false},
                 {"the same day, the damage met", true, kNow, true},
                 {"a day later", false, "1700086400", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::forget_read_state(dir_.path());
        setenv("ZUBO_NOW", kNow, 1);
        {
            std::unique_ptr<Database> db = open_db();
            for (int k = 0; k < 500; ++k) db->save_thread("b", std::to_string(k) + ".dat", {1, 1});
        }
        fold_log();
        // The threads' last page torn: the check's own row is on an early one.
        std::string bytes = test::read_file(path());
        for (std::size_t i = bytes.size() - 4096 + 8; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
        test::write_file(path(), bytes);
        if (c.meet_it) {
            Opened opened = Database::open(path());
            ASSERT_TRUE(opened.db);
            EXPECT_EQ(opened.set_aside, "");
            EXPECT_FALSE(opened.db->board_threads("b"));
        }
        setenv("ZUBO_NOW", c.next, 1);
        Opened next = Database::open(path());
        ASSERT_TRUE(next.db) << next.failed;
        EXPECT_EQ(next.set_aside != "", c.set_aside);
    }
}

TEST_F(StoreTest, TheDocumentedTablesMadeByAnotherToolAreTakenAsTheyAre) {
    run_sql("CREATE TABLE threads (board, dat, seen, count); CREATE TABLE boards (board, visited);"
            "INSERT INTO threads VALUES ('b', '1.dat', 7, 9); INSERT INTO threads VALUES ('b', '1.dat', 8, 9);"
            "INSERT INTO boards VALUES ('b', 1699999999);");
    auto db = open_db();
    ASSERT_TRUE(db);
    EXPECT_EQ(db->thread("b", "1.dat").found->seen, 8);  // of two rows for one thread, the last
    EXPECT_TRUE(db->save_thread("b", "1.dat", {10, 12}));
    EXPECT_TRUE(db->set_visited("b", 1700000000));
    EXPECT_TRUE(db->add_favourite({"b", "1.dat", "t"}));
    db = open_db();
    EXPECT_EQ(db->board_threads("b")->find("1.dat")->seen, 10);
    EXPECT_EQ(db->visited("b").found, 1700000000);
    EXPECT_EQ(db->favourites().size(), 1u);
}

// Titles are UTF-8 in the file, given and taken as CP932, without the
// thread list's post count; a file of the schema before is converted.
TEST_F(StoreTest, TitlesAreKeptAsUtf8WithoutTheirPostCount) {
    const std::pair<std::string, std::string> cases[] = {
        {"ソフト板 (123)", "ソフト板"}, {"ソフト板 (1) (2)", "ソフト板 (1)"}, {"ソフト板(123)", "ソフト板(123)"},
        {"ソフト板 ()", "ソフト板 ()"}, {"ソフト板 (12a)", "ソフト板 (12a)"}, {" (5)", " (5)"},
    };
    auto db = open_db();
    for (const auto& [label, kept] : cases) {
        ASSERT_TRUE(db->add_favourite({"b", "1.dat", test::sjis(label)}));
        EXPECT_EQ(column("SELECT title FROM favourites"), kept) << label;
        EXPECT_EQ(db->favourites()[0].title, test::sjis(kept)) << label;
        db->remove_favourite("b", "1.dat");
    }
    db->record_opened({"b", "1.dat", "t"}, 1);
    db.reset();
    // A title as the schema before kept it: CP932 (a 0x5C trail byte), its count.
    run_sql(("UPDATE history SET title = '" + test::sjis("表示 (7)") + "'; PRAGMA user_version = 2;").c_str());
    EXPECT_EQ(open_db()->history()[0].thread.title, test::sjis("表示"));
    EXPECT_EQ(column("SELECT title FROM history"), "表示");
}

TEST_F(StoreTest, ANewerSchemaIsNeitherUsedNorSetAside) {
    open_db();
    fold_log();
    std::string bytes = test::read_file(path());
    bytes[63] = kSchemaVersion + 1;  // the header's user_version, big-endian at 60
    test::write_file(path(), bytes);
    Opened opened = Database::open(path());
    EXPECT_FALSE(opened.db);
    EXPECT_NE(opened.failed, "");
    EXPECT_EQ(test::read_file(path()), bytes);
    EXPECT_FALSE(test::file_exists(path() + ".broken-" + kNow));
}

// A file of the first schema gains the remembered counts and keeps its
// rows; a count is given back only for the very copy it was counted in.
TEST_F(StoreTest, CopyCountsComeToAnOlderFileAndAnswerOnlyForTheSameCopy) {
    open_db();
    sqlite3* old = nullptr;
    sqlite3_open(path().c_str(), &old);
    sqlite3_exec(old, "DROP TABLE copies; INSERT INTO threads VALUES ('b', '1.dat', 7, 9); PRAGMA user_version = 1;",
                 nullptr, nullptr, nullptr);
    sqlite3_close(old);
    auto db = open_db();
    EXPECT_EQ(db->thread("b", "1.dat").found->seen, 7);
    const CopyIdentity counted{1000, 1700000000123456789, 42};
    EXPECT_FALSE(db->copy_posts("b", "1.dat", counted));
    db->add_favourite({"b", "1.dat", "t"});
    db->add_favourite({"b", "2.dat", "t"});
    ASSERT_TRUE(db->save_copy_posts({{"b", "1.dat", counted, 12}, {"b", "2.dat", counted, 5}}));
    db->remove_favourite("b", "2.dat");
    ASSERT_TRUE(db->save_copy_posts({{"b", "3.dat", counted, 1}}));  // in no list: forgotten at once
    EXPECT_FALSE(db->copy_posts("b", "2.dat", counted));
    EXPECT_FALSE(db->copy_posts("b", "3.dat", counted));
    db = open_db();
    EXPECT_EQ(db->copy_posts("b", "1.dat", counted), 12);
    for (const CopyIdentity& other : {CopyIdentity{1001, counted.modified, 42}, CopyIdentity{1000, counted.modified + 1, 42},
                                      CopyIdentity{1000, counted.modified, 43}}) {
        EXPECT_FALSE(db->copy_posts("b", "1.dat", other)) << other.size << " " << other.inode;
    }
    EXPECT_FALSE(db->copy_posts("c", "1.dat", counted));
}

TEST_F(StoreTest, FavouritesKeepTheirOrderAndASuccessorTakesItsPlace) {
    auto db = open_db();
    for (const char* dat : {"1.dat", "2.dat", "3.dat", "2.dat"}) db->add_favourite({"b", dat, dat});
    EXPECT_TRUE(*db->is_favourite("b", "2.dat") && !*db->is_favourite("other", "2.dat"));
    EXPECT_TRUE(db->replace_favourite("b", "1.dat", {"b", "9.dat", "nine"}));
    EXPECT_FALSE(db->replace_favourite("b", "1.dat", {"b", "8.dat", "eight"}));
    EXPECT_TRUE(db->replace_favourite("b", "2.dat", {"b", "3.dat", "three"}));  // 3 was already there: one copy
    db->remove_favourite("b", "9.dat");
    db->add_favourite({"c", "1.dat", "one"});
    std::string order;
    for (const ThreadRef& f : db->favourites()) order += f.board + "/" + f.dat + "=" + f.title + " ";
    EXPECT_EQ(order, "b/3.dat=three c/1.dat=one ");
}

// A favourite moved to a place: the others keep their order, a place past
// either end is that end, and the positions stay unique (a favourite added
// afterwards goes last).
TEST_F(StoreTest, AFavouriteMovesToItsPlaceClampedToTheList) {
    struct Case {
        const char* dat;
        int place;
        std::optional<int> went;
        const char* order;
    } cases[] = {
        {"3.dat", 1, 1, "3124"},  {"1.dat", 4, 4, "2341"},  {"2.dat", 2, 2, "1234"}, {"1.dat", 0, 1, "1234"},
        {"2.dat", -5, 1, "2134"}, {"2.dat", 99, 4, "1342"}, {"9.dat", 1, std::nullopt, "1234"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(path());
        auto db = open_db();
        for (const char* dat : {"1.dat", "2.dat", "3.dat", "4.dat"}) db->add_favourite({"b", dat, dat});
        EXPECT_EQ(db->move_favourite("b", c.dat, c.place), c.went) << c.dat << " " << c.place;
        db->add_favourite({"b", "5.dat", "5"});
        std::string order;
        for (const ThreadRef& f : db->favourites()) order += f.dat.substr(0, 1);
        EXPECT_EQ(order, std::string(c.order) + "5") << c.dat << " " << c.place;
    }
}

// The check's findings, kept with each favourite from schema version 4 on:
// an older file keeps its favourites, a successor starts unfallen.
TEST_F(StoreTest, FallenFavouritesAreKeptAndAnOlderFileGainsThem) {
    open_db()->add_favourite({"b", "1.dat", "t"});
    run_sql("CREATE TABLE f AS SELECT position, board, dat, title FROM favourites; DROP TABLE favourites;"
            "CREATE TABLE favourites (position INTEGER PRIMARY KEY, board TEXT NOT NULL, dat TEXT NOT NULL,"
            " title TEXT NOT NULL, UNIQUE (board, dat)); INSERT INTO favourites SELECT * FROM f; DROP TABLE f;"
            "PRAGMA user_version = 3;");
    auto db = open_db();
    db->add_favourite({"b", "2.dat", "t"});
    using Names = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(db->fallen_favourites(), Names{});
    EXPECT_TRUE(db->save_checks({{"b", "1.dat", true}, {"b", "2.dat", true}, {"b", "3.dat", true}}));
    EXPECT_TRUE(db->save_checks({{"b", "2.dat", false}}));
    db = open_db();
    EXPECT_EQ(db->fallen_favourites(), (Names{{"b", "1.dat"}}));
    EXPECT_TRUE(db->replace_favourite("b", "1.dat", {"b", "7.dat", "next"}));
    EXPECT_EQ(db->fallen_favourites(), Names{});
    EXPECT_EQ(column("PRAGMA user_version"), std::to_string(kSchemaVersion));
}

// A board's wait and the user's posts, from schema version 5 on: an older
// file gains their tables and keeps what it had.
TEST_F(StoreTest, PostWaitsAndYourPostsComeToAnOlderFile) {
    open_db()->add_favourite({"b", "1.dat", "t"});
    run_sql("DROP TABLE post_waits; DROP TABLE own_posts; PRAGMA user_version = 4;");
    auto db = open_db();
    EXPECT_EQ(db->favourites().size(), 1u);
    EXPECT_EQ(db->post_wait("b").found, std::nullopt);
    EXPECT_TRUE(db->set_post_wait("b", 100));
    EXPECT_TRUE(db->set_post_wait("b", 40));  // the last answer's time, earlier or not
    EXPECT_TRUE(db->add_own_post("b", "1.dat", 12));
    EXPECT_TRUE(db->add_own_post("b", "1.dat", 3));
    EXPECT_TRUE(db->add_own_post("b", "1.dat", 12));  // once only
    EXPECT_TRUE(db->add_own_post("c", "1.dat", 5));
    db = open_db();
    EXPECT_EQ(db->post_wait("b").found, 40);
    EXPECT_EQ(db->post_wait("c").found, std::nullopt);
    EXPECT_EQ(db->own_posts("b", "1.dat"), (std::vector<int>{3, 12}));
    EXPECT_EQ(db->own_posts("b", "2.dat"), std::vector<int>{});
    EXPECT_EQ(column("PRAGMA user_version"), std::to_string(kSchemaVersion));
}

TEST_F(StoreTest, HistoryKeepsTheLastHundredNewestFirstAndReopeningMovesToTheTop) {
    auto db = open_db();
    // One fixed second: the order must not rest on the time.
    for (int i = 1; i <= 105; ++i) db->record_opened({"b", std::to_string(i) + ".dat", "t"}, 1700000000);
    db->record_opened({"b", "50.dat", "t50"}, 1700000001);
    std::string order;
    for (const HistoryEntry& h : db->history()) order += h.thread.dat + "=" + h.thread.title + " ";
    EXPECT_EQ(order.substr(0, 22), "50.dat=t50 105.dat=t 1");
    EXPECT_EQ(order.substr(order.size() - 16), "7.dat=t 6.dat=t ");
    EXPECT_EQ(db->history().size(), 100u);
    EXPECT_EQ(db->history()[0].opened, 1700000001);
}

TEST_F(StoreTest, TwoProcessesWritingAtOnceBothKeepTheirChanges) {
    open_db();
    constexpr int kWrites = 150;
    auto write_all = [&](const std::string& board) {
        auto db = Database::open(path()).db;
        bool ok = db != nullptr;
        for (int i = 0; ok && i < kWrites; ++i) {
            ok = db->save_thread(board, std::to_string(i) + ".dat", {i, i}) &&
                 db->save_thread("shared", "1.dat", {board == "child" ? i : i / 2, i}) &&
                 db->record_opened({board, std::to_string(i) + ".dat", "t"}, i);
        }
        return ok;
    };
    pid_t child = fork();
    if (child == 0) _exit(write_all("child") ? 0 : 1);
    EXPECT_TRUE(write_all("parent"));
    int status = 1;
    EXPECT_TRUE(child > 0 && waitpid(child, &status, 0) == child && status == 0);
    auto db = open_db();
    EXPECT_EQ(db->board_threads("child")->size(), static_cast<std::size_t>(kWrites));
    EXPECT_EQ(db->board_threads("parent")->size(), static_cast<std::size_t>(kWrites));
    EXPECT_EQ(db->thread("shared", "1.dat").found->seen, kWrites - 1);
    EXPECT_EQ(db->history().size(), static_cast<std::size_t>(kHistoryLimit));
}

}  // namespace
}  // namespace zubo::store
