#include "app/options.h"

#include "text/bytes.h"

namespace zubo {

Option classify_option(const char* arg) {
    const char* letter = nullptr;
    if (arg[0] == '-' && arg[1] == '-') {
        letter = arg + 2;
    } else if (arg[0] == '-' || arg[0] == '/') {
        letter = arg + 1;
    } else {
        return Option::kNone;
    }
    switch (fold_lower(static_cast<unsigned char>(*letter))) {
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

Options read_options(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        switch (classify_option(argv[i])) {
        case Option::kHelp:
            options.help = true;
            break;
        case Option::kRefresh:
            options.refresh = true;
            break;
        case Option::kUtf8:
            options.utf8 = true;
            break;
        case Option::kNone:
            break;
        }
    }
    return options;
}

}  // namespace zubo
