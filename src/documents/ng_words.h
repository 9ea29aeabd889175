#pragma once
// The NG-word filter: hides a thread line that holds any word of ngword.txt.

#include "text/multi_search.h"

namespace zubo {

// The abone line is 59 bytes and its terminator.
inline constexpr int kAboneLineSize = 60;

// The words of ngword.txt, read once for a thread view. Each read of the
// file takes at most 1,998 bytes of a line, so a longer line comes in
// pieces, each a word of its own; a line's end (its newline, and a CR just
// before it) is not part of the word; empty words and words of only spaces
// and tabs are skipped.
struct NgWords {
    MultiSearch search;
};

// Reads ngword.txt from the home (zubo works inside it); no file gives no
// words.
// With utf8_console, a word that is valid UTF-8 (typed for the UTF-8
// console) is matched in its CP932 form.
NgWords read_ng_words(bool utf8_console);

// If any of words occurs in line, copies the abone line over the start of
// line (a buffer of at least 60 bytes). Returns 1 if the line was replaced,
// 0 if not.
int apply_ng_words(NgWords& words, char* line);

}  // namespace zubo
