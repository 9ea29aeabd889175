#include "screens/thread_list.h"

#include <cstring>

#include "console/console.h"
#include "console/messages.h"
#include "screens/download_report.h"
#include "screens/files.h"
#include "screens/pager.h"
#include "screens/thread_view.h"
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

// What the pager hands back: the thread view needs the board's URL too.
struct Board {
    const char* url;
    const ThreadRecord* threads;
};

const char* thread_title(const void* board, int n) { return static_cast<const Board*>(board)->threads[n].title; }

void open_thread(const void* context, int n) {
    const Board* board = static_cast<const Board*>(context);
    const ThreadRecord& thread = board->threads[n];
    show_thread(board->url, thread.dat_name, thread.title);
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

void show_thread_list(const char* url) {
    auto* table = reinterpret_cast<ThreadRecord*>(gc::alloc_bytes(sizeof(ThreadRecord) * kThreadTableSize));
    if (!table) return;

    announce_download(messages::reading_thread_list);
    report_download(download_to_file(gc::concat(url, "subject.txt"), kThreadListFile), messages::download_ok_dot);
    console::write(messages::thread_list_banner);

    File f = open_file(kThreadListFile, "r");
    if (!f) return;
    ThreadListing listing = parse_subject(f.get(), table);
    f.reset();
    if (listing.over_limit) console::write(messages::reading_limit);

    Board board{url, table};
    PagerList list{listing.count, &board, thread_title, open_thread};
    run_pager(kThreadListPager, list);
}

}  // namespace zubo
