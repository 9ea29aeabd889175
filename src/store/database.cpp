#include "store/database.h"

#include <fcntl.h>
#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "store/clock.h"
#include "text/sjis.h"

namespace zubo::store {

// Every statement zubo runs, prepared once for the handle's life and
// found again by its text: the lists look a row up per entry, and
// preparing costs more than the lookup.
class StatementCache {
public:
    explicit StatementCache(sqlite3* db = nullptr) : db_(db) {}
    ~StatementCache() { finalize_all(); }
    StatementCache(StatementCache&& other) noexcept : db_(other.db_), kept_(std::move(other.kept_)) {
        other.kept_.clear();
    }
    StatementCache& operator=(StatementCache&& other) noexcept {
        finalize_all();
        db_ = other.db_;
        kept_ = std::move(other.kept_);
        other.kept_.clear();
        return *this;
    }
    StatementCache(const StatementCache&) = delete;

    sqlite3* db() const { return db_; }
    // The statement for sql; null when it can't be prepared (SQLite then
    // holds the reason).
    sqlite3_stmt* get(const std::string& sql) {
        auto found = kept_.find(sql);
        if (found != kept_.end()) return found->second;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
            return nullptr;
        }
        kept_.emplace(sql, stmt);
        return stmt;
    }

    void finalize_all() {
        for (const auto& kept : kept_) sqlite3_finalize(kept.second);
        kept_.clear();
    }

private:
    sqlite3* db_;
    std::unordered_map<std::string, sqlite3_stmt*> kept_;
};

namespace {

struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Handle = std::unique_ptr<sqlite3, Closer>;

// One use of a kept statement, made ready for its next use at the end.
class Statement {
public:
    Statement(StatementCache& cache, const std::string& sql) : stmt_(cache.get(sql)) {}
    ~Statement() {
        if (!stmt_) return;
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    explicit operator bool() const { return stmt_ != nullptr; }

    Statement& bind(const std::string& text) {
        if (stmt_) sqlite3_bind_text(stmt_, ++bound_, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(long long number) {
        if (stmt_) sqlite3_bind_int64(stmt_, ++bound_, number);
        return *this;
    }
    template <typename... Args>
    Statement& bind_all(const Args&... args) {
        (bind(args), ...);
        return *this;
    }

    int step() { return last_ = stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
    bool row() { return step() == SQLITE_ROW; }
    bool done() { return step() == SQLITE_DONE; }
    // Whether the last step found a row or the end, not an error.
    bool ok() const { return last_ == SQLITE_ROW || last_ == SQLITE_DONE; }

    // The column's bytes as stored: text is never converted.
    std::string text(int column) const {
        const void* bytes = sqlite3_column_blob(stmt_, column);
        int size = sqlite3_column_bytes(stmt_, column);
        return bytes ? std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(size)) : std::string();
    }
    long long number(int column) const { return sqlite3_column_int64(stmt_, column); }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int bound_ = 0;
    int last_ = SQLITE_OK;
};

// One statement without arguments run to its end.
bool exec(StatementCache& cache, const char* sql) {
    Statement s(cache, sql);
    int rc;
    while ((rc = s.step()) == SQLITE_ROW) {
    }
    return rc == SQLITE_DONE;
}

// A write transaction that takes the write lock at once, so the busy
// timeout covers the whole change; rolled back unless committed.
class Transaction {
public:
    explicit Transaction(StatementCache& db) : db_(db), open_(exec(db, "BEGIN IMMEDIATE")) {}
    ~Transaction() {
        if (open_) exec(db_, "ROLLBACK");
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool began() const { return open_; }
    bool commit() {
        if (open_ && exec(db_, "COMMIT")) open_ = false;
        return !open_;
    }

private:
    StatementCache& db_;
    bool open_;
};

template <typename... Args>
bool change(StatementCache& db, const std::string& sql, const Args&... args) {
    Statement s(db, sql);
    return s.bind_all(args...).done();
}

// Titles are kept as UTF-8 without the thread list's trailing " (N)",
// the posts when the label was taken, which the lists show fresh.
std::string without_post_count(std::string title) {
    if (title.empty() || title.back() != ')') return title;
    std::size_t open = title.find_last_not_of("0123456789", title.size() - 2);
    if (open == std::string::npos || open + 2 == title.size() || open < 2 || title[open] != '(' ||
        title[open - 1] != ' ') {
        return title;
    }
    title.erase(open - 1);
    return title;
}

std::string stored_title(const std::string& cp932) {
    std::size_t size = 0;
    const char* utf8 = sjis::to_utf8_strict(cp932.data(), cp932.size(), &size);
    if (!utf8) utf8 = sjis::to_utf8(cp932.data(), cp932.size(), &size);
    return without_post_count(std::string(utf8, size));
}

std::string given_title(const std::string& utf8) {
    std::size_t size = 0;
    const char* cp932 = sjis::from_utf8_strict(utf8.data(), utf8.size(), &size);
    if (!cp932) cp932 = sjis::from_utf8(utf8.data(), utf8.size(), &size);
    return std::string(cp932, size);
}

// The documented tables may have been made by hand, without zubo's keys:
// they gain a unique index, the last of any duplicate rows kept.
bool has_unique_index(StatementCache& db, const char* table) {
    Statement s(db, "SELECT 1 FROM pragma_index_list(?) WHERE \"unique\"");
    return s.bind(std::string(table)).row();
}

bool give_key(StatementCache& db, const char* table, const char* columns) {
    if (has_unique_index(db, table)) return true;
    const std::string t = table, c = columns;
    return change(db, "DELETE FROM " + t + " WHERE rowid NOT IN (SELECT max(rowid) FROM " + t + " GROUP BY " + c + ")") &&
           change(db, "CREATE UNIQUE INDEX " + t + "_key ON " + t + " (" + c + ")");
}

bool key_documented_tables(StatementCache& db) {
    return give_key(db, "threads", "board, dat") && give_key(db, "boards", "board");
}

bool convert_titles(StatementCache& db, const std::string& table) {
    std::vector<std::pair<long long, std::string>> titles;
    Statement read(db, "SELECT rowid, title FROM " + table);
    while (read.row()) titles.emplace_back(read.number(0), stored_title(read.text(1)));
    if (!read.ok()) return false;
    for (const auto& [row, title] : titles) {
        if (!change(db, "UPDATE " + table + " SET title = ? WHERE rowid = ?", title, row)) return false;
    }
    return true;
}

// Titles were kept as CP932, with their post counts.
bool titles_to_utf8(StatementCache& db) { return convert_titles(db, "favourites") && convert_titles(db, "history"); }

// Each favourite says whether its last update check found it in the
// archive; a file whose favourites say so already is taken as it is.
bool mark_fallen_favourites(StatementCache& db) {
    {
        Statement has(db, "SELECT 1 FROM pragma_table_info('favourites') WHERE name = 'fallen'");
        if (has.row()) return true;
        if (!has.ok()) return false;
    }
    return change(db, "ALTER TABLE favourites ADD COLUMN fallen INTEGER NOT NULL DEFAULT 0");
}

struct Migration {
    const char* statements[6];      // run in order, up to the first null
    bool (*then)(StatementCache& db);  // what SQL alone can't do; may be null
};

// Each step takes the schema from its index to the next version. A file
// another tool made with the documented tables is at version 0 too, so
// every step takes what is already there as it is.
const Migration kMigrations[kSchemaVersion] = {
    {{"CREATE TABLE IF NOT EXISTS threads (board TEXT NOT NULL, dat TEXT NOT NULL, seen INTEGER NOT NULL,"
      " count INTEGER NOT NULL, PRIMARY KEY (board, dat))",
      "CREATE TABLE IF NOT EXISTS boards (board TEXT PRIMARY KEY, visited INTEGER NOT NULL)",
      "CREATE TABLE IF NOT EXISTS favourites (position INTEGER PRIMARY KEY, board TEXT NOT NULL, dat TEXT NOT NULL,"
      " title TEXT NOT NULL, UNIQUE (board, dat))",
      "CREATE TABLE IF NOT EXISTS history (board TEXT NOT NULL, dat TEXT NOT NULL, title TEXT NOT NULL,"
      " opened INTEGER NOT NULL, sequence INTEGER NOT NULL, PRIMARY KEY (board, dat))",
      "CREATE INDEX IF NOT EXISTS history_by_sequence ON history (sequence)"},
     key_documented_tables},
    {{"CREATE TABLE IF NOT EXISTS copies (board TEXT NOT NULL, dat TEXT NOT NULL, size INTEGER NOT NULL,"
      " modified INTEGER NOT NULL, inode INTEGER NOT NULL, posts INTEGER NOT NULL, PRIMARY KEY (board, dat))"},
     nullptr},
    {{}, titles_to_utf8},
    {{}, mark_fallen_favourites},
    {{"CREATE TABLE IF NOT EXISTS post_waits (board TEXT PRIMARY KEY, until INTEGER NOT NULL)",
      "CREATE TABLE IF NOT EXISTS own_posts (board TEXT NOT NULL, dat TEXT NOT NULL, number INTEGER NOT NULL,"
      " PRIMARY KEY (board, dat, number))"},
     nullptr},
    {{"CREATE TABLE IF NOT EXISTS checks (passed INTEGER NOT NULL)"}, nullptr},
};

bool run_migration(StatementCache& db, const Migration& m) {
    for (const char* sql : m.statements) {
        if (sql && !change(db, sql)) return false;
    }
    return !m.then || m.then(db);
}

// One opening of the file: the handle when it is usable, else why not and
// whether the file itself is at fault (then it is set aside).
struct Attempt {
    Handle db;
    StatementCache statements;
    std::string reason;
    bool broken = false;
};

void fail(Attempt* a, sqlite3* db) {
    int code = sqlite3_errcode(db) & 0xff;
    a->reason = sqlite3_errmsg(db);
    // Only a file that is no sound database is set aside: one zubo may not
    // open or write (SQLITE_CANTOPEN, SQLITE_PERM, SQLITE_READONLY) is the
    // user's to mend, and stays.
    a->broken = code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
    a->db.reset();
}

// How often the whole file is checked: the check reads every page, and a
// reader's file of some years holds hundreds of thousands of rows (15 MB,
// 45 ms at every start here).
constexpr long long kCheckEverySeconds = 24 * 60 * 60;

// Whether the file is due its check: checked and passed less than a day
// ago, by the clock, it is not. Any failure to tell (no such table in an
// older file, a damaged page, no database at all) makes it due: the check
// then says what is wrong. Reads only: a file set aside stays as it was.
bool check_due(StatementCache& db, long long now) {
    Statement s(db, "SELECT passed FROM checks");
    if (!s.row()) return true;
    const long long passed = s.number(0);
    return passed > now || now - passed >= kCheckEverySeconds;
}

void record_check(StatementCache& db, long long now) {
    Transaction t(db);
    if (t.began() && change(db, "DELETE FROM checks") && change(db, "INSERT INTO checks (passed) VALUES (?)", now)) {
        t.commit();
    }
}

bool passes_quick_check(Attempt* a) {
    Statement check(a->statements, "PRAGMA quick_check(1)");
    if (!check || !check.row()) {
        fail(a, a->db.get());
        return false;
    }
    std::string verdict = check.text(0);
    if (verdict == "ok") return true;
    a->reason = verdict;
    a->broken = true;
    a->db.reset();
    return false;
}

int user_version(StatementCache& db) {
    Statement s(db, "PRAGMA user_version");
    return s.row() ? static_cast<int>(s.number(0)) : -1;
}

// Brings the schema to kSchemaVersion, each step one transaction. Another
// process may be doing the same, so the version is read again inside it.
bool migrate(Attempt* a) {
    StatementCache& db = a->statements;
    int version = user_version(db);
    // A current schema, the usual case, is read once.
    if (version == kSchemaVersion) return true;
    for (; version != kSchemaVersion; version = user_version(db)) {
        if (version < 0) break;
        if (version > kSchemaVersion) {
            a->reason = "schema version " + std::to_string(version) + " is newer than this zubo knows";
            a->db.reset();
            return false;
        }
        Transaction t(db);
        if (!t.began()) break;
        if (user_version(db) != version) continue;
        std::string set_version = "PRAGMA user_version = " + std::to_string(version + 1);
        if (!run_migration(db, kMigrations[version]) || !change(db, set_version) || !t.commit()) break;
    }
    if (a->db && user_version(db) == kSchemaVersion) return true;
    fail(a, a->db.get());
    return false;
}

Attempt attempt(const std::string& path) {
    Attempt a;
    sqlite3* raw = nullptr;
    // One thread uses the connection: no lock around every call.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    a.db.reset(raw);
    if (rc != SQLITE_OK) {
        if (raw) {
            fail(&a, raw);
        } else {
            a.reason = sqlite3_errstr(rc);
        }
        return a;
    }
    sqlite3_busy_timeout(raw, kBusyTimeoutMs);
    a.statements = StatementCache(raw);
    const long long now = now_seconds();
    const bool checking = check_due(a.statements, now);
    if (checking && !passes_quick_check(&a)) return a;
    // The journal mode answers with the mode it is in; a file system
    // without shared memory keeps the rollback journal, which still works.
    if (Statement wal(a.statements, "PRAGMA journal_mode = WAL"); wal.step() != SQLITE_ROW) {
        fail(&a, raw);
        return a;
    }
    // In WAL mode a commit need not wait for the disk: a crash may lose the
    // last changes but never damages the file.
    exec(a.statements, "PRAGMA synchronous = NORMAL");
    // Nor does closing: the log stays beside the file (zubo.db-wal) and is
    // folded in when it has grown, not at every end of zubo, whose four
    // disk syncs took longer than reading a whole thread.
    sqlite3_db_config(raw, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    // A file that can't take the check's time is checked at every start.
    if (migrate(&a) && checking) record_check(a.statements, now);
    return a;
}

// Renames the file (and its write-ahead log, which belongs to it) aside,
// to PATH.broken-SECONDS, or PATH.broken-SECONDS-N when a file set aside
// earlier has that name (it is never replaced), and drops its shared-memory
// index. Returns the name it went to; empty when it couldn't be moved.
std::string set_file_aside(const std::string& path) {
    const std::string stem = path + ".broken-" + std::to_string(now_seconds());
    for (int n = 1; n <= 100; ++n) {
        const std::string aside = n == 1 ? stem : stem + "-" + std::to_string(n);
        if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) != 0) {
            if (errno == EEXIST) continue;
            return "";
        }
        std::rename((path + "-wal").c_str(), (aside + "-wal").c_str());
        std::remove((path + "-shm").c_str());
        return aside;
    }
    return "";
}

}  // namespace

Opened Database::open(const std::string& path) {
    Opened out;
    Attempt first = attempt(path);
    if (first.db) {
        out.db.reset(new Database(first.db.release(), std::move(first.statements)));
        return out;
    }
    if (first.broken) out.aside_path = set_file_aside(path);
    if (out.aside_path.empty()) {
        out.failed = first.reason;
        return out;
    }
    out.set_aside = first.reason;
    Attempt second = attempt(path);
    if (second.db) {
        out.db.reset(new Database(second.db.release(), std::move(second.statements)));
    } else {
        out.failed = second.reason;
    }
    return out;
}

Database::Database(sqlite3* db, StatementCache statements)
    : db_(db), statements_(std::make_unique<StatementCache>(std::move(statements))) {}

Database::~Database() {
    if (damage_met_) exec(*statements_, "DELETE FROM checks");
    statements_.reset();
    sqlite3_close_v2(db_);
}

Database::Reading::Reading(const Database& db) : statements_(*db.statements_), open_(exec(statements_, "BEGIN")) {}

Database::Reading::~Reading() {
    if (open_) exec(statements_, "COMMIT");
}

void Database::report(StateFailure kind) const {
    const int code = sqlite3_errcode(db_) & 0xff;
    const std::string reason = sqlite3_errmsg(db_);
    // A damaged page met: the next start checks the whole file, and sets
    // it aside if it fails (noted at the close, outside any transaction).
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) damage_met_ = true;
    bool& told = reported_[kind == StateFailure::kRead ? 0 : 1];
    if (told || !listener_) return;
    told = true;
    listener_(kind, reason.c_str());
}

bool Database::wrote(bool ok) const {
    if (!ok) report(StateFailure::kWrite);
    return ok;
}

Lookup<ThreadState> Database::thread(const std::string& board, const std::string& dat) const {
    Lookup<ThreadState> out;
    Statement s(*statements_, "SELECT seen, count FROM threads WHERE board = ? AND dat = ?");
    if (s.bind_all(board, dat).row()) {
        out.found = ThreadState{s.number(0), s.number(1)};
    } else if ((out.failed = !s.ok())) {
        report(StateFailure::kRead);
    }
    return out;
}

std::optional<BoardStates> Database::board_threads(const std::string& board) const {
    BoardStates states;
    // The key's order: the rows come sorted, and sort() finds them so.
    Statement s(*statements_, "SELECT dat, seen, count FROM threads WHERE board = ? ORDER BY dat");
    s.bind(board);
    while (s.row()) states.add(s.text(0), ThreadState{s.number(1), s.number(2)});
    if (!s.ok()) {
        report(StateFailure::kRead);
        return std::nullopt;
    }
    states.sort();
    return states;
}

void BoardStates::sort() {
    auto by_dat = [](const auto& a, const auto& b) { return a.first < b.first; };
    if (!std::is_sorted(states_.begin(), states_.end(), by_dat)) std::sort(states_.begin(), states_.end(), by_dat);
}

const ThreadState* BoardStates::find(std::string_view dat) const {
    auto at = std::lower_bound(states_.begin(), states_.end(), dat,
                               [](const auto& entry, std::string_view key) { return entry.first < key; });
    return at != states_.end() && at->first == dat ? &at->second : nullptr;
}

bool Database::save_thread(const std::string& board, const std::string& dat, const ThreadState& state) {
    return wrote(change(*statements_,
                        "INSERT INTO threads (board, dat, seen, count) VALUES (?, ?, ?, ?)"
                        " ON CONFLICT (board, dat) DO UPDATE SET seen = max(seen, excluded.seen),"
                        " count = excluded.count",
                        board, dat, state.seen, state.count));
}

std::optional<int> Database::copy_posts(const std::string& board, const std::string& dat,
                                        const CopyIdentity& copy) const {
    Statement s(*statements_, "SELECT size, modified, inode, posts FROM copies WHERE board = ? AND dat = ?");
    if (!s.bind_all(board, dat).row()) {
        if (!s.ok()) report(StateFailure::kRead);
        return std::nullopt;
    }
    if (!(CopyIdentity{s.number(0), s.number(1), s.number(2)} == copy)) return std::nullopt;
    return static_cast<int>(s.number(3));
}

namespace {

bool store_counts(StatementCache& db, const std::vector<CountedCopy>& counted) {
    for (const CountedCopy& c : counted) {
        if (!change(db,
                    "INSERT INTO copies (board, dat, size, modified, inode, posts) VALUES (?, ?, ?, ?, ?, ?)"
                    " ON CONFLICT (board, dat) DO UPDATE SET size = excluded.size, modified = excluded.modified,"
                    " inode = excluded.inode, posts = excluded.posts",
                    c.board, c.dat, c.copy.size, c.copy.modified, c.copy.inode, static_cast<long long>(c.posts))) {
            return false;
        }
    }
    // Only the lists count copies: the counts of threads in neither go.
    return change(db,
                  "DELETE FROM copies WHERE NOT EXISTS (SELECT 1 FROM favourites f WHERE f.board = copies.board"
                  " AND f.dat = copies.dat) AND NOT EXISTS (SELECT 1 FROM history h WHERE h.board = copies.board"
                  " AND h.dat = copies.dat)");
}

}  // namespace

bool Database::save_copy_posts(const std::vector<CountedCopy>& counted) {
    if (counted.empty()) return true;
    Transaction t(*statements_);
    return wrote(t.began() && store_counts(*statements_, counted) && t.commit());
}

Lookup<long long> Database::board_number(const char* sql, const std::string& board) const {
    Lookup<long long> out;
    Statement s(*statements_, sql);
    if (s.bind(board).row()) {
        out.found = s.number(0);
    } else if ((out.failed = !s.ok())) {
        report(StateFailure::kRead);
    }
    return out;
}

Lookup<long long> Database::visited(const std::string& board) const { return board_number("SELECT visited FROM boards WHERE board = ?", board); }

bool Database::set_visited(const std::string& board, long long seconds) {
    return wrote(change(*statements_,
                        "INSERT INTO boards (board, visited) VALUES (?, ?)"
                        " ON CONFLICT (board) DO UPDATE SET visited = excluded.visited",
                        board, seconds));
}

Lookup<long long> Database::post_wait(const std::string& board) const { return board_number("SELECT until FROM post_waits WHERE board = ?", board); }

bool Database::set_post_wait(const std::string& board, long long until) {
    return wrote(change(*statements_,
                        "INSERT INTO post_waits (board, until) VALUES (?, ?)"
                        " ON CONFLICT (board) DO UPDATE SET until = excluded.until",
                        board, until));
}

std::vector<int> Database::own_posts(const std::string& board, const std::string& dat) const {
    std::vector<int> numbers;
    Statement s(*statements_, "SELECT number FROM own_posts WHERE board = ? AND dat = ? ORDER BY number");
    s.bind_all(board, dat);
    while (s.row()) numbers.push_back(static_cast<int>(s.number(0)));
    if (!s.ok()) report(StateFailure::kRead);
    return numbers;
}

bool Database::add_own_post(const std::string& board, const std::string& dat, int number) {
    return wrote(change(*statements_, "INSERT OR IGNORE INTO own_posts (board, dat, number) VALUES (?, ?, ?)", board,
                        dat, static_cast<long long>(number)));
}

std::vector<ThreadRef> Database::favourites() const {
    std::vector<ThreadRef> list;
    Statement s(*statements_, "SELECT board, dat, title FROM favourites ORDER BY position");
    while (s.row()) list.push_back({s.text(0), s.text(1), given_title(s.text(2))});
    if (!s.ok()) report(StateFailure::kRead);
    return list;
}

std::optional<bool> Database::is_favourite(const std::string& board, const std::string& dat) const {
    Statement s(*statements_, "SELECT 1 FROM favourites WHERE board = ? AND dat = ?");
    const bool found = s.bind_all(board, dat).row();
    if (!found && !s.ok()) {
        report(StateFailure::kRead);
        return std::nullopt;
    }
    return found;
}

bool Database::add_favourite(const ThreadRef& thread) {
    return wrote(change(*statements_,
                        "INSERT INTO favourites (board, dat, title) VALUES (?, ?, ?)"
                        " ON CONFLICT (board, dat) DO NOTHING",
                        thread.board, thread.dat, stored_title(thread.title)));
}

bool Database::remove_favourite(const std::string& board, const std::string& dat) {
    return wrote(change(*statements_, "DELETE FROM favourites WHERE board = ? AND dat = ?", board, dat));
}

std::optional<int> Database::move_favourite(const std::string& board, const std::string& dat, int place) {
    Transaction t(*statements_);
    if (!t.began()) return wrote(false), std::nullopt;
    std::vector<long long> positions;
    long long highest = 0;
    std::size_t from = 0;
    bool found = false;
    Statement list(*statements_, "SELECT position, board = ? AND dat = ? FROM favourites ORDER BY position");
    list.bind_all(board, dat);
    while (list.row()) {
        if (list.number(1) != 0) {
            from = positions.size();
            found = true;
        }
        positions.push_back(list.number(0));
        highest = std::max(highest, list.number(0));
    }
    if (!list.ok()) return wrote(false), std::nullopt;
    if (!found) return std::nullopt;
    const std::size_t to = static_cast<std::size_t>(std::clamp(place, 1, static_cast<int>(positions.size())) - 1);
    std::vector<long long> order = positions;
    const long long moved = order[from];
    order.erase(order.begin() + static_cast<std::ptrdiff_t>(from));
    order.insert(order.begin() + static_cast<std::ptrdiff_t>(to), moved);
    // Positions stay unique at every step: first each row above every
    // position there is, in its new order, then down to 1, 2, 3...
    const long long above = highest + static_cast<long long>(order.size()) + 1;
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (!change(*statements_, "UPDATE favourites SET position = ? WHERE position = ?",
                    above + static_cast<long long>(k), order[k])) {
            return wrote(false), std::nullopt;
        }
    }
    if (!change(*statements_, "UPDATE favourites SET position = position - ? WHERE position >= ?", above - 1, above) ||
        !t.commit()) {
        return wrote(false), std::nullopt;
    }
    return static_cast<int>(to) + 1;
}

std::vector<std::pair<std::string, std::string>> Database::fallen_favourites() const {
    std::vector<std::pair<std::string, std::string>> fallen;
    Statement s(*statements_, "SELECT board, dat FROM favourites WHERE fallen <> 0");
    while (s.row()) fallen.emplace_back(s.text(0), s.text(1));
    if (!s.ok()) report(StateFailure::kRead);
    return fallen;
}

bool Database::save_checks(const std::vector<FavouriteCheck>& checks) {
    if (checks.empty()) return true;
    Transaction t(*statements_);
    if (!t.began()) return wrote(false);
    for (const FavouriteCheck& check : checks) {
        if (!change(*statements_, "UPDATE favourites SET fallen = ? WHERE board = ? AND dat = ?",
                    static_cast<long long>(check.fallen), check.board, check.dat)) {
            return wrote(false);
        }
    }
    return wrote(t.commit());
}

bool Database::replace_favourite(const std::string& board, const std::string& dat, const ThreadRef& successor) {
    Transaction t(*statements_);
    if (!t.began()) return wrote(false);
    Statement find(*statements_, "SELECT position FROM favourites WHERE board = ? AND dat = ?");
    if (!find.bind_all(board, dat).row()) return find.ok() ? false : wrote(false);
    const long long position = find.number(0);
    return wrote(change(*statements_, "DELETE FROM favourites WHERE board = ? AND dat = ? AND position <> ?", successor.board,
                        successor.dat, position) &&
                 change(*statements_, "UPDATE favourites SET board = ?, dat = ?, title = ?, fallen = 0 WHERE position = ?",
                        successor.board, successor.dat, stored_title(successor.title), position) &&
                 t.commit());
}

bool Database::record_opened(const ThreadRef& thread, long long seconds) {
    Transaction t(*statements_);
    return wrote(t.began() &&
                 change(*statements_,
                        "INSERT INTO history (board, dat, title, opened, sequence)"
                        " VALUES (?, ?, ?, ?, (SELECT coalesce(max(sequence), 0) + 1 FROM history))"
                        " ON CONFLICT (board, dat) DO UPDATE"
                        " SET title = excluded.title, opened = excluded.opened, sequence = excluded.sequence",
                        thread.board, thread.dat, stored_title(thread.title), seconds) &&
                 change(*statements_,
                        "DELETE FROM history WHERE sequence <="
                        " (SELECT sequence FROM history ORDER BY sequence DESC LIMIT 1 OFFSET ?)",
                        static_cast<long long>(kHistoryLimit)) &&
                 t.commit());
}

std::vector<HistoryEntry> Database::history() const {
    std::vector<HistoryEntry> list;
    Statement s(*statements_, "SELECT board, dat, title, opened FROM history ORDER BY sequence DESC LIMIT ?");
    s.bind(static_cast<long long>(kHistoryLimit));
    while (s.row()) list.push_back({{s.text(0), s.text(1), given_title(s.text(2))}, s.number(3)});
    if (!s.ok()) report(StateFailure::kRead);
    return list;
}

}  // namespace zubo::store
