#pragma once
// The NG-word filter: hides a thread line that holds any word of ngword.txt.

namespace zubo {

// The abone line is 59 bytes and its terminator.
inline constexpr int kAboneLineSize = 60;

// Reads ngword.txt afresh and, if any of its words occurs in line, copies
// the abone line over the start of line (a buffer of at least 60 bytes).
// Returns 1 if the line was replaced, 0 if not (no file, or no word found).
int apply_ng_words(char* line);

}  // namespace zubo
