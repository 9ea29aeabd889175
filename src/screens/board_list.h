#pragma once
// The board list: the first screen, built from the board menu.

#include <cstdio>

namespace zubo {

inline constexpr int kFieldSize = 260;
inline constexpr int kLineSize = 32768;
// Slot 0 of every table is unused: entries are numbered from 1.
inline constexpr int kBoardTableSize = 3000;

inline constexpr char kBoardMenuUrl[] = "http://menu.5ch.io/bbsmenu.html";
inline constexpr char kBoardMenuFile[] = "italist.txt";

struct BoardRecord {
    char url[kFieldSize];
    char name[kFieldSize];
};

struct BoardMenu {
    bool marker_found = false;
    int count = 0;
    bool over_limit = false;  // link lines past the table's room were dropped
};

// Takes one menu line as a link line: true and the record filled when it
// has the shape <A HREF=url>name</A>.
bool parse_link_line(const char* line, BoardRecord* board);

// Reads the board menu from f into table (slots 1 to kBoardTableSize - 1).
BoardMenu parse_board_menu(std::FILE* f, BoardRecord* table);

// Shows the board list. Returns 0 when the menu can't be read, 1 when the
// user leaves.
int show_board_list();

}  // namespace zubo
