#include "screens/thread_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "console/console.h"
#include "console/messages.h"
#include "documents/anchors.h"
#include "documents/ng_rules.h"
#include "documents/post_id.h"
#include "documents/urls.h"
#include "screens/commands.h"
#include "screens/open_link.h"
#include "store/files.h"
#include "text/bytes.h"
#include "text/decoded_text.h"
#include "text/nocase_search.h"
#include "text/screen_rows.h"
#include "text/sjis.h"

namespace zubo {
namespace {

constexpr char kBold[] = "\x1b[1m";
constexpr char kGreen[] = "\x1b[32m";
constexpr char kCyan[] = "\x1b[36m";
constexpr char kYellow[] = "\x1b[33m";
constexpr char kReset[] = "\x1b[0m";

// An anchor command prints at most this many posts.
constexpr int kAnchorPostLimit = 50;

// A program text with its numbers, in CP932, for a line printed in colour.
template <typename... Args>
std::string format_text(const char* format, Args... args) {
    int size = std::snprintf(nullptr, 0, format, args...);
    if (size < 0) return {};
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.pop_back();
    return text;
}

// Prints text (the service's, references decoded) in one colour, reset
// before each line break so no colour runs past a line's end.
void print_coloured(console::Console& console, const char* sgr, std::string_view text) {
    for (;;) {
        std::size_t line_end = text.find('\n');
        std::string piece(text.substr(0, line_end));
        if (!piece.empty()) {
            console.write_control(sgr);
            console.print_decoded("%s", piece.c_str());
            console.write_control(kReset);
        }
        if (line_end == std::string_view::npos) return;
        console.write("\n");
        text.remove_prefix(line_end + 1);
    }
}

void print_plain(console::Console& console, std::string_view text) {
    std::string piece(text);
    console.print_decoded("%s", piece.c_str());
}

// A count line or a mark line: in yellow when colour is on.
void print_note(console::Console& console, bool colour, const std::string& line) {
    if (!colour) return console.write(line.c_str());
    print_coloured(console, kYellow, line);
}

// Where the body's anchors and links stand, in order, none overlapping.
std::vector<AnchorSpan> highlighted_spans(std::string_view body) {
    std::vector<AnchorSpan> spans = anchor_spans(body);
    for (const FoundUrl& url : find_urls(body)) spans.push_back({url.begin, url.end});
    std::sort(spans.begin(), spans.end(), [](const AnchorSpan& a, const AnchorSpan& b) { return a.begin < b.begin; });
    std::vector<AnchorSpan> kept;
    for (const AnchorSpan& span : spans) {
        if (kept.empty() || span.begin >= kept.back().end) kept.push_back(span);
    }
    return kept;
}

void print_coloured_body(console::Console& console, std::string_view body) {
    std::size_t at = 0;
    for (const AnchorSpan& span : highlighted_spans(body)) {
        print_plain(console, body.substr(at, span.begin - at));
        print_coloured(console, kCyan, body.substr(span.begin, span.end - span.begin));
        at = span.end;
    }
    print_plain(console, body.substr(at));
}

// Where a post stands among those an ID command prints: k of total.
struct Place {
    int k = 0;  // 0: no place shown
    int total = 0;
};

// One post as the view prints it, in colour when colour is on.
void print_post(console::Console& console, bool colour, int n, const Post& post, Place place = {}) {
    if (!colour) {
        if (place.k == 0) console.print_decoded(messages::post, n, post.name, post.mail, post.date, post.body);
        else console.print_decoded(messages::post_with_place, n, post.name, post.mail, post.date, place.k, place.total, post.body);
        return;
    }
    console.write_control(kBold);
    console.print("%d", n);
    console.write_control(kReset);
    console.write(" : ");
    print_coloured(console, kGreen, post.name);
    console.print_decoded(" [%s] %s", post.mail, post.date);
    if (place.k) console.print(" (%d/%d)", place.k, place.total);
    console.write("\n\t");
    print_coloured_body(console, post.body);
    console.write("\n");
}

// What a page may fill: the terminal's rows less the prompt's, measured at
// its width; in a pipe, kScreenLines lines counted as the loader counted
// them.
struct PageRoom {
    bool terminal = false;
    int columns = 0;
    int rows = kScreenLines;
};

enum class Next { kForward, kPrompt, kLeave };

class ThreadReader {
public:
    ThreadReader(Run& run, const PostTable& posts, const char* title, Visit& visit, ThreadHost& host)
        : run_(run), console_(run.console), posts_(posts), title_(title), visit_(visit), host_(host),
          colour_(console_.colour_wanted()),
          hide_(host.hide()) {}

    void run() {
        if (count() == 0) return console_.write(messages::thread_end);
        show_page(visit_.last_page ? page_reaching(count()) : visit_.start);
        for (;;) {
            switch (prompt()) {
            case Next::kLeave:
                return;
            case Next::kPrompt:
                break;
            case Next::kForward:
                if (last_ >= count()) return console_.write(messages::thread_end);
                show_page(last_ + 1);
                break;
            }
        }
    }

private:
    using Action = Next (ThreadReader::*)(const char* argument);
    static const CommandRow<Action> kRows[];
    static const CommandTable<Action> kCommands;

    int count() const { return posts_.count(); }
    bool in_range(long long n) const { return n >= 1 && n <= count(); }
    // NG'd posts vanish with hide; without it they show as the abone line.
    bool shown(int n) const { return !(hide_ && posts_.post(n).ng); }
    // Whether the commands that look through the posts pass post n by.
    bool passed_by(int n) const { return posts_.post(n).ng; }

    // Post n as the view shows it: its header line ends in a mark when the
    // user wrote it, or when it answers a post the user wrote.
    Post marked_post(int n, std::string* header) const {
        Post post = posts_.post(n);
        const std::vector<int>& own = host_.own_posts();
        if (own.empty()) return post;
        const char* mark = nullptr;
        if (std::binary_search(own.begin(), own.end(), n)) {
            mark = messages::own_post_mark;
        } else if (std::any_of(own.begin(), own.end(), [&](int mine) { return anchors(post.body, mine); })) {
            mark = messages::reply_post_mark;
        }
        if (!mark) return post;
        *header = std::string(post.date) + mark;
        post.date = header->c_str();
        return post;
    }

    PageRoom page_room() const {
        PageRoom room;
        int rows = 0;
        if (!console_.terminal_size(&rows, &room.columns)) return room;
        room.terminal = true;
        std::string prompt = console_.format_decoded(messages::post_prompt, title_, count(), count(), count());
        room.rows = std::max(1, rows - screen_rows(prompt, room.columns, console_.utf8()));
        return room;
    }

    int rows_of(int n, const PageRoom& room, Place place = {}) const {
        std::string header;
        const Post post = marked_post(n, &header);
        if (!room.terminal) return post.lines;
        std::string text =
            place.k == 0 ? console_.format_decoded(messages::post, n, post.name, post.mail, post.date, post.body)
                         : console_.format_decoded(messages::post_with_place, n, post.name, post.mail, post.date,
                                                   place.k, place.total, post.body);
        return screen_rows(text, room.columns, console_.utf8());
    }

    // The rows a program text (CP932) takes in the room.
    static int rows_of_text(const std::string& text, const PageRoom& room) {
        return room.terminal ? screen_rows(text, room.columns, false) : 1;
    }

    // The earliest post from which a page reaches post end, counted as
    // print_page fills a page (the new-posts line too).
    int page_reaching(int end) const {
        const PageRoom room = page_room();
        const int mark_rows = rows_of_text(messages::new_posts_line, room);
        int marked = 0;  // the post the new-posts line stands before
        for (int n = std::max(visit_.new_from, 1); visit_.new_from && n <= end && !marked; ++n) {
            if (shown(n)) marked = n;
        }
        int start = end;
        int used = 0;
        bool any = false;
        for (int n = end; n >= 1; --n) {
            if (!shown(n)) continue;
            const int rows = rows_of(n, room);
            const bool mark = marked && visit_.new_from >= n;
            if (any && used + rows + (mark ? mark_rows : 0) > room.rows) break;
            used += rows;
            start = n;
            any = true;
        }
        return start;
    }

    // Prints the page that starts at post start, and remembers the start.
    void show_page(int start) {
        starts_.push_back(start);
        print_page(start);
    }

    // Prints the page that starts at post start, the new-posts line before
    // the first new post it shows (whatever brought the page: Enter, j, b).
    // The page covers the posts up to the last it printed and the hidden
    // ones after it.
    void print_page(int start) {
        const PageRoom room = page_room();
        const int mark_rows = room.terminal ? screen_rows(messages::new_posts_line, room.columns, false) : 1;
        bool mark_pending = visit_.new_from >= start;
        bool printed = false;
        int used = 0;
        first_ = 0;
        last_ = start - 1;
        for (int n = start; n <= count(); last_ = n++) {
            if (!shown(n)) continue;
            const bool mark = mark_pending && n >= visit_.new_from;
            const int rows = rows_of(n, room);
            // A post taller than the page prints whole, alone.
            if (printed && used + rows + (mark ? mark_rows : 0) > room.rows) break;
            if (mark) {
                print_note(console_, colour_, messages::new_posts_line);
                used += mark_rows;
                mark_pending = false;
            }
            std::string header;
            print_post(console_, colour_, n, marked_post(n, &header));
            used += rows;
            if (!first_) first_ = n;
            printed = true;
        }
        if (!first_) first_ = std::min(start, count());
        visit_.highest = std::max(visit_.highest, last_);
    }

    // Whether no one can post to the thread any more: it is full, or the
    // archive keeps it.
    bool closed() const { return count() >= kClosedThreadPosts || host_.from_archive(); }

    Next prompt() {
        if (last_ >= count() && closed()) console_.write(messages::thread_over);
        console_.print_decoded(messages::post_prompt, title_, first_, last_, count());
        line_.read(console_);
        const char* text = line_.text();
        if (!*text) return Next::kForward;
        if (const CommandRow<Action>* row = kCommands.find(text)) {
            return (this->*row->action)(text + std::strlen(row->word));
        }
        return unknown();
    }

    // A line that is no command, or whose argument doesn't fit its
    // command: said, as typed, and the prompt comes again.
    Next unknown() const {
        console_.print(messages::unknown_input, line_.text());
        return Next::kPrompt;
    }

    static bool has_number(const char* argument) {
        const char* p = argument + std::strspn(argument, " \t");
        if (*p == '+' || *p == '-') ++p;
        return *p >= '0' && *p <= '9';
    }

    Next leave(const char*) { return Next::kLeave; }

    Next jump(const char* argument) {
        if (!has_number(argument)) return unknown();
        long long target = parse_decimal(argument);
        if (!in_range(target)) {
            console_.print(messages::jump_out_of_range, count());
            return Next::kPrompt;
        }
        show_page(static_cast<int>(target));
        return Next::kPrompt;
    }

    // The page before the one shown, never one after it: the latest page
    // start shown below this page's (the later ones are dropped), else the
    // page that ends just before this one; at post 1, this page again.
    Next back(const char* argument) {
        if (!is_blank(argument)) return unknown();
        const int start = starts_.back();
        while (!starts_.empty() && starts_.back() >= start) starts_.pop_back();
        if (starts_.empty()) starts_.push_back(start > 1 ? page_reaching(start - 1) : 1);
        print_page(starts_.back());
        return Next::kPrompt;
    }

    // n: the thread brought up to date in place; its new posts show from
    // the first, under the new-posts line.
    Next update(const char* argument) {
        if (!is_blank(argument)) return unknown();
        const int before = count();
        const bool known = host_.update();
        hide_ = host_.hide();
        if (count() == 0) {
            console_.write(messages::thread_end);
            return Next::kLeave;
        }
        if (count() > before) {
            visit_.new_from = before + 1;
            show_page(before + 1);
            return Next::kPrompt;
        }
        if (known) console_.write(messages::no_new_posts);
        // A thread rewritten shorter: the page shown may reach past its end.
        if (last_ > count()) show_page(starts_.back() <= count() ? starts_.back() : page_reaching(count()));
        return Next::kPrompt;
    }

    // w, wN: a reply written, and, when the service took it, the thread
    // brought up to date and shown from the reply.
    Next write(const char* argument) {
        int anchor = 0;
        if (has_number(argument)) {
            anchor = post_number(argument);
            if (anchor < 0) return Next::kPrompt;
        } else if (!is_blank(argument)) {
            return unknown();
        }
        const int before = count();
        int written = 0;
        if (!host_.write_reply(anchor, &written)) return Next::kPrompt;
        hide_ = host_.hide();
        if (count() == 0) {
            console_.write(messages::thread_end);
            return Next::kLeave;
        }
        if (count() > before) visit_.new_from = before + 1;
        const int from = written > before && written <= count() ? written : before + 1;
        if (from <= count()) show_page(from);
        return Next::kPrompt;
    }

    Next help(const char* argument) {
        if (!is_blank(argument)) return unknown();
        kCommands.print_help(console_);
        return Next::kPrompt;
    }

    // Prints total results, result k (from 1) by print(k) in rows(k, room)
    // rows, and then the count line. On a terminal, results taller than
    // the page go a page at a time, each page followed by the results'
    // prompt: Enter the next page, e the count line at once.
    template <typename Rows, typename Print>
    void print_results(int total, Rows rows, Print print, const std::string& count_line) {
        const PageRoom room = page_room();
        const int count_rows = rows_of_text(count_line, room);
        for (int k = 1; k <= total;) {
            if (!room.terminal) {
                for (; k <= total; ++k) print(k);
                break;
            }
            // The last page holds the count line too; a result taller than
            // the page prints whole, alone.
            const int first = k;
            for (int used = 0; k <= total; ++k) {
                const int taken = rows(k, room) + (k == total ? count_rows : 0);
                if (k > first && used + taken > room.rows) break;
                print(k);
                used += taken;
            }
            if (k <= total && !more_results(first, k - 1, total)) break;
        }
        print_note(console_, colour_, count_line);
    }

    // The results' prompt: true for the next page (Enter), false to stop
    // (e); another line is said unknown and the prompt comes again.
    bool more_results(int first, int last, int total) {
        TypedLine line;
        for (;;) {
            console_.print(messages::results_page_prompt, first, last, total);
            line.read(console_);
            const char* text = line.text();
            if (!*text) return true;
            if ((*text == 'e' || *text == 'E') && is_blank(text + 1)) return false;
            console_.print(messages::unknown_input, text);
        }
    }

    // Prints the posts numbered, each where it stands among them when the
    // places are asked for, then the count line.
    void print_post_results(const std::vector<int>& numbers, const std::string& count_line, bool places = false) {
        const int total = static_cast<int>(numbers.size());
        auto place = [&](int k) { return places ? Place{k, total} : Place{}; };
        auto number = [&](int k) { return numbers[static_cast<std::size_t>(k - 1)]; };
        print_results(
            total, [&](int k, const PageRoom& room) { return rows_of(number(k), room, place(k)); },
            [&](int k) {
                std::string header;
                print_post(console_, colour_, number(k), marked_post(number(k), &header), place(k));
            },
            count_line);
    }

    std::string found(int n) const { return format_text(messages::found_count, n); }

    Next anchored(const char*) {
        std::optional<AnchorRange> range = read_anchor_command(line_.text());
        if (!range) return unknown();
        std::vector<int> numbers;
        for (int n = std::max(range->from, 1);
             n <= std::min(range->to, count()) && numbers.size() < static_cast<std::size_t>(kAnchorPostLimit); ++n) {
            if (shown(n)) numbers.push_back(n);
        }
        print_post_results(numbers, found(static_cast<int>(numbers.size())));
        return Next::kPrompt;
    }

    // The post number after a command letter: 0 when there is none, -1
    // when it names no post (and the range is told).
    int post_number(const char* argument) const {
        if (!has_number(argument)) return 0;
        long long n = parse_decimal(argument);
        if (in_range(n)) return static_cast<int>(n);
        console_.print(messages::jump_out_of_range, count());
        return -1;
    }

    // The posts, in order, that the commands don't pass by and that hold.
    template <typename Holds>
    std::vector<int> posts_where(Holds holds) const {
        std::vector<int> numbers;
        for (int n = 1; n <= count(); ++n) {
            if (!passed_by(n) && holds(posts_.post(n))) numbers.push_back(n);
        }
        return numbers;
    }

    Next replies(const char* argument) {
        int target = post_number(argument);
        if (target <= 0) return target == 0 ? unknown() : Next::kPrompt;
        const std::vector<int> numbers = posts_where([target](const Post& post) { return anchors(post.body, target); });
        print_post_results(numbers, format_text(messages::replies_count, target, static_cast<int>(numbers.size())));
        return Next::kPrompt;
    }

    // The ID of the post argument names, or, when there is none to take,
    // what the prompt does instead.
    std::variant<std::string, Next> target_id(const char* argument) const {
        int target = post_number(argument);
        if (target <= 0) return target == 0 ? unknown() : Next::kPrompt;
        std::string id(post_id(posts_.post(target).date));
        if (!id.empty()) return id;
        console_.write(messages::no_id);
        return Next::kPrompt;
    }

    Next same_id(const char* argument) {
        std::variant<std::string, Next> found = target_id(argument);
        if (const Next* next = std::get_if<Next>(&found)) return *next;
        const std::string& id = std::get<std::string>(found);
        const std::vector<int> same = posts_where([&id](const Post& post) { return post_id(post.date) == id; });
        print_post_results(same, format_text(messages::id_count, id.c_str(), static_cast<int>(same.size())), true);
        return Next::kPrompt;
    }

    // Whether a field, as the screen shows it (references decoded), holds
    // the text.
    static bool shows(const char* field, std::string_view text, std::string* decoded) {
        return contains_nocase(decoded_cp932(field, false, decoded), text);
    }

    static bool post_holds(const Post& post, std::string_view text, std::string* decoded) {
        return shows(post.name, text, decoded) || shows(post.mail, text, decoded) ||
               shows(post.date, text, decoded) || shows(post.body, text, decoded);
    }

    Next search(const char* argument) {
        if (!*argument) return unknown();
        std::string decoded;
        const std::vector<int> numbers =
            posts_where([&](const Post& post) { return post_holds(post, argument, &decoded); });
        print_post_results(numbers, found(static_cast<int>(numbers.size())));
        return Next::kPrompt;
    }

    // The thread's links, numbered from 1 in the order of their posts (the
    // posts the commands pass by aside): each with the post it is in.
    std::vector<std::pair<int, std::string>> thread_links() const {
        std::vector<std::pair<int, std::string>> listed;
        for (int n = 1; n <= count(); ++n) {
            if (passed_by(n)) continue;
            for (const FoundUrl& url : find_urls(posts_.post(n).body)) listed.emplace_back(n, url.url);
        }
        return listed;
    }

    // u: the links, numbered; uN opens link N, and the page left shows
    // again after whatever showed it.
    Next links(const char* argument) {
        const std::vector<std::pair<int, std::string>> listed = thread_links();
        const int total = static_cast<int>(listed.size());
        if (has_number(argument)) {
            const long long k = parse_decimal(argument);
            if (k < 1 || k > total) {
                console_.print(messages::jump_out_of_range, total);
                return Next::kPrompt;
            }
            std::string decoded;
            const std::string url = decoded_cp932(listed[static_cast<std::size_t>(k - 1)].second.c_str(), false, &decoded);
            if (follow_link(run_, url)) print_page(starts_.back());
            return Next::kPrompt;
        }
        if (!is_blank(argument)) return unknown();
        auto line = [&](int k) {
            const std::pair<int, std::string>& link = listed[static_cast<std::size_t>(k - 1)];
            return console_.format_decoded(messages::link_line, k, link.second.c_str(), link.first);
        };
        print_results(
            total, [&](int k, const PageRoom& room) { return screen_rows(line(k), room.columns, console_.utf8()); },
            [&](int k) {
                const std::pair<int, std::string>& link = listed[static_cast<std::size_t>(k - 1)];
                console_.print_decoded(messages::link_line, k, link.second.c_str(), link.first);
            },
            found(total));
        return Next::kPrompt;
    }

    Next favourite(const char* argument) {
        if (!is_blank(argument)) return unknown();
        host_.toggle_favourite();
        return Next::kPrompt;
    }

    Next successor(const char* argument) {
        if (!is_blank(argument)) return unknown();
        host_.find_successor();
        return Next::kPrompt;
    }

    // ngi N, ngn N, ngw TEXT: a rule for ng.txt from post N's ID or name,
    // or a word as typed; the page is printed again under it.
    Next ng_id(const char* argument) {
        std::variant<std::string, Next> found = target_id(argument);
        if (const Next* next = std::get_if<Next>(&found)) return *next;
        const std::string& id = std::get<std::string>(found);
        return add_rule("id " + id, console_.format_decoded("%s", ("id " + id).c_str()));
    }

    Next ng_name(const char* argument) {
        int target = post_number(argument);
        if (target <= 0) return target == 0 ? unknown() : Next::kPrompt;
        const Post post = posts_.post(target);
        // The name's first line, without the blanks around it: the rule is
        // a substring of the name as shown.
        std::string_view name(post.name);
        name = name.substr(0, name.find('\n'));
        name.remove_prefix(std::min(name.size(), name.find_first_not_of(" \t")));
        name.remove_suffix(name.size() - std::min(name.size(), name.find_last_not_of(" \t") + 1));
        if (post.ng || name.empty()) {
            console_.write(messages::no_name);
            return Next::kPrompt;
        }
        // A name most posts carry (the board's default name) would hide
        // the thread.
        const std::string wanted(name);
        std::string decoded_name, decoded;
        const std::string shown_name = decoded_cp932(wanted.c_str(), false, &decoded_name);
        int carrying = 0;
        for (int n = 1; n <= count(); ++n) carrying += shows(posts_.post(n).name, shown_name, &decoded);
        if (carrying * 2 > count()) {
            console_.print_decoded(messages::ng_name_too_common, wanted.c_str(), carrying);
            return Next::kPrompt;
        }
        const std::string rule = "name " + wanted;
        return add_rule(rule, console_.format_decoded("%s", rule.c_str()));
    }

    Next ng_word(const char* argument) {
        std::string_view word(argument);
        word.remove_prefix(std::min(word.size(), word.find_first_not_of(" \t")));
        if (word.empty()) return unknown();
        // The console gave the typed word in CP932; ng.txt is in the
        // console's encoding, and the word is written as typed.
        const std::string rule = "word " + std::string(word);
        std::string in_file = rule;
        if (console_.utf8()) {
            std::size_t size = 0;
            const char* utf8 = sjis::to_utf8(rule.data(), rule.size(), &size);
            in_file.assign(utf8, size);
        }
        return add_rule(rule, in_file, false);
    }

    // Appends the rule (in_file, in the console's encoding) to ng.txt, says
    // so with its CP932 form (references decoded when it came from a post),
    // and prints the page again.
    Next add_rule(const std::string& cp932, const std::string& in_file, bool from_post = true) {
        if (!append_ng_rule(kNgRulesFile, in_file.c_str())) {
            console_.write(messages::ng_rule_failed);
            return Next::kPrompt;
        }
        if (from_post) console_.print_decoded(messages::ng_rule_added, cp932.c_str());
        else console_.print(messages::ng_rule_added, cp932.c_str());
        host_.reload();
        hide_ = host_.hide();
        print_page(starts_.back());
        return Next::kPrompt;
    }

    Run& run_;
    console::Console& console_;
    const PostTable& posts_;
    const char* title_;
    Visit& visit_;
    ThreadHost& host_;
    const bool colour_;
    bool hide_;
    TypedLine line_;
    std::vector<int> starts_;  // this visit's page starts, the page shown last
    int first_ = 0;            // the first and last post of the page shown
    int last_ = 0;
};

// The letters are read without case; a line that starts with none of these
// words, or whose argument doesn't fit its command, is said unknown. Enter
// alone shows the next page.
const CommandRow<ThreadReader::Action> ThreadReader::kRows[] = {
    {"j", &ThreadReader::jump, "j[数値] : その番号から表示\n"},
    {"b", &ThreadReader::back, "b : 前のページ\n"},
    {"e", &ThreadReader::leave, "e : スレッド一覧に戻る\n"},
    {"", nullptr, "Enter : 次のページ\n"},
    {"n", &ThreadReader::update, "n : 新着を読み込む\n"},
    {">", &ThreadReader::anchored, ">>N >>N-M : そのレスを表示\n"},
    {"&gt;", &ThreadReader::anchored, nullptr},
    {"\x81\x84", &ThreadReader::anchored, nullptr},  // the full-width '>'
    {"r", &ThreadReader::replies, "rN : Nへの返信を表示\n"},
    {"i", &ThreadReader::same_id, "iN : Nと同じIDのレスを表示\n"},
    {"/", &ThreadReader::search, "/文字列 : 検索\n"},
    {"u", &ThreadReader::links, "u : URLの一覧\n"},
    {"", nullptr, "uN : N番目のURLを開く\n"},
    {"ngi", &ThreadReader::ng_id, "ngi N : NのIDをNGに追加\n"},
    {"ngn", &ThreadReader::ng_name, "ngn N : Nの名前をNGに追加\n"},
    {"ngw", &ThreadReader::ng_word, "ngw 文字列 : 文字列をNGワードに追加\n"},
    {"f", &ThreadReader::favourite, "f : お気に入りに追加/削除\n"},
    {"t", &ThreadReader::successor, "t : 次スレ候補\n"},
    {"w", &ThreadReader::write, "w wN : 書き込む (wNは>>Nから)\n"},
    {"?", &ThreadReader::help, "? : このヘルプ\n"},
};
const CommandTable<ThreadReader::Action> ThreadReader::kCommands{ThreadReader::kRows};

}  // namespace

void read_thread(Run& run, const PostTable& posts, const char* title, Visit& visit, ThreadHost& host) {
    ThreadReader(run, posts, title, visit, host).run();
}

}  // namespace zubo
