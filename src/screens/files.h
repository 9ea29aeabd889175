#pragma once
// The files zubo keeps in the working directory.

namespace zubo {

// The board menu as downloaded; reused on every start.
inline constexpr char kBoardMenuFile[] = "italist.txt";
// The thread list of the board opened last.
inline constexpr char kThreadListFile[] = "surelist.txt";
// The directory of thread copies, one file per thread, named as on the server.
inline constexpr char kDatDirectory[] = "dat";
// The user's NG words, one a line; only read.
inline constexpr char kNgWordFile[] = "ngword.txt";

}  // namespace zubo
