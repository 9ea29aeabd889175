#pragma once
// The thread view: one thread's posts, page by page.

#include <cstdio>
#include <string>

#include "documents/thread_document.h"

namespace zubo::store {
class Database;
}

namespace zubo {

// Reads a thread document from f into table, a post a line, with the NG
// words of ngword.txt and the rules of ng.txt read once for the whole
// document.
ThreadLoad load_thread(std::FILE* f, PostTable& table);

// Shows the thread dat_name of the board named board, at url; from the
// board's copy alone when url is null.
// Remembers in state (when not null) how far it was read.
void show_thread(const char* url, const std::string& board, const char* dat_name, const char* title,
                 store::Database* state = nullptr);

}  // namespace zubo
