#pragma once
// Every text zubo prints, as CP932 bytes. The spellings live in messages.def.

#include <cstddef>

namespace zubo::messages {

#define ZUBO_MESSAGE(name, utf8, cp932) extern const char name[];
#include "console/messages.def"
#undef ZUBO_MESSAGE

// One text with its readable spelling, for checking the bytes against it.
struct Spelled {
    const char* name;
    const char* utf8;
    const char* cp932;
    std::size_t cp932_size;  // without the terminating zero
};

extern const Spelled kAll[];
extern const std::size_t kAllCount;

}  // namespace zubo::messages
