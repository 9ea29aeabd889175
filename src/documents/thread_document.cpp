#include "documents/thread_document.h"

#include <cstring>
#include <string>

#include "console/messages.h"
#include "documents/markup.h"
#include "documents/post_judge.h"
#include "text/bytes.h"
#include "text/lines.h"

namespace zubo {
namespace {

constexpr char kSeparator[] = "<>";

void split_fields(char* line, PostRecord* post) {
    // A field with no separator after it (a short or cut line) is empty.
    FieldSplitter fields(line, kSeparator);
    copy_field(post->name, kFieldSize, fields.next());
    copy_field(post->mail, kFieldSize, fields.next());
    copy_field(post->date, kFieldSize, fields.next());
    copy_field(post->body, kBodySize, fields.next());
    post->lines = 2 + render_tags(post->name) + render_tags(post->mail) + render_tags(post->date) +
                  render_tags(post->body);
}

}  // namespace

void set_abone(PostRecord* post) {
    char line[kAboneLineSize];
    std::memcpy(line, messages::abone_line, kAboneLineSize);
    split_fields(line, post);
}

void parse_thread_line(char* line, NgWords& words, PostRecord* post) {
    post->ng = apply_ng_words(words, line) != 0;
    split_fields(line, post);
}

ThreadLoad read_thread_posts(std::FILE* f, PostTable& table, NgWords& words, NgRules& rules) {
    ThreadLoad load;
    if (!table.reserve(0)) return load;

    load.hide = rules.hide();
    PostJudge judge(rules);
    std::string raw;
    char line[kLineSize];
    PostRecord post;
    // Every line is a post; the NG filter may overwrite the line buffer.
    while (read_line_cut(f, line, sizeof line)) {
        if (table.full()) {
            load.over_limit = true;
            break;
        }
        if (!rules.empty()) raw.assign(line);
        parse_thread_line(line, words, &post);
        judge.judge(raw.c_str(), &post);
        if (!table.add(post)) break;
    }
    load.count = table.count();
    return load;
}

std::string thread_title(std::FILE* f) {
    char line[kLineSize];
    if (!read_line_cut(f, line, sizeof line)) return {};
    // What follows the fourth separator, up to the line's end.
    const char* title = line;
    for (int field = 0; field < 4; ++field) {
        title = std::strstr(title, kSeparator);
        if (!title) return {};
        title += 2;
    }
    std::string text(title, std::strcspn(title, "\r\n"));
    return text.substr(0, kFieldSize - 1);
}

bool is_thread_document(std::FILE* f) {
    char line[kLineSize];
    return read_line_cut(f, line, sizeof line) && std::strstr(line, kSeparator);
}

}  // namespace zubo
