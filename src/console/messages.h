#pragma once
// Every text zubo prints, as CP932 bytes. The spellings live in messages.def.

namespace zubo::messages {

#define ZUBO_MESSAGE(name, utf8) extern const char name[];
#include "console/messages.def"
#undef ZUBO_MESSAGE

}  // namespace zubo::messages
