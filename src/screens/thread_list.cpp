#include "screens/thread_list.h"

#include <cstring>

#include "console/console.h"
#include "console/messages.h"
#include "screens/download_report.h"
#include "screens/pager.h"
#include "screens/thread_view.h"
#include "store/home.h"
#include "text/bytes.h"
#include "text/gc_bytes.h"
#include "text/lines.h"

namespace zubo {
namespace {

constexpr char kTokenDelimiters[] = "<>\n";

// The next token at or after *p, skipping empty ones; false when none is
// left.
bool next_token(const char*& p, const char** start, std::size_t* size) {
    p += std::strspn(p, kTokenDelimiters);
    if (!*p) return false;
    *start = p;
    *size = std::strcspn(p, kTokenDelimiters);
    p += *size;
    return true;
}

// What the pager hands back: the thread view needs the board's URL and
// name too.
struct Board {
    const char* url;
    const std::string& name;
    const ThreadRecord* threads;
};

const char* thread_title(const void* board, int n) { return static_cast<const Board*>(board)->threads[n].title; }

void open_thread(const void* context, int n) {
    const Board* board = static_cast<const Board*>(context);
    const ThreadRecord& thread = board->threads[n];
    show_thread(board->url, board->name, thread.dat_name, thread.title);
}

// Brings the board's copy of its thread list up to date, with the outcome
// on the loading line; returns the copy's path.
std::string download_thread_list(const char* url, const std::string& name) {
    make_directories(board_directory(name));
    std::string path = thread_list_path(name);
    DocumentRules rules{is_thread_list_document, true};
    DownloadResult result = download_to_file(gc::concat(url, "subject.txt"), path.c_str(), rules, interactive_limits());
    report_download(result, {messages::download_ok_dot, messages::failed_not_thread_list});
    return path;
}

}  // namespace

void parse_subject_line(const char* line, ThreadRecord* thread) {
    const char* token = nullptr;
    std::size_t size = 0;
    thread->dat_name[0] = '\0';
    thread->title[0] = '\0';
    if (!next_token(line, &token, &size)) return;
    copy_field(thread->dat_name, kFieldSize, token, size);
    if (!next_token(line, &token, &size)) return;
    copy_field(thread->title, kFieldSize, token, size);
}

ThreadListing parse_subject(std::FILE* f, ThreadRecord* table) {
    // Every line is a thread, an empty one too.
    return read_table(f, table, kThreadTableSize, [](const char* line, ThreadRecord* thread) {
        parse_subject_line(line, thread);
        return true;
    });
}

bool is_thread_list_document(std::FILE* f) {
    char line[kLineSize];
    if (!read_line_cut(f, line, sizeof line)) return true;
    std::size_t digits = std::strspn(line, "0123456789");
    return digits > 0 && std::strncmp(line + digits, ".dat<>", 6) == 0;
}

void show_thread_list(const char* url) {
    auto* table = reinterpret_cast<ThreadRecord*>(gc::alloc_bytes(sizeof(ThreadRecord) * kThreadTableSize));
    if (!table) return;

    announce_download(messages::reading_thread_list);
    const std::string name = board_name(url);
    std::string list_path;
    if (name.empty()) {
        console::write(messages::failed_unsafe_board);
    } else {
        list_path = download_thread_list(url, name);
    }
    console::write(messages::thread_list_banner);

    // The board's own copy, or none: never another board's.
    File f = list_path.empty() ? nullptr : open_file(list_path.c_str(), "r");
    if (!f) {
        console::write(messages::no_thread_list);
        return;
    }
    ThreadListing listing = parse_subject(f.get(), table);
    f.reset();
    if (listing.over_limit) console::write(messages::reading_limit);

    Board board{url, name, table};
    PagerList list{listing.count, &board, thread_title, open_thread};
    run_pager(kThreadListPager, list);
}

}  // namespace zubo
