#pragma once
// The board list: the first screen, built from the board menu.

#include "screens/run.h"

namespace zubo {

// Where the board menu is downloaded from when there is no copy.
inline constexpr char kBoardMenuUrl[] = "http://menu.5ch.io/bbsmenu.html";

// Shows the board list until the user leaves it, or says why there is none
// when the menu can't be read (false: zubo can't go on). The menu is
// downloaded when there is no copy, or when the run's refresh asks for it;
// a failed download keeps the copy. The board list offers the favourites
// and the history of the run's read state when there is one. A link given
// (the command line's) is opened first, as typed at the board list's
// prompt, and the board list follows.
bool show_board_list(Run& run, const char* link = nullptr);

}  // namespace zubo
