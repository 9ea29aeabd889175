#include "documents/thread_marks.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "console/messages.h"

namespace zubo {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The decimal number in [begin, end), all digits; -1 when it isn't one or
// exceeds limit.
long long digits_value(const char* begin, const char* end, long long limit) {
    if (begin == end) return -1;
    long long value = 0;
    for (const char* p = begin; p < end; ++p) {
        if (!is_digit(*p)) return -1;
        int digit = *p - '0';
        if (value > (limit - digit) / 10) return -1;
        value = value * 10 + digit;
    }
    return value;
}

std::string formatted(const char* format, long long number) {
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<int>(std::clamp<long long>(number, INT_MIN, INT_MAX)));
    return text;
}

}  // namespace

long long thread_key(const char* dat_name) {
    const char* end = std::strstr(dat_name, ".dat");
    if (!end) end = dat_name + std::strlen(dat_name);
    return std::max(0LL, digits_value(dat_name, end, LLONG_MAX));
}

// Scanning back from the end is safe in CP932: neither ')', '(' nor a digit
// is ever the second byte of a character.
int label_posts(const char* title) {
    const char* end = title + std::strlen(title);
    if (end == title || end[-1] != ')') return 0;
    const char* close = end - 1;
    const char* open = close;
    while (open > title && is_digit(open[-1])) --open;
    if (open == title || open[-1] != '(') return 0;
    return static_cast<int>(std::max(0LL, digits_value(open, close, INT_MAX)));
}

ListedThread listed_thread(const char* dat_name, const char* title,
                           const store::BoardStates& states) {
    ListedThread thread{thread_key(dat_name), label_posts(title), std::nullopt, false};
    if (const store::ThreadState* found = states.find(dat_name)) thread.state = *found;
    return thread;
}

int unread_posts(const ListedThread& thread) {
    if (!thread.state || thread.posts <= thread.state->seen) return 0;
    return static_cast<int>(thread.posts - std::max(0LL, thread.state->seen));
}

std::string thread_mark(const ListedThread& thread, std::optional<long long> visited) {
    if (thread.state_unknown) return {};
    if (thread.state) {
        int unread = unread_posts(thread);
        return unread > 0 ? formatted(messages::mark_unread, unread) : messages::mark_read;
    }
    if (visited && thread.key > *visited) return messages::mark_new;
    return {};
}

long long momentum(const ListedThread& thread, long long now) {
    return thread.posts * 86400LL / std::max(1LL, now - thread.key);
}

std::string momentum_text(long long momentum) { return formatted(messages::momentum_label, momentum); }

std::optional<ListOrder> list_order(char letter) {
    switch (letter) {
        case 'm': return ListOrder::momentum;
        case 'n': return ListOrder::newest;
        case 'c': return ListOrder::posts;
        case 'u': return ListOrder::unread;
        case 'o': return ListOrder::original;
        default: return std::nullopt;
    }
}

const char* list_order_name(ListOrder order) {
    switch (order) {
        case ListOrder::momentum: return messages::order_momentum;
        case ListOrder::newest: return messages::order_newest;
        case ListOrder::posts: return messages::order_posts;
        case ListOrder::unread: return messages::order_unread;
        case ListOrder::original: break;
    }
    return messages::order_original;
}

std::vector<int> sorted_entries(const std::vector<ListedThread>& threads, ListOrder order, long long now) {
    // Each order sorts on one number, highest first.
    std::vector<std::pair<long long, int>> ranked;
    ranked.reserve(threads.size());
    for (std::size_t i = 0; i < threads.size(); ++i) {
        const ListedThread& t = threads[i];
        long long rank = 0;
        switch (order) {
            case ListOrder::momentum: rank = momentum(t, now); break;
            case ListOrder::newest: rank = t.key; break;
            case ListOrder::posts: rank = t.posts; break;
            case ListOrder::unread: rank = unread_posts(t); break;
            case ListOrder::original: break;
        }
        ranked.emplace_back(rank, static_cast<int>(i) + 1);
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<int> entries;
    entries.reserve(ranked.size());
    for (const auto& r : ranked) entries.push_back(r.second);
    return entries;
}

}  // namespace zubo
