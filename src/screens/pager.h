#pragma once
// The list pager shared by the board list and the thread list: a numbered
// list, twenty entries to a page, with open, jump, search and leave.

namespace zubo {

// What a list does after its last entry.
enum class ListEnd {
    kStartOver,  // list again from entry 1, endlessly
    kReturn,     // print the end message, wait for a line, leave
};

// Everything that tells the two lists apart.
struct PagerKind {
    const char* page_prompt;    // argument: the entry count
    const char* search_prompt;  // argument: the entry count
    const char* open_message;   // arguments: entry number, label
    const char* leave_message;  // printed on e; null for none
    ListEnd at_end;
    const char* end_message;    // for kReturn
};

extern const PagerKind kBoardListPager;
extern const PagerKind kThreadListPager;

// The entries a pager runs over, numbered 1 to count.
struct PagerList {
    int count;
    const void* context;  // the screen's table, handed back to both calls
    const char* (*label)(const void* context, int number);
    // Runs the next screen for an entry; the pager goes on when it returns.
    void (*open)(const void* context, int number);
};

// Entries between two prompts.
inline constexpr int kPageSize = 20;

// Runs the pager until the user leaves (or the list ends, for kReturn).
void run_pager(const PagerKind& kind, const PagerList& list);

}  // namespace zubo
