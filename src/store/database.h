#pragma once
// What zubo remembers between runs, in one SQLite database (zubo.db in its
// home): per thread how far it was read and how many posts it had, per
// board when its thread list was last shown, the favourites and the
// history. Boards and threads are named by the board's name and the
// thread's dat name ("1700000001.dat"), never by host. Names are kept as
// the bytes given; titles are given and taken as CP932 but kept as UTF-8,
// so any SQLite tool shows them. Every change is one transaction, and the
// database runs in WAL mode with a busy timeout, so two zubo processes on
// one home both keep their changes. Nothing here prints: a failure to read
// or write goes to the listener the caller sets.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

struct sqlite3;

namespace zubo::store {

inline constexpr char kDatabaseFile[] = "zubo.db";
// The schema's version, kept in PRAGMA user_version.
inline constexpr int kSchemaVersion = 6;
inline constexpr int kHistoryLimit = 100;
inline constexpr int kBusyTimeoutMs = 5000;

struct ThreadState {
    long long seen = 0;   // the highest post number shown
    long long count = 0;  // the posts in the copy at the end of the last visit
};

// Every thread state of one board, sorted by dat name: a list of a
// thousand threads looks each up without a string made or hashed.
class BoardStates {
public:
    // Takes the states in any order.
    void add(std::string dat, const ThreadState& state) { states_.emplace_back(std::move(dat), state); }
    void sort();
    // The thread's state; null when it was never read.
    const ThreadState* find(std::string_view dat) const;
    std::size_t size() const { return states_.size(); }

private:
    std::vector<std::pair<std::string, ThreadState>> states_;
};

// A thread as the favourites and the history name it.
struct ThreadRef {
    std::string board;
    std::string dat;
    // The label as the thread list gave it, less its trailing post count
    // " (N)", which is stale by the next visit.
    std::string title;
};

struct HistoryEntry {
    ThreadRef thread;
    long long opened = 0;  // seconds since the epoch
};

// One state of a thread's copy on disk: a copy that grew, or was replaced
// by a new file, differs in at least one of these.
struct CopyIdentity {
    long long size = 0;
    long long modified = 0;  // nanoseconds since the epoch
    long long inode = 0;
    bool operator==(const CopyIdentity& other) const {
        return size == other.size && modified == other.modified && inode == other.inode;
    }
};

// The posts counted in a thread's copy, as it was when they were counted.
struct CountedCopy {
    std::string board;
    std::string dat;
    CopyIdentity copy;
    int posts = 0;
};

// What an update check found of a favourite: whether it came from the
// archive of fallen threads.
struct FavouriteCheck {
    std::string board;
    std::string dat;
    bool fallen = false;
};

// A lookup's answer: the row, none, or nothing known because the
// database could not be read (which is not "never read").
template <typename T>
struct Lookup {
    std::optional<T> found;
    bool failed = false;
};

enum class StateFailure { kRead, kWrite };
// Told the first failure of each kind, with SQLite's reason.
using FailureListener = std::function<void(StateFailure, const std::string& reason)>;

class Database;
class StatementCache;

struct Opened {
    std::unique_ptr<Database> db;  // null when no database could be made
    // Why the old file was renamed aside and a new one started, and the
    // name it was renamed to (PATH.broken-SECONDS); empty when it wasn't.
    // The caller says so once.
    std::string set_aside;
    std::string aside_path;
    // Why no database could be made at all, when db is null.
    std::string failed;
};

class Database {
public:
    // Opens the database at path, creating it when absent. One that isn't
    // a database or fails its quick check is set aside and a new one made
    // in its place; one that can't be opened (no permission) stays where it
    // is.
    static Opened open(const std::string& path);

    // Who hears of failures; each kind is told once for the handle's life.
    void set_failure_listener(FailureListener listener) { listener_ = std::move(listener); }

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // While one is alive, the lookups share one read of the database
    // instead of taking its lock each; nothing may be written meanwhile.
    class Reading {
    public:
        explicit Reading(const Database& db);
        ~Reading();
        Reading(const Reading&) = delete;
        Reading& operator=(const Reading&) = delete;

    private:
        StatementCache& statements_;
        bool open_;
    };

    Lookup<ThreadState> thread(const std::string& board, const std::string& dat) const;
    // Every thread state of one board, keyed by dat name, in one query;
    // none when the database can't be read.
    std::optional<BoardStates> board_threads(const std::string& board) const;
    // Stores a thread's state. seen never goes back: the higher of the
    // stored and the given one is kept, so a second process reading the
    // same thread loses nothing. count is stored as given.
    bool save_thread(const std::string& board, const std::string& dat, const ThreadState& state);

    // The posts counted in the thread's copy, when the copy is still the
    // one counted; lists of threads across boards count a copy only once.
    std::optional<int> copy_posts(const std::string& board, const std::string& dat, const CopyIdentity& copy) const;
    // Remembers the counts, all in one transaction, and forgets those of
    // threads neither among the favourites nor in the history.
    bool save_copy_posts(const std::vector<CountedCopy>& counted);

    // When the board's thread list was last shown.
    Lookup<long long> visited(const std::string& board) const;
    bool set_visited(const std::string& board, long long seconds);

    // The time (seconds) before which the board takes no post from us, as
    // its last answer said; none when it said none.
    Lookup<long long> post_wait(const std::string& board) const;
    bool set_post_wait(const std::string& board, long long until);

    // The numbers of the thread's posts the user wrote, in order; empty
    // when none or the state can't be read.
    std::vector<int> own_posts(const std::string& board, const std::string& dat) const;
    bool add_own_post(const std::string& board, const std::string& dat, int number);

    // Favourites, in the order they were added.
    std::vector<ThreadRef> favourites() const;
    // None when the database can't be read.
    std::optional<bool> is_favourite(const std::string& board, const std::string& dat) const;
    // Adds at the end; a thread already there stays where it is.
    bool add_favourite(const ThreadRef& thread);
    bool remove_favourite(const std::string& board, const std::string& dat);
    // Moves the favourite to place (1 for the first), the others keeping
    // their order; a place past either end is that end. Returns the place
    // it went to; none when the thread is no favourite or the move failed.
    std::optional<int> move_favourite(const std::string& board, const std::string& dat, int place);
    // Whether each favourite's last update check found it in the archive of
    // fallen threads, by board and dat name; empty when the database can't
    // be read.
    std::vector<std::pair<std::string, std::string>> fallen_favourites() const;
    // Remembers what the update check found, in one transaction.
    bool save_checks(const std::vector<FavouriteCheck>& checks);
    // The successor takes the favourite's place (its position in the list);
    // a copy of the successor elsewhere in the list goes. False when the
    // thread is no favourite.
    bool replace_favourite(const std::string& board, const std::string& dat, const ThreadRef& successor);

    // Records a thread opened at the given time: it goes to the top of the
    // history, which keeps the last kHistoryLimit threads.
    bool record_opened(const ThreadRef& thread, long long seconds);
    // The history, newest first.
    std::vector<HistoryEntry> history() const;

private:
    Database(sqlite3* db, StatementCache statements);
    // The one number sql (with the board bound) selects: a board's row.
    Lookup<long long> board_number(const char* sql, const std::string& board) const;
    // Tells the listener SQLite's reason, the first time of each kind.
    void report(StateFailure kind) const;
    // ok, after reporting a write failure when it is false.
    bool wrote(bool ok) const;


    sqlite3* db_;
    // Every statement, prepared once and found again by its text.
    std::unique_ptr<StatementCache> statements_;
    FailureListener listener_;
    mutable bool reported_[2] = {false, false};  // by StateFailure
    mutable bool damage_met_ = false;            // a damaged page was met
};

}  // namespace zubo::store
