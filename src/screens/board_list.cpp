#include "screens/board_list.h"


#include "console/console.h"
#include "console/messages.h"
#include "documents/board_menu.h"
#include "screens/download_report.h"
#include "screens/pager.h"
#include "screens/saved_threads.h"
#include "screens/thread_list.h"
#include "store/files.h"
#include "store/home.h"
#include "text/bytes.h"
#include "text/gc_bytes.h"
#include "text/lines.h"

namespace zubo {
namespace {

// The menu cache, downloaded first when it is missing or a refresh is
// asked for; what arrived, kept in menu, when the cache could not take it.
// Null when it can't be had; the message is printed.
File open_board_menu(bool refresh, Document& menu) {
    if (!refresh) {
        if (File f = open_file(kBoardMenuFile, "r")) return f;
    }
    announce_download(messages::downloading_menu);
    DocumentRules rules{is_board_menu, true};
    DownloadResult result = download_to_file(kBoardMenuUrl, kBoardMenuFile, rules, interactive_limits());
    report_download(result, {messages::download_ok, messages::failed_not_menu});
    menu = {kBoardMenuFile, std::move(result.unsaved)};
    File f = open_document(menu);
    if (!f) console::write(messages::menu_unopenable);
    return f;
}

// The boards of the menu as the pager lists them.
class BoardList : public PagerList {
public:
    BoardList(const BoardRecord* boards, int count, store::Database* state)
        : boards_(boards), count_(count), state_(state) {
        for (int n = count; n >= 1; --n) {
            // The first board of a name is the one its threads open from.
            std::string name = board_name(boards[n].url);
            if (!name.empty()) urls_[name] = boards[n].url;
        }
    }

    int count() const override { return count_; }
    const char* label(int n) const override { return boards_[n].name; }
    void open(int n) override { show_thread_list(boards_[n].url, state_); }

    ListCommand command(const char* line) override { return run_list_command(*this, kCommands, line); }
    void print_help() const override { kCommands.print_help(); }

private:
    using Action = ListCommand (BoardList::*)(const char* argument);
    static const CommandRow<Action> kRows[];
    static const CommandTable<Action> kCommands;

    ListCommand favourites(const char* argument) {
        if (!state_ || *argument) return ListCommand::kNotMine;
        show_favourites(urls_, *state_);
        return ListCommand::kDone;
    }

    ListCommand history(const char* argument) {
        if (!state_ || *argument) return ListCommand::kNotMine;
        show_history(urls_, *state_);
        return ListCommand::kDone;
    }

    const BoardRecord* boards_;
    int count_;
    store::Database* state_;
    BoardUrls urls_;
};

const CommandRow<BoardList::Action> BoardList::kRows[] = {
    {"f", &BoardList::favourites, "f : お気に入り\n"},
    {"h", &BoardList::history, "h : 履歴\n"},
};
const CommandTable<BoardList::Action> BoardList::kCommands{BoardList::kRows};

}  // namespace

bool show_board_list(bool refresh, store::Database* state) {
    gc::Table<BoardRecord> table(kBoardTableSize);
    if (!table) return false;

    Document arrived;
    File f = open_board_menu(refresh, arrived);
    if (!f) return false;
    BoardMenu menu = parse_board_menu(f.get(), table.get());
    f.reset();
    if (!menu.marker_found) {
        console::write(messages::menu_strange);
        return false;
    }
    if (menu.over_limit) console::write(messages::reading_limit);

    BoardList list(table.get(), menu.count, state);
    run_pager(kBoardListPager, list);
    return true;
}

}  // namespace zubo
