#include "screens/saved_threads.h"

#include <sys/stat.h>

#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "console/console.h"
#include "console/messages.h"
#include "documents/thread_marks.h"
#include "documents/thread_source.h"
#include "screens/download_report.h"
#include "screens/pager.h"
#include "screens/thread_view.h"
#include "store/database.h"
#include "store/home.h"
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

// Threads of several boards, each shown with the posts in its copy, its
// board, and its read state's mark counted from the copy; a favourite the
// update check could not reach says so.
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
        if (unchecked_.count({saved.board, saved.dat})) text += messages::update_unchecked;
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

private:
    const store::ThreadRef& thread(int n) const { return threads_[static_cast<std::size_t>(n - 1)]; }

    // The board's URL in today's menu; null when the board has left it.
    const char* url_of(const std::string& board) const {
        auto found = boards_.find(board);
        return found == boards_.end() ? nullptr : found->second.c_str();
    }

    void list_all() {
        listed_.clear();
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
        return thread;
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
    std::vector<ListedThread> listed_;
    std::vector<store::CountedCopy> counted_;  // not yet remembered
};

// The line that says how far the check has come, rewritten in place.
void show_progress(console::Console& console, int done, int total) {
    console.write_control("\r");
    console.print(messages::checking_updates, done, total);
    console.write_control("\x1b[K");
    console.flush();
}

// Brings the favourites' copies up to date; returns those whose download
// failed. One whose board left the menu is not tried.
ThreadNames check_for_updates(Run& run, const std::vector<store::ThreadRef>& favourites, const BoardUrls& boards) {
    ThreadNames unchecked;
    const bool on_terminal = run.console.output_is_terminal();
    const DownloadLimits limits = interactive_limits(run);
    const int total = static_cast<int>(favourites.size());
    for (int done = 0; done < total && !run.console.interrupt_pending(); ++done) {
        const store::ThreadRef& saved = favourites[static_cast<std::size_t>(done)];
        if (on_terminal) show_progress(run.console, done + 1, total);
        auto board = boards.find(saved.board);
        if (board == boards.end() || !is_plain_file_name(saved.dat.c_str())) continue;
        if (!update_thread_copy(board->second.c_str(), saved.board, saved.dat.c_str(), limits).ok()) {
            unchecked.insert({saved.board, saved.dat});
        }
    }
    // Ctrl-C was for the check: the favourites keep what they had.
    run.console.clear_interrupt();
    if (on_terminal) run.console.write_control("\r\x1b[K");
    return unchecked;
}

}  // namespace

void show_favourites(Run& run, const BoardUrls& boards, store::Database& state) {
    std::vector<store::ThreadRef> favourites = state.favourites();
    ThreadNames unchecked = check_for_updates(run, favourites, boards);
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
