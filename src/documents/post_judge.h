#pragma once
// The NG judgement of a thread's posts by the rules of ng.txt.

#include <string>
#include <vector>

#include "documents/ng_rules.h"
#include "documents/post_table.h"

namespace zubo {

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

}  // namespace zubo
