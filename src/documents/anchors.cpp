#include "documents/anchors.h"

#include <algorithm>

#include "text/cp932.h"

namespace zubo {
namespace {

constexpr int kNumberCap = 999999999;

bool starts_at(std::string_view text, std::size_t at, std::string_view prefix) {
    return text.size() >= at && text.substr(at, prefix.size()) == prefix;
}

// The bytes of whichever of forms text[at] starts with, or 0.
template <std::size_t N>
std::size_t form_size(std::string_view text, std::size_t at, const std::string_view (&forms)[N]) {
    for (std::string_view form : forms) {
        if (starts_at(text, at, form)) return form.size();
    }
    return 0;
}

constexpr std::string_view kGreaterThans[] = {">", "&gt;", "\x81\x84"};
constexpr std::string_view kDashes[] = {"-", "\x81\x7C", "\x81\x5D"};
constexpr std::string_view kCommas[] = {",", "\x81\x43"};

// The value of the digit at text[at] and its bytes in *size; -1 when no
// ASCII or full-width digit stands there.
int digit_at(std::string_view text, std::size_t at, std::size_t* size) {
    if (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        *size = 1;
        return text[at] - '0';
    }
    if (at + 1 < text.size() && static_cast<unsigned char>(text[at]) == 0x82) {
        unsigned char trail = static_cast<unsigned char>(text[at + 1]);
        if (trail >= 0x4F && trail <= 0x58) {
            *size = 2;
            return trail - 0x4F;
        }
    }
    return -1;
}

// Reads the number at text[*at] and moves *at past it; false when no digit
// stands there.
bool read_number(std::string_view text, std::size_t* at, int* value) {
    std::size_t size = 0;
    int digit = digit_at(text, *at, &size);
    if (digit < 0) return false;
    long long number = 0;
    for (; digit >= 0; digit = digit_at(text, *at, &size)) {
        number = std::min<long long>(number * 10 + digit, kNumberCap);
        *at += size;
    }
    *value = static_cast<int>(number);
    return true;
}

// Reads a number or a range at text[*at], moving *at past it. A dash with
// no number after it is not part of the item.
bool read_item(std::string_view text, std::size_t* at, AnchorRange* item) {
    if (!read_number(text, at, &item->from)) return false;
    item->to = item->from;
    std::size_t after_dash = *at + form_size(text, *at, kDashes);
    if (after_dash != *at && read_number(text, &after_dash, &item->to)) *at = after_dash;
    return true;
}

// Reads the anchor that starts at body[at], passing each item of its list
// to on_item. Returns the anchor's end, or 0 when none starts there.
template <class OnItem>
std::size_t read_anchor(std::string_view body, std::size_t at, OnItem&& on_item) {
    std::size_t first = form_size(body, at, kGreaterThans);
    std::size_t second = first ? form_size(body, at + first, kGreaterThans) : 0;
    if (!second) return 0;
    std::size_t end = at + first + second;
    AnchorRange item;
    if (!read_item(body, &end, &item)) return 0;
    on_item(item);
    for (;;) {
        std::size_t next = end + form_size(body, end, kCommas);
        if (next == end || !read_item(body, &next, &item)) return end;
        on_item(item);
        end = next;
    }
}

// The first bytes of the '>' forms: no anchor starts at any other.
bool may_start_anchor(char c) { return c == '>' || c == '&' || c == '\x81'; }

template <class OnAnchor, class OnItem>
void scan_anchors(std::string_view body, OnAnchor&& on_anchor, OnItem&& on_item) {
    for (std::size_t at = 0; at < body.size();) {
        std::size_t end = may_start_anchor(body[at]) ? read_anchor(body, at, on_item) : 0;
        if (end) {
            on_anchor(AnchorSpan{at, end});
            at = end;
        } else {
            at += cp932::char_size(body, at);
        }
    }
}

bool narrow(const AnchorRange& item) { return item.from <= item.to && item.to - item.from < kAnchorRangeLimit; }

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimmed(std::string_view line) {
    while (!line.empty() && is_blank(line.front())) line.remove_prefix(1);
    while (!line.empty() && is_blank(line.back())) line.remove_suffix(1);
    return line;
}

}  // namespace

std::optional<AnchorRange> read_anchor_command(std::string_view line) {
    line = trimmed(line);
    std::size_t at = form_size(line, 0, kGreaterThans);
    if (!at) return std::nullopt;
    at += form_size(line, at, kGreaterThans);
    AnchorRange range;
    if (!read_item(line, &at, &range) || at != line.size()) return std::nullopt;
    if (range.from > range.to) std::swap(range.from, range.to);
    return range;
}

std::vector<AnchorSpan> anchor_spans(std::string_view body) {
    std::vector<AnchorSpan> spans;
    scan_anchors(body, [&](AnchorSpan span) { spans.push_back(span); }, [](const AnchorRange&) {});
    return spans;
}

std::vector<int> anchored_posts(std::string_view body) {
    std::vector<int> posts;
    auto on_item = [&](const AnchorRange& item) {
        if (!narrow(item)) return;
        for (int n = std::max(item.from, 1); n <= item.to; ++n) posts.push_back(n);
    };
    scan_anchors(body, [](AnchorSpan) {}, on_item);
    std::sort(posts.begin(), posts.end());
    posts.erase(std::unique(posts.begin(), posts.end()), posts.end());
    return posts;
}

bool anchors(std::string_view body, int n) {
    bool found = false;
    auto on_item = [&](const AnchorRange& item) {
        found = found || (n >= 1 && narrow(item) && item.from <= n && n <= item.to);
    };
    scan_anchors(body, [](AnchorSpan) {}, on_item);
    return found;
}

}  // namespace zubo
