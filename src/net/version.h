#pragma once
// The program's name and version: the argument of the usage text, and the
// user agent of every request after the service's prefix for dedicated
// readers.

namespace zubo {

inline constexpr char kVersion[] = "zubo (varsion 0.04)";
inline constexpr char kUserAgent[] = "Monazilla/1.00 zubo (varsion 0.04)";
// A post's user agent: the form the service's bbs.cgi expects of a reader.
inline constexpr char kPostUserAgent[] = "Monazilla/1.00 zubo/0.04";

}  // namespace zubo
