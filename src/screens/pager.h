#pragma once
// The list pager every list shares (boards, categories, threads,
// favourites, history): a numbered list, a page at a time (as many entries
// as fit the terminal, twenty in a pipe), with open, jump, search and
// leave. The lists differ only in their texts (a PagerKind) and in what an
// entry is and does (a PagerList).

#include <cstring>
#include <string>

#include "screens/commands.h"
#include "screens/run.h"

namespace zubo {

// What a list does after its last entry.
enum class ListEnd {
    kStartOver,  // list again from entry 1, endlessly
    kReturn,     // print the end message and leave at once
};

// The texts that tell the lists apart.
struct PagerKind {
    const char* page_prompt;    // argument: the entry count
    const char* search_prompt;  // argument: the entry count
    const char* open_message;   // arguments: entry number, label
    const char* leave_message;  // printed on e; null for none
    ListEnd at_end;
    const char* end_message;    // for kReturn
    const char* leave_help;     // e's line in the help, UTF-8
};

extern const PagerKind kBoardListPager;
extern const PagerKind kThreadListPager;

// What a list's own command did.
enum class ListCommand {
    kNotMine,    // no command of the list's: the line is unknown
    kDone,       // done; the page whose prompt took it shows again
    kListAgain,  // the entries changed (a new order): list them from entry 1
    kSaid,       // it said why it did nothing: the prompt asks again
};

// The entries a pager runs over, numbered 1 to count().
class PagerList {
public:
    virtual ~PagerList() = default;
    virtual int count() const = 0;
    // Entry n's label as the service wrote it: printed (references
    // decoded), searched, and named when the entry opens.
    virtual const char* label(int n) const = 0;
    // Program text printed after the label and not part of it (marks).
    virtual std::string annotation(int) const { return {}; }
    // Runs the next screen for entry n; the pager goes on when it returns.
    virtual void open(int n) = 0;
    // A typed line that is none of the pager's own commands (number, j, s,
    // e, ?), for the list's own table; line has its line end cut.
    virtual ListCommand command(const char*) { return ListCommand::kNotMine; }
    // The help lines of the list's own commands.
    virtual void print_help() const {}
};

// Runs the row of a list's own table that the line names.
template <typename List>
ListCommand run_list_command(List& list, const CommandTable<ListCommand (List::*)(const char*)>& table,
                             const char* line) {
    const auto* row = table.find(line);
    return row ? (list.*row->action)(line + std::strlen(row->word)) : ListCommand::kNotMine;
}

// Entries between two prompts when the output is no terminal.
inline constexpr int kPageSize = 20;

// Runs the pager until the user leaves (or the list ends, for kReturn).
void run_pager(Run& run, const PagerKind& kind, PagerList& list);

}  // namespace zubo
