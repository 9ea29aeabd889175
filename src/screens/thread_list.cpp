#include "screens/thread_list.h"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "console/console.h"
#include "console/messages.h"
#include "documents/thread_listing.h"
#include "documents/thread_marks.h"
#include "documents/thread_source.h"
#include "screens/download_report.h"
#include "screens/ng_rules_report.h"
#include "screens/open_link.h"
#include "screens/pager.h"
#include "screens/post_screen.h"
#include "screens/thread_view.h"
#include "store/clock.h"
#include "store/database.h"
#include "store/home.h"
#include "text/bytes.h"
#include "text/gc_bytes.h"
#include "text/lines.h"

namespace zubo {
namespace {

// A board's threads as the pager lists them: in the service's order or
// sorted, each with its marks from the read state.
class ThreadList : public PagerList {
public:
    ThreadList(Run& run, const char* url, const std::string& board, const ThreadRecord* threads, int count)
        : run_(run), url_(url), board_(board), threads_(threads), state_(run.state), now_(store::now_seconds()) {
        if (state_) {
            store::Lookup<long long> visited = state_->visited(board_);
            board_unknown_ = visited.failed;
            visited_ = visited.found;
            state_->set_visited(board_, now_);
        }
        const store::BoardStates none;
        listed_.reserve(static_cast<std::size_t>(count));
        for (int n = 1; n <= count; ++n) listed_.push_back(listed_thread(threads_[n].dat_name, threads_[n].title, none));
        // Without a read state there is nothing to look up.
        looked_up_.assign(listed_.size(), state_ == nullptr);
        hide_ng_titles();
        order_ = shown_entries(ListOrder::original);
    }

    int count() const override { return static_cast<int>(order_.size()); }
    const char* label(int n) const override { return record(n).title; }

    std::string annotation(int n) const override {
        const ListedThread& thread = listed(n);
        std::string text = order_kind_ == ListOrder::momentum ? momentum_text(momentum(thread, now_)) : "";
        return text + thread_mark(thread, visited_);
    }

    void open(int n) override {
        const ThreadRecord& thread = record(n);
        show_thread(run_, url_, board_, thread.dat_name, thread.title);
        // The visit changed what the marks say, of this thread and of any
        // its links led to: the entries are looked up again as they show.
        if (!state_) return;
        looked_up_.assign(looked_up_.size(), false);
        lookups_ = 0;
    }

    ListCommand command(const char* line) override {
        line_ = line;
        return run_list_command(*this, kCommands, line);
    }
    void print_help() const override { kCommands.print_help(run_.console); }

private:
    using Action = ListCommand (ThreadList::*)(const char* argument);
    static const CommandRow<Action> kRows[];
    static const CommandTable<Action> kCommands;

    // o and a letter sort the list and number it again from 1.
    ListCommand sort(const char* argument) {
        if (!argument[0] || !is_blank(argument + 1)) return ListCommand::kNotMine;
        std::optional<ListOrder> order = list_order(static_cast<char>(fold_lower(static_cast<unsigned char>(argument[0]))));
        if (!order) return ListCommand::kNotMine;
        if (*order == ListOrder::unread) look_up_all();
        order_kind_ = *order;
        order_ = shown_entries(order_kind_);
        run_.console.print(messages::sort_banner, list_order_name(order_kind_));
        return ListCommand::kListAgain;
    }

    // w: a new thread written on the board (its title asked first). The
    // list stays as it was read: the thread shows in the next one.
    ListCommand write(const char* argument) {
        if (!is_blank(argument)) return ListCommand::kNotMine;
        write_post(run_, {url_, board_, {}}, 0);
        return ListCommand::kSaid;
    }

    // A link typed at the prompt: the whole line.
    ListCommand link(const char*) { return open_typed_link(run_, line_); }

    // The entries in the given order, less those the title rules hide: the
    // list numbers only the threads it shows.
    std::vector<int> shown_entries(ListOrder order) const {
        std::vector<int> entries = sorted_entries(listed_, order, now_);
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [this](int e) { return ng_titles_[static_cast<std::size_t>(e - 1)]; }),
                      entries.end());
        return entries;
    }

    // The threads whose titles the NG rules name are left out, and counted.
    void hide_ng_titles() {
        ng_titles_.assign(listed_.size(), false);
        NgRules& rules = run_.ng_rules.read(run_.console);
        if (!rules.has_title_rules()) return;
        int hidden = 0;
        for (std::size_t i = 0; i < listed_.size(); ++i) {
            ng_titles_[i] = rules.matches_title(threads_[i + 1].title);
            hidden += ng_titles_[i];
        }
        if (hidden > 0) run_.console.print(messages::ng_threads_hidden, hidden);
    }

    int entry(int n) const { return order_[static_cast<std::size_t>(n - 1)]; }
    const ThreadRecord& record(int n) const { return threads_[entry(n)]; }
    const ListedThread& listed(int n) const { return looked_up(entry(n)); }
    ListedThread& listed(int n) { return looked_up(entry(n)); }

    // An entry with its read state. A page's entries are looked up one by
    // one, which a list read only at its first pages (most are) finds in a
    // few lookups; past kOneByOne of them the whole board is read at once.
    ListedThread& looked_up(int entry) const {
        const std::size_t i = static_cast<std::size_t>(entry - 1);
        if (!looked_up_[i]) {
            if (++lookups_ > kOneByOne) {
                look_up_all();
            } else {
                store::Lookup<store::ThreadState> found = state_->thread(board_, threads_[entry].dat_name);
                set_state(i, found.found, found.failed);
            }
        }
        return listed_[i];
    }

    void look_up_all() const {
        if (std::find(looked_up_.begin(), looked_up_.end(), false) == looked_up_.end()) return;
        std::optional<store::BoardStates> read = state_->board_threads(board_);
        for (std::size_t i = 0; i < listed_.size(); ++i) {
            if (looked_up_[i]) continue;
            const store::ThreadState* found = read ? read->find(threads_[i + 1].dat_name) : nullptr;
            set_state(i, found ? std::optional<store::ThreadState>(*found) : std::nullopt, !read);
        }
    }

    // Marks from a board whose state can't be read would all be wrong.
    void set_state(std::size_t i, std::optional<store::ThreadState> state, bool failed) const {
        listed_[i].state = state;
        listed_[i].state_unknown = failed || board_unknown_;
        looked_up_[i] = true;
    }

    static constexpr int kOneByOne = 100;

    Run& run_;
    const char* url_;
    const std::string& board_;
    const ThreadRecord* threads_;
    store::Database* state_;
    long long now_;
    std::optional<long long> visited_;
    bool board_unknown_ = false;
    // Entries in the service's order; their states looked up when first
    // shown.
    mutable std::vector<ListedThread> listed_;
    mutable std::vector<bool> looked_up_;
    mutable int lookups_ = 0;
    std::vector<int> order_;
    std::vector<bool> ng_titles_;  // by entry in the service's order
    ListOrder order_kind_ = ListOrder::original;
    const char* line_ = "";  // the line the prompt took last
};

const CommandRow<ThreadList::Action> ThreadList::kRows[] = {
    {"o", &ThreadList::sort, "o[m/n/c/u/o] : 並べ替え (m:勢い n:新しい順 c:レス数 u:未読 o:元の順)\n"},
    {"w", &ThreadList::write, "w : スレッドを立てる\n"},
    {"http", &ThreadList::link, "URL : そのスレッドか板を開く\n"},
    {"ttp", &ThreadList::link, nullptr},
    {"tp:", &ThreadList::link, nullptr},
};
const CommandTable<ThreadList::Action> ThreadList::kCommands{ThreadList::kRows};

}  // namespace

Document download_thread_list(Run& run, const char* url, const std::string& name) {
    DownloadResult result = update_thread_list_copy(url, name, interactive_limits(run));
    report_download(run.console, result, {messages::download_ok_dot, messages::failed_not_thread_list});
    return {thread_list_path(name), std::move(result.unsaved)};
}

void show_thread_list(Run& run, const char* url) {
    gc::Table<ThreadRecord> table(kThreadTableSize);
    if (!table) return;

    announce_download(run.console, messages::reading_thread_list);
    const std::string name = board_name(url);
    Document subject;
    if (name.empty()) {
        run.console.write(messages::failed_unsafe_board);
    } else {
        subject = download_thread_list(run, url, name);
    }
    run.console.write(messages::thread_list_banner);

    // The board's own list, or none: never another board's.
    File f = subject.path.empty() ? nullptr : open_document(subject);
    if (!f) {
        run.console.write(messages::no_thread_list);
        return;
    }
    ThreadListing listing = parse_subject(f.get(), table.get());
    f.reset();
    if (listing.over_limit) run.console.write(messages::reading_limit);

    ThreadList list(run, url, name, table.get(), listing.count);
    run_pager(run, kThreadListPager, list);
}

}  // namespace zubo
