#include "screens/open_link.h"

#include "console/console.h"
#include "console/messages.h"
#include "documents/service_link.h"
#include "screens/browser.h"
#include "screens/image_view.h"
#include "screens/thread_list.h"
#include "screens/thread_view.h"
#include "store/home.h"

namespace zubo {
namespace {

const BoardUrls& menu_of(const Run& run) {
    static const BoardUrls kNone;
    return run.boards ? *run.boards : kNone;
}

// Opens the link's thread or board; with then_list, a thread's board's
// list follows the thread.
bool open_service_link(Run& run, const ServiceLink& link, bool then_list) {
    if (link.kind == LinkKind::kNothing) return false;
    const std::string board_url = board_url_of(link, menu_of(run));
    if (link.kind == LinkKind::kBoard) {
        show_thread_list(run, board_url.c_str());
        return true;
    }
    const std::string board = board_name(board_url.c_str());
    if (board.empty()) return false;
    show_thread(run, board_url.c_str(), board, link.dat_name().c_str(), nullptr, {link.from, link.last});
    if (then_list) show_thread_list(run, board_url.c_str());
    return true;
}

}  // namespace

bool open_link(Run& run, const char* url) { return open_service_link(run, read_service_link(url), true); }

ListCommand open_typed_link(Run& run, const char* line) {
    std::string url = line;
    url.erase(url.find_last_not_of(" \t") + 1);
    if (open_link(run, url.c_str())) return ListCommand::kDone;
    run.console.print(messages::unopenable_url, url.c_str());
    return ListCommand::kSaid;
}

bool follow_link(Run& run, const std::string& url) {
    const ServiceLink link = read_service_link(url);
    if (is_service_link(link, menu_of(run))) return open_service_link(run, link, false);
    const std::string plain = unwrapped_link(url);
    if (is_image_url(plain)) {
        show_image(run, plain);
        return true;
    }
    return open_in_browser(run, plain);
}

}  // namespace zubo
