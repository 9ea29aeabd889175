#pragma once
// The board menu: the service's page of boards, a link line each after the
// marker, under category headings (<B>name</B>).

#include <cstdio>
#include <string>
#include <vector>

#include "documents/tables.h"

namespace zubo {

struct BoardRecord {
    char url[kFieldSize];
    char name[kFieldSize];
};

// A heading of the menu and the boards under it: entries first to
// first + count - 1 of the board table. The boards before the first heading
// make a category of no name.
struct MenuCategory {
    std::string name;  // as the menu writes it; empty for no heading
    bool headed = true;
    int first = 1;
    int count = 0;
};

struct BoardMenu : TableFill {
    bool marker_found = false;
    std::vector<MenuCategory> categories;  // in the menu's order
};

// Takes one menu line as a category heading: true and name filled with the
// text between its <B> and </B> (any case) when it is one.
bool parse_heading_line(const char* line, std::string* name);

// Takes one menu line as a link line: true and the record filled when it
// has the shape <A HREF=url>name</A>.
bool parse_link_line(const char* line, BoardRecord* board);

// Whether f holds a board menu with at least one board in it.
bool is_board_menu(std::FILE* f);

// Reads the board menu from f into table (slots 1 to kBoardTableSize - 1).
BoardMenu parse_board_menu(std::FILE* f, BoardRecord* table);

}  // namespace zubo
