#include "screens/board_list.h"

#include <cstdio>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/messages.h"
#include "documents/board_menu.h"
#include "screens/download_report.h"
#include "screens/open_link.h"
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

// The boards of one category: the board list's texts, but e goes back to
// the categories.
const PagerKind kCategoryBoardsPager = {
    messages::board_page_prompt, messages::board_search_prompt, messages::board_open,
    nullptr,                     ListEnd::kStartOver,           nullptr,
    "e : カテゴリ一覧に戻る\n",
};

const PagerKind kCategoriesPager = {
    messages::category_page_prompt, messages::category_search_prompt, messages::category_open,
    nullptr,                        ListEnd::kStartOver,              nullptr,
    "e : 板一覧に戻る\n",
};

// What the board lists share: the menu's boards by name, for the
// favourites and the history, and the run (its read state may be null).
struct BoardsContext {
    BoardUrls urls;
    Run& run;
};

// Boards of the menu as the pager lists them, numbered from 1: the whole
// menu, or one category's (categories null: no c there).
class BoardList : public PagerList {
public:
    BoardList(const BoardRecord* boards, int count, BoardsContext& context,
              const std::vector<MenuCategory>* categories)
        : boards_(boards), count_(count), context_(context), categories_(categories) {}

    int count() const override { return count_; }
    const char* label(int n) const override { return boards_[n].name; }
    void open(int n) override { show_thread_list(context_.run, boards_[n].url); }

    ListCommand command(const char* line) override {
        line_ = line;
        return run_list_command(*this, table(), line);
    }
    void print_help() const override { table().print_help(context_.run.console); }

private:
    using Action = ListCommand (BoardList::*)(const char* argument);
    static const CommandRow<Action> kRows[];
    static const CommandTable<Action> kCommands;
    static const CommandTable<Action> kCategoryCommands;

    const CommandTable<Action>& table() const { return categories_ ? kCommands : kCategoryCommands; }

    ListCommand favourites(const char* argument) {
        if (!context_.run.state || !is_blank(argument)) return ListCommand::kNotMine;
        show_favourites(context_.run, context_.urls, *context_.run.state);
        return ListCommand::kDone;
    }

    ListCommand history(const char* argument) {
        if (!context_.run.state || !is_blank(argument)) return ListCommand::kNotMine;
        show_history(context_.run, context_.urls, *context_.run.state);
        return ListCommand::kDone;
    }

    ListCommand categories(const char* argument);

    // A link typed at the prompt: the whole line.
    ListCommand link(const char*) { return open_typed_link(context_.run, line_); }

    const BoardRecord* boards_;
    int count_;
    BoardsContext& context_;
    const std::vector<MenuCategory>* categories_;
    const char* line_ = "";  // the line the prompt took last
};

// The menu's categories, each with its boards' count; a number lists that
// category's boards.
class CategoryList : public PagerList {
public:
    CategoryList(const BoardRecord* boards, const std::vector<MenuCategory>& categories, BoardsContext& context)
        : boards_(boards), categories_(categories), context_(context) {}

    int count() const override { return static_cast<int>(categories_.size()); }
    const char* label(int n) const override {
        const MenuCategory& category = at(n);
        return category.headed ? category.name.c_str() : messages::no_category;
    }
    std::string annotation(int n) const override {
        char text[32];
        std::snprintf(text, sizeof text, messages::category_annotation, at(n).count);
        return text;
    }
    void open(int n) override {
        const MenuCategory& category = at(n);
        // The table's slots start at 1: entry 1 of the category is its first.
        BoardList list(boards_ + category.first - 1, category.count, context_, nullptr);
        run_pager(context_.run, kCategoryBoardsPager, list);
    }

private:
    const MenuCategory& at(int n) const { return categories_[static_cast<std::size_t>(n - 1)]; }

    const BoardRecord* boards_;
    const std::vector<MenuCategory>& categories_;
    BoardsContext& context_;
};

ListCommand BoardList::categories(const char* argument) {
    if (!categories_ || !is_blank(argument)) return ListCommand::kNotMine;
    context_.run.console.write(messages::categories_banner);
    CategoryList list(boards_, *categories_, context_);
    run_pager(context_.run, kCategoriesPager, list);
    return ListCommand::kDone;
}

const CommandRow<BoardList::Action> BoardList::kRows[] = {
    {"c", &BoardList::categories, "c : カテゴリ一覧\n"},
    {"f", &BoardList::favourites, "f : お気に入り\n"},
    {"h", &BoardList::history, "h : 履歴\n"},
    {"http", &BoardList::link, "URL : そのスレッドか板を開く\n"},
    {"ttp", &BoardList::link, nullptr},
    {"tp:", &BoardList::link, nullptr},
};
const CommandTable<BoardList::Action> BoardList::kCommands{BoardList::kRows};
// A category's boards: f, h and links as in the board list.
const CommandTable<BoardList::Action> BoardList::kCategoryCommands{BoardList::kRows + 1, 5};

}  // namespace

bool show_board_list(Run& run, const char* link) {
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

    BoardsContext context{{}, run};
    for (int n = menu.count; n >= 1; --n) {
        // The first board of a name is the one its threads open from.
        std::string name = board_name(table[n].url);
        if (!name.empty()) context.urls[name] = table[n].url;
    }
    // The links of the service are opened by the menu from here on.
    run.boards = &context.urls;
    if (link) open_link(run, link);
    BoardList list(table.get(), menu.count, context, &menu.categories);
    run_pager(run, kBoardListPager, list);
    run.boards = nullptr;
    return true;
}

}  // namespace zubo
