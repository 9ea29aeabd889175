#include "documents/post_judge.h"

#include "documents/anchors.h"
#include "documents/post_id.h"
#include "documents/thread_document.h"

namespace zubo {

void PostJudge::judge(const char* raw, PostRecord* post) {
    // Without rules or chain only ngword.txt judges.
    if (!post->ng && (!rules_.empty() || rules_.chain())) {
        id_.assign(post_id(post->date));
        post->ng = rules_.matches_post({raw, post->name, post->mail, id_.c_str(), post->body}) ||
                   (rules_.chain() && chained(post->body));
        if (post->ng) set_abone(post);
    }
    ng_.push_back(post->ng);
    ng_count_ += post->ng;
}

// Whether the body anchors posts, and only posts NG'd before this one.
bool PostJudge::chained(const char* body) const {
    if (ng_count_ == 0) return false;
    const std::vector<int> anchored = anchored_posts(body);
    if (anchored.empty()) return false;
    for (int n : anchored) {
        if (static_cast<std::size_t>(n) >= ng_.size() || !ng_[static_cast<std::size_t>(n)]) return false;
    }
    return true;
}

}  // namespace zubo
