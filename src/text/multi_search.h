#pragma once
// Many byte strings searched for at once: whether any of them occurs in a
// text, in one pass over the text (an Aho-Corasick automaton). The answer
// is the same as strstr with each word in turn; an empty word occurs in
// every text. The automaton's tables come from the collector, so a
// MultiSearch must live where the collector looks: on the stack or in
// static data, never inside a pointer-free block.

#include <cstddef>
#include <cstdint>

#include "text/gc_bytes.h"

namespace zubo {

class MultiSearch {
public:
    ZUBO_COLLECTOR_HOLDER

    // Adds a word of size bytes. A word that finds the collector's heap
    // exhausted is not added.
    void add(const char* word, std::size_t size);
    // Whether any word occurs in the zero-terminated text.
    bool found_in(const char* text);
    // Whether no word was added.
    bool empty() const { return !empty_word_ && edge_count_ == 0; }

private:
    struct Edge {
        std::int32_t target;
        std::int32_t next;  // the next edge of the same node, or -1
        unsigned char byte;
    };

    std::int32_t child(std::int32_t node, unsigned char byte) const;
    std::int32_t add_node();
    void add_edge(std::int32_t node, unsigned char byte, std::int32_t target);
    void link_failures();
    const unsigned char* next_start(const unsigned char* p) const;

    // Nodes: first_edge_, ends_, fail_ and match_ are parallel arrays; node
    // 0 is the root. The root's moves are also kept as a full table, as
    // every byte of the text that starts no word passes through it.
    std::int32_t* first_edge_ = nullptr;
    bool* ends_ = nullptr;   // a word ends here
    std::int32_t* fail_ = nullptr;
    bool* match_ = nullptr;  // a word ends here or at a node its failures reach
    std::int32_t nodes_ = 0;
    std::int32_t node_room_ = 0;
    Edge* edges_ = nullptr;
    std::int32_t edge_count_ = 0;
    std::int32_t edge_room_ = 0;
    std::int32_t* root_moves_ = nullptr;  // 256 entries once linked
    // A bit for each pair of bytes that starts a word, once linked.
    static constexpr std::size_t kPairWords = 65536 / 64;
    std::uint64_t* pair_starts_ = nullptr;
    // At the root, the text is skipped to the next byte that starts a word:
    // with strchr when only one byte does, else through stops_ (the bytes
    // that start a word, and the text's end), four bytes a step.
    int only_start_ = -1;
    bool starts_[256] = {};
    bool stops_[256] = {};

    bool empty_word_ = false;
    bool linked_ = false;
};

}  // namespace zubo

ZUBO_NOT_IN_CONTAINERS(zubo::MultiSearch)
