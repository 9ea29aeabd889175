#pragma once
// The thread list of one board, from its subject.txt.

#include <cstdio>
#include <string>

#include "documents/tables.h"
#include "text/lines.h"

namespace zubo::store {
class Database;
}

namespace zubo {

struct ThreadRecord {
    char dat_name[kFieldSize];
    char title[kFieldSize];
};

using ThreadListing = TableFill;

// Fills a record from one subject.txt line: its first token is the
// dat_name, its second the title; tokens end at '<', '>' and newline.
void parse_subject_line(const char* line, ThreadRecord* thread);

// Reads a thread list from f into table (slots 1 to kThreadTableSize - 1).
ThreadListing parse_subject(std::FILE* f, ThreadRecord* table);

// Whether f holds a thread list: nothing at all, or a first line that
// starts with a key and ".dat<>".
bool is_thread_list_document(std::FILE* f);

// Brings the copy of the thread list of the board named name, at url, up
// to date, with the outcome on the loading line; returns the list to read.
Document download_thread_list(const char* url, const std::string& name);

// Shows the threads of the board at url (which ends with '/'), from the
// board's own copy of its list, or says there is none. The entries carry
// the marks of the read state when there is one (state may be null).
void show_thread_list(const char* url, store::Database* state = nullptr);

}  // namespace zubo
