#include "text/multi_search.h"

#include <cstring>

#include "text/gc_bytes.h"

namespace zubo {
namespace {

constexpr std::int32_t kRoot = 0;
constexpr std::int32_t kNone = -1;

// A copy of array with room for twice as many entries (at least 64); null
// when the heap is exhausted. The old block is left to the collector.
template <typename T>
T* grown(T* array, std::int32_t used, std::int32_t room) {
    std::int32_t bigger = room ? room * 2 : 64;
    T* copy = reinterpret_cast<T*>(gc::alloc_bytes(sizeof(T) * static_cast<std::size_t>(bigger)));
    if (copy && used) std::memcpy(copy, array, sizeof(T) * static_cast<std::size_t>(used));
    return copy;
}

}  // namespace

std::int32_t MultiSearch::child(std::int32_t node, unsigned char byte) const {
    for (std::int32_t e = first_edge_[node]; e != kNone; e = edges_[e].next) {
        if (edges_[e].byte == byte) return edges_[e].target;
    }
    return kNone;
}

std::int32_t MultiSearch::add_node() {
    if (nodes_ == node_room_) {
        std::int32_t* first_edge = grown(first_edge_, nodes_, node_room_);
        bool* ends = grown(ends_, nodes_, node_room_);
        if (!first_edge || !ends) return kNone;
        first_edge_ = first_edge;
        ends_ = ends;
        node_room_ = node_room_ ? node_room_ * 2 : 64;
    }
    first_edge_[nodes_] = kNone;
    ends_[nodes_] = false;
    return nodes_++;
}

void MultiSearch::add_edge(std::int32_t node, unsigned char byte, std::int32_t target) {
    if (edge_count_ == edge_room_) {
        Edge* edges = grown(edges_, edge_count_, edge_room_);
        if (!edges) return;
        edges_ = edges;
        edge_room_ = edge_room_ ? edge_room_ * 2 : 64;
    }
    edges_[edge_count_] = Edge{target, first_edge_[node], byte};
    first_edge_[node] = edge_count_++;
}

void MultiSearch::add(const char* word, std::size_t size) {
    if (size == 0) {
        empty_word_ = true;
        return;
    }
    if (nodes_ == 0 && add_node() == kNone) return;
    std::int32_t node = kRoot;
    for (std::size_t i = 0; i < size; ++i) {
        unsigned char byte = static_cast<unsigned char>(word[i]);
        std::int32_t next = child(node, byte);
        if (next == kNone) {
            std::int32_t edges_before = edge_count_;
            next = add_node();
            if (next != kNone) add_edge(node, byte, next);
            if (next == kNone || edge_count_ == edges_before) return;
        }
        node = next;
    }
    ends_[node] = true;
    linked_ = false;
}

// Sets each node's failure (the longest proper suffix of its path that is
// also a path from the root) breadth first, so a node's failure is always
// settled before its children's; a node matches when a word ends there or
// at its failure.
void MultiSearch::link_failures() {
    auto* queue = reinterpret_cast<std::int32_t*>(gc::alloc_bytes(sizeof(std::int32_t) * static_cast<std::size_t>(nodes_)));
    auto* fail = reinterpret_cast<std::int32_t*>(gc::alloc_bytes(sizeof(std::int32_t) * static_cast<std::size_t>(nodes_)));
    bool* match = reinterpret_cast<bool*>(gc::alloc_bytes(static_cast<std::size_t>(nodes_)));
    auto* root_moves = reinterpret_cast<std::int32_t*>(gc::alloc_bytes(sizeof(std::int32_t) * 256));
    auto* pair_starts = reinterpret_cast<std::uint64_t*>(gc::alloc_bytes(kPairWords * sizeof(std::uint64_t)));
    if (!queue || !fail || !match || !root_moves || !pair_starts) return;

    fail[kRoot] = kRoot;
    match[kRoot] = false;
    std::int32_t head = 0, tail = 0;
    queue[tail++] = kRoot;
    while (head < tail) {
        std::int32_t node = queue[head++];
        for (std::int32_t e = first_edge_[node]; e != kNone; e = edges_[e].next) {
            std::int32_t next = edges_[e].target;
            std::int32_t f = fail[node];
            std::int32_t suffix = kNone;
            if (node != kRoot) {
                while ((suffix = child(f, edges_[e].byte)) == kNone && f != kRoot) f = fail[f];
            }
            fail[next] = suffix == kNone ? kRoot : suffix;
            match[next] = ends_[next] || match[fail[next]];
            queue[tail++] = next;
        }
    }
    int start_count = 0;
    for (int byte = 0; byte < 256; ++byte) {
        std::int32_t next = child(kRoot, static_cast<unsigned char>(byte));
        root_moves[byte] = next == kNone ? kRoot : next;
        // A text's zero ends it: no word starts there.
        starts_[byte] = next != kNone && byte != 0;
        stops_[byte] = starts_[byte] || byte == 0;
        if (starts_[byte] && start_count++ == 0) only_start_ = byte;
    }
    if (start_count != 1) only_start_ = -1;
    // The first two bytes of every word: a text position whose pair is none
    // of these starts no word, and the root skips it.
    std::memset(pair_starts, 0, kPairWords * sizeof(std::uint64_t));
    for (std::int32_t first_edge = first_edge_[kRoot]; first_edge != kNone; first_edge = edges_[first_edge].next) {
        const unsigned first = edges_[first_edge].byte;
        for (std::int32_t e = first_edge_[edges_[first_edge].target]; e != kNone; e = edges_[e].next) {
            const unsigned pair = first << 8 | edges_[e].byte;
            pair_starts[pair / 64] |= std::uint64_t{1} << (pair % 64);
        }
    }
    pair_starts_ = pair_starts;
    fail_ = fail;
    match_ = match;
    root_moves_ = root_moves;
    linked_ = true;
}

// From the root, the first position from p on where a word may start: its
// byte starts a word, and either a word of that one byte ends there or its
// pair of bytes starts one. Null at the text's end.
const unsigned char* MultiSearch::next_start(const unsigned char* p) const {
    for (;; ++p) {
        // Bytes that start no word leave the root where it is.
        if (only_start_ >= 0) {
            p = reinterpret_cast<const unsigned char*>(std::strchr(reinterpret_cast<const char*>(p), only_start_));
            if (!p) return nullptr;
        } else {
            // Never past the text's end: a zero stops the step at its byte.
            while (!stops_[p[0]] && !stops_[p[1]] && !stops_[p[2]] && !stops_[p[3]]) p += 4;
            while (!stops_[*p]) ++p;
            if (!*p) return nullptr;
        }
        const unsigned pair = unsigned{p[0]} << 8 | p[1];
        if (match_[root_moves_[*p]] || (pair_starts_[pair / 64] >> (pair % 64) & 1)) return p;
    }
}

bool MultiSearch::found_in(const char* text) {
    if (empty_word_) return true;
    if (nodes_ == 0) return false;
    if (!linked_) link_failures();
    if (!linked_) return false;

    std::int32_t state = kRoot;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (state == kRoot && !(p = next_start(p))) return false;
        for (;;) {
            if (state == kRoot) {
                state = root_moves_[*p];
                break;
            }
            std::int32_t next = child(state, *p);
            if (next != kNone) {
                state = next;
                break;
            }
            state = fail_[state];
        }
        if (match_[state]) return true;
    }
    return false;
}

}  // namespace zubo
