#pragma once
// The sizes the documents' tables and the screens share (record fields,
// line and command buffers, table slots) and the reader that fills a table
// from a local file, one line an entry.

#include <cstdio>

#include "text/lines.h"

namespace zubo {

// A record field: at most 259 bytes of text and the terminating zero.
inline constexpr int kFieldSize = 260;
// A file line is read up to 32,767 bytes; a post's body has the same room.
inline constexpr int kLineSize = 32768;
inline constexpr int kBodySize = 32768;
// One typed line.
inline constexpr int kCommandSize = 320;

// Slots of each table; slot 0 is never used, so entries are numbered from 1.
inline constexpr int kBoardTableSize = 3000;
inline constexpr int kThreadTableSize = 3000;
inline constexpr int kPostTableSize = 1002;

struct TableFill {
    int count = 0;
    bool over_limit = false;  // entries past the table's room were dropped
};

// Reads f line by line into table slots 1, 2, ... take(line, record) fills a
// record from a line and says whether the line is an entry at all. An entry
// that finds the table full ends the reading.
template <typename Record, typename Take>
TableFill read_table(std::FILE* f, Record* table, int slots, Take take) {
    TableFill fill;
    char line[kLineSize];
    Record spare;
    while (read_line_cut(f, line, sizeof line)) {
        bool room = fill.count < slots - 1;
        if (!take(line, room ? &table[fill.count + 1] : &spare)) continue;
        if (!room) {
            fill.over_limit = true;
            break;
        }
        ++fill.count;
    }
    return fill;
}

}  // namespace zubo
