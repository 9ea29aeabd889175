#include "documents/service_link.h"

#include <algorithm>
#include <vector>

namespace zubo {
namespace {

struct Scheme {
    std::string_view written;
    std::string_view scheme;
};

// Longest first, so "https://" is never read as "http" and more.
constexpr Scheme kSchemes[] = {
    {"https://", "https"}, {"http://", "http"}, {"ttps://", "https"}, {"ttp://", "http"}, {"tp://", "http"},
};

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = lower(c);
    return out;
}

bool starts_nocase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && lowered(text.substr(0, prefix.size())) == prefix;
}

bool ends_with(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// A URL taken apart: its scheme (completed, lower case) and what follows
// "://".
struct Parts {
    std::string scheme;
    std::string rest;
};

bool split_scheme(std::string_view url, Parts* parts) {
    for (const Scheme& s : kSchemes) {
        if (!starts_nocase(url, s.written)) continue;
        parts->scheme.assign(s.scheme);
        parts->rest.assign(url.substr(s.written.size()));
        return true;
    }
    return false;
}

// The redirectors: a host, and what stands between it and the link it
// wraps.
struct Wrapper {
    std::string_view host;
    std::string_view before_link;
};

constexpr Wrapper kWrappers[] = {
    {"jump.5ch.io", "/?"}, {"jump.5ch.net", "/?"}, {"jump.2ch.net", "/?"}, {"ime.nu", "/"},
    {"ime.st", "/"},       {"nun.nu", "/"},        {"pinktower.com", "/"},
};

// The link a redirector's URL wraps; empty when it wraps none.
std::string wrapped(const Parts& parts) {
    const std::string_view rest = parts.rest;
    const std::size_t host_end = std::min(rest.size(), rest.find_first_of("/?#"));
    const std::string host = lowered(rest.substr(0, host_end));
    for (const Wrapper& w : kWrappers) {
        if (host != w.host || rest.substr(host_end, w.before_link.size()) != w.before_link) continue;
        std::string_view inner = rest.substr(host_end + w.before_link.size());
        if (inner.empty()) return {};
        Parts inner_parts;
        if (split_scheme(inner, &inner_parts)) return inner_parts.scheme + "://" + inner_parts.rest;
        return "http://" + std::string(inner);
    }
    return {};
}

bool is_digits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// A post number of a suffix: 1 to 99999.
int post_number(std::string_view digits) {
    if (!is_digits(digits) || digits.size() > 5) return 0;
    int n = 0;
    for (char c : digits) n = n * 10 + (c - '0');
    return n;
}

// A thread's key: the time it was made, in digits.
bool is_key(std::string_view text) { return is_digits(text) && text.size() <= 18; }

// A board's name: letters, digits, '_' and '-'; "test" holds the service's
// programs.
bool is_board(std::string_view text) {
    if (text.empty() || text == "test") return false;
    for (char c : text) {
        const char l = lower(c);
        if (!((l >= 'a' && l <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-')) return false;
    }
    return true;
}

bool is_host(std::string_view host) {
    if (host.empty()) return false;
    for (char c : host) {
        const char l = lower(c);
        if (!((l >= 'a' && l <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == ':')) return false;
    }
    return true;
}

// Reads a read.cgi suffix into the link: lN, N, N-, N-M, -M; false when it
// is none of them.
bool read_suffix(std::string_view suffix, ServiceLink* link) {
    if (suffix.empty()) return true;
    if (suffix[0] == 'l') return (link->last = post_number(suffix.substr(1))) > 0;
    const std::size_t dash = suffix.find('-');
    if (dash == std::string_view::npos) return (link->from = post_number(suffix)) > 0;
    const std::string_view to = suffix.substr(dash + 1);
    if (dash == 0) {
        link->from = 1;
        return post_number(to) > 0;
    }
    link->from = post_number(suffix.substr(0, dash));
    if (link->from == 0) return false;
    return to.empty() || post_number(to) >= link->from;
}

std::vector<std::string_view> split_path(std::string_view path) {
    std::vector<std::string_view> segments;
    for (;;) {
        const std::size_t slash = path.find('/');
        segments.push_back(path.substr(0, slash));
        if (slash == std::string_view::npos) return segments;
        path.remove_prefix(slash + 1);
    }
}

// The segments after a thread's BOARD/KEY in read.cgi: nothing, "/", a
// suffix, and the suffix and "/".
bool read_cgi_thread(std::string_view board, std::string_view key, const std::vector<std::string_view>& after,
                     ServiceLink* link) {
    if (!is_board(board) || !is_key(key) || after.size() > 2) return false;
    if (after.size() == 2 && !after[1].empty()) return false;
    if (!after.empty() && !read_suffix(after[0], link)) return false;
    link->kind = LinkKind::kThread;
    link->board.assign(board);
    link->key.assign(key);
    return true;
}

void set_board(std::string_view board, ServiceLink* link) {
    link->kind = LinkKind::kBoard;
    link->board.assign(board);
}

// itest's forms: SERVER/test/read.cgi/BOARD/KEY/ and subback/BOARD.
void read_itest(const std::string& scheme, const std::vector<std::string_view>& s, ServiceLink* link) {
    if ((s.size() == 2 || (s.size() == 3 && s[2].empty())) && s[0] == "subback" && is_board(s[1])) {
        return set_board(s[1], link);
    }
    if (s.size() < 5 || s[1] != "test" || s[2] != "read.cgi" || !is_board(s[0])) return;
    std::vector<std::string_view> after(s.begin() + 5, s.end());
    ServiceLink read = *link;
    if (!read_cgi_thread(s[3], s[4], after, &read)) return;
    *link = read;
    link->origin = scheme + "://" + std::string(s[0]) + ".5ch.io";
}

void read_path(const std::vector<std::string_view>& s, ServiceLink* link) {
    const std::size_t n = s.size();
    if (n >= 4 && s[0] == "test" && s[1] == "read.cgi") {
        ServiceLink read = *link;
        if (read_cgi_thread(s[2], s[3], {s.begin() + 4, s.end()}, &read)) *link = read;
        return;
    }
    if (n < 2 || !is_board(s[0])) return;
    if (n == 2 && (s[1].empty() || s[1] == "subback.html")) return set_board(s[0], link);
    std::string_view file = s[n - 1];
    if (n == 3 && s[1] == "dat" && ends_with(file, ".dat") && is_key(file.substr(0, file.size() - 4))) {
        set_board(s[0], link);
        link->kind = LinkKind::kThread;
        link->key.assign(file.substr(0, file.size() - 4));
        return;
    }
    if (n < 4 || s[1] != "kako" || !ends_with(file, ".html") || !is_key(file.substr(0, file.size() - 5))) return;
    for (std::size_t i = 2; i + 1 < n; ++i) {
        if (!is_digits(s[i])) return;
    }
    set_board(s[0], link);
    link->kind = LinkKind::kThread;
    link->key.assign(file.substr(0, file.size() - 5));
}

// The host of a URL, lower case: what stands between "://" and the path.
std::string host_of(std::string_view url) {
    const std::size_t start = url.find("://");
    if (start == std::string_view::npos) return {};
    url.remove_prefix(start + 3);
    return lowered(url.substr(0, url.find_first_of("/?#")));
}

}  // namespace

std::string unwrapped_link(std::string_view url) {
    Parts parts;
    if (!split_scheme(url, &parts)) return std::string(url);
    // A wrapper may wrap another; a few are as many as anyone writes.
    for (int depth = 0; depth < 8; ++depth) {
        const std::string inner = wrapped(parts);
        if (inner.empty()) break;
        split_scheme(inner, &parts);
    }
    return parts.scheme + "://" + parts.rest;
}

ServiceLink read_service_link(std::string_view url) {
    ServiceLink link;
    const std::string link_url = unwrapped_link(url);
    Parts parts;
    if (!split_scheme(link_url, &parts)) return link;
    const std::string_view rest = parts.rest;
    const std::size_t host_end = rest.find('/');
    if (host_end == std::string_view::npos) return link;
    std::string host = lowered(rest.substr(0, host_end));
    const std::string_view path = rest.substr(host_end + 1);
    if (!is_host(host) || path.find_first_of("?#") != std::string_view::npos) return link;
    for (std::string_view old : {".5ch.net", ".2ch.net"}) {
        if (host.size() > old.size() && ends_with(host, old)) host = host.substr(0, host.size() - old.size()) + ".5ch.io";
    }
    for (std::string_view domain : {".5ch.io", ".bbspink.com"}) {
        link.service_host |= host.size() > domain.size() && ends_with(host, domain);
    }
    link.origin = parts.scheme + "://" + host;
    const std::vector<std::string_view> segments = split_path(path);
    if (host == "itest.5ch.io") read_itest(parts.scheme, segments, &link);
    else read_path(segments, &link);
    if (link.kind == LinkKind::kNothing) return ServiceLink{};
    return link;
}

std::string board_url_of(const ServiceLink& link, const BoardUrls& menu) {
    auto found = menu.find(link.board);
    if (found != menu.end()) return found->second;
    return link.origin + "/" + link.board + "/";
}

bool is_service_link(const ServiceLink& link, const BoardUrls& menu) {
    if (link.kind == LinkKind::kNothing) return false;
    if (link.service_host) return true;
    auto found = menu.find(link.board);
    return found != menu.end() && host_of(found->second) == host_of(link.origin);
}

}  // namespace zubo
