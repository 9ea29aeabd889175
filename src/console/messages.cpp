#include "console/messages.h"

namespace zubo::messages {

#define ZUBO_MESSAGE(name, utf8, cp932) const char name[] = cp932;
#include "console/messages.def"
#undef ZUBO_MESSAGE

const Spelled kAll[] = {
#define ZUBO_MESSAGE(name, utf8, cp932) {#name, utf8, name, sizeof(name) - 1},
#include "console/messages.def"
#undef ZUBO_MESSAGE
};

const std::size_t kAllCount = sizeof(kAll) / sizeof(kAll[0]);

}  // namespace zubo::messages
