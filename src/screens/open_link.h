#pragma once
// Links opened: typed at a list's prompt or given on the command line, or
// chosen among a thread's (uN).

#include <string>

#include "screens/pager.h"
#include "screens/run.h"

namespace zubo {

// Opens what the link names, as the command line and the lists' prompts
// do: a thread (from the post its suffix names, else as from its list),
// then, once it is left, its board's thread list; a board's thread list.
// The board is the menu's of that name (run.boards), else at the link's
// host. False, with nothing printed, when the link names nothing zubo
// opens.
bool open_link(Run& run, const char* url);

// A link typed at a list's prompt (a line that starts with "http", "ttp"
// or "tp:"; blanks after it aside), opened as open_link does; one that
// names nothing zubo opens is said, and the prompt asks again.
ListCommand open_typed_link(Run& run, const char* line);

// Opens a link of a post (its references decoded): one of the service in
// zubo (a thread, or a board's thread list; leaving it comes back), a
// picture in the picture view, any other in the browser. True when
// something was shown (the thread's page is then shown again).
bool follow_link(Run& run, const std::string& url);

}  // namespace zubo
