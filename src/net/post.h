#pragma once
// Sending a post: one POST of a form, its answer whole; the cookies in a
// file of the home (libcurl's cookie engine). Never sent again on its own.

#include <string>

#include "net/download.h"

namespace zubo {

struct PostExchange {
    bool answered = false;  // a whole answer came (any status)
    long status = 0;
    std::string headers;    // as received, "Name: value\r\n" each
    std::string body;
    std::string url;        // the URL that answered
    std::string error;      // when not answered: why (libcurl's words)
};

// POSTs body (application/x-www-form-urlencoded) to url with referer,
// reading and writing the cookies in cookie_file (made 0600), through the
// limits' session.
PostExchange send_post(const std::string& url, const std::string& referer, const std::string& body,
                       const std::string& cookie_file, const DownloadLimits& limits);

// Drops from cookie_file the MonaTicket cookies that expire within a day of
// now (seconds); drop_ticket drops every MonaTicket. False when the file
// can't be rewritten.
bool drop_expiring_tickets(const std::string& cookie_file, long long now);
bool drop_ticket(const std::string& cookie_file);

}  // namespace zubo
