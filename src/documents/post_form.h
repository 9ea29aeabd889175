#pragma once
// A post as the service takes it: where it goes, the form it sends, and
// the confirmation's form sent back. Text is CP932; nothing here prints.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zubo {

// What the user wrote (CP932). The title is a new thread's only.
struct PostDraft {
    std::string name;
    std::string mail;
    std::string title;
    std::string body;
};

// Where a post goes.
struct PostPlace {
    std::string board_url;  // SCHEME://HOST/BOARD/ as the menu gives it
    std::string board;      // the board's name (its URL's last segment)
    std::string key;        // the thread's key (digits); empty for a new thread
};

// SCHEME://HOST/test/bbs.cgi of the place's board.
std::string post_url(const PostPlace& place);
// SCHEME://HOST/test/read.cgi/BOARD/KEY/, or the board's URL for a new thread.
std::string post_referer(const PostPlace& place);

// The first request's body: FROM, mail, MESSAGE, bbs, key (not for a new
// thread, which sends subject), time, submit, oekaki_thread1, Shift_JIS
// percent-encoded.
std::string post_form_body(const PostPlace& place, const PostDraft& draft, long long time);

// The confirmation page's own form: where it goes (absolute) and its
// hidden inputs, in order, their values as a browser reads them.
struct ConfirmForm {
    std::string action;
    std::vector<std::pair<std::string, std::string>> inputs;
};

// The second request's body: the hidden inputs unmodified, encoded as the
// first, and submit=上記全てを承諾して書き込む.
std::string confirm_form_body(const ConfirmForm& form);

// The editor's UTF-8 as a post sends it: CP932, with &#N; for each
// character CP932 has no form for.
std::string cp932_for_post(std::string_view utf8);

// One value percent-encoded as a form sends it: letters, digits and -._*
// as they are, a space '+', a "\n" (or "\r\n") %0D%0A, every other byte %XX.
std::string form_encode(std::string_view cp932);

}  // namespace zubo
