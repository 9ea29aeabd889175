#include "documents/thread_listing.h"

#include <cstring>

#include "text/bytes.h"
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

std::string listed_title(std::FILE* f, const char* dat_name) {
    char line[kLineSize];
    ThreadRecord thread;
    while (read_line_cut(f, line, sizeof line)) {
        parse_subject_line(line, &thread);
        if (std::strcmp(thread.dat_name, dat_name) == 0) return thread.title;
    }
    return {};
}

bool is_thread_list_document(std::FILE* f) {
    char line[kLineSize];
    if (!read_line_cut(f, line, sizeof line)) return true;
    std::size_t digits = std::strspn(line, "0123456789");
    return digits > 0 && std::strncmp(line + digits, ".dat<>", 6) == 0;
}

}  // namespace zubo
