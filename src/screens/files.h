#pragma once
// The files zubo keeps at the top of its home; each board's own are in
// store/home.h.

namespace zubo {

// The board menu as downloaded; reused on every start.
inline constexpr char kBoardMenuFile[] = "italist.txt";
// The user's NG words, one a line; only read.
inline constexpr char kNgWordFile[] = "ngword.txt";

}  // namespace zubo
