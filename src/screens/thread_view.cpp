#include "screens/thread_view.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/console.h"
#include "console/messages.h"
#include "documents/successors.h"
#include "documents/thread_document.h"
#include "documents/thread_listing.h"
#include "documents/thread_source.h"
#include "net/download.h"
#include "screens/commands.h"
#include "screens/download_report.h"
#include "screens/ng_rules_report.h"
#include "screens/post_screen.h"
#include "screens/thread_list.h"
#include "screens/thread_reader.h"
#include "store/clock.h"
#include "store/database.h"
#include "store/home.h"
#include "text/decoded_text.h"
#include "text/gc_bytes.h"
#include "text/lines.h"

namespace zubo {
namespace {

// The thread to read and where it came from.
struct Fetched {
    Document document;
    bool from_archive = false;
    // The thread answered (saved or not): what the copy holds is what the
    // service has. A failed download knows nothing of what is new.
    bool arrived = false;
};

// The local copy, brought up to date when the name is safe to use (from
// the archive when the thread has fallen off its board), with the
// download's outcome on the line, and a line more when the archive had it.
// Returns the thread to read: what arrived when the copy could not take
// it, else the copy; none when the name is unsafe.
Fetched fetch_thread(Run& run, const char* url, const std::string& board, const char* dat_name) {
    if (!is_plain_file_name(dat_name)) {
        run.console.write(messages::failed_unsafe_name);
        return {};
    }
    DownloadResult result = update_thread_copy(url, board, dat_name, interactive_limits(run));
    report_download(run.console, result, {messages::download_ok_dot, messages::failed_not_thread});
    if (result.from_archive) run.console.write(messages::read_from_archive);
    const bool arrived = result.ok() || result.unsaved.has_value();
    return {{thread_path(board, dat_name), std::move(result.unsaved)}, result.from_archive, arrived};
}

// The visit of a thread of count posts, by what was remembered of it: it
// resumes after the highest post seen, and marks where the posts that
// came since the last visit begin; a thread read to its last post with
// nothing new opens at its last page, said only when the thread answered
// (known). A state that couldn't be read gives none: the visit starts at
// post 1.
Visit plan_visit(console::Console& console, const std::optional<store::ThreadState>& state, int count, bool known) {
    Visit visit;
    if (!state) return visit;
    if (count >= 1 && state->seen >= count && state->count >= count) {
        if (known) console.write(messages::no_new_posts);
        visit.last_page = true;
        return visit;
    }
    if (state->seen >= 1 && state->seen < count) {
        visit.start = static_cast<int>(state->seen) + 1;
        console.print(messages::resume_line, visit.start, count);
    }
    if (state->count >= 1 && state->count < count) visit.new_from = static_cast<int>(state->count) + 1;
    return visit;
}

// A visit that starts where a link's suffix says; the new posts are
// marked as by plan_visit.
Visit link_visit(const std::optional<store::ThreadState>& state, int count, LinkStart start) {
    Visit visit;
    if (state && state->count >= 1 && state->count < count) visit.new_from = static_cast<int>(state->count) + 1;
    visit.start = start.last ? std::max(1, count - start.last + 1) : std::max(1, std::min(start.from, count));
    return visit;
}

// The title of a thread opened from a link: its board's list's, else the
// one its first line carries.
std::string title_of(const std::string& board, const char* dat_name, const Document& document) {
    if (File list = open_file(thread_list_path(board).c_str(), "r")) {
        std::string listed = listed_title(list.get(), dat_name);
        if (!listed.empty()) return listed;
    }
    File copy = open_document(document);
    return copy ? thread_title(copy.get()) : std::string();
}

// The thread on screen: its posts as its copy (or what arrived, when the
// copy could not take it) gives them, read again when an NG rule is added
// at the prompt, and its place among the favourites.
class ThreadCopy : public ThreadHost {
public:
    ThreadCopy(Run& run, const char* url, const std::string& board, const char* dat_name, const char* title,
               Fetched fetched)
        : run_(run), url_(url), board_(board), dat_name_(dat_name), title_(title), state_(run.state),
          document_(std::move(fetched.document)), from_archive_(fetched.from_archive) {}

    bool load() {
        CopyFile copy(document_);
        if (!copy.stream()) return false;
        // The old table is left to the collector. The fields take about the
        // room of the document, less its separators: one block from the
        // start.
        table_ = PostTable();
        table_.reserve(copy.size());
        load_ = load_thread(run_, copy.stream(), table_);
        return true;
    }

    const PostTable& posts() const { return table_; }
    bool over_limit() const { return load_.over_limit; }

    void reload() override { load(); }
    bool hide() const override { return load_.hide; }
    bool from_archive() const override { return from_archive_; }

    // The copy's posts stay when the copy can't be read any more.
    bool update() override {
        if (!url_) {
            reload();
            return false;
        }
        announce_download(run_.console, messages::reading_thread);
        Fetched fetched = fetch_thread(run_, url_, board_, dat_name_);
        document_ = std::move(fetched.document);
        from_archive_ = fetched.from_archive || from_archive_;
        load();
        return fetched.arrived;
    }

    // A change that could not be made is said by the state, never as done.
    void toggle_favourite() override {
        if (!state_) return;
        const std::optional<bool> favourite = state_->is_favourite(board_, dat_name_);
        if (!favourite) return;
        if (*favourite) {
            if (state_->remove_favourite(board_, dat_name_)) run_.console.write(messages::favourite_removed);
        } else if (state_->add_favourite({board_, dat_name_, title_})) {
            run_.console.write(messages::favourite_added);
        }
    }

    bool write_reply(int anchor, int* post_number) override {
        if (!url_) return false;
        std::string key(dat_name_);
        if (key.size() > 4 && key.compare(key.size() - 4, 4, ".dat") == 0) key.resize(key.size() - 4);
        const int before = table_.count();
        const PostResult result = write_post(run_, {url_, board_, key}, anchor);
        if (!result.written) return false;
        update();
        int number = result.post_number;
        if (number <= before || number > table_.count()) number = post_holding(before + 1, result.body);
        if (number > 0 && state_ && state_->add_own_post(board_, dat_name_, number)) read_own_posts();
        *post_number = number;
        return true;
    }

    const std::vector<int>& own_posts() const override { return own_; }

    void read_own_posts() {
        if (state_) own_ = state_->own_posts(board_, dat_name_);
    }

    void find_successor() override {
        Document list{thread_list_path(board_), std::nullopt};
        if (url_) {
            announce_download(run_.console, messages::reading_thread_list);
            list = download_thread_list(run_, url_, board_);
        }
        const std::vector<Successor> found = successors_in(list, dat_name_, title_, table_);
        if (found.empty()) return run_.console.write(messages::no_successors);
        run_.console.write(messages::successors_banner);
        const int count = static_cast<int>(found.size());
        for (int k = 1; k <= count; ++k) {
            run_.console.print_decoded(messages::entry_line, k, found[static_cast<std::size_t>(k - 1)].title.c_str());
        }
        run_.console.print(messages::successors_prompt, count);
        TypedLine line;
        line.read(run_.console);
        const long long chosen = line.number();
        if (chosen < 1 || chosen > count) return;
        const Successor& next = found[static_cast<std::size_t>(chosen - 1)];
        // A favourite's successor takes its place.
        if (state_ && state_->is_favourite(board_, dat_name_).value_or(false)) {
            state_->replace_favourite(board_, dat_name_, {board_, next.dat_name, next.title});
        }
        show_thread(run_, url_, board_, next.dat_name.c_str(), next.title.c_str());
    }

private:
    // The first post from first whose body, as shown, is the one sent
    // (blanks and line ends aside); 0 when none is.
    int post_holding(int first, const std::string& sent) const {
        std::string decoded;
        const std::string wanted = without_blanks(sent);
        for (int n = first; n <= table_.count(); ++n) {
            if (without_blanks(decoded_cp932(table_.post(n).body, false, &decoded)) == wanted) return n;
        }
        return 0;
    }

    static std::string without_blanks(std::string_view text) {
        std::string kept;
        for (char c : text) {
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r') kept += c;
        }
        return kept;
    }

    Run& run_;
    const char* url_;
    const std::string& board_;
    const char* dat_name_;
    const char* title_;
    store::Database* state_;
    Document document_;
    bool from_archive_;
    PostTable table_;
    ThreadLoad load_;
    std::vector<int> own_;
};

}  // namespace

ThreadLoad load_thread(Run& run, std::FILE* f, PostTable& table) {
    if (!table.reserve(0)) return {};
    NgWords words = read_ng_words(run.console.utf8());
    return read_thread_posts(f, table, words, run.ng_rules.read(run.console));
}

void show_thread(Run& run, const char* url, const std::string& board, const char* dat_name, const char* title,
                 LinkStart start) {
    // The post table of the thread read last is garbage by now; reclaiming
    // it first lets the new table take its place, so the pages in use stay
    // the same however many threads are opened. Before the first there is
    // none to reclaim.
    if (run.thread_read_before) gc::collect();
    run.thread_read_before = true;

    // A thread whose board has left the menu is read from its copy.
    Fetched fetched;
    if (url) {
        announce_download(run.console, messages::reading_thread);
        fetched = fetch_thread(run, url, board, dat_name);
    } else if (is_plain_file_name(dat_name)) {
        fetched.document.path = thread_path(board, dat_name);
    }
    run.console.write(messages::thread_banner);
    const bool fetched_arrived = fetched.arrived;
    std::string own_title;
    if (!title) {
        own_title = title_of(board, dat_name, fetched.document);
        title = own_title.c_str();
    }
    ThreadCopy copy(run, url, board, dat_name, title, std::move(fetched));
    if (!copy.load()) {
        run.console.write(messages::dat_open_error);
        return;
    }
    copy.read_own_posts();
    const PostTable& table = copy.posts();
    if (copy.over_limit()) run.console.write(messages::reading_limit);

    store::Database* state = run.state;
    Visit visit;
    if (state) {
        state->record_opened({board, dat_name, title}, store::now_seconds());
        const std::optional<store::ThreadState> known = state->thread(board, dat_name).found;
        const bool named = start.from || start.last;
        visit = named ? link_visit(known, table.count(), start)
                      : plan_visit(run.console, known, table.count(), fetched_arrived);
    } else if (start.from || start.last) {
        visit = link_visit(std::nullopt, table.count(), start);
    }
    // However the visit ends, the state learns what it showed.
    console::EndHook remember(run.console, [&] {
        if (state) state->save_thread(board, dat_name, {visit.highest, table.count()});
    });
    read_thread(run, table, title, visit, copy);
}

}  // namespace zubo
