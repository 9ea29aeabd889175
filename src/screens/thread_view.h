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

// Where a thread opened from a link starts: at the post its suffix names,
// or at the last posts; neither named, it opens as from its list.
struct LinkStart {
    int from = 0;  // 0: none named
    int last = 0;  // 0: none named
};

// Shows the thread dat_name of the board named board, at url; from the
// board's copy alone when url is null. A null title is the one the
// board's copy of its list gives the thread, else the thread's own.
// Remembers in the run's read state (when there is one) how far it was read.
void show_thread(Run& run, const char* url, const std::string& board, const char* dat_name, const char* title,
                 LinkStart start = {});

}  // namespace zubo
