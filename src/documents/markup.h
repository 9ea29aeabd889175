#pragma once
// The markup of a post's fields: the tags the service writes into them.

namespace zubo {

// Renders the tags of a post's field in place, left to right: <br> becomes
// a line break (newline, tab), any other tag goes, the text between tags
// stays, and a '<' that starts no tag stays. Returns the number of line
// breaks. Character references are left for the console to decode.
int render_tags(char* field);

}  // namespace zubo
