#pragma once
// The command reader the prompts share: one typed line, and the table
// that names each command of a prompt, its action and its help line. A
// command is a word at the line's start, its letters read without case;
// the longest word the line starts with wins ("ngi 5" before "n"), and
// what follows it is the command's argument. `?` at a prompt prints its
// table's help, row by row: a new command is one row and its method.

#include <cstddef>
#include <cstring>

#include "console/console.h"
#include "documents/tables.h"
#include "text/bytes.h"

namespace zubo {

// One line typed at a prompt, as the console read it: at most
// kCommandSize - 1 bytes, the newline included when it fits.
class TypedLine {
public:
    // Reads the next line from console; at the end of input zubo ends.
    void read(console::Console& console);

    // The line as read, its newline included.
    const char* raw() const { return buffer_; }
    char* raw() { return buffer_; }
    // The line without its line end (newline, and a CR before it).
    const char* text() const { return text_; }
    // The number the line starts with; 0 when it starts with none.
    long long number() const { return parse_decimal(buffer_); }

private:
    char buffer_[kCommandSize] = {};
    char text_[kCommandSize] = {};
};

template <typename Action>
struct CommandRow {
    const char* word;
    Action action;  // null: a line of the help only (what Enter does)
    // The row's line in the prompt's help, in UTF-8 with its newline;
    // null for another spelling of the row before it.
    const char* help;
};

// A prompt's rows, in the order its help lists them.
template <typename Action>
class CommandTable {
public:
    template <std::size_t N>
    constexpr CommandTable(const CommandRow<Action> (&rows)[N]) : rows_(rows), size_(N) {}
    // The rows from rows to rows + size of a longer table.
    constexpr CommandTable(const CommandRow<Action>* rows, std::size_t size) : rows_(rows), size_(size) {}

    // The row whose word the line starts with, the longest such; null when
    // there is none.
    const CommandRow<Action>* find(const char* line) const {
        const CommandRow<Action>* found = nullptr;
        for (const CommandRow<Action>* row = rows_; row != rows_ + size_; ++row) {
            if (!row->action || !starts_with_nocase(line, row->word)) continue;
            if (!found || std::strlen(row->word) > std::strlen(found->word)) found = row;
        }
        return found;
    }

    void print_help(console::Console& console) const {
        for (const CommandRow<Action>* row = rows_; row != rows_ + size_; ++row) {
            if (row->help) console.write_utf8(row->help);
        }
    }

private:
    const CommandRow<Action>* rows_;
    std::size_t size_;
};

// Whether a command's argument is empty but for blanks: a command that
// takes none is no command with one.
inline bool is_blank(const char* argument) { return argument[std::strspn(argument, " \t")] == '\0'; }

}  // namespace zubo
