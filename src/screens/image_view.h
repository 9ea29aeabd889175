#pragma once
// Pictures linked from posts, drawn in the terminal.

#include <string>

#include "screens/run.h"

namespace zubo {

// Whether the link names a picture by its path's ending (.jpg, .jpeg,
// .png, .gif, .webp, in any case; a query or fragment after it aside).
bool is_image_url(const std::string& url);

// Shows the picture at url: fetched (or taken from the cache), decoded and
// drawn as large as fits the terminal, then its prompt; in a pipe, the URL
// is printed. What can't be shown is said, with the reason.
void show_image(Run& run, const std::string& url);

}  // namespace zubo
