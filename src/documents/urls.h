#pragma once
// The links of a body (CP932 bytes, after tag rendering). A link starts
// with "http://" or "https://", or with the service's habit of dropping
// letters to keep links from being followed: "ttp://", "tp://" and
// "ttps://". The scheme is matched without case, at a character that
// follows no ASCII letter or digit (so "sftp://" and "xhttp://" are no
// links). The link runs over printable ASCII bytes but space, '<', '>' and
// '"', and stops before "&lt;", "&gt;" and "&quot;", which stand for those.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zubo {

struct FoundUrl {
    std::size_t begin;  // the link's bytes in the body: [begin, end)
    std::size_t end;
    // The link with its scheme completed ("ttp://a" gives "http://a");
    // "http://" and "https://" links as written. Other references in it
    // ("&amp;") stand as written: they are decoded on the way out, as all
    // body text is.
    std::string url;
};

// Every link of the body, in order. A scheme with nothing after it is none.
std::vector<FoundUrl> find_urls(std::string_view body);

}  // namespace zubo
