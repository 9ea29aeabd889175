#include "documents/board_menu.h"

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

bool skip_to_marker(std::FILE* f) {
    char line[kLineSize];
    while (read_line_cut(f, line, kLineSize)) {
        if (starts_with_nocase(line, kMarker)) return true;
    }
    return false;
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

bool is_board_menu(std::FILE* f) {
    if (!skip_to_marker(f)) return false;
    char line[kLineSize];
    BoardRecord board;
    while (read_line_cut(f, line, sizeof line)) {
        if (parse_link_line(line, &board)) return true;
    }
    return false;
}

BoardMenu parse_board_menu(std::FILE* f, BoardRecord* table) {
    if (!skip_to_marker(f)) return BoardMenu{};
    return BoardMenu{read_table(f, table, kBoardTableSize, parse_link_line), true};
}

}  // namespace zubo
