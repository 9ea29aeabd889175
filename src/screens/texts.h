#pragma once
// Every text zubo prints, as CP932 bytes. The spellings live in texts.def.

#include <cstddef>

namespace zubo::texts {

// The version string: the usage text's argument and the HTTP user agent.
inline constexpr char kVersion[] = "zubo (varsion 0.04)";

#define ZUBO_TEXT(name, utf8, cp932) extern const char name[];
#include "screens/texts.def"
#undef ZUBO_TEXT

// One text with its readable spelling, for checking the bytes against it.
struct Spelled {
    const char* name;
    const char* utf8;
    const char* cp932;
    std::size_t cp932_size;  // without the terminating zero
};

extern const Spelled kAll[];
extern const std::size_t kAllCount;

}  // namespace zubo::texts
