#include "documents/post_table.h"

#include <cstring>

#include "text/gc_bytes.h"

namespace zubo {

bool PostTable::reserve(std::size_t bytes_hint) {
    if (!posts_) {
        posts_ = reinterpret_cast<Offsets*>(gc::alloc_bytes(sizeof(Offsets) * kPostTableSize));
        if (!posts_) return false;
    }
    return make_room(bytes_hint);
}

// At least size more bytes of room; a bigger block takes over the fields
// and the old one is left to the collector.
bool PostTable::make_room(std::size_t size) {
    if (room_ - used_ >= size) return true;
    std::size_t bigger = room_ * 2 > used_ + size ? room_ * 2 : used_ + size;
    char* block = gc::alloc_bytes(bigger);
    if (!block) return false;
    if (used_) std::memcpy(block, bytes_, used_);
    bytes_ = block;
    room_ = bigger;
    return true;
}

std::uint32_t PostTable::keep(const char* field) {
    std::size_t size = std::strlen(field) + 1;
    std::uint32_t at = static_cast<std::uint32_t>(used_);
    std::memcpy(bytes_ + used_, field, size);
    used_ += size;
    return at;
}

bool PostTable::add(const PostRecord& post) {
    if (full()) return false;
    std::size_t size = std::strlen(post.name) + std::strlen(post.mail) + std::strlen(post.date) +
                       std::strlen(post.body) + 4;
    if (!reserve(size)) return false;
    Offsets& slot = posts_[count_ + 1];
    slot.name = keep(post.name);
    slot.mail = keep(post.mail);
    slot.date = keep(post.date);
    slot.body = keep(post.body);
    slot.lines = post.lines;
    slot.ng = post.ng;
    ++count_;
    return true;
}

Post PostTable::post(int n) const {
    const Offsets& slot = posts_[n];
    return {bytes_ + slot.name, bytes_ + slot.mail, bytes_ + slot.date, bytes_ + slot.body, slot.lines, slot.ng};
}

}  // namespace zubo
