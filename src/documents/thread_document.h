#pragma once
// The thread document (a board's dat file): a post a line, its fields (name,
// mail, date, body) each ended by the separator "<>".

#include <cstdio>
#include <string>

#include "documents/ng_rules.h"
#include "documents/ng_words.h"
#include "documents/post_table.h"
#include "documents/tables.h"

namespace zubo {

struct ThreadLoad : TableFill {
    bool hide = false;  // ng.txt says hide: NG'd posts vanish from the pages
};

// Turns one raw thread line (in a line buffer it may overwrite) into a
// post: NG words on the raw line, split into fields, tags rendered. The
// post is marked NG when a word hid it.
void parse_thread_line(char* line, NgWords& words, PostRecord* post);

// Gives the post the abone line's fields.
void set_abone(PostRecord* post);

// Reads a thread document from f into table, a post a line, with the NG
// words and rules given, which hold for the whole document.
ThreadLoad read_thread_posts(std::FILE* f, PostTable& table, NgWords& words, NgRules& rules);

// The thread's title, as its first line carries it after the first post's
// fields; empty when it carries none.
std::string thread_title(std::FILE* f);

// Whether the first line of f is a thread's first post: it holds the
// field separator.
bool is_thread_document(std::FILE* f);

}  // namespace zubo
