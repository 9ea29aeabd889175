#include "screens/pager.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "console/console.h"
#include "console/messages.h"
#include "screens/commands.h"
#include "text/bytes.h"
#include "text/screen_rows.h"

namespace zubo {

const PagerKind kBoardListPager = {
    messages::board_page_prompt, messages::board_search_prompt, messages::board_open,
    messages::ending,            ListEnd::kStartOver,           nullptr,
    "e : 終わり\n",
};

const PagerKind kThreadListPager = {
    messages::thread_page_prompt, messages::thread_search_prompt, messages::thread_open,
    nullptr,                      ListEnd::kReturn,               messages::thread_list_end,
    "e : 板一覧に戻る\n",
};

namespace {

// After a prompt: show a page, ask again, leave, or end the list; kNotMine
// when a row of the pager's own does not take the line (e with an
// argument), which then goes to the list's table.
enum class Next { kShow, kPromptAgain, kLeave, kFinish, kNotMine };

// Where a page has room: on a terminal, its rows less the prompt's, each
// entry's rows counted at its width; in a pipe, kPageSize entries.
struct PageRoom {
    bool terminal = false;
    int rows = kPageSize;
    int columns = 80;
};

class Pager {
public:
    Pager(console::Console& console, const PagerKind& kind, PagerList& list)
        : console_(console), kind_(kind), list_(list) {}

    void run() {
        int start = 1;
        for (;;) {
            if (list_.count() < 1 && kind_.at_end == ListEnd::kReturn) return finish();
            // A visit may have shortened the list (a favourite taken out).
            if (start > list_.count() && list_.count() >= 1) start = page_holding(list_.count());
            print_page(start);
            switch (prompt()) {
            case Next::kLeave:
                return leave();
            case Next::kFinish:
                return finish();
            default:
                start = next_;
            }
        }
    }

private:
    using Action = Next (Pager::*)(const char* argument);
    static const CommandRow<Action> kRows[];
    static const CommandTable<Action> kCommands;

    const char* label(int n) const { return list_.label(n); }
    bool in_range(long long n) const { return n >= 1 && n <= list_.count(); }

    std::string entry_text(int n) const {
        std::string annotation = list_.annotation(n);
        if (annotation.empty()) return console_.format_decoded(messages::entry_line, n, label(n));
        return console_.format_decoded(messages::annotated_entry_line, n, label(n), annotation.c_str());
    }

    void print_entry(int n) const {
        std::string annotation = list_.annotation(n);
        if (annotation.empty()) console_.print_decoded(messages::entry_line, n, label(n));
        else console_.print_decoded(messages::annotated_entry_line, n, label(n), annotation.c_str());
    }

    PageRoom page_room() const {
        PageRoom room;
        int rows = 0;
        if (!console_.terminal_size(&rows, &room.columns)) return room;
        room.terminal = true;
        std::string prompt = console_.format_decoded(kind_.page_prompt, list_.count());
        room.rows = std::max(1, rows - screen_rows(prompt, room.columns, console_.utf8()));
        return room;
    }

    // The last entry of the page that starts at start: in a pipe the page
    // ends at a multiple of twenty (a jump's page runs to the end of the
    // page it lands in); on a terminal it holds what fits, one entry at
    // least however tall.
    int page_end(int start, const PageRoom& room) const {
        const int count = list_.count();
        if (!room.terminal) return std::min(count, ((start - 1) / kPageSize + 1) * kPageSize);
        int used = 0;
        int n = start;
        for (; n <= count; ++n) {
            used += screen_rows(entry_text(n), room.columns, console_.utf8());
            if (used > room.rows && n > start) break;
        }
        return n - 1;
    }

    // The first entry of the page that holds entry n, pages counted from 1.
    int page_holding(int n) const {
        const PageRoom room = page_room();
        int start = 1;
        for (int end = page_end(start, room); end < n; end = page_end(start, room)) start = end + 1;
        return start;
    }

    void print_page(int start) {
        first_ = start;
        last_ = list_.count() < 1 ? 0 : page_end(start, page_room());
        for (int n = first_; n <= last_; ++n) print_entry(n);
    }

    void leave() {
        if (kind_.leave_message) console_.write(kind_.leave_message);
    }

    void finish() { console_.write(kind_.end_message); }

    // Opens entry n; false when there is none.
    bool open_if_in_range(long long n) {
        if (!in_range(n)) return false;
        int number = static_cast<int>(n);
        console_.print_decoded(kind_.open_message, number, label(number));
        list_.open(number);
        return true;
    }

    // The page shown again: back from an entry or a list's own screen.
    Next page_again() {
        next_ = first_;
        return Next::kShow;
    }

    Next out_of_range() {
        console_.print(messages::jump_out_of_range, list_.count());
        return Next::kPromptAgain;
    }

    // The prompt after a page; sets next_ when a page is to show.
    Next prompt() {
        Next next = Next::kPromptAgain;
        while (next == Next::kPromptAgain) next = prompt_once();
        return next;
    }

    Next prompt_once() {
        console_.print(kind_.page_prompt, list_.count());
        line_.read(console_);
        const char* text = line_.text();
        if (is_blank(text)) return next_page();
        if (starts_with_number(text)) return open_if_in_range(line_.number()) ? page_again() : out_of_range();
        if (const CommandRow<Action>* row = kCommands.find(text)) {
            Next next = (this->*row->action)(text + std::strlen(row->word));
            if (next != Next::kNotMine) return next;
        }
        switch (list_.command(text)) {
        case ListCommand::kListAgain:
            next_ = 1;
            return Next::kShow;
        case ListCommand::kDone:
            return page_again();
        case ListCommand::kSaid:
            return Next::kPromptAgain;
        case ListCommand::kNotMine:
            break;
        }
        console_.print(messages::unknown_input, text);
        return Next::kPromptAgain;
    }

    static bool starts_with_number(const char* text) {
        text += std::strspn(text, " \t");
        if (*text == '+' || *text == '-') ++text;
        return *text >= '0' && *text <= '9';
    }

    // Enter: the next page; after the last, the list starts over or ends.
    Next next_page() {
        if (last_ < list_.count()) {
            next_ = last_ + 1;
            return Next::kShow;
        }
        if (kind_.at_end == ListEnd::kReturn) return Next::kFinish;
        next_ = 1;
        return Next::kShow;
    }

    Next leave_list(const char* argument) { return is_blank(argument) ? Next::kLeave : Next::kNotMine; }

    // The pager's commands, the list's own, then how to leave.
    Next help(const char* argument) {
        if (!is_blank(argument)) return Next::kNotMine;
        kCommands.print_help(console_);
        list_.print_help();
        console_.write_utf8(kind_.leave_help);
        return Next::kPromptAgain;
    }

    // A jump shows the page from its target.
    Next jump(const char* argument) {
        long long target = parse_decimal(argument);
        if (!in_range(target)) return out_of_range();
        next_ = static_cast<int>(target);
        return Next::kShow;
    }

    // Lists the entries whose label holds the typed pattern and opens the
    // one the user names at the search's own prompt; then the page shows
    // again, whatever was typed there.
    Next search_and_open(const char*) {
        // The line's last byte is its newline, or the last typed byte when
        // the line filled the buffer; a last line with neither keeps it.
        char* command = line_.raw();
        std::size_t len = std::strlen(command);
        if (len > 0 && (command[len - 1] == '\n' || len == kCommandSize - 1)) command[len - 1] = '\0';
        const std::string pattern = command + 1;
        console_.print(messages::search_banner, pattern.c_str());
        for (int k = 1; k <= list_.count(); ++k) {
            if (std::strstr(label(k), pattern.c_str())) print_entry(k);
        }
        for (;;) {
            console_.print(kind_.search_prompt, list_.count());
            line_.read(console_);
            if (!starts_with_number(line_.text()) || open_if_in_range(line_.number())) return page_again();
            console_.print(messages::jump_out_of_range, list_.count());
        }
    }

    console::Console& console_;
    const PagerKind& kind_;
    PagerList& list_;
    TypedLine line_;
    int first_ = 1;  // the page shown last, first_ to last_
    int last_ = 0;
    int next_ = 1;   // the first entry of the page to show
};

const CommandRow<Pager::Action> Pager::kRows[] = {
    {"", nullptr, "数値 : その番号を開く\n"},
    {"j", &Pager::jump, "j[数値] : その番号へジャンプ\n"},
    {"s", &Pager::search_and_open, "s文字列 : 検索\n"},
    {"", nullptr, "Enter : 次のページ\n"},
    {"?", &Pager::help, "? : このヘルプ\n"},
    {"e", &Pager::leave_list, nullptr},  // its help is the list's: leaving differs
};
const CommandTable<Pager::Action> Pager::kCommands{Pager::kRows};

}  // namespace

void run_pager(Run& run, const PagerKind& kind, PagerList& list) { Pager(run.console, kind, list).run(); }

}  // namespace zubo
