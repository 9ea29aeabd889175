#pragma once
// One thread's posts. A post is parsed into a PostRecord, whose fields have
// their full fixed room, and then kept compactly in a PostTable: the bytes
// of every post's fields in one block from the collector, and per post where
// its fields start. A thread of short posts so touches a few hundred
// kilobytes, not a record of 33 KB for each post.

#include <cstddef>
#include <cstdint>

#include "documents/tables.h"
#include "text/gc_bytes.h"

namespace zubo {

struct PostRecord {
    char name[kFieldSize];
    char mail[kFieldSize];
    char date[kFieldSize];
    char body[kBodySize];
    std::int32_t lines;  // screen lines the post takes when printed
    bool ng;             // hidden by an NG word or rule: its fields are the abone line's
};

// A post as the table holds it; the fields point into the table, so a Post
// lives on the stack beside it, and what must outlive the table is copied.
struct Post {
    const char* name;
    const char* mail;
    const char* date;
    const char* body;
    int lines;
    bool ng;
    ZUBO_COLLECTOR_HOLDER
};

// Posts numbered from 1, at most kPostTableSize - 1 of them. Its blocks come
// from the collector and are reclaimed once the table is gone, so a table
// lives where the collector looks: on the stack.
class PostTable {
public:
    ZUBO_COLLECTOR_HOLDER

    // Makes room for the posts and about bytes_hint bytes of fields; false
    // when the heap is exhausted.
    bool reserve(std::size_t bytes_hint);
    // Appends a copy of post; false when the table is full or the heap is
    // exhausted.
    bool add(const PostRecord& post);

    int count() const { return count_; }
    bool full() const { return count_ == kPostTableSize - 1; }
    // Post n, 1 <= n <= count().
    Post post(int n) const;

private:
    struct Offsets {
        std::uint32_t name, mail, date, body;
        std::int32_t lines;
        bool ng;
    };

    bool make_room(std::size_t size);
    std::uint32_t keep(const char* field);

    char* bytes_ = nullptr;
    std::size_t used_ = 0;
    std::size_t room_ = 0;
    Offsets* posts_ = nullptr;  // slot 0 unused
    int count_ = 0;
};

}  // namespace zubo

ZUBO_NOT_IN_CONTAINERS(zubo::Post)
ZUBO_NOT_IN_CONTAINERS(zubo::PostTable)
