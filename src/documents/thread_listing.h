#pragma once
// A board's thread list, subject.txt: a thread a line, its dat name and
// title.

#include <cstdio>
#include <string>

#include "documents/tables.h"

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

// The title the list at f gives the thread dat_name; empty when it lists
// no such thread.
std::string listed_title(std::FILE* f, const char* dat_name);

// Whether f holds a thread list: nothing at all, or a first line that
// starts with a key and ".dat<>".
bool is_thread_list_document(std::FILE* f);

}  // namespace zubo
