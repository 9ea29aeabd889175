#include "documents/urls.h"

#include "text/bytes.h"
#include "text/cp932.h"

namespace zubo {
namespace {

struct Scheme {
    std::string_view written;
    std::string_view completed;  // empty: kept as written
};

// Longest first, so "https://" is never read as "http" and more.
constexpr Scheme kSchemes[] = {
    {"https://", ""}, {"http://", ""}, {"ttps://", "https://"}, {"ttp://", "http://"}, {"tp://", "http://"},
};

constexpr std::string_view kStoppingRefs[] = {"&lt;", "&gt;", "&quot;"};

bool is_ascii_alnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool starts_nocase(std::string_view text, std::size_t at, std::string_view prefix) {
    if (text.size() - at < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (fold_lower(static_cast<unsigned char>(text[at + i])) != static_cast<unsigned char>(prefix[i])) return false;
    }
    return true;
}

const Scheme* scheme_at(std::string_view body, std::size_t at) {
    for (const Scheme& scheme : kSchemes) {
        if (starts_nocase(body, at, scheme.written)) return &scheme;
    }
    return nullptr;
}

bool is_url_byte(std::string_view body, std::size_t at) {
    unsigned char c = static_cast<unsigned char>(body[at]);
    if (c <= ' ' || c >= 0x7F || c == '<' || c == '>' || c == '"') return false;
    if (c != '&') return true;
    for (std::string_view ref : kStoppingRefs) {
        if (body.substr(at, ref.size()) == ref) return false;
    }
    return true;
}

// Reads the link at body[at]; false when none starts there.
bool read_url(std::string_view body, std::size_t at, FoundUrl* found) {
    const Scheme* scheme = scheme_at(body, at);
    if (!scheme) return false;
    std::size_t rest = at + scheme->written.size();
    std::size_t end = rest;
    while (end < body.size() && is_url_byte(body, end)) ++end;
    if (end == rest) return false;
    found->begin = at;
    found->end = end;
    if (scheme->completed.empty()) {
        found->url.assign(body.substr(at, end - at));
    } else {
        found->url.assign(scheme->completed);
        found->url.append(body.substr(rest, end - rest));
    }
    return true;
}

}  // namespace

std::vector<FoundUrl> find_urls(std::string_view body) {
    std::vector<FoundUrl> urls;
    bool after_alnum = false;
    FoundUrl found;
    for (std::size_t at = 0; at < body.size();) {
        if (!after_alnum && read_url(body, at, &found)) {
            urls.push_back(found);
            at = found.end;
            after_alnum = is_ascii_alnum(static_cast<unsigned char>(body[at - 1]));
            continue;
        }
        std::size_t size = cp932::char_size(body, at);
        after_alnum = size == 1 && is_ascii_alnum(static_cast<unsigned char>(body[at]));
        at += size;
    }
    return urls;
}

}  // namespace zubo
