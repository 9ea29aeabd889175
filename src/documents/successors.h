#pragma once
// How alike two thread titles are, and the successor (次スレ) candidates of
// a thread among its board's list. Titles are CP932 bytes: a lead byte
// (0x81-0x9F, 0xE0-0xFC) and the byte after it are one character.

#include <string>
#include <string_view>
#include <vector>

#include "documents/post_table.h"
#include "text/lines.h"

namespace zubo {

// The Dice coefficient of the two titles' character bigrams (counted with
// their repeats), after digits (0-9, ０-９), spaces (space, tab, 　) and
// brackets (()[]{}<> and their full-width forms, 【】「」『』〔〕《》〈〉) are
// removed: 2 * shared / (bigrams of a + bigrams of b), from 0 to 1. A title
// left with fewer than two characters shares nothing.
double title_similarity(std::string_view a, std::string_view b);

// A thread of the board's list: its key (the dat name's digits) and label,
// copied out of the list's table.
struct KeyedTitle {
    long long key = 0;
    std::string title;
};

struct SuccessorCandidate {
    int entry = 0;  // 1 for list[0]
    double score = 0;
};

inline constexpr double kSuccessorBonus = 0.5;
inline constexpr double kSuccessorThreshold = 0.3;
inline constexpr std::size_t kSuccessorLimit = 5;

// The candidates for the successor of current among list: threads with a
// later key, scored by title_similarity plus kSuccessorBonus when one of
// the current thread's posts contains the candidate's key (posts: their
// texts, or only their runs of digits). At most kSuccessorLimit of those
// scoring kSuccessorThreshold or more, highest first, ties in list order.
std::vector<SuccessorCandidate> successor_candidates(const KeyedTitle& current, const std::vector<KeyedTitle>& list,
                                                     const std::vector<std::string>& posts);

struct Successor {
    std::string dat_name;
    std::string title;
};

// The successors of the thread among the board's list, subject, best
// first: later threads by the likeness of their titles, with a bonus for
// the ones its posts name.
std::vector<Successor> successors_in(const Document& subject, const char* dat_name, const char* title,
                                     const PostTable& posts);

}  // namespace zubo
