#pragma once
// An HTTP server on 127.0.0.1, in the test's own process, on a free port.
// It answers both origin-form requests (GET /board/subject.txt) and the
// proxy form (GET http://host/path), keyed by the request target as sent.

#include <httplib.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zubo::test {

struct SeenRequest {
    std::string target;  // as on the request line
    httplib::Headers headers;
    std::string header(const std::string& name) const;
};

class LoopbackServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:PORT" followed by path.
    std::string url(const std::string& path) const;

    // Answers GET target with body and status.
    void serve(const std::string& target, const std::string& body, int status = 200);
    // Answers GET target through handler.
    void handle(const std::string& target, Handler handler);
    void forget(const std::string& target);

    std::vector<SeenRequest> requests() const;
    std::size_t request_count() const;

private:
    void answer(const httplib::Request& req, httplib::Response& res);

    httplib::Server server_;
    int port_ = -1;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::map<std::string, Handler> handlers_;
    std::vector<SeenRequest> seen_;
};

}  // namespace zubo::test
