#pragma once
// Byte blocks from the collector's pointer-free heap. Never freed: the
// collector reclaims them once unreachable. Each returns null when the heap
// cannot grow.

#include <cstddef>
#include <memory>
#include <type_traits>

// The collector finds live blocks only on the stack and in static data, so
// a type that holds its blocks must live there too. In such a type's body,
// ZUBO_COLLECTOR_HOLDER makes `new` of it an error (make_unique too); after
// it, at global scope, ZUBO_NOT_IN_CONTAINERS(Type) makes keeping it in a
// standard container or a shared_ptr (whose elements live in malloc's
// heap, which the collector never scans) an error: their allocator and
// shared_ptr have no definition for it.
#define ZUBO_COLLECTOR_HOLDER                                \
    static void* operator new(std::size_t) = delete;        \
    static void* operator new[](std::size_t) = delete;
#define ZUBO_NOT_IN_CONTAINERS(...) \
    namespace std {                 \
    template <>                     \
    class allocator<__VA_ARGS__>;   \
    template <>                     \
    class shared_ptr<__VA_ARGS__>;  \
    }

namespace zubo::gc {

char* alloc_bytes(std::size_t size);

// A zero-terminated copy of size bytes.
char* copy_bytes(const char* bytes, std::size_t size);

// The zero-terminated concatenation of a, b and c (c may be null), whatever
// their length: URLs and paths are built with this, never cut.
char* concat(const char* a, const char* b, const char* c = nullptr);

// A table of pointer-free records from the collector, slots numbered as
// the caller likes; it lives on the stack, and its records with it.
template <typename Record>
class Table {
    static_assert(std::is_trivially_copyable_v<Record>, "a collector table holds plain records");

public:
    explicit Table(std::size_t slots) : records_(reinterpret_cast<Record*>(alloc_bytes(sizeof(Record) * slots))) {}
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;
    ZUBO_COLLECTOR_HOLDER

    // False when the heap could not grow.
    explicit operator bool() const { return records_ != nullptr; }
    Record* get() const { return records_; }
    Record& operator[](int n) const { return records_[n]; }

private:
    Record* records_;
};

// Runs a full collection now, so the blocks of screens that have returned
// are free before a large block is asked for.
void collect();

}  // namespace zubo::gc

namespace std {
template <typename Record>
class allocator<zubo::gc::Table<Record>>;
template <typename Record>
class shared_ptr<zubo::gc::Table<Record>>;
}
