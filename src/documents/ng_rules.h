#pragma once
// The NG rules of ng.txt: posts hidden by their raw line, name, mail, ID or
// body, and threads hidden by their title; each rule a substring or a
// regular expression (RE2, whose matching time is linear in the text).
// The rules of one kind are matched in one pass over a field: the plain
// ones with one MultiSearch, the regular expressions with one RE2::Set.
// As a MultiSearch lives inside, NgRules must live on the stack or in
// static data, never inside a pointer-free block.

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/multi_search.h"

namespace zubo {

// A post's fields as the thread view has them: CP932 bytes, tags rendered,
// character references still as written (the rules decode them). A null
// field is an empty one.
struct NgPostFields {
    const char* raw_line;  // the post's line as in the thread copy
    const char* name;
    const char* mail;
    const char* id;  // the ID token, with or without its "ID:"
    const char* body;
};

class NgRules {
public:
    NgRules();
    ~NgRules();
    NgRules(NgRules&&) noexcept;
    NgRules& operator=(NgRules&&) noexcept;
    NgRules(const NgRules&) = delete;
    NgRules& operator=(const NgRules&) = delete;

    // Reads the rules file at path: UTF-8 when utf8_file, else CP932. No
    // file gives no rules. The numbers (from 1) of the lines that can't be
    // read are added to *bad_lines when it is given.
    static NgRules read(const char* path, bool utf8_file, std::vector<int>* bad_lines);
    // The same for the file's bytes.
    // With kept_path, what compiling the regular expressions found is kept
    // in that file, beside the bytes it was found for, and taken from it
    // while the bytes are the same to the last one: a start then compiles
    // no expression until a field holds one of the strings it needs.
    static NgRules parse(std::string_view bytes, bool utf8_file, std::vector<int>* bad_lines,
                         const char* kept_path = nullptr);

    // Whether any word, name, mail, id or body rule matches the post.
    bool matches_post(const NgPostFields& post);
    // Whether any title rule matches a thread-list title (CP932).
    bool matches_title(const char* title);

    bool chain() const { return chain_; }
    bool hide() const { return hide_; }
    // No rule of any kind (chain and hide alone make no rule).
    bool empty() const { return rule_count_ == 0; }
    // Whether any rule of the thread list's kind is there.
    bool has_title_rules() const;

private:
    enum Kind { kWord, kName, kMail, kId, kBody, kTitle, kKindCount };

    struct RegexSet;  // the RE2 filter and set, kept out of this header
    struct RegexSetDeleter {
        void operator()(RegexSet* set) const;
    };
    struct KindRules {
        MultiSearch words;  // CP932; ASCII letters folded for name and body
        std::unique_ptr<RegexSet, RegexSetDeleter> regexes;
        // Strings one of which every regex of the kind needs (in CP932,
        // ASCII folded): a field holding none of them skips the conversion
        // to UTF-8 and the set. Off when some regex needs no such string.
        MultiSearch regex_atoms;
        bool prefilter = false;
    };

    bool read_line(std::string_view line, bool utf8_file);
    bool add_rule(Kind kind, std::string_view pattern, bool utf8_file);
    bool add_substring(Kind kind, std::string_view cp932);
    bool add_regex(Kind kind, const std::string& utf8, bool fold);
    void compile();
    void compile_prefilter(Kind kind);

    // What compiling the regular expressions found: the lines RE2 refused
    // and, per kind, the strings one of which every match needs.
    struct Compiled {
        std::vector<int> refused_lines;
        std::array<std::vector<std::string>, kKindCount> atoms;  // CP932
        std::array<bool, kKindCount> prefilter = {};
    };
    // Whether any line was a regular expression, read or refused.
    bool has_regexes() const;
    static bool read_compiled(const char* path, std::string_view bytes, bool utf8_file, Compiled* compiled);
    static void keep_compiled(const char* path, std::string_view bytes, bool utf8_file, const Compiled& compiled);

    // While the rules are parsed: the line being read, what a kept
    // compilation says (null: compile), and what this one finds.
    int line_number_ = 0;
    const Compiled* known_ = nullptr;
    Compiled found_;

    const char* shown_text(const char* field, bool fold, bool decode);
    bool field_matches(Kind kind, const char* field);
    bool id_matches(const char* id);
    bool regex_matches(Kind kind, const char* field);

    std::array<KindRules, kKindCount> kinds_;
    std::vector<std::string> ids_;  // sorted; compared whole
    int rule_count_ = 0;
    bool chain_ = false;
    bool hide_ = false;
    // Reused for every field, so a post costs no allocation once they grew.
    std::string cp932_text_;
    std::string utf8_text_;
    // The last field shown_text made, and how: valid within one post.
    struct Shown {
        const char* field = nullptr;
        bool fold = false;
        bool decode = false;
        const char* text = nullptr;
    } shown_;
};

// Adds one line (in the file's encoding, no newline) to the rules file at
// path: the whole file is written anew beside it, old content, a newline if
// it lacked its last one, the line and a newline, and renamed into place.
// False when the line holds a newline or the file can't be read or written.
bool append_ng_rule(const char* path, const char* line_in_file_encoding);

// The rules of ng.txt as read last, and the bytes they were made from. It
// holds NgRules: it lives on the stack too.
struct NgRulesCache {
    NgRules rules;
    std::optional<std::string> read_from;  // the bytes, with the encoding's flag
};

// The rules of ng.txt in the home, read as UTF-8 when utf8_file, else as
// CP932. The file is read at each call, its rules made again into cache
// only when its bytes or the encoding changed: the thread list and the
// thread view share them. When they are made again, the numbers of the
// lines that can't be read are added to *bad_lines; when not, nothing is
// added.
NgRules& read_ng_rules_file(NgRulesCache& cache, bool utf8_file, std::vector<int>* bad_lines);

}  // namespace zubo
