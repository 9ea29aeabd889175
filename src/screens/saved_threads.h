#pragma once
// The threads a reader keeps coming back to: the favourites, brought up to
// date first (the update check), and the history of threads opened. Both
// are lists of the one pager, across boards.

#include "documents/service_link.h"
#include "screens/run.h"

namespace zubo::store {
class Database;
}

namespace zubo {

// Brings every favourite's copy up to date in the list's order (Ctrl-C
// ends the check), then lists the favourites until the user leaves.
void show_favourites(Run& run, const BoardUrls& boards, store::Database& state);

// Lists the last threads opened, newest first, until the user leaves.
void show_history(Run& run, const BoardUrls& boards, store::Database& state);

}  // namespace zubo
