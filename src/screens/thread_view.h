#pragma once
// The thread view: one thread's posts, page by page.

#include <cstdio>
#include <string>

#include "documents/thread_document.h"
#include "screens/run.h"

namespace zubo {

// Reads a thread document from f into table, a post a line, with the NG
// words of ngword.txt and the rules of ng.txt read once for the whole
// document, in the run's console's encoding.
ThreadLoad load_thread(Run& run, std::FILE* f, PostTable& table);

// Shows the thread dat_name of the board named board, at url; from the
// board's copy alone when url is null.
// Remembers in the run's read state (when there is one) how far it was read.
void show_thread(Run& run, const char* url, const std::string& board, const char* dat_name, const char* title);

}  // namespace zubo
