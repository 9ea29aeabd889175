#pragma once
// The thread view: one thread's posts, page by page.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "documents/ng_rules.h"
#include "documents/ng_words.h"
#include "documents/post_table.h"
#include "documents/tables.h"
#include "net/download.h"
#include "store/home.h"

namespace zubo::store {
class Database;
}

namespace zubo {

struct ThreadLoad : TableFill {
    bool hide = false;  // ng.txt says hide: NG'd posts vanish from the pages
};

// The archive keeps a fallen thread's document at oyster/K4/NAME of its
// board, K4 being the first digits of the thread's key.
inline constexpr std::size_t kArchiveDirDigits = 4;

// The archive's URL of the thread dat_name of the board at url; null when
// dat_name is no key of at least kArchiveDirDigits digits followed by
// ".dat".
const char* archive_url(const char* url, const char* dat_name);

// Renders the tags of a post's field in place, left to right: <br> becomes
// a line break (newline, tab), any other tag goes, the text between tags
// stays, and a '<' that starts no tag stays. Returns the number of line
// breaks. Character references are left for the console to decode.
int render_tags(char* field);

// Turns one raw thread line (in a line buffer it may overwrite) into a
// post: NG words on the raw line, split into fields, tags rendered. The
// post is marked NG when a word hid it.
void parse_thread_line(char* line, NgWords& words, PostRecord* post);

// Judges the posts of one thread in document order by the rules of ng.txt:
// a post a rule names is NG'd, and with chain, so is a post whose body
// anchors only posts NG'd before it (by a word or a rule). An NG'd post
// takes the abone line's fields.
class PostJudge {
public:
    explicit PostJudge(NgRules& rules) : rules_(rules) {}
    // Judges the next post, parsed from raw, its line as in the copy (only
    // read when some rule is there).
    void judge(const char* raw, PostRecord* post);

private:
    bool chained(const char* body) const;

    NgRules& rules_;
    std::vector<bool> ng_ = {false};  // by post number
    int ng_count_ = 0;
    std::string id_;
};

// Reads a thread document from f into table, a post a line, with the NG
// words of ngword.txt and the rules of ng.txt read once for the whole
// document.
ThreadLoad load_thread(std::FILE* f, PostTable& table);

// Whether the first line of f is a thread's first post: it holds the
// field separator.
bool is_thread_document(std::FILE* f);

// Brings the board's copy of the thread dat_name up to date from the board
// at url, from the archive when the thread has fallen off the board. The
// name must be a plain file name.
DownloadResult update_thread_copy(const char* url, const std::string& board, const char* dat_name,
                                  const DownloadLimits& limits);

// Shows the thread dat_name of the board named board, at url; from the
// board's copy alone when url is null.
// Remembers in state (when not null) how far it was read.
void show_thread(const char* url, const std::string& board, const char* dat_name, const char* title,
                 store::Database* state = nullptr);

}  // namespace zubo
