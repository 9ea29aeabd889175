#pragma once
// The board menu: the service's page of boards, a link line each after the
// marker.

#include <cstdio>

#include "documents/tables.h"

namespace zubo {

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

}  // namespace zubo
