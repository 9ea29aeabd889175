#pragma once
// An HTTP server on 127.0.0.1 in the caller's own process, answering on a
// thread of its own: the tests, the sample board service and the bench all
// serve zubo through it. It answers both origin-form requests
// (GET /board/subject.txt) and the proxy form (GET http://host/path); a
// handler is found by the request target as sent, then the fallback
// handler, then 404. The body of an answer of status 300 or more goes
// whole, whatever Range was asked. A connection is kept alive for up to
// 1,000 requests, as the service's servers keep it for a whole run.

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zubo {

struct SeenRequest {
    std::string target;  // as on the request line
    httplib::Headers headers;
    int remote_port = -1;  // the client's end of the connection it came on
    // Known once the answer is written: its status, and the bytes of a body
    // given whole (serve, set_content) as sent, after any range; a body
    // from a content provider counts 0.
    int status = 0;
    std::size_t body_bytes = 0;
    std::string header(const std::string& name) const;
};

class LoopbackServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    // Listens on the given port, or on a free one for 0; throws
    // std::runtime_error when it can't.
    explicit LoopbackServer(int port = 0);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:PORT" followed by path.
    std::string url(const std::string& path) const;

    // Answers GET target with body and status. A text/ type lets the server
    // compress the body when the client accepts it. A 200 answers a Range
    // as a server does: 206 and the part asked for, or 416 past the end.
    void serve(const std::string& target, const std::string& body, int status = 200,
               const std::string& content_type = "text/plain");
    // Answers GET target with the whole body and 200 whatever Range asks,
    // as a server that ignores ranges does.
    void serve_ignoring_ranges(const std::string& target, const std::string& body);
    // Answers GET target through handler.
    void handle(const std::string& target, Handler handler);
    void forget(const std::string& target);
    // Answers every target that has no handler of its own.
    void handle_others(Handler handler);

    // Every request so far, once their answers are written (waiting up to
    // two seconds for those still being answered).
    std::vector<SeenRequest> requests() const;
    std::size_t request_count() const;

    // Blocks until the server stops (it never does on its own).
    void wait();

private:
    void answer(const httplib::Request& req, httplib::Response& res);
    void answered(const httplib::Request& req, const httplib::Response& res);

    httplib::Server server_;
    int port_ = -1;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::map<std::string, Handler> handlers_;
    Handler others_;
    std::vector<SeenRequest> seen_;
    // Requests whose answers are not written yet, by the index in seen_.
    std::map<const httplib::Request*, std::size_t> unanswered_;
    mutable std::condition_variable all_answered_;
};

}  // namespace zubo
