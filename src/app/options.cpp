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
    if (*letter == '\0') return Option::kNone;
    switch (fold_lower(static_cast<unsigned char>(*letter))) {
    case 'h':
        return Option::kHelp;
    case 'n':
        return Option::kRefresh;
    case 'u':
        return Option::kUtf8;
    case 's':
        return Option::kSjis;
    case 'v':
        return Option::kVersion;
    default:
        return Option::kUnknown;
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
            options.console = ConsoleChoice::kUtf8;
            break;
        case Option::kSjis:
            options.console = ConsoleChoice::kSjis;
            break;
        case Option::kVersion:
            options.version = true;
            break;
        case Option::kUnknown:
            if (!options.unknown) options.unknown = argv[i];
            break;
        case Option::kNone:
            if (!options.link && argv[i][0] != '\0') options.link = argv[i];
            break;
        }
    }
    return options;
}

}  // namespace zubo
