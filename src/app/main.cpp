#include <gc.h>

#include <cstdio>
#include <cstdlib>

#include "app/options.h"
#include "console/console.h"
#include "console/messages.h"
#include "net/download.h"
#include "net/version.h"
#include "screens/board_list.h"
#include "screens/files.h"

namespace {

// The collector's warnings would go to standard error, which zubo keeps
// silent.
void quiet_warning(char*, GC_word) {}

// Acts on the options in order: help prints the usage and ends the process
// with status 0 (later arguments unread); refresh deletes the menu cache;
// the UTF-8 option switches the console. Everything else is ignored.
void apply_options(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        switch (zubo::classify_option(argv[i])) {
        case zubo::Option::kHelp:
            zubo::console::print(zubo::messages::usage, zubo::kVersion);
            std::exit(0);
        case zubo::Option::kRefresh:
            std::remove(zubo::kBoardMenuFile);
            break;
        case zubo::Option::kUtf8:
            zubo::console::set_utf8(true);
            break;
        case zubo::Option::kNone:
            break;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    GC_set_warn_proc(quiet_warning);
    apply_options(argc, argv);
    // One connection cache for the run: the thread list and its threads
    // ride one kept-alive connection.
    zubo::DownloadSession downloads;
    zubo::show_board_list();
    return 0;
}
