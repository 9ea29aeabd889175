#include "screens/board_list.h"

#include <cstring>

#include "console/console.h"
#include "console/messages.h"
#include "screens/download_report.h"
#include "screens/files.h"
#include "screens/pager.h"
#include "screens/thread_list.h"
#include "text/bytes.h"
#include "text/gc_bytes.h"
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

// The menu cache, downloaded first when it is missing or a refresh is
// asked for. Null when it can't be had; the message is printed.
File open_board_menu(bool refresh) {
    if (!refresh) {
        if (File f = open_file(kBoardMenuFile, "r")) return f;
    }
    announce_download(messages::downloading_menu);
    report_download(download_to_file(kBoardMenuUrl, kBoardMenuFile), messages::download_ok);
    File f = open_file(kBoardMenuFile, "r");
    if (!f) console::write(messages::menu_unopenable);
    return f;
}

const char* board_name(const void* table, int n) { return static_cast<const BoardRecord*>(table)[n].name; }

void open_board(const void* table, int n) { show_thread_list(static_cast<const BoardRecord*>(table)[n].url); }

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

BoardMenu parse_board_menu(std::FILE* f, BoardRecord* table) {
    if (!skip_to_marker(f)) return BoardMenu{};
    return BoardMenu{read_table(f, table, kBoardTableSize, parse_link_line), true};
}

bool show_board_list(bool refresh) {
    auto* table = reinterpret_cast<BoardRecord*>(gc::alloc_bytes(sizeof(BoardRecord) * kBoardTableSize));
    if (!table) return false;

    File f = open_board_menu(refresh);
    if (!f) return false;
    BoardMenu menu = parse_board_menu(f.get(), table);
    f.reset();
    if (!menu.marker_found) {
        console::write(messages::menu_strange);
        return false;
    }
    if (menu.over_limit) console::write(messages::reading_limit);

    PagerList list{menu.count, table, board_name, open_board};
    run_pager(kBoardListPager, list);
    return true;
}

}  // namespace zubo
