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
File open_board_menu(Run& run, Document& menu) {
    if (!run.refresh) {
        if (File f = open_file(kBoardMenuFile, "r")) return f;
    }
    announce_download(run.console, messages::downloading_menu);
    DocumentRules rules{is_board_menu, true};
    DownloadResult result = download_to_file(kBoardMenuUrl, kBoardMenuFile, rules, interactive_limits(run));
    report_download(run.console, result, {messages::download_ok, messages::failed_not_menu});
    menu = {kBoardMenuFile, std::move(result.unsaved)};
    File f = open_document(menu);
    if (!f) run.console.write(messages::menu_unopenable);
    return f;
}

// The boards of the menu as the pager lists them.
class BoardList : public PagerList {
public:
    BoardList(Run& run, const BoardRecord* boards, int count) : run_(run), boards_(boards), count_(count) {
        for (int n = count; n >= 1; --n) {
            // The first board of a name is the one its threads open from.
            std::string name = board_name(boards[n].url);
            if (!name.empty()) urls_[name] = boards[n].url;
        }
    }

    int count() const override { return count_; }
    const char* label(int n) const override { return boards_[n].name; }
    void open(int n) override { show_thread_list(run_, boards_[n].url); }

    ListCommand command(const char* line) override { return run_list_command(*this, kCommands, line); }
    void print_help() const override { kCommands.print_help(run_.console); }

private:
    using Action = ListCommand (BoardList::*)(const char* argument);
    static const CommandRow<Action> kRows[];
    static const CommandTable<Action> kCommands;

    ListCommand favourites(const char* argument) {
        if (!run_.state || *argument) return ListCommand::kNotMine;
        show_favourites(run_, urls_, *run_.state);
        return ListCommand::kDone;
    }

    ListCommand history(const char* argument) {
        if (!run_.state || *argument) return ListCommand::kNotMine;
        show_history(run_, urls_, *run_.state);
        return ListCommand::kDone;
    }

    Run& run_;
    const BoardRecord* boards_;
    int count_;
    BoardUrls urls_;
};

const CommandRow<BoardList::Action> BoardList::kRows[] = {
    {"f", &BoardList::favourites, "f : お気に入り\n"},
    {"h", &BoardList::history, "h : 履歴\n"},
};
const CommandTable<BoardList::Action> BoardList::kCommands{BoardList::kRows};

}  // namespace

bool show_board_list(Run& run) {
    gc::Table<BoardRecord> table(kBoardTableSize);
    if (!table) return false;

    Document arrived;
    File f = open_board_menu(run, arrived);
    if (!f) return false;
    BoardMenu menu = parse_board_menu(f.get(), table.get());
    f.reset();
    if (!menu.marker_found) {
        run.console.write(messages::menu_strange);
        return false;
    }
    if (menu.over_limit) run.console.write(messages::reading_limit);

    BoardList list(run, table.get(), menu.count);
    run_pager(run, kBoardListPager, list);
    return true;
}

}  // namespace zubo
