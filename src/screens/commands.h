#pragma once
// The command reader the prompts share: one typed line, and the table
// that names each command of a prompt and its action. A command is a word
// at the line's start, its letters read without case; the longest word the
// line starts with wins ("ngi 5" before "n"), and what follows it is the
// command's argument.

#include <cstddef>
#include <cstring>

#include "documents/tables.h"
#include "text/bytes.h"

namespace zubo {

// One line typed at a prompt, as the console read it: at most
// kCommandSize - 1 bytes, the newline included when it fits.
class TypedLine {
public:
    // Reads the next line; at the end of input zubo ends.
    void read();

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
    Action action;
};

// The row of table whose word the line starts with, the longest such; null
// when there is none.
template <typename Action, std::size_t N>
const CommandRow<Action>* find_command(const CommandRow<Action> (&table)[N], const char* line) {
    const CommandRow<Action>* found = nullptr;
    for (const CommandRow<Action>& row : table) {
        if (!starts_with_nocase(line, row.word)) continue;
        if (!found || std::strlen(row.word) > std::strlen(found->word)) found = &row;
    }
    return found;
}

}  // namespace zubo
