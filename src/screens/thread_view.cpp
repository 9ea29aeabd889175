#include "screens/thread_view.h"

#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/console.h"
#include "console/messages.h"
#include "documents/anchors.h"
#include "documents/ng_words.h"
#include "documents/post_id.h"
#include "documents/successors.h"
#include "documents/thread_listing.h"
#include "documents/thread_marks.h"
#include "net/download.h"
#include "screens/commands.h"
#include "screens/download_report.h"
#include "screens/ng_rules_report.h"
#include "screens/thread_list.h"
#include "screens/thread_reader.h"
#include "store/clock.h"
#include "store/database.h"
#include "text/bytes.h"
#include "text/gc_bytes.h"
#include "text/lines.h"

namespace zubo {
namespace {

constexpr char kSeparator[] = "<>";
constexpr char kBreakTag[] = "<br>";
constexpr std::size_t kBreakTagSize = sizeof kBreakTag - 1;

// The bytes of the tag text starts with, or 0 when it starts none: '<', an
// ASCII letter, '/' or '!', then any bytes but '<' and '>', then '>'.
std::size_t tag_size(const char* text) {
    if (text[0] != '<') return 0;
    unsigned char first = fold_lower(static_cast<unsigned char>(text[1]));
    if (!(first >= 'a' && first <= 'z') && first != '/' && first != '!') return 0;
    std::size_t end = 2 + std::strcspn(text + 2, "<>");
    return text[end] == '>' ? end + 1 : 0;
}

// Whether the thread may have fallen into the archive: its server says it
// is gone or forbidden, or sends a page in its place.
bool may_have_fallen(const DownloadResult& result) {
    if (result.failure == DownloadFailure::kRedirectRefused) return true;
    return result.failure == DownloadFailure::kHttpStatus &&
           (result.status == 403 || result.status == 404 || result.status == 410);
}

// The local copy, brought up to date when the name is safe to use (from
// the archive when the thread has fallen off its board), with the
// download's outcome on the line. Returns the thread to read: what arrived
// when the copy could not take it, else the copy; none when the name is
// unsafe.
Document fetch_thread(const char* url, const std::string& board, const char* dat_name) {
    if (!is_plain_file_name(dat_name)) {
        console::write(messages::failed_unsafe_name);
        return {};
    }
    DownloadResult result = update_thread_copy(url, board, dat_name, interactive_limits());
    report_download(result, {messages::download_ok_dot, messages::failed_not_thread});
    return {thread_path(board, dat_name), std::move(result.unsaved)};
}

// The visit of a thread of count posts, by what was remembered of it: it
// resumes after the highest post seen, and marks where the posts that
// came since the last visit begin. A state that couldn't be read gives
// none: the visit starts at post 1.
Visit plan_visit(const std::optional<store::ThreadState>& state, int count) {
    Visit visit;
    if (!state) return visit;
    if (state->seen >= 1 && state->seen < count) {
        visit.start = static_cast<int>(state->seen) + 1;
        console::print(messages::resume_line, visit.start, count);
    }
    if (state->count >= 1 && state->count < count) visit.new_from = static_cast<int>(state->count) + 1;
    return visit;
}

struct Successor {
    std::string dat_name;
    std::string title;
};

// The successors of the thread among the board's list, best first: later
// threads by the likeness of their titles, with a bonus for the ones its
// posts name.
std::vector<Successor> successors_in(const Document& subject, const char* dat_name, const char* title,
                                     const PostTable& posts) {
    auto* table = reinterpret_cast<ThreadRecord*>(gc::alloc_bytes(sizeof(ThreadRecord) * kThreadTableSize));
    File f = open_document(subject);
    if (!table || !f) return {};
    ThreadListing listing = parse_subject(f.get(), table);
    std::vector<KeyedTitle> list;
    for (int n = 1; n <= listing.count; ++n) list.push_back({thread_key(table[n].dat_name), table[n].title});
    std::vector<std::string_view> bodies;
    for (int n = 1; n <= posts.count(); ++n) bodies.push_back(posts.post(n).body);
    std::vector<Successor> found;
    for (const SuccessorCandidate& c : successor_candidates({thread_key(dat_name), title}, list, bodies)) {
        found.push_back({table[c.entry].dat_name, table[c.entry].title});
    }
    return found;
}

// The thread on screen: its posts as its copy (or what arrived, when the
// copy could not take it) gives them, read again when an NG rule is added
// at the prompt, and its place among the favourites.
class ThreadCopy : public ThreadHost {
public:
    ThreadCopy(const char* url, const std::string& board, const char* dat_name, const char* title,
               store::Database* state, Document document)
        : url_(url), board_(board), dat_name_(dat_name), title_(title), state_(state), document_(std::move(document)) {}

    bool load() {
        CopyFile copy(document_);
        if (!copy.stream()) return false;
        // The old table is left to the collector. The fields take about the
        // room of the document, less its separators: one block from the
        // start.
        table_ = PostTable();
        table_.reserve(copy.size());
        load_ = load_thread(copy.stream(), table_);
        return true;
    }

    const PostTable& posts() const { return table_; }
    bool over_limit() const { return load_.over_limit; }

    void reload() override { load(); }
    bool hide() const override { return load_.hide; }

    // A change that could not be made is said by the state, never as done.
    void toggle_favourite() override {
        if (!state_) return;
        const std::optional<bool> favourite = state_->is_favourite(board_, dat_name_);
        if (!favourite) return;
        if (*favourite) {
            if (state_->remove_favourite(board_, dat_name_)) console::write(messages::favourite_removed);
        } else if (state_->add_favourite({board_, dat_name_, title_})) {
            console::write(messages::favourite_added);
        }
    }

    void find_successor() override {
        Document list{thread_list_path(board_), std::nullopt};
        if (url_) {
            announce_download(messages::reading_thread_list);
            list = download_thread_list(url_, board_);
        }
        const std::vector<Successor> found = successors_in(list, dat_name_, title_, table_);
        if (found.empty()) return console::write(messages::no_successors);
        console::write(messages::successors_banner);
        const int count = static_cast<int>(found.size());
        for (int k = 1; k <= count; ++k) {
            console::print_decoded(messages::entry_line, k, found[static_cast<std::size_t>(k - 1)].title.c_str());
        }
        console::print(messages::successors_prompt, count);
        TypedLine line;
        line.read();
        const long long chosen = line.number();
        if (chosen < 1 || chosen > count) return;
        const Successor& next = found[static_cast<std::size_t>(chosen - 1)];
        // A favourite's successor takes its place.
        if (state_ && state_->is_favourite(board_, dat_name_).value_or(false)) {
            state_->replace_favourite(board_, dat_name_, {board_, next.dat_name, next.title});
        }
        show_thread(url_, board_, next.dat_name.c_str(), next.title.c_str(), state_);
    }

private:
    const char* url_;
    const std::string& board_;
    const char* dat_name_;
    const char* title_;
    store::Database* state_;
    Document document_;
    PostTable table_;
    ThreadLoad load_;
};

}  // namespace

const char* archive_url(const char* url, const char* dat_name) {
    std::size_t digits = std::strspn(dat_name, "0123456789");
    if (digits < kArchiveDirDigits || std::strcmp(dat_name + digits, ".dat") != 0) return nullptr;
    char directory[kArchiveDirDigits + 1];
    std::memcpy(directory, dat_name, kArchiveDirDigits);
    directory[kArchiveDirDigits] = '\0';
    const char* base = gc::concat(url, "oyster/", directory);
    return base ? gc::concat(base, "/", dat_name) : nullptr;
}

int render_tags(char* field) {
    int breaks = 0;
    char* kept = field;
    for (const char* p = field; *p;) {
        // The text up to the next '<' stays as it is.
        std::size_t plain = static_cast<std::size_t>(strchrnul(p, '<') - p);
        if (kept != p) std::memmove(kept, p, plain);
        kept += plain;
        p += plain;
        if (!*p) break;
        std::size_t tag = tag_size(p);
        if (tag == 0) {
            *kept++ = *p++;
            continue;
        }
        if (tag == kBreakTagSize && std::memcmp(p, kBreakTag, kBreakTagSize) == 0) {
            *kept++ = '\n';
            *kept++ = '\t';
            ++breaks;
        }
        p += tag;
    }
    *kept = '\0';
    return breaks;
}

namespace {

void split_fields(char* line, PostRecord* post) {
    // A field with no separator after it (a short or cut line) is empty.
    FieldSplitter fields(line, kSeparator);
    copy_field(post->name, kFieldSize, fields.next());
    copy_field(post->mail, kFieldSize, fields.next());
    copy_field(post->date, kFieldSize, fields.next());
    copy_field(post->body, kBodySize, fields.next());
    post->lines = 2 + render_tags(post->name) + render_tags(post->mail) + render_tags(post->date) +
                  render_tags(post->body);
}

void set_abone(PostRecord* post) {
    char line[kAboneLineSize];
    std::memcpy(line, messages::abone_line, kAboneLineSize);
    split_fields(line, post);
}

}  // namespace

void parse_thread_line(char* line, NgWords& words, PostRecord* post) {
    post->ng = apply_ng_words(words, line) != 0;
    split_fields(line, post);
}

void PostJudge::judge(const char* raw, PostRecord* post) {
    // Without rules or chain only ngword.txt judges.
    if (!post->ng && (!rules_.empty() || rules_.chain())) {
        id_.assign(post_id(post->date));
        post->ng = rules_.matches_post({raw, post->name, post->mail, id_.c_str(), post->body}) ||
                   (rules_.chain() && chained(post->body));
        if (post->ng) set_abone(post);
    }
    ng_.push_back(post->ng);
    ng_count_ += post->ng;
}

// Whether the body anchors posts, and only posts NG'd before this one.
bool PostJudge::chained(const char* body) const {
    if (ng_count_ == 0) return false;
    const std::vector<int> anchored = anchored_posts(body);
    if (anchored.empty()) return false;
    for (int n : anchored) {
        if (static_cast<std::size_t>(n) >= ng_.size() || !ng_[static_cast<std::size_t>(n)]) return false;
    }
    return true;
}

ThreadLoad load_thread(std::FILE* f, PostTable& table) {
    ThreadLoad load;
    if (!table.reserve(0)) return load;

    NgWords words = read_ng_words(console::utf8());
    NgRules& rules = read_ng_rules_file();
    load.hide = rules.hide();
    PostJudge judge(rules);
    std::string raw;
    char line[kLineSize];
    PostRecord post;
    // Every line is a post; the NG filter may overwrite the line buffer.
    while (read_line_cut(f, line, sizeof line)) {
        if (table.full()) {
            load.over_limit = true;
            break;
        }
        if (!rules.empty()) raw.assign(line);
        parse_thread_line(line, words, &post);
        judge.judge(raw.c_str(), &post);
        if (!table.add(post)) break;
    }
    load.count = table.count();
    return load;
}

DownloadResult update_thread_copy(const char* url, const std::string& board, const char* dat_name,
                                  const DownloadLimits& limits) {
    const int unmade = make_directories(thread_directory(board));
    const std::string path = thread_path(board, dat_name);
    DownloadResult result = update_copy(gc::concat(url, "dat/", dat_name), path.c_str(), is_thread_document, limits);
    const char* archived = archive_url(url, dat_name);
    // When both places fail, the line tells how the archive answered.
    if (archived && may_have_fallen(result)) result = update_copy(archived, path.c_str(), is_thread_document, limits);
    blame_directory(unmade, result);
    return result;
}

bool is_thread_document(std::FILE* f) {
    char line[kLineSize];
    return read_line_cut(f, line, sizeof line) && std::strstr(line, kSeparator);
}

void show_thread(const char* url, const std::string& board, const char* dat_name, const char* title,
                 store::Database* state) {
    // The post table of the thread read last is garbage by now; reclaiming
    // it first lets the new table take its place, so the pages in use stay
    // the same however many threads are opened. Before the first there is
    // none to reclaim.
    static bool thread_read_before = false;
    if (thread_read_before) gc::collect();
    thread_read_before = true;

    // A thread whose board has left the menu is read from its copy.
    Document document;
    if (url) {
        announce_download(messages::reading_thread);
        document = fetch_thread(url, board, dat_name);
    } else if (is_plain_file_name(dat_name)) {
        document.path = thread_path(board, dat_name);
    }
    console::write(messages::thread_banner);
    ThreadCopy copy(url, board, dat_name, title, state, std::move(document));
    if (!copy.load()) {
        console::write(messages::dat_open_error);
        return;
    }
    const PostTable& table = copy.posts();
    if (copy.over_limit()) console::write(messages::reading_limit);

    Visit visit;
    if (state) {
        state->record_opened({board, dat_name, title}, store::now_seconds());
        visit = plan_visit(state->thread(board, dat_name).found, table.count());
    }
    // However the visit ends, the state learns what it showed.
    console::EndHook remember([&] {
        if (state) state->save_thread(board, dat_name, {visit.highest, table.count()});
    });
    read_thread(table, title, visit, copy);
}

}  // namespace zubo
