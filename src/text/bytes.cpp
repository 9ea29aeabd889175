#include "text/bytes.h"

#include <climits>
#include <cstring>

#include "text/gc_bytes.h"

namespace zubo {
namespace {

// The splitter's place: one for the whole program, as only the thread view
// splits, one line at a time.
char* g_split_position = nullptr;

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

char* split_next(const char* str, const char* sep) {
    if (str) g_split_position = gc::copy_bytes(str, std::strlen(str));
    if (!g_split_position) return nullptr;

    char* found = std::strstr(g_split_position, sep);
    if (!found) return nullptr;
    char* field = g_split_position;
    *found = '\0';
    g_split_position = found + std::strlen(sep);
    return field;
}

int replace_first(char* s, const char* find, const char* repl) {
    std::size_t find_len = std::strlen(find);
    if (find_len == 0) return 0;
    char* at = std::strstr(s, find);
    if (!at) return 0;

    std::size_t repl_len = std::strlen(repl);
    char* rest = at + find_len;
    std::memmove(at + repl_len, rest, std::strlen(rest) + 1);
    std::memcpy(at, repl, repl_len);
    return 1;
}

long long parse_decimal(const char* s) {
    while (is_space(*s)) ++s;
    bool negative = false;
    if (*s == '+' || *s == '-') negative = (*s++ == '-');

    long long value = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        int digit = *s - '0';
        if (value > (LLONG_MAX - digit) / 10) {
            value = LLONG_MAX;
        } else {
            value = value * 10 + digit;
        }
    }
    return negative ? -value : value;
}

unsigned char fold_lower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool starts_with_nocase(const char* s, const char* prefix) {
    for (; *prefix; ++s, ++prefix) {
        if (fold_lower(static_cast<unsigned char>(*s)) != fold_lower(static_cast<unsigned char>(*prefix))) {
            return false;
        }
    }
    return true;
}

void copy_field(char* field, std::size_t field_size, const char* src, std::size_t size) {
    if (field_size == 0) return;
    if (size > field_size - 1) size = field_size - 1;
    std::memcpy(field, src, size);
    field[size] = '\0';
}

void copy_field(char* field, std::size_t field_size, const char* src) {
    if (!src) src = "";
    copy_field(field, field_size, src, strnlen(src, field_size));
}

}  // namespace zubo
