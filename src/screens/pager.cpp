#include "screens/pager.h"

#include <cstring>

#include "console/console.h"
#include "console/messages.h"
#include "screens/tables.h"
#include "text/bytes.h"

namespace zubo {

const PagerKind kBoardListPager = {
    messages::board_page_prompt, messages::board_search_prompt, messages::board_open,
    messages::ending,            ListEnd::kStartOver,           nullptr,
};

const PagerKind kThreadListPager = {
    messages::thread_page_prompt, messages::thread_search_prompt, messages::thread_open,
    nullptr,                      ListEnd::kReturn,               messages::thread_list_end,
};

namespace {

enum class Next { kGoOn, kLeave };

class Pager {
public:
    Pager(const PagerKind& kind, const PagerList& list) : kind_(kind), list_(list) {}

    void run() {
        if (list_.count < 1) return run_empty();
        for (;;) {
            for (int i = 1; i <= list_.count; ++i) {
                console::print_decoded(messages::entry_line, i, label(i));
                if (prompts_after(i) && prompt(i) == Next::kLeave) return leave();
            }
            if (kind_.at_end == ListEnd::kReturn) return finish();
        }
    }

private:
    const char* label(int n) const { return list_.label(list_.context, n); }
    bool in_range(long long n) const { return n >= 1 && n <= list_.count; }

    // Every page ends in a prompt: after every twentieth entry and after
    // the last, once when they are the same entry.
    bool prompts_after(int i) const { return i % kPageSize == 0 || i == list_.count; }

    void run_empty() {
        if (kind_.at_end == ListEnd::kReturn) return finish();
        int unused = 0;
        while (prompt(unused) == Next::kGoOn) {
        }
        return leave();
    }

    void leave() {
        if (kind_.leave_message) console::write(kind_.leave_message);
    }

    void finish() {
        console::write(kind_.end_message);
        console::pause();
    }

    void read_command() { console::read_command(command_, sizeof command_); }

    // Opens entry n when there is one; false when there is none.
    bool open_if_in_range(long long n) {
        if (!in_range(n)) return false;
        int number = static_cast<int>(n);
        console::print_decoded(kind_.open_message, number, label(number));
        list_.open(list_.context, number);
        return true;
    }

    // The entry after which the last page starts: the last multiple of
    // twenty below the count.
    int before_last_page() const { return (list_.count - 1) / kPageSize * kPageSize; }

    // The prompt after entry i; a jump moves i so the listing goes on at
    // the target.
    Next prompt(int& i) {
        console::print(kind_.page_prompt, list_.count);
        read_command();
        bool opened = open_if_in_range(parse_decimal(command_));

        switch (fold_lower(static_cast<unsigned char>(command_[0]))) {
        case 'e':
            return Next::kLeave;
        case 'j': {
            long long target = parse_decimal(command_ + 1);
            if (in_range(target)) i = static_cast<int>(target) - 1;
            return Next::kGoOn;
        }
        case 's':
            opened = search();
            break;
        default:
            break;
        }
        // Back from an entry opened at the last prompt, the last page shows
        // again with its prompt: going on after the last entry would leave
        // the list.
        if (opened && i == list_.count) i = before_last_page();
        return Next::kGoOn;
    }

    // Lists the entries whose label holds the typed pattern and opens the
    // one the user names; the listing position does not move. True when an
    // entry was opened.
    bool search() {
        // The line's last byte is its newline, or the last typed byte when
        // the line filled the buffer; a last line with neither keeps it.
        std::size_t len = std::strlen(command_);
        if (len > 0 && (command_[len - 1] == '\n' || len == sizeof command_ - 1)) {
            command_[len - 1] = '\0';
        }
        const char* pattern = command_ + 1;
        console::print(messages::search_banner, pattern);
        for (int k = 1; k <= list_.count; ++k) {
            if (std::strstr(label(k), pattern)) console::print_decoded(messages::entry_line, k, label(k));
        }
        console::print(kind_.search_prompt, list_.count);
        read_command();
        return open_if_in_range(parse_decimal(command_));
    }

    const PagerKind& kind_;
    const PagerList& list_;
    char command_[kCommandSize] = {};
};

}  // namespace

void run_pager(const PagerKind& kind, const PagerList& list) { Pager(kind, list).run(); }

}  // namespace zubo
