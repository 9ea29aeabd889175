#pragma once
// The files zubo keeps at the top of its home; each board's own are in
// store/home.h.

namespace zubo {

// The board menu as downloaded; reused on every start.
inline constexpr char kBoardMenuFile[] = "italist.txt";
// The user's NG words, one a line; only read.
inline constexpr char kNgWordFile[] = "ngword.txt";
// The user's NG rules, one a line (kind and pattern); zubo appends to it
// from the thread prompt.
inline constexpr char kNgRulesFile[] = "ng.txt";
// What compiling ng.txt's regular expressions found, kept for the next
// start beside the bytes it was found for; zubo's own, made again at will.
inline constexpr char kNgRulesCompiledFile[] = ".ng.txt.compiled";

}  // namespace zubo
