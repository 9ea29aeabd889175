#include "screens/pager.h"

#include <cstring>

#include "console/console.h"
#include "console/messages.h"
#include "screens/commands.h"
#include "text/bytes.h"

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

// After a prompt: list on, leave, or ask again where the listing stands.
enum class Next { kGoOn, kLeave, kPromptAgain };

class Pager {
public:
    Pager(console::Console& console, const PagerKind& kind, PagerList& list)
        : console_(console), kind_(kind), list_(list) {}

    void run() {
        if (list_.count() < 1) return run_empty();
        for (;;) {
            for (int i = 1; i <= list_.count(); ++i) {
                print_entry(i);
                if (prompts_after(i) && prompt(i) == Next::kLeave) return leave();
            }
            if (kind_.at_end == ListEnd::kReturn) return finish();
        }
    }

private:
    using Action = Next (Pager::*)(int& i);
    static const CommandRow<Action> kRows[];
    static const CommandTable<Action> kCommands;

    const char* label(int n) const { return list_.label(n); }
    bool in_range(long long n) const { return n >= 1 && n <= list_.count(); }

    void print_entry(int n) const {
        if (list_.hidden(n)) return;
        std::string annotation = list_.annotation(n);
        if (annotation.empty()) console_.print_decoded(messages::entry_line, n, label(n));
        else console_.print_decoded(messages::annotated_entry_line, n, label(n), annotation.c_str());
    }

    // Every page ends in a prompt: after every twentieth entry and after
    // the last, once when they are the same entry.
    bool prompts_after(int i) const { return i % kPageSize == 0 || i == list_.count(); }

    void run_empty() {
        if (kind_.at_end == ListEnd::kReturn) return finish();
        int unused = 0;
        while (prompt(unused) == Next::kGoOn) {
        }
        return leave();
    }

    void leave() {
        if (kind_.leave_message) console_.write(kind_.leave_message);
    }

    void finish() {
        console_.write(kind_.end_message);
        console_.pause();
    }

    // Opens entry n when there is one; false when there is none.
    bool open_if_in_range(long long n) {
        if (!in_range(n) || list_.hidden(static_cast<int>(n))) return false;
        int number = static_cast<int>(n);
        console_.print_decoded(kind_.open_message, number, label(number));
        list_.open(number);
        return true;
    }

    // The entry after which the last page starts: the last multiple of
    // twenty below the count.
    int before_last_page() const { return (list_.count() - 1) / kPageSize * kPageSize; }

    // The prompt after entry i; a jump moves i so the listing goes on at
    // the target.
    Next prompt(int& i) {
        Next next = Next::kPromptAgain;
        while (next == Next::kPromptAgain) next = prompt_once(i);
        return next;
    }

    Next prompt_once(int& i) {
        console_.print(kind_.page_prompt, list_.count());
        line_.read(console_);
        bool opened = open_if_in_range(line_.number());
        if (const CommandRow<Action>* row = kCommands.find(line_.text())) {
            return (this->*row->action)(i);
        }
        switch (list_.command(line_.text())) {
        case ListCommand::kListAgain:
            i = 0;
            return Next::kGoOn;
        case ListCommand::kDone:
        case ListCommand::kNotMine:
            break;
        }
        return after_opening(opened, i);
    }

    // Back from an entry opened at the last prompt, the last page shows
    // again with its prompt: going on after the last entry would leave the
    // list. So it does when the visit shortened the list (a favourite
    // taken out).
    Next after_opening(bool opened, int& i) const {
        if (opened && i >= list_.count()) i = before_last_page();
        return Next::kGoOn;
    }

    Next leave_list(int&) { return Next::kLeave; }

    // The pager's commands, the list's own, then how to leave.
    Next help(int&) {
        if (!is_blank(line_.text() + 1)) return Next::kGoOn;
        kCommands.print_help(console_);
        list_.print_help();
        console_.write_utf8(kind_.leave_help);
        return Next::kPromptAgain;
    }

    Next jump(int& i) {
        long long target = parse_decimal(line_.text() + 1);
        if (in_range(target)) i = static_cast<int>(target) - 1;
        return Next::kGoOn;
    }

    Next search_and_open(int& i) { return after_opening(search(), i); }

    // Lists the entries whose label holds the typed pattern and opens the
    // one the user names; the listing position does not move. True when an
    // entry was opened.
    bool search() {
        // The line's last byte is its newline, or the last typed byte when
        // the line filled the buffer; a last line with neither keeps it.
        char* command = line_.raw();
        std::size_t len = std::strlen(command);
        if (len > 0 && (command[len - 1] == '\n' || len == kCommandSize - 1)) command[len - 1] = '\0';
        const char* pattern = command + 1;
        console_.print(messages::search_banner, pattern);
        for (int k = 1; k <= list_.count(); ++k) {
            if (!list_.hidden(k) && std::strstr(label(k), pattern)) print_entry(k);
        }
        console_.print(kind_.search_prompt, list_.count());
        line_.read(console_);
        return open_if_in_range(line_.number());
    }

    console::Console& console_;
    const PagerKind& kind_;
    PagerList& list_;
    TypedLine line_;
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
