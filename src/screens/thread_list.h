#pragma once
// The thread list of one board, from its subject.txt.

#include <string>

#include "screens/run.h"
#include "text/lines.h"

namespace zubo {

// Brings the copy of the thread list of the board named name, at url, up
// to date, with the outcome on the loading line; returns the list to read.
Document download_thread_list(Run& run, const char* url, const std::string& name);

// Shows the threads of the board at url (which ends with '/'), from the
// board's own copy of its list, or says there is none. The entries carry
// the marks of the run's read state when there is one.
void show_thread_list(Run& run, const char* url);

}  // namespace zubo
