#pragma once
// An HTTP server on 127.0.0.1 in the caller's own process, answering on a
// thread of its own: the tests, the sample board service and the bench all
// serve zubo through it. It answers both origin-form requests
// (GET /board/subject.txt) and the proxy form (GET http://host/path); a
// handler is found by the request target as sent, then the fallback
// handler, then 404.

#include <httplib.h>

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
    // compress the body when the client accepts it.
    void serve(const std::string& target, const std::string& body, int status = 200,
               const std::string& content_type = "text/plain");
    // Answers GET target through handler.
    void handle(const std::string& target, Handler handler);
    void forget(const std::string& target);
    // Answers every target that has no handler of its own.
    void handle_others(Handler handler);

    std::vector<SeenRequest> requests() const;
    std::size_t request_count() const;

    // Blocks until the server stops (it never does on its own).
    void wait();

private:
    void answer(const httplib::Request& req, httplib::Response& res);

    httplib::Server server_;
    int port_ = -1;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::map<std::string, Handler> handlers_;
    Handler others_;
    std::vector<SeenRequest> seen_;
};

}  // namespace zubo
