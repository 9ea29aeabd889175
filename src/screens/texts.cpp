#include "screens/texts.h"

namespace zubo::texts {

#define ZUBO_TEXT(name, utf8, cp932) const char name[] = cp932;
#include "screens/texts.def"
#undef ZUBO_TEXT

const Spelled kAll[] = {
#define ZUBO_TEXT(name, utf8, cp932) {#name, utf8, name, sizeof(name) - 1},
#include "screens/texts.def"
#undef ZUBO_TEXT
};

const std::size_t kAllCount = sizeof(kAll) / sizeof(kAll[0]);

}  // namespace zubo::texts
