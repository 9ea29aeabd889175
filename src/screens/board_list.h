#pragma once
// The board list: the first screen, built from the board menu.

#include <cstdio>

#include "documents/tables.h"

namespace zubo::store {
class Database;
}

namespace zubo {

// Where the board menu is downloaded from when there is no copy.
inline constexpr char kBoardMenuUrl[] = "http://menu.5ch.io/bbsmenu.html";

struct BoardRecord {
    char url[kFieldSize];
    char name[kFieldSize];
};

struct BoardMenu : TableFill {
    bool marker_found = false;
};

// Takes one menu line as a link line: true and the record filled when it
// has the shape <A HREF=url>name</A>.
bool parse_link_line(const char* line, BoardRecord* board);

// Whether f holds a board menu with at least one board in it.
bool is_board_menu(std::FILE* f);

// Reads the board menu from f into table (slots 1 to kBoardTableSize - 1).
BoardMenu parse_board_menu(std::FILE* f, BoardRecord* table);

// Shows the board list until the user leaves it, or says why there is none
// when the menu can't be read (false: zubo can't go on). The menu is
// downloaded when there is no copy, or when refresh asks for it; a failed
// download keeps the copy. The board list offers the favourites and the
// history of the read state when there is one (state may be null).
bool show_board_list(bool refresh, store::Database* state = nullptr);

}  // namespace zubo
