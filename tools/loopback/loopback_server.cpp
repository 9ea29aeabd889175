#include "loopback_server.h"

#include <httplib.h>
#include <strings.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace zubo {

struct LoopbackServer::State {
    void answer(const httplib::Request& req, httplib::Response& res);
    void answered(const httplib::Request& req, const httplib::Response& res);
    static void respond(LoopbackResponse&& answer, httplib::Response& res);
    static void send_whole_unless_success(httplib::Response& res);

    httplib::Server server_;
    int port_ = -1;
    std::thread thread_;
    mutable std::mutex mutex_;
    // Shared, so that answering doesn't copy a handler and the body it holds.
    std::map<std::string, std::shared_ptr<const Handler>> handlers_;
    std::shared_ptr<const Handler> others_;
    std::vector<SeenRequest> seen_;
    // Requests whose answers are not written yet, by the index in seen_.
    std::map<const httplib::Request*, std::size_t> unanswered_;
    mutable std::condition_variable all_answered_;
};

namespace {

const std::pair<std::string, std::string>* find_header(const HeaderList& headers, const std::string& name) {
    for (const auto& header : headers) {
        if (strcasecmp(header.first.c_str(), name.c_str()) == 0) return &header;
    }
    return nullptr;
}

}  // namespace

std::string SeenRequest::header(const std::string& name) const {
    const auto* found = find_header(headers, name);
    return found ? found->second : std::string();
}

bool SeenRequest::has_header(const std::string& name) const { return find_header(headers, name) != nullptr; }

std::string LoopbackRequest::header(const std::string& name) const {
    const auto* found = find_header(headers, name);
    return found ? found->second : std::string();
}

void LoopbackResponse::set_content(const std::string& body, const std::string& content_type) {
    body_ = body;
    content_type_ = content_type;
}

void LoopbackResponse::set_header(const std::string& name, const std::string& value) {
    headers_.emplace_back(name, value);
}

void LoopbackResponse::set_redirect(const std::string& location, int redirect_status) {
    set_header("Location", location);
    status = redirect_status >= 300 && redirect_status < 400 ? redirect_status : 302;
}

void LoopbackResponse::set_content_provider(std::size_t length, const std::string& content_type, Provider provider) {
    length_ = length;
    content_type_ = content_type;
    provider_ = std::move(provider);
}

void LoopbackResponse::set_chunked_content_provider(const std::string& content_type, ChunkedProvider provider) {
    content_type_ = content_type;
    chunked_ = std::move(provider);
}

void LoopbackResponse::stream_whole(const std::string& content_type, const std::string& body) {
    set_chunked_content_provider(content_type, [body](std::size_t offset, BodyWriter& sink) {
        if (offset < body.size()) sink.write(body.data() + offset, body.size() - offset);
        else sink.done();
        return true;
    });
}

std::string gzip(const std::string& bytes) {
    std::string packed;
    httplib::detail::gzip_compressor compressor;
    bool ok = compressor.compress(bytes.data(), bytes.size(), true, [&](const char* data, size_t size) {
        packed.append(data, size);
        return true;
    });
    if (!ok) throw std::runtime_error("gzip failed");
    return packed;
}

namespace {

BodyWriter writer_for(httplib::DataSink& sink) {
    return BodyWriter{[&sink](const char* data, std::size_t size) { return sink.write(data, size); },
                      [&sink] { sink.done(); }};
}

}  // namespace

void LoopbackServer::State::respond(LoopbackResponse&& answer, httplib::Response& res) {
    if (answer.status != -1) res.status = answer.status;
    for (const auto& header : answer.headers_) res.set_header(header.first.c_str(), header.second);
    if (answer.chunked_) {
        res.set_chunked_content_provider(answer.content_type_.c_str(),
                                         [provider = answer.chunked_](size_t offset, httplib::DataSink& sink) {
                                             BodyWriter writer = writer_for(sink);
                                             return provider(offset, writer);
                                         });
    } else if (answer.provider_) {
        res.set_content_provider(answer.length_, answer.content_type_.c_str(),
                                 [provider = answer.provider_](size_t offset, size_t length, httplib::DataSink& sink) {
                                     BodyWriter writer = writer_for(sink);
                                     return provider(offset, length, writer);
                                 });
    } else if (!answer.content_type_.empty() || !answer.body_.empty()) {
        // Moved, not copied: a thread's body is half a megabyte, and copies
        // of it made the server's time per answer swing with its allocator.
        res.body = std::move(answer.body_);
        res.headers.erase("Content-Type");
        res.set_header("Content-Type", answer.content_type_);
    }
}

LoopbackServer::LoopbackServer(int port) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.server_.Get(".*", [&s](const httplib::Request& req, httplib::Response& res) { s.answer(req, res); });
    s.server_.Post(".*", [&s](const httplib::Request& req, httplib::Response& res) { s.answer(req, res); });
    s.server_.set_logger([&s](const httplib::Request& req, const httplib::Response& res) { s.answered(req, res); });
    s.server_.set_keep_alive_max_count(1000);
    // Headers and a short body go out at once, as from a real server: with
    // Nagle's delay, a 16-byte answer would wait for the client's delayed
    // acknowledgement.
    s.server_.set_tcp_nodelay(true);
    if (port == 0) {
        s.port_ = s.server_.bind_to_any_port("127.0.0.1");
    } else if (s.server_.bind_to_port("127.0.0.1", port)) {
        s.port_ = port;
    }
    if (s.port_ < 0) throw std::runtime_error("cannot listen on 127.0.0.1");
    s.thread_ = std::thread([&s] { s.server_.listen_after_bind(); });
    while (!s.server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LoopbackServer::~LoopbackServer() {
    state_->server_.stop();
    if (state_->thread_.joinable()) state_->thread_.join();
}

int LoopbackServer::port() const { return state_->port_; }

std::string LoopbackServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(state_->port_) + path;
}

// The server would cut any body to the Range asked, and answer 416 when the
// body is shorter; a real server sends an error page or a redirect's body
// whole.
void LoopbackServer::State::send_whole_unless_success(httplib::Response& res) {
    if (res.status < 300 || res.body.empty()) return;
    std::string body = std::move(res.body);
    res.body.clear();
    LoopbackResponse whole;
    whole.stream_whole(res.get_header_value("Content-Type"), body);
    res.headers.erase("Content-Type");
    LoopbackServer::State::respond(std::move(whole), res);
}

void LoopbackServer::serve(const std::string& target, const std::string& body, int status,
                           const std::string& content_type) {
    auto shared = std::make_shared<const std::string>(body);
    handle(target, [shared, status, content_type](const LoopbackRequest&, LoopbackResponse& res) {
        // Left unset, the status of a 200 follows the Range, if any.
        if (status != 200) res.status = status;
        res.set_content(*shared, content_type);
    });
}

void LoopbackServer::serve_ignoring_ranges(const std::string& target, const std::string& body) {
    handle(target, [body](const LoopbackRequest&, LoopbackResponse& res) {
        res.status = 200;
        res.stream_whole("application/octet-stream", body);
    });
}

void LoopbackServer::handle(const std::string& target, Handler handler) {
    std::lock_guard<std::mutex> lock(state_->mutex_);
    state_->handlers_[target] = std::make_shared<const Handler>(std::move(handler));
}

void LoopbackServer::handle_others(Handler handler) {
    std::lock_guard<std::mutex> lock(state_->mutex_);
    state_->others_ = std::make_shared<const Handler>(std::move(handler));
}

std::vector<SeenRequest> LoopbackServer::requests() const {
    const State& s = *state_;
    std::unique_lock<std::mutex> lock(s.mutex_);
    s.all_answered_.wait_for(lock, std::chrono::seconds(2), [&s] { return s.unanswered_.empty(); });
    return s.seen_;
}

std::size_t LoopbackServer::request_count() const {
    std::lock_guard<std::mutex> lock(state_->mutex_);
    return state_->seen_.size();
}

void LoopbackServer::wait() {
    if (state_->thread_.joinable()) state_->thread_.join();
}

void LoopbackServer::State::answer(const httplib::Request& req, httplib::Response& res) {
    std::shared_ptr<const Handler> handler;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        SeenRequest seen;
        seen.target = req.target;
        seen.headers.assign(req.headers.begin(), req.headers.end());
        seen.remote_port = req.remote_port;
        seen.method = req.method;
        seen.request_body = req.body;
        unanswered_[&req] = seen_.size();
        seen_.push_back(std::move(seen));
        auto it = handlers_.find(req.path);
        handler = it != handlers_.end() ? it->second : others_;
    }
    if (handler) {
        LoopbackRequest request{req.path, req.ranges.empty() ? -1 : static_cast<long long>(req.ranges[0].first),
                                HeaderList(req.headers.begin(), req.headers.end()), req.method, req.body};
        LoopbackResponse answer;
        (*handler)(request, answer);
        respond(std::move(answer), res);
    } else {
        res.status = 404;
        res.set_content("not here", "text/plain");
    }
    send_whole_unless_success(res);
}

void LoopbackServer::State::answered(const httplib::Request& req, const httplib::Response& res) {
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
