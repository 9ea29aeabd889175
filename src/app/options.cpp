#include "app/options.h"

#include <cstdio>
#include <cstdlib>

#include "screens/board_list.h"
#include "screens/console.h"
#include "screens/texts.h"
#include "text/bytes.h"

namespace zubo {

Option classify_option(const char* arg) {
    if (arg[0] != '-' && arg[0] != '/') return Option::kNone;
    switch (fold_lower(static_cast<unsigned char>(arg[1]))) {
    case 'h':
        return Option::kHelp;
    case 'n':
        return Option::kRefresh;
    case 'u':
        return Option::kUtf8;
    default:
        return Option::kNone;
    }
}

void apply_options(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        switch (classify_option(argv[i])) {
        case Option::kHelp:
            console::print(texts::usage, texts::kVersion);
            std::exit(0);
        case Option::kRefresh:
            std::remove(kBoardMenuFile);
            break;
        case Option::kUtf8:
            console::set_utf8(true);
            break;
        case Option::kNone:
            break;
        }
    }
}

}  // namespace zubo
