#pragma once
// What the service answered to a post, by its title, its 2ch_X comment or
// its x-chx-error header. Nothing here prints.

#include <string>

#include "documents/post_form.h"

namespace zubo {

enum class PostOutcome {
    kDone,          // written
    kConfirm,       // the confirmation page: its form is to be sent back
    kError,         // refused, with the page's message
    kBusy,          // お茶でも: the server is busy
    kWait,          // Samba: wait_seconds before the next post on the board
    kBrokenTicket,  // the ticket is broken: it goes, and the user posts again
    kUnknown,       // any other answer: whether it was written is not known
};

struct PostAnswer {
    PostOutcome outcome = PostOutcome::kUnknown;
    std::string message;   // CP932, markup rendered: an error's text, the confirmation's page
    int wait_seconds = 0;  // kWait
    int post_number = 0;   // kDone: the x-resnum header; 0 when absent
    ConfirmForm form;      // kConfirm
};

// headers: the answer's header lines as received ("Name: value\r\n"...);
// page_url: the URL that answered (the form's action resolves against it).
PostAnswer read_post_answer(long status, const std::string& headers, const std::string& body,
                            const std::string& page_url);

}  // namespace zubo
