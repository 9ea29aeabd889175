#pragma once
// The board list: the first screen, built from the board menu.

namespace zubo::store {
class Database;
}

namespace zubo {

// Where the board menu is downloaded from when there is no copy.
inline constexpr char kBoardMenuUrl[] = "http://menu.5ch.io/bbsmenu.html";

// Shows the board list until the user leaves it, or says why there is none
// when the menu can't be read (false: zubo can't go on). The menu is
// downloaded when there is no copy, or when refresh asks for it; a failed
// download keeps the copy. The board list offers the favourites and the
// history of the read state when there is one (state may be null).
bool show_board_list(bool refresh, store::Database* state = nullptr);

}  // namespace zubo
