#pragma once
// An HTTP server on 127.0.0.1 in the caller's own process, answering on a
// thread of its own: the tests, the sample board service and the bench all
// serve zubo through it. It answers both origin-form requests
// (GET /board/subject.txt) and the proxy form (GET http://host/path); a
// handler is found by the request's path, then the fallback handler, then
// 404. The body of an answer of status 300 or more goes whole, whatever
// Range was asked. A connection is kept alive for up to 1,000 requests, as
// the service's servers keep it for a whole run.
//
// The HTTP library stays inside loopback_server.cpp: its header is large, and
// this one is included by every test that serves zubo.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zubo {

// Header names compare without case, as HTTP has them.
using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct SeenRequest {
    std::string target;  // as on the request line
    HeaderList headers;
    int remote_port = -1;  // the client's end of the connection it came on
    // Known once the answer is written: its status, and the bytes of a body
    // given whole (serve, set_content) as sent, after any range; a body
    // from a content provider counts 0.
    int status = 0;
    std::size_t body_bytes = 0;
    std::string method;        // "GET", "POST"
    std::string request_body;  // a POST's body as sent
    // The value of the named header; empty when absent.
    std::string header(const std::string& name) const;
    bool has_header(const std::string& name) const;
};

// What a handler sees of a request.
struct LoopbackRequest {
    std::string path;
    // The start of the first range asked ("bytes=N-"), or -1 with no Range.
    long long range_start = -1;
    HeaderList headers;
    std::string method = "GET";  // GET, or POST
    std::string body;            // a POST's body
    // The value of the named header; empty when absent.
    std::string header(const std::string& name) const;
};

// Where a content provider writes: write() sends bytes, done() ends a
// chunked body.
struct BodyWriter {
    std::function<bool(const char* data, std::size_t size)> write;
    std::function<void()> done;
};

// What a handler answers: the HTTP library's response, spelled by what the
// tests use of it. A provider returning false breaks the connection off.
class LoopbackResponse {
public:
    // Of a body of a known length; offset and length are of the part asked.
    using Provider = std::function<bool(std::size_t offset, std::size_t length, BodyWriter& sink)>;
    // Of a chunked body, which goes whole whatever Range asked.
    using ChunkedProvider = std::function<bool(std::size_t offset, BodyWriter& sink)>;

    // Left at -1, the status follows the request: 200, or 206 or 416 for a
    // Range.
    int status = -1;

    void set_content(const std::string& body, const std::string& content_type);
    void set_header(const std::string& name, const std::string& value);
    void set_redirect(const std::string& location, int redirect_status = 302);
    void set_content_provider(std::size_t length, const std::string& content_type, Provider provider);
    void set_chunked_content_provider(const std::string& content_type, ChunkedProvider provider);
    // Streamed, the body goes whole: no range is applied to it.
    void stream_whole(const std::string& content_type, const std::string& body);

private:
    friend class LoopbackServer;
    std::string body_;
    std::string content_type_;
    HeaderList headers_;
    std::size_t length_ = 0;
    Provider provider_;
    ChunkedProvider chunked_;
};

// The gzip form of bytes, as a server compresses an answer.
std::string gzip(const std::string& bytes);

class LoopbackServer {
public:
    using Handler = std::function<void(const LoopbackRequest&, LoopbackResponse&)>;

    // Listens on the given port, or on a free one for 0; throws
    // std::runtime_error when it can't.
    explicit LoopbackServer(int port = 0);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const;
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
    // Answers GET (and POST) target through handler.
    void handle(const std::string& target, Handler handler);
    // Answers every target that has no handler of its own.
    void handle_others(Handler handler);

    // Every request so far, once their answers are written (waiting up to
    // two seconds for those still being answered).
    std::vector<SeenRequest> requests() const;
    std::size_t request_count() const;

    // Blocks until the server stops (it never does on its own).
    void wait();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace zubo
