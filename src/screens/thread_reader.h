#pragma once
// The thread's prompt: the posts page by page, each page ending in the
// prompt, and the commands typed there (jump, the page before, the posts
// an anchor names, replies, an ID's posts, search, links). Pages fit the
// terminal when the output is one, and are 20 lines in a pipe.

#include <vector>

#include "documents/post_table.h"
#include "screens/run.h"

namespace zubo {

// A page in a pipe ends before it would take more lines than this.
inline constexpr int kScreenLines = 20;

// Where a visit starts and what it has shown, from and for the read state.
struct Visit {
    int start = 1;     // the first post shown
    int new_from = 0;  // the first post new since the last visit; 0: none marked
    int highest = 0;   // the highest post printed on a page
    // Opens at the last page (start aside): the thread was read to its
    // last post and nothing came since.
    bool last_page = false;
};

// A thread of this many posts or more takes no more: the service closed it.
inline constexpr int kClosedThreadPosts = 1000;

// What the prompt asks of the thread view beyond the posts.
class ThreadHost {
public:
    virtual ~ThreadHost() = default;
    // Reads the thread's copy into the posts again, under the NG rules as
    // ng.txt has them now.
    virtual void reload() = 0;
    // Whether NG'd posts vanish (ng.txt's hide), as the posts were last read.
    virtual bool hide() const = 0;
    // f: adds the thread to the favourites, or takes it out, and says which.
    virtual void toggle_favourite() = 0;
    // t: lists the thread's successors in its board's list and opens the
    // one chosen.
    virtual void find_successor() = 0;
    // n: brings the copy up to date as opening the thread does (the
    // loading line and its outcome) and reads the posts again; true when
    // the thread answered, so what is new is known.
    virtual bool update() = 0;
    // Whether the copy came from the archive of fallen threads, as the
    // posts were last read.
    virtual bool from_archive() const = 0;
    // w: writes a reply to the thread (anchor > 0 starts it with >>anchor);
    // when the service said it was written, the thread is brought up to
    // date as by update() and the reply remembered: true, with its number
    // (0 when it is not found).
    virtual bool write_reply(int anchor, int* post_number) = 0;
    // The numbers of the posts the user wrote in the thread, in order.
    virtual const std::vector<int>& own_posts() const = 0;
};

// Pages through posts from visit.start (or the last page) until the user
// leaves (e, or Enter at the last page), keeping visit.highest up to date
// as pages print: the highest post a page covered, a hidden post too. The
// posts may be read again (n, an NG rule added) while they are shown.
void read_thread(Run& run, const PostTable& posts, const char* title, Visit& visit, ThreadHost& host);

}  // namespace zubo
