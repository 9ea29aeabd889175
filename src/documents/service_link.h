#pragma once
// What a link names of the service: a thread, a board, or nothing zubo
// opens. The service's hosts are *.5ch.io, *.bbspink.com, and the old
// *.5ch.net and *.2ch.net, read as the same host under 5ch.io. The path
// forms are read on any host (a loopback server, the sample service), as
// long as the path is one of them exactly:
//
//   thread  HOST/test/read.cgi/BOARD/KEY/ and a suffix: lN (the last N
//           posts), N, N-, N-M (from post N), -M (from post 1)
//           HOST/BOARD/dat/KEY.dat
//           HOST/BOARD/kako/.../KEY.html
//           itest.5ch.io/SERVER/test/read.cgi/BOARD/KEY/ (on SERVER.5ch.io)
//   board   HOST/BOARD/, HOST/BOARD/subback.html, itest.5ch.io/subback/BOARD
//
// The scheme is http or https, in any case, or one the service's habit cut
// short ("ttp://", "tp://", "ttps://"). The redirectors' wrappers
// (jump.5ch.io/?URL and the like, ime.nu/URL, ime.st/URL, nun.nu/URL,
// pinktower.com/URL) are taken off first.

#include <string>
#include <string_view>
#include <unordered_map>

namespace zubo {

// Each board of the menu by its name, with its URL there: a thread is
// opened from its board's current host, whatever host it was read on.
using BoardUrls = std::unordered_map<std::string, std::string>;

enum class LinkKind { kNothing, kThread, kBoard };

struct ServiceLink {
    LinkKind kind = LinkKind::kNothing;
    // The scheme and host the link names ("https://asahi.5ch.io"), a
    // 5ch.net or 2ch.net host under 5ch.io; itest's subback names none of
    // the board's, and keeps itest's.
    std::string origin;
    // Whether the host is one of the service's domains.
    bool service_host = false;
    std::string board;  // the board's name, the last segment of its path
    std::string key;    // a thread's key: its document is KEY.dat
    int from = 0;       // the post the suffix starts at; 0: none named
    int last = 0;       // lN: the last N posts; 0: none named

    std::string dat_name() const { return key + ".dat"; }
};

// The link with its scheme completed and the redirectors' wrappers taken
// off; a wrapped link without a scheme is given http.
std::string unwrapped_link(std::string_view url);

// What the link names.
ServiceLink read_service_link(std::string_view url);

// The URL the link's board is read at (ending with '/'): the menu's, when
// the menu lists a board of that name (boards move between hosts), else at
// the link's own host.
std::string board_url_of(const ServiceLink& link, const BoardUrls& menu);

// Whether the link is the service's to open: a host of the service's, or
// a board the menu lists at the link's own host (the sample service).
bool is_service_link(const ServiceLink& link, const BoardUrls& menu);

}  // namespace zubo
