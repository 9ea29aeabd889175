#include "loopback_server.h"

#include <chrono>
#include <stdexcept>

namespace zubo {

std::string SeenRequest::header(const std::string& name) const {
    auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

LoopbackServer::LoopbackServer(int port) {
    server_.Get(".*", [this](const httplib::Request& req, httplib::Response& res) { answer(req, res); });
    server_.set_logger([this](const httplib::Request& req, const httplib::Response& res) { answered(req, res); });
    server_.set_keep_alive_max_count(1000);
    // Headers and a short body go out at once, as from a real server: with
    // Nagle's delay, a 16-byte answer would wait for the client's delayed
    // acknowledgement.
    server_.set_tcp_nodelay(true);
    if (port == 0) {
        port_ = server_.bind_to_any_port("127.0.0.1");
    } else if (server_.bind_to_port("127.0.0.1", port)) {
        port_ = port;
    }
    if (port_ < 0) throw std::runtime_error("cannot listen on 127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LoopbackServer::~LoopbackServer() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
}

std::string LoopbackServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

namespace {

// Streamed, the body goes whole: the server applies no range to it.
void stream_whole(httplib::Response& res, const std::string& body, const std::string& content_type) {
    res.set_chunked_content_provider(content_type, [body](size_t offset, httplib::DataSink& sink) {
        if (offset < body.size()) sink.write(body.data() + offset, body.size() - offset);
        else sink.done();
        return true;
    });
}

// The server would cut any body to the Range asked, and answer 416 when the
// body is shorter; a real server sends an error page or a redirect's body
// whole.
void send_whole_unless_success(httplib::Response& res) {
    if (res.status < 300 || res.body.empty()) return;
    std::string body = std::move(res.body);
    res.body.clear();
    std::string content_type = res.get_header_value("Content-Type");
    res.headers.erase("Content-Type");
    stream_whole(res, body, content_type);
}

}  // namespace

void LoopbackServer::serve(const std::string& target, const std::string& body, int status,
                           const std::string& content_type) {
    handle(target, [body, status, content_type](const httplib::Request&, httplib::Response& res) {
        // Left unset, the status of a 200 follows the Range, if any.
        if (status != 200) res.status = status;
        res.set_content(body, content_type);
    });
}

void LoopbackServer::serve_ignoring_ranges(const std::string& target, const std::string& body) {
    handle(target, [body](const httplib::Request&, httplib::Response& res) {
        res.status = 200;
        stream_whole(res, body, "application/octet-stream");
    });
}

void LoopbackServer::handle(const std::string& target, Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handlers_[target] = std::move(handler);
}

void LoopbackServer::forget(const std::string& target) {
    std::lock_guard<std::mutex> lock(mutex_);
    handlers_.erase(target);
}

void LoopbackServer::handle_others(Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    others_ = std::move(handler);
}

std::vector<SeenRequest> LoopbackServer::requests() const {
    std::unique_lock<std::mutex> lock(mutex_);
    all_answered_.wait_for(lock, std::chrono::seconds(2), [this] { return unanswered_.empty(); });
    return seen_;
}

std::size_t LoopbackServer::request_count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_.size();
}

void LoopbackServer::wait() {
    if (thread_.joinable()) thread_.join();
}

void LoopbackServer::answer(const httplib::Request& req, httplib::Response& res) {
    Handler handler;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        SeenRequest seen;
        seen.target = req.target;
        seen.headers = req.headers;
        seen.remote_port = req.remote_port;
        unanswered_[&req] = seen_.size();
        seen_.push_back(std::move(seen));
        auto it = handlers_.find(req.path);
        handler = it != handlers_.end() ? it->second : others_;
    }
    if (handler) {
        handler(req, res);
    } else {
        res.status = 404;
        res.set_content("not here", "text/plain");
    }
    send_whole_unless_success(res);
}

void LoopbackServer::answered(const httplib::Request& req, const httplib::Response& res) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = unanswered_.find(&req);
    if (it == unanswered_.end()) return;
    SeenRequest& seen = seen_[it->second];
    seen.status = res.status;
    seen.body_bytes = res.body.size();
    unanswered_.erase(it);
    if (unanswered_.empty()) all_answered_.notify_all();
}

}  // namespace zubo
