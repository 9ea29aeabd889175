#include "documents/board_menu.h"

#include <algorithm>
#include <cstring>

#include "text/bytes.h"
#include "text/lines.h"

namespace zubo {
namespace {

// The menu has spelled the marker both <BR><BR><B> and <br><br><B>.
constexpr char kMarker[] = "<br><br><b>";
constexpr char kLinkPrefix[] = "<A HREF=";
constexpr std::size_t kLinkPrefixSize = sizeof kLinkPrefix - 1;
constexpr char kLinkEnd[] = "</A>";

// Reads up to the marker line, left in line.
bool skip_to_marker(std::FILE* f, char* line) {
    while (read_line_cut(f, line, kLineSize)) {
        if (starts_with_nocase(line, kMarker)) return true;
    }
    return false;
}

// The first place of word in line, letters compared without case; null
// when it is not there.
const char* find_nocase(const char* line, const char* word) {
    for (; *line; ++line) {
        if (starts_with_nocase(line, word)) return line;
    }
    return nullptr;
}

}  // namespace

bool parse_link_line(const char* line, BoardRecord* board) {
    if (std::strncmp(line, kLinkPrefix, kLinkPrefixSize) != 0) return false;
    const char* end = std::strstr(line, kLinkEnd);
    if (!end) return false;

    const char* url = line + kLinkPrefixSize;
    const char* gt = static_cast<const char*>(std::memchr(url, '>', static_cast<std::size_t>(end - url)));
    if (!gt) return false;

    copy_field(board->url, kFieldSize, url, static_cast<std::size_t>(gt - url));
    copy_field(board->name, kFieldSize, gt + 1, static_cast<std::size_t>(end - (gt + 1)));
    return true;
}

bool parse_heading_line(const char* line, std::string* name) {
    BoardRecord board;
    if (parse_link_line(line, &board)) return false;
    const char* open = find_nocase(line, "<b>");
    if (!open) return false;
    open += 3;
    const char* close = find_nocase(open, "</b>");
    if (!close) return false;
    name->assign(open, static_cast<std::size_t>(close - open));
    return true;
}

bool is_board_menu(std::FILE* f) {
    char line[kLineSize];
    if (!skip_to_marker(f, line)) return false;
    BoardRecord board;
    while (read_line_cut(f, line, sizeof line)) {
        if (parse_link_line(line, &board)) return true;
    }
    return false;
}

BoardMenu parse_board_menu(std::FILE* f, BoardRecord* table) {
    BoardMenu menu;
    char marker[kLineSize];
    if (!skip_to_marker(f, marker)) return menu;
    menu.marker_found = true;
    std::vector<MenuCategory>& categories = menu.categories;
    std::string name;
    if (parse_heading_line(marker, &name)) categories.push_back({name, true, 1, 0});
    // Boards taken so far; the table's reading counts the same.
    int boards = 0;
    auto take = [&](const char* line, BoardRecord* board) {
        if (parse_heading_line(line, &name)) {
            categories.push_back({name, true, boards + 1, 0});
            return false;
        }
        if (!parse_link_line(line, board)) return false;
        if (boards == 0 && categories.empty()) categories.push_back({"", false, 1, 0});
        ++boards;
        return true;
    };
    static_cast<TableFill&>(menu) = read_table(f, table, kBoardTableSize, take);
    // Each category runs to the next one's first board, the last to the
    // last board read.
    for (std::size_t i = 0; i < categories.size(); ++i) {
        int end = i + 1 < categories.size() ? categories[i + 1].first : menu.count + 1;
        categories[i].count = std::max(0, std::min(end, menu.count + 1) - categories[i].first);
    }
    return menu;
}

}  // namespace zubo
