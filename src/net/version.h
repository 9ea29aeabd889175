#pragma once
// The program's name and version: the argument of the usage text and the
// user agent of every request.

namespace zubo {

inline constexpr char kVersion[] = "zubo (varsion 0.04)";

}  // namespace zubo
