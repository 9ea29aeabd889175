#include "documents/successors.h"

#include <algorithm>
#include <cstring>
#include <cstdint>

#include "documents/tables.h"
#include "documents/thread_listing.h"
#include "documents/thread_marks.h"
#include "text/gc_bytes.h"

namespace zubo {
namespace {

bool is_lead_byte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Characters a title's similarity ignores: digits, spaces and brackets.
bool ignored(std::uint16_t c) {
    if (c < 0x100) return (c >= '0' && c <= '9') || std::string_view(" \t()[]{}<>").find(static_cast<char>(c)) != std::string_view::npos;
    if (c >= 0x824F && c <= 0x8258) return true;  // ０-９
    switch (c) {
        case 0x8140:                                               // 　
        case 0x8169: case 0x816A: case 0x816D: case 0x816E:        // （）［］
        case 0x816F: case 0x8170: case 0x8179: case 0x817A:        // ｛｝【】
        case 0x8175: case 0x8176: case 0x8177: case 0x8178:        // 「」『』
        case 0x816B: case 0x816C: case 0x8183: case 0x8184:        // 〔〕＜＞
        case 0x8173: case 0x8174: case 0x8171: case 0x8172:        // 《》〈〉
            return true;
        default:
            return false;
    }
}

// The title's characters that count, each as one number (a double-byte
// character as lead * 256 + trail).
std::vector<std::uint16_t> kept_characters(std::string_view title) {
    std::vector<std::uint16_t> chars;
    for (std::size_t i = 0; i < title.size(); ++i) {
        auto c = static_cast<unsigned char>(title[i]);
        std::uint16_t ch = c;
        if (is_lead_byte(c) && i + 1 < title.size()) ch = static_cast<std::uint16_t>(c << 8 | static_cast<unsigned char>(title[++i]));
        if (!ignored(ch)) chars.push_back(ch);
    }
    return chars;
}

std::vector<std::uint32_t> sorted_bigrams(std::string_view title) {
    std::vector<std::uint16_t> chars = kept_characters(title);
    std::vector<std::uint32_t> bigrams;
    for (std::size_t i = 1; i < chars.size(); ++i) bigrams.push_back(std::uint32_t{chars[i - 1]} << 16 | chars[i]);
    std::sort(bigrams.begin(), bigrams.end());
    return bigrams;
}

std::size_t shared_count(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    std::size_t shared = 0;
    for (std::size_t i = 0, j = 0; i < a.size() && j < b.size();) {
        if (a[i] < b[j]) {
            ++i;
        } else if (b[j] < a[i]) {
            ++j;
        } else {
            ++shared, ++i, ++j;
        }
    }
    return shared;
}

double dice(const std::vector<std::uint32_t>& x, const std::vector<std::uint32_t>& y) {
    if (x.empty() || y.empty()) return 0;
    return 2.0 * static_cast<double>(shared_count(x, y)) / static_cast<double>(x.size() + y.size());
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The runs of ASCII digits in the posts: a key occurs in a post exactly
// when it occurs in one of them, and few runs are as long as a key.
// Each run is a view into posts, which outlive it.
std::vector<std::string_view> digit_runs(const std::vector<std::string>& posts, std::size_t min_size) {
    std::vector<std::string_view> runs;
    for (std::string_view post : posts) {
        for (std::size_t i = 0; i < post.size();) {
            std::size_t start = i;
            while (i < post.size() && is_digit(post[i])) ++i;
            if (i - start >= min_size) runs.push_back(post.substr(start, i - start));
            if (i == start) ++i;
        }
    }
    return runs;
}

bool quoted(const std::vector<std::string_view>& runs, long long key) {
    std::string digits = std::to_string(key);
    return std::any_of(runs.begin(), runs.end(), [&](std::string_view run) { return run.find(digits) != run.npos; });
}

}  // namespace

double title_similarity(std::string_view a, std::string_view b) {
    return dice(sorted_bigrams(a), sorted_bigrams(b));
}

std::vector<SuccessorCandidate> successor_candidates(const KeyedTitle& current, const std::vector<KeyedTitle>& list,
                                                     const std::vector<std::string>& posts) {
    std::vector<std::string_view> runs = digit_runs(posts, std::to_string(current.key).size());
    std::vector<std::uint32_t> own = sorted_bigrams(current.title);
    std::vector<SuccessorCandidate> found;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].key <= current.key) continue;
        double score = dice(own, sorted_bigrams(list[i].title));
        if (quoted(runs, list[i].key)) score += kSuccessorBonus;
        if (score >= kSuccessorThreshold) found.push_back({static_cast<int>(i) + 1, score});
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.score > b.score; });
    if (found.size() > kSuccessorLimit) found.resize(kSuccessorLimit);
    return found;
}

std::vector<Successor> successors_in(const Document& subject, const char* dat_name, const char* title,
                                     const PostTable& posts) {
    gc::Table<ThreadRecord> table(kThreadTableSize);
    File f = open_document(subject);
    if (!table || !f) return {};
    ThreadListing listing = parse_subject(f.get(), table.get());
    // What the candidates are judged by is copied out of the tables: the
    // titles, and the posts' runs of digits a key could stand in.
    std::vector<KeyedTitle> list;
    for (int n = 1; n <= listing.count; ++n) list.push_back({thread_key(table[n].dat_name), table[n].title});
    const std::size_t key_digits = std::to_string(thread_key(dat_name)).size();
    std::vector<std::string> numbers;
    for (int n = 1; n <= posts.count(); ++n) {
        for (const char* p = posts.post(n).body; *p;) {
            const std::size_t digits = std::strspn(p, "0123456789");
            if (digits >= key_digits) numbers.emplace_back(p, digits);
            p += digits ? digits : 1;
        }
    }
    std::vector<Successor> found;
    for (const SuccessorCandidate& c : successor_candidates({thread_key(dat_name), title}, list, numbers)) {
        found.push_back({table[c.entry].dat_name, table[c.entry].title});
    }
    return found;
}

}  // namespace zubo
