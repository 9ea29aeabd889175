#pragma once
// How many terminal rows a text takes once printed, so a page can be cut
// to the terminal's height. The text is measured as it goes out: CP932
// bytes for the Shift_JIS console, UTF-8 for a UTF-8 one.

#include <string_view>

namespace zubo {

// The rows text takes at width columns (a width below 1 counts as 1). Each
// '\n' ends a line; a final '\n' starts no new one, and an empty line is a
// row. A line wraps as the terminal wraps it: a character that does not
// fit in what is left of the row goes whole to the next row, and a line
// that fills its last row exactly takes no extra row.
// Columns: in CP932 each byte is a column (a two-byte character wraps
// whole); in UTF-8 each character takes its wcwidth in the C.UTF-8 locale
// (whatever locale the program runs in), 1 when it has none (a control,
// an invalid byte) and 2 for an East Asian wide character. A tab goes to
// the next multiple of 8, at most to the line's end. An SGR sequence
// (ESC '[' digits and ';' 'm') takes no column, so coloured text measures
// as its plain text does.
int screen_rows(std::string_view text, int width, bool utf8);

}  // namespace zubo
