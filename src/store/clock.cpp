#include "store/clock.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace zubo::store {

long long now_seconds() {
    if (const char* fixed = std::getenv("ZUBO_NOW"); fixed && *fixed) {
        char* end = nullptr;
        errno = 0;
        long long value = std::strtoll(fixed, &end, 10);
        if (*end == '\0' && errno == 0) return value;
    }
    return static_cast<long long>(std::time(nullptr));
}

}  // namespace zubo::store
