#pragma once
// The sample service taking posts as the service's bbs.cgi does: a first
// post without a ticket gets the confirmation page and a MonaTicket, the
// confirmation sent back is written; Samba refuses a second post within
// 10 seconds; a form whose time is off by more than 10 minutes is refused.
// The documents it serves change with the posts it takes. Everything it
// reads and writes is CP932.

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace zubo {
class LoopbackServer;
}

namespace zubo::sample {

struct PostReply {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;  // CP932 HTML
};

class Service {
public:
    // base_url: the service's address ("http://127.0.0.1:8080"); clock: the
    // server's time in seconds, the system's when empty.
    explicit Service(const std::string& base_url, std::function<long long()> clock = {});

    // The document at path (documents() at first, then as posts change it);
    // false when there is none.
    bool document(const std::string& path, std::string* body) const;

    // The answer to a POST of form (its body) to /test/bbs.cgi with the
    // request's Cookie header.
    PostReply post(const std::string& form, const std::string& cookie_header);

    // Answers every request of server: POST /test/bbs.cgi, GET of a document.
    void serve_on(LoopbackServer& server);

private:
    struct Ticket {
        std::string feature;  // the confirmation's value it must send back
        bool confirmed = false;
        long long last_post = -1;
    };
    PostReply write(const std::map<std::string, std::string>& fields, const std::string& ticket_name, Ticket& ticket,
                    long long now);

    mutable std::mutex mutex_;
    std::map<std::string, std::string> docs_;
    std::function<long long()> clock_;
    std::map<std::string, Ticket> tickets_;
    int issued_ = 0;
};

}  // namespace zubo::sample
