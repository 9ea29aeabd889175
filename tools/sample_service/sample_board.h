#pragma once
// A small made-up sample of the board service: a board menu, boards with
// their thread lists and threads. The data is kept in UTF-8 and served as
// Shift_JIS (CP932), as the service does.

#include <map>
#include <string>
#include <vector>

namespace zubo::sample {

// Stands in a thread's lines for the service's own address
// ("http://127.0.0.1:8080"), which documents() puts in its place.
inline constexpr char kServiceMark[] = "{service}";

struct Thread {
    std::string key;                 // the document name, "1767225600.dat"
    std::string title;
    std::vector<std::string> lines;  // the document's lines, without newlines
};

struct Board {
    std::string dir;    // the path segment of the board's URL
    std::string name;
    std::vector<Thread> threads;  // none: an empty thread list
};

struct Category {
    std::string heading;
    std::vector<Board> boards;
};

// Every category in menu order, built once.
const std::vector<Category>& catalogue();

// The boards in menu order: element 0 is board number 1 of the list.
std::vector<const Board*> boards_in_order();

// The menu page (UTF-8) with every board under base_url
// ("http://127.0.0.1:8080" gives http://127.0.0.1:8080/news/).
std::string board_menu(const std::string& base_url);

// The path of the picture a post of the first thread links to.
inline constexpr char kPicturePath[] = "/img/zubo.png";

// That picture: a small PNG made here, a few dozen pixels on a side.
std::string sample_picture();

// Every document of the service, CP932 (the picture as it is), keyed by path: "/bbsmenu.html",
// "/news/subject.txt", "/news/dat/1767225600.dat".
std::map<std::string, std::string> documents(const std::string& base_url);

// The path of a request target: "/x" as it stands, and the proxy form
// "http://host:port/x" as "/x".
std::string path_of(const std::string& target);

// CP932 bytes of a UTF-8 text; throws std::runtime_error when a character
// has no CP932 form.
std::string to_cp932(const std::string& utf8);

}  // namespace zubo::sample
