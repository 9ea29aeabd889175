#include "screens/saved_threads.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/console.h"
#include "console/messages.h"
#include "documents/anchors.h"
#include "documents/thread_document.h"
#include "documents/thread_marks.h"
#include "documents/thread_source.h"
#include "screens/download_report.h"
#include "screens/pager.h"
#include "screens/thread_view.h"
#include "store/database.h"
#include "store/home.h"
#include "text/gc_bytes.h"
#include "text/lines.h"

namespace zubo {
namespace {

const PagerKind kFavouritesPager = {
    messages::favourites_prompt, messages::thread_search_prompt, messages::thread_open,
    nullptr,                     ListEnd::kReturn,               messages::thread_list_end,
    "e : 板一覧に戻る\n",
};

const PagerKind kHistoryPager = {
    messages::history_prompt, messages::thread_search_prompt, messages::thread_open,
    nullptr,                  ListEnd::kReturn,               messages::thread_list_end,
    "e : 板一覧に戻る\n",
};

// The posts in a thread's copy open at f: its lines.
int count_lines(std::FILE* f) {
    int lines = 0;
    char buffer[1 << 16];
    while (std::size_t got = std::fread(buffer, 1, sizeof buffer, f)) {
        for (const char* p = buffer; (p = static_cast<const char*>(std::memchr(p, '\n', buffer + got - p))); ++p) ++lines;
    }
    return lines;
}

// Favourites named by board and dat name.
using ThreadNames = std::set<std::pair<std::string, std::string>>;

// The number a command's argument starts with, after blanks, and where it
// ends; none when it starts with no digit. A number past any list counts
// as the largest int.
std::optional<int> leading_number(const char*& text) {
    text += std::strspn(text, " \t");
    if (*text < '0' || *text > '9') return std::nullopt;
    long long number = 0;
    for (; *text >= '0' && *text <= '9'; ++text) number = std::min<long long>(number * 10 + (*text - '0'), INT_MAX);
    return static_cast<int>(number);
}

// Threads of several boards, each shown with the posts in its copy, its
// board, and its read state's mark counted from the copy; a favourite the
// last check found in the archive says so, and one this check could not
// reach. The favourites are taken out and moved from their list.
class SavedThreadList : public PagerList {
public:
    // A list with a source (the favourites) takes its threads from it again
    // after each visit, where f and t may have changed them.
    using Source = std::vector<store::ThreadRef> (store::Database::*)() const;

    SavedThreadList(Run& run, std::vector<store::ThreadRef> threads, Source source, const BoardUrls& boards,
                    store::Database& state, ThreadNames unchecked = {})
        : run_(run), threads_(std::move(threads)), source_(source), boards_(boards), state_(state),
          unchecked_(std::move(unchecked)) {
        list_all();
    }

    int count() const override { return static_cast<int>(threads_.size()); }
    const char* label(int n) const override { return thread(n).title.c_str(); }

    std::string annotation(int n) const override {
        const store::ThreadRef& saved = thread(n);
        const ListedThread& listed = listed_[static_cast<std::size_t>(n - 1)];
        char board[300];
        std::snprintf(board, sizeof board, messages::saved_annotation, listed.posts, saved.board.c_str());
        std::string text = board;
        if (!url_of(saved.board)) text += messages::board_gone;
        text += thread_mark(listed, std::nullopt);
        if (fallen_.count({saved.board, saved.dat})) text += messages::mark_fallen;
        if (unchecked_.count({saved.board, saved.dat})) text += messages::update_unchecked;
        const auto replies = replies_.find({saved.board, saved.dat});
        if (replies != replies_.end() && replies->second > 0) {
            char mark[64];
            std::snprintf(mark, sizeof mark, messages::replies_mark, replies->second);
            text += mark;
        }
        return text;
    }

    void open(int n) override {
        const store::ThreadRef& saved = thread(n);
        show_thread(run_, url_of(saved.board), saved.board, saved.dat.c_str(), saved.title.c_str());
        if (source_) {
            threads_ = (state_.*source_)();
            return list_all();
        }
        listed_[static_cast<std::size_t>(n - 1)] = listed(saved);
        remember_counts();
    }

    // The favourites have commands of their own; the history has none.
    ListCommand command(const char* line) override {
        return source_ ? run_list_command(*this, kCommands, line) : ListCommand::kNotMine;
    }
    void print_help() const override {
        if (source_) kCommands.print_help(run_.console);
    }

private:
    using Action = ListCommand (SavedThreadList::*)(const char* argument);
    static const CommandRow<Action> kRows[];
    static const CommandTable<Action> kCommands;

    // The entry a command names; none, with the range said, when there is
    // no such entry.
    std::optional<int> entry(int n) const {
        if (n >= 1 && n <= count()) return n;
        run_.console.print(messages::jump_out_of_range, count());
        return std::nullopt;
    }

    // dN: favourite N leaves the favourites.
    ListCommand remove(const char* argument) {
        std::optional<int> n = leading_number(argument);
        if (!n || !is_blank(argument)) return ListCommand::kNotMine;
        if (!entry(*n)) return ListCommand::kDone;
        const store::ThreadRef& saved = thread(*n);
        if (state_.remove_favourite(saved.board, saved.dat)) run_.console.write(messages::favourite_removed);
        return list_again();
    }

    // mN M: favourite N goes to place M (a place past either end is that end).
    ListCommand move(const char* argument) {
        std::optional<int> n = leading_number(argument);
        if (!n || (*argument != ' ' && *argument != '\t')) return ListCommand::kNotMine;
        std::optional<int> place = leading_number(argument);
        if (!place || !is_blank(argument)) return ListCommand::kNotMine;
        if (!entry(*n)) return ListCommand::kDone;
        const store::ThreadRef& saved = thread(*n);
        if (std::optional<int> went = state_.move_favourite(saved.board, saved.dat, *place)) {
            run_.console.print(messages::favourite_moved, *n, *went);
        }
        return list_again();
    }

    ListCommand list_again() {
        threads_ = (state_.*source_)();
        list_all();
        return ListCommand::kListAgain;
    }

    const store::ThreadRef& thread(int n) const { return threads_[static_cast<std::size_t>(n - 1)]; }

    // The board's URL in today's menu; null when the board has left it.
    const char* url_of(const std::string& board) const {
        auto found = boards_.find(board);
        return found == boards_.end() ? nullptr : found->second.c_str();
    }

    void list_all() {
        listed_.clear();
        fallen_.clear();
        if (source_) {
            for (auto& name : state_.fallen_favourites()) fallen_.insert(std::move(name));
        }
        {
            store::Database::Reading reading(state_);
            for (const store::ThreadRef& thread : threads_) listed_.push_back(listed(thread));
        }
        remember_counts();
    }

    ListedThread listed(const store::ThreadRef& saved) {
        ListedThread thread;
        thread.key = thread_key(saved.dat.c_str());
        thread.posts = posts(saved);
        store::Lookup<store::ThreadState> state = state_.thread(saved.board, saved.dat);
        thread.state = state.found;
        thread.state_unknown = state.failed;
        replies_[{saved.board, saved.dat}] = state.found ? new_replies(saved, static_cast<int>(state.found->count)) : 0;
        return thread;
    }

    // The posts after the first seen ones of the thread's copy that anchor
    // one of the user's posts: the replies that came since the last visit.
    int new_replies(const store::ThreadRef& saved, int seen) {
        const std::vector<int> own = state_.own_posts(saved.board, saved.dat);
        if (own.empty()) return 0;
        File copy = open_file(thread_path(saved.board, saved.dat.c_str()).c_str(), "rb");
        if (!copy) return 0;
        int replies = 0;
        std::string line;
        int number = 0;
        for (int c; (c = std::fgetc(copy.get())) != EOF;) {
            if (c != '\n') {
                line += static_cast<char>(c);
                continue;
            }
            if (++number > seen) replies += anchors_any(dat_body(line), own);
            line.clear();
        }
        return replies;
    }

    // A copy's line's body: its fourth field.
    static std::string_view dat_body(std::string_view line) {
        for (int field = 0; field < 3; ++field) {
            const std::size_t end = line.find("<>");
            if (end == std::string_view::npos) return {};
            line.remove_prefix(end + 2);
        }
        return line.substr(0, line.find("<>"));
    }

    static bool anchors_any(std::string_view body, const std::vector<int>& own) {
        return std::any_of(own.begin(), own.end(), [body](int mine) { return anchors(body, mine); });
    }

    // The posts in the thread's copy. A copy is read only when it differs
    // from the one counted last time: fifty favourites of long threads are
    // megabytes, and most of them have not changed.
    int posts(const store::ThreadRef& saved) {
        File copy = open_file(thread_path(saved.board, saved.dat.c_str()).c_str(), "rb");
        struct stat info;
        if (!copy || fstat(fileno(copy.get()), &info) != 0) return 0;
        const store::CopyIdentity identity{static_cast<long long>(info.st_size),
                                           static_cast<long long>(info.st_mtim.tv_sec) * 1000000000 +
                                               info.st_mtim.tv_nsec,
                                           static_cast<long long>(info.st_ino)};
        if (std::optional<int> known = state_.copy_posts(saved.board, saved.dat, identity)) return *known;
        const int lines = count_lines(copy.get());
        counted_.push_back({saved.board, saved.dat, identity, lines});
        return lines;
    }

    void remember_counts() {
        state_.save_copy_posts(counted_);
        counted_.clear();
    }

    Run& run_;
    std::vector<store::ThreadRef> threads_;
    Source source_;
    const BoardUrls& boards_;
    store::Database& state_;
    const ThreadNames unchecked_;
    // Replies to the user's posts since the last visit, by board and dat name.
    std::map<std::pair<std::string, std::string>, int> replies_;
    ThreadNames fallen_;  // those the last check found in the archive
    std::vector<ListedThread> listed_;
    std::vector<store::CountedCopy> counted_;  // not yet remembered
};

const CommandRow<SavedThreadList::Action> SavedThreadList::kRows[] = {
    {"d", &SavedThreadList::remove, "dN : Nをお気に入りから外す\n"},
    {"m", &SavedThreadList::move, "mN M : NをM番目に移す\n"},
};
const CommandTable<SavedThreadList::Action> SavedThreadList::kCommands{SavedThreadList::kRows};

// The line that says how far the check has come, rewritten in place.
void show_progress(console::Console& console, int done, int total) {
    console.write_control("\r");
    console.print(messages::checking_updates, done, total);
    console.write_control("\x1b[K");
    console.flush();
}

// The limits of each download of the update check: a server that stops
// answering holds its own favourites for this long, never the others'.
constexpr long kCheckStallSeconds = 10;

// Brings the favourites' copies up to date, several at once, from the
// archive those that have fallen off their boards; remembers which did,
// and returns those the check could not reach (failed, or not started
// when Ctrl-C ended it). One whose board left the menu is not tried.
ThreadNames check_for_updates(Run& run, const std::vector<store::ThreadRef>& favourites, const BoardUrls& boards,
                              store::Database& state) {
    std::vector<const store::ThreadRef*> checked;
    std::vector<CopyUpdate> updates;
    for (const store::ThreadRef& saved : favourites) {
        auto board = boards.find(saved.board);
        if (board == boards.end() || !is_plain_file_name(saved.dat.c_str())) continue;
        make_directories(thread_directory(saved.board));
        checked.push_back(&saved);
        // The URLs are copied out of the collector's blocks: the list lives
        // in malloc's heap, where the collector never looks.
        CopyUpdate update;
        update.url = board->second + "dat/" + saved.dat;
        update.path = thread_path(saved.board, saved.dat.c_str());
        update.check = is_thread_document;
        if (const char* archived = archive_url(board->second.c_str(), saved.dat.c_str())) update.fallback = archived;
        update.falls_back = is_gone;
        updates.push_back(std::move(update));
    }

    const bool on_terminal = run.console.output_is_terminal();
    const int total = static_cast<int>(updates.size());
    if (on_terminal && total > 0) show_progress(run.console, 0, total);
    DownloadLimits limits = interactive_limits(run);
    limits.quiet = nullptr;  // the progress line is the check's own
    limits.connect_timeout_seconds = kCheckStallSeconds;
    limits.stall_seconds = kCheckStallSeconds;
    std::vector<DownloadResult> results = update_copies(updates, limits, [&](std::size_t finished) {
        if (on_terminal) show_progress(run.console, static_cast<int>(finished), total);
    });
    // Ctrl-C was for the check: the favourites keep what they had.
    run.console.clear_interrupt();
    if (on_terminal && total > 0) run.console.write_control("\r\x1b[K");

    ThreadNames unchecked;
    std::vector<store::FavouriteCheck> found;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const store::ThreadRef& saved = *checked[i];
        const DownloadResult& result = results[i];
        if (!result.ok()) unchecked.insert({saved.board, saved.dat});
        // A document that arrived says where it came from, saved or not.
        if (result.ok() || result.failure == DownloadFailure::kLocalFile) {
            found.push_back({saved.board, saved.dat, result.from_archive});
        }
    }
    state.save_checks(found);
    return unchecked;
}

}  // namespace

void show_favourites(Run& run, const BoardUrls& boards, store::Database& state) {
    std::vector<store::ThreadRef> favourites = state.favourites();
    ThreadNames unchecked = check_for_updates(run, favourites, boards, state);
    run.console.write(messages::favourites_banner);
    SavedThreadList list(run, std::move(favourites), &store::Database::favourites, boards, state,
                         std::move(unchecked));
    run_pager(run, kFavouritesPager, list);
}

void show_history(Run& run, const BoardUrls& boards, store::Database& state) {
    std::vector<store::ThreadRef> threads;
    for (store::HistoryEntry& entry : state.history()) threads.push_back(std::move(entry.thread));
    run.console.write(messages::history_banner);
    SavedThreadList list(run, std::move(threads), nullptr, boards, state);
    run_pager(run, kHistoryPager, list);
}

}  // namespace zubo
