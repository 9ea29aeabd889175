#pragma once
// What the screens of one run of zubo share: main makes it on its stack and
// hands it down, and every screen reaches the console, the downloads, the
// read state and ng.txt through it.

#include "documents/service_link.h"

namespace zubo {

class DownloadSession;
class NgRulesOfRun;

namespace console {
class Console;
}

namespace store {
class Database;
}

struct Run {
    console::Console& console;
    // The connection cache every download of the run goes through.
    DownloadSession& downloads;
    // The read state; null when there is none: every thread reads as new.
    store::Database* state;
    // ng.txt as the run read it last.
    NgRulesOfRun& ng_rules;
    // The board menu is downloaded anew before the board list shows.
    bool refresh = false;
    // Whether a thread was read before: the next one reclaims its table
    // first.
    bool thread_read_before = false;
    // The menu's boards by name, once the board list has read the menu
    // (null before): the links of the service are opened by it.
    const BoardUrls* boards = nullptr;
};

}  // namespace zubo
