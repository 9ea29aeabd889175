#include "app/options.h"

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

}  // namespace zubo
