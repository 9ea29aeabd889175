#pragma once
// Writing a post: the draft (in the editor, or asked line by line), the
// post shown before it goes, the confirmation page, and what the service
// answered, said. A post is sent once, never again on its own.

#include <string>

#include "documents/post_answer.h"
#include "documents/post_form.h"
#include "screens/run.h"

namespace zubo {

// The cookies' file of the home.
inline constexpr char kCookieFile[] = "cookies.txt";

struct PostResult {
    bool written = false;  // the service said it was
    int post_number = 0;   // the post's number when it said it; 0: unknown
    std::string body;      // the body sent (CP932)
};

// Writes a post to place: a reply to the thread (anchor > 0 starts a new
// body with >>anchor), or a new thread when place.key is empty. The draft
// of the place starts it when there is one, and stays unless it was
// written.
PostResult write_post(Run& run, const PostPlace& place, int anchor);

}  // namespace zubo
