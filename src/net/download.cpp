#include "net/download.h"

#include <curl/curl.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "net/version.h"
#include "text/gc_bytes.h"
#include "text/lines.h"

namespace zubo {
namespace {

constexpr long kTransferBufferSize = 32768;
constexpr int kMaxRedirects = 10;
// The body of an answer that brings no document (an error page, a
// redirect) is read and dropped, so that the connection stays fit for the
// next request; one longer than this ends the transfer instead.
constexpr std::size_t kMaxDroppedBytes = 1 << 20;

struct HeaderListCleanup {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlCleanup {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlFree {
    void operator()(char* text) const { curl_free(text); }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListCleanup>;
using Url = std::unique_ptr<CURLU, UrlCleanup>;
using CurlText = std::unique_ptr<char, CurlFree>;

bool curl_ready() {
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return initialised;
}

// The handle one download uses, for all its requests: its limits'
// session's, else that of a session of its own, closed with its
// connections at the end.
class Handle {
public:
    explicit Handle(const DownloadLimits& limits) : handle_(limits) {}
    CURL* get() { return static_cast<CURL*>(handle_.get()); }

private:
    SessionHandle handle_;
};

// Both headers, so that neither an HTTP/1.1 nor an HTTP/1.0 proxy answers
// from its cache. Null when they could not be built.
curl_slist* no_cache_headers() {
    static const HeaderList headers = [] {
        HeaderList list(curl_slist_append(nullptr, "Cache-Control: no-cache"));
        if (list && !curl_slist_append(list.get(), "Pragma: no-cache")) list.reset();
        return list;
    }();
    return headers.get();
}

constexpr char kPartMarker[] = ".part-";
// Leftovers of an interrupted download older than this are removed before
// the next download writes beside them.
constexpr long kStalePartSeconds = 3600;

// The directory part of path ("." for a bare name) and its last segment.
struct PathParts {
    std::string directory;
    std::string name;
};

PathParts split_path(const char* path) {
    const char* slash = std::strrchr(path, '/');
    if (!slash) return {".", path};
    return {std::string(path, static_cast<std::size_t>(slash - path)), slash + 1};
}

// Whether a directory entry is a download's temporary file:
// ".NAME.part-XXXXXX".
bool is_part_name(const char* name) {
    if (name[0] != '.') return false;
    const char* marker = std::strstr(name + 1, kPartMarker);
    return marker && marker > name + 1 && std::strlen(marker + sizeof kPartMarker - 1) == 6;
}

// A document as it arrives, written to a temporary file beside the target,
// named ".NAME.part-XXXXXX", that replaces the target only when committed;
// otherwise it is removed, so the target is never half-written. When the
// disk refuses it (full, read-only, gone, over the file-size limit), the
// document is kept in memory instead, whole, and the reason remembered:
// what arrived can still be shown.
class PendingFile {
public:
    explicit PendingFile(const char* target) : target_(target) {
        PathParts parts = split_path(target);
        remove_stale_parts(parts.directory.c_str(), kStalePartSeconds);
        const char* slash = std::strrchr(target, '/');
        std::string beside = slash ? std::string(target, static_cast<std::size_t>(slash - target) + 1) : "";
        temp_path_ = beside + "." + parts.name + kPartMarker + "XXXXXX";
        fd_ = mkstemp(temp_path_.data());
        if (fd_ < 0) {
            temp_path_.clear();
            keep_in_memory(errno);
            return;
        }
        // mkstemp makes the file private; give it the mode a plain fopen
        // would have given the target.
        mode_t mask = umask(0);
        umask(mask);
        if (fchmod(fd_, 0666 & ~mask) != 0) keep_in_memory(errno);
    }
    ~PendingFile() {
        if (fd_ >= 0) close(fd_);
        if (!temp_path_.empty()) unlink(temp_path_.c_str());
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // False only when the bytes could be kept nowhere.
    bool write(const char* data, std::size_t size) {
        if (in_memory_) return keep(data, size);
        // A document arrives in pieces of up to kTransferBufferSize bytes;
        // they go out a buffer at a time.
        if (buffered_ + size > sizeof buffer_) {
            if (!flush()) return false;
            if (in_memory_) return keep(data, size);
        }
        if (size >= sizeof buffer_) return write_at_end(data, size);
        std::memcpy(buffer_ + buffered_, data, size);
        buffered_ += size;
        return true;
    }

    // Whether the document so far passes check (none passes anything),
    // read from where it is, never from a file written short.
    bool holds(DocumentCheck check) {
        if (!check) return true;
        File written = read_back();
        return written && check(written.get());
    }

    // Moves the file over the target, dated modified (seconds since the
    // epoch) when that is not negative. False when the disk refused any
    // step; the target is then as it was and the document in memory,
    // unless the last close failed after the move.
    bool commit(curl_off_t modified) {
        flush();
        if (in_memory_) return false;
        if (modified >= 0 && !date(modified)) return keep_in_memory(errno);
        if (std::rename(temp_path_.c_str(), target_) != 0) return keep_in_memory(errno);
        temp_path_.clear();
        const int fd = fd_;
        fd_ = -1;
        if (close(fd) == 0) return true;
        error_ = errno;
        return false;
    }

    // Why the disk refused the document; 0 when it didn't.
    int error() const { return error_; }
    // The whole document, when it could not be saved and was kept in memory.
    std::optional<std::string> take_unsaved() {
        if (!in_memory_ || memory_lost_) return std::nullopt;
        return std::move(memory_);
    }

private:
    // Writes what the buffer holds. False only when it could be kept
    // nowhere.
    bool flush() {
        const std::size_t size = buffered_;
        buffered_ = 0;
        return write_at_end(buffer_, size);
    }

    // Writes data after what the file holds; when the disk refuses it, the
    // document moves to memory, the rest of data with it. False only when
    // the bytes could be kept nowhere.
    bool write_at_end(const char* data, std::size_t size) {
        while (size > 0) {
            ssize_t n = pwrite(fd_, data, size, written_);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                // A write that took nothing would take nothing again.
                keep_in_memory(n < 0 ? errno : ENOSPC);
                return keep(data, size);
            }
            data += n;
            size -= static_cast<std::size_t>(n);
            written_ += n;
        }
        return true;
    }

    // From now on the document is kept in memory: what the file took so far
    // is read back from it (the file may be gone from its directory, not
    // from its descriptor). Called with the buffer empty. Returns false,
    // for the caller's failure.
    bool keep_in_memory(int error) {
        if (in_memory_) return false;
        in_memory_ = true;
        error_ = error;
        if (fd_ < 0 || written_ == 0) return false;
        memory_.resize(static_cast<std::size_t>(written_));
        if (pread(fd_, memory_.data(), memory_.size(), 0) != written_) memory_lost_ = true;
        return false;
    }

    bool keep(const char* data, std::size_t size) {
        if (memory_lost_) return false;
        memory_.append(data, size);
        return true;
    }

    // Gives the file the document's date, as `curl -R` does.
    bool date(curl_off_t modified) {
        timespec times[2] = {};
        times[0].tv_sec = static_cast<time_t>(modified);
        times[1].tv_sec = static_cast<time_t>(modified);
        return futimens(fd_, times) == 0;
    }

    // The document so far, as a stream from its start.
    File read_back() {
        if (!in_memory_) flush();
        if (in_memory_) return File(memory_lost_ ? nullptr : fmemopen(memory_.data(), memory_.size(), "r"));
        int fd = dup(fd_);
        if (fd < 0) return nullptr;
        File f(fdopen(fd, "r"));
        if (!f) close(fd);
        else if (fseeko(f.get(), 0, SEEK_SET) != 0) f.reset();
        return f;
    }

    const char* target_;
    std::string temp_path_;
    int fd_ = -1;
    off_t written_ = 0;
    char buffer_[1 << 16];
    std::size_t buffered_ = 0;
    bool in_memory_ = false;
    bool memory_lost_ = false;  // what the file took could not be read back
    std::string memory_;
    int error_ = 0;
};

// Where the body of the answer that ends an exchange goes.
class BodySink {
public:
    virtual ~BodySink() = default;
    // Whether the body of an answer with this status is the sink's; any
    // other body is dropped.
    virtual bool takes(long status) = 0;
    // False when the bytes could not be kept.
    virtual bool write(const char* data, std::size_t size) = 0;
};

// The body of a 2xx answer, into a new file as it comes.
class WholeBody : public BodySink {
public:
    explicit WholeBody(PendingFile& file) : file_(file) {}
    bool takes(long status) override { return status >= 200 && status < 300; }
    bool write(const char* data, std::size_t size) override { return file_.write(data, size); }

private:
    PendingFile& file_;
};

// One request's body as it arrives: to the sink when the answer's status
// is the sink's, else dropped.
struct Answer {
    CURL* curl;
    BodySink* sink;
    const DownloadLimits* limits;
    // The body bytes received so far, and when the last of them came (or
    // the transfer began).
    curl_off_t received = 0;
    std::chrono::steady_clock::time_point last_byte = std::chrono::steady_clock::now();
    bool told_quiet = false;
    bool decided = false;
    bool kept = false;
    std::size_t dropped = 0;
    bool sink_failed = false;
    bool too_long = false;
    // The kept body went past limits->max_body_bytes.
    bool too_large = false;
    std::size_t kept_bytes = 0;
};

size_t on_body(char* data, size_t size, size_t count, void* context) {
    Answer& answer = *static_cast<Answer*>(context);
    const std::size_t bytes = size * count;
    if (!answer.decided) {
        long status = 0;
        curl_easy_getinfo(answer.curl, CURLINFO_RESPONSE_CODE, &status);
        answer.kept = answer.sink->takes(status);
        answer.decided = true;
    }
    // A short count makes curl end the transfer with a write error.
    if (answer.kept) {
        const std::size_t cap = answer.limits->max_body_bytes;
        answer.kept_bytes += bytes;
        if (cap != 0 && answer.kept_bytes > cap) {
            answer.too_large = true;
            return 0;
        }
        if (answer.sink->write(data, bytes)) return bytes;
        answer.sink_failed = true;
        return 0;
    }
    answer.dropped += bytes;
    if (answer.dropped <= kMaxDroppedBytes) return bytes;
    answer.too_long = true;
    return 0;
}

// What one GET asks beyond its URL.
struct Request {
    const char* range = nullptr;   // "N-": the bytes from N on; null: all of them
    curl_off_t modified_since = 0;  // when not 0: If-Modified-Since this time
};

// When since is not 0, the request asks for the document only if it changed
// after since; either way the answer's Last-Modified is asked for.
bool set_condition(CURL* curl, curl_off_t since) {
    if (curl_easy_setopt(curl, CURLOPT_FILETIME, 1L) != CURLE_OK) return false;
    if (since == 0) return true;
    return curl_easy_setopt(curl, CURLOPT_TIMECONDITION, static_cast<long>(CURL_TIMECOND_IFMODSINCE)) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_TIMEVALUE_LARGE, since) == CURLE_OK;
}

// libcurl asks this several times a second while a transfer runs, waiting
// included; a non-zero answer ends the transfer. A transfer that has
// received nothing for limits.quiet_seconds says so, once.
int on_progress(void* context, curl_off_t, curl_off_t received, curl_off_t, curl_off_t) {
    Answer& answer = *static_cast<Answer*>(context);
    const DownloadLimits& limits = *answer.limits;
    if (limits.cancelled && limits.cancelled()) return 1;
    if (!limits.quiet || answer.told_quiet) return 0;
    const auto now = std::chrono::steady_clock::now();
    if (received != answer.received) {
        answer.received = received;
        answer.last_byte = now;
    } else if (now - answer.last_byte >= std::chrono::seconds(limits.quiet_seconds)) {
        answer.told_quiet = true;
        limits.quiet();
    }
    return 0;
}

bool set_progress(CURL* curl, Answer* answer) {
    if (!answer->limits->cancelled && !answer->limits->quiet) return true;
    return curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, on_progress) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_XFERINFODATA, answer) == CURLE_OK;
}

// Sets every option of one GET explicitly, after clearing those of the
// request before (the handle keeps its connections). range is "N-" for the
// bytes from N on, or null for the whole document. The proxy is left to
// libcurl's reading of http_proxy, https_proxy and no_proxy.
bool configure(CURL* curl, const char* url, const Request& request, Answer* answer, const DownloadLimits& limits) {
    curl_slist* headers = no_cache_headers();
    if (!headers) return false;
    curl_easy_reset(curl);
    const char* range = request.range;
    return curl_easy_setopt(curl, CURLOPT_URL, url) == CURLE_OK &&
           set_condition(curl, request.modified_since) &&
           set_progress(curl, answer) &&
           curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers) == CURLE_OK &&
           // A whole document may come in every encoding libcurl can decode
           // (empty string); the file gets the decoded body. A range counts
           // the bytes of the document as stored, so it is asked for
           // without Accept-Encoding (null).
           curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, range ? nullptr : "") == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_RANGE, range) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
           // Redirects are followed by hand, each target checked first.
           curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK &&
           // An error status is an answer like any other: its body is read,
           // so the connection stays open for the request that follows.
           curl_easy_setopt(curl, CURLOPT_FAILONERROR, 0L) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connect_timeout_seconds) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.stall_seconds) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kTransferBufferSize) == CURLE_OK &&
           // An announced length past the cap fails before the body comes.
           curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.max_body_bytes)) ==
               CURLE_OK &&
           // No signals: a single-threaded console program keeps its own.
           curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, on_body) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_WRITEDATA, answer) == CURLE_OK;
}

DownloadFailure classify(CURLcode code) {
    switch (code) {
    case CURLE_OK:
        return DownloadFailure::kNone;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
        return DownloadFailure::kCannotConnect;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
        return DownloadFailure::kSecureChannel;
    case CURLE_OPERATION_TIMEDOUT:
        return DownloadFailure::kTimedOut;
    case CURLE_TOO_MANY_REDIRECTS:
        return DownloadFailure::kRedirect;
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return DownloadFailure::kInterrupted;
    case CURLE_WRITE_ERROR:
        return DownloadFailure::kLocalFile;
    case CURLE_ABORTED_BY_CALLBACK:
        return DownloadFailure::kCancelled;
    case CURLE_FILESIZE_EXCEEDED:
        return DownloadFailure::kTooLarge;
    default:
        return DownloadFailure::kOther;
    }
}

DownloadResult failed(DownloadFailure failure, long status = 0) {
    DownloadResult result;
    result.failure = failure;
    result.status = status;
    return result;
}

// The last segment of url's path ("subject.txt" of .../news/subject.txt),
// as written there; null when url is no http or https URL.
const char* file_name_of(const char* url) {
    Url parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url, 0) != CURLUE_OK) return nullptr;
    char* scheme = nullptr;
    char* path = nullptr;
    CURLUcode scheme_code = curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0);
    CurlText scheme_text(scheme);
    CURLUcode path_code = curl_url_get(parsed.get(), CURLUPART_PATH, &path, 0);
    CurlText path_text(path);
    if (scheme_code != CURLUE_OK || path_code != CURLUE_OK) return nullptr;
    if (std::strcmp(scheme, "http") != 0 && std::strcmp(scheme, "https") != 0) return nullptr;
    const char* slash = std::strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    return gc::copy_bytes(name, std::strlen(name));
}

// A redirect may lead only to the same file elsewhere (a board's list to
// its new host, a thread's document to the archive), never to a page that
// would take the document's place.
bool same_file(const char* url, const char* target) {
    const char* wanted = file_name_of(url);
    const char* offered = file_name_of(target);
    return wanted && offered && wanted[0] && std::strcmp(wanted, offered) == 0;
}

// One request of url, and those its answers lead to: a redirect to the same
// file name is followed (at most kMaxRedirects of them), a first 403 is
// asked again at once over the same connection (the service's front end has
// been seen to refuse a new connection's first request). The body of the
// final answer goes to sink when sink takes its status. An exchange without
// failure ended on an answer that is neither a redirect nor that first
// 403; its status is the caller's to judge. The transfers are the caller's
// to run (one at a time, or beside others): begin() makes the handle ready
// for the next request, ended() takes its outcome.
class Exchange {
public:
    Exchange(CURL* curl, const char* url, const Request& request, BodySink& sink, const DownloadLimits& limits)
        : curl_(curl), url_(url), target_(url), request_(request), sink_(sink), limits_(limits) {}
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    // Sets the handle up for the next request; false when it can't be (the
    // exchange has then ended).
    bool begin() {
        answer_ = Answer{curl_, &sink_, &limits_};
        if (curl_ && configure(curl_, target_, request_, &answer_, limits_)) return true;
        result_ = failed(DownloadFailure::kOther);
        return false;
    }

    // The request begun last ended with code. True when the exchange has
    // ended (result()); false when it asks again: begin() comes next.
    bool ended(CURLcode code) {
        result_ = DownloadResult{};
        result_.curl_code = code;
        curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &result_.status);
        char* type = nullptr;
        if (curl_easy_getinfo(curl_, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type) result_.content_type = type;
        if (answer_.too_large) result_.failure = DownloadFailure::kTooLarge;
        else if (answer_.sink_failed) result_.failure = DownloadFailure::kLocalFile;
        else if (answer_.too_long) result_.failure = DownloadFailure::kHttpStatus;
        else result_.failure = classify(code);
        if (!result_.ok()) return true;

        if (result_.status == 403 && !asked_again_) {
            asked_again_ = true;
            return false;
        }
        // 304: the copy asked about is current; no redirect.
        if (result_.status < 300 || result_.status >= 400 || result_.status == 304) return true;
        char* location = nullptr;
        curl_easy_getinfo(curl_, CURLINFO_REDIRECT_URL, &location);
        // A 3xx that leads nowhere brings no document either.
        if (!location) return end(DownloadFailure::kHttpStatus);
        if (!same_file(url_, location)) return end(DownloadFailure::kRedirectRefused);
        if (++redirects_ > kMaxRedirects) return end(DownloadFailure::kRedirect);
        // The handle owns location only until its next request.
        target_ = gc::copy_bytes(location, std::strlen(location));
        if (!target_) return end(DownloadFailure::kOther);
        return false;
    }

    const DownloadResult& result() const { return result_; }

private:
    bool end(DownloadFailure failure) {
        result_ = failed(failure, failure == DownloadFailure::kOther ? 0 : result_.status);
        return true;
    }

    CURL* curl_;
    const char* url_;
    const char* target_;
    Request request_;
    BodySink& sink_;
    const DownloadLimits& limits_;
    Answer answer_{nullptr, nullptr, nullptr};
    bool asked_again_ = false;
    int redirects_ = 0;
    DownloadResult result_;
};

// The exchange, its requests made one after the other on curl.
DownloadResult exchange(CURL* curl, const char* url, const Request& request, BodySink& sink,
                        const DownloadLimits& limits) {
    if (!curl) return failed(DownloadFailure::kOther);
    Exchange exchange(curl, url, request, sink, limits);
    while (exchange.begin() && !exchange.ended(curl_easy_perform(curl))) {
    }
    return exchange.result();
}

bool is_success(long status) { return status >= 200 && status < 300; }

// The Content-Range of the answer just received; null when it has none.
const curl_header* content_range(CURL* curl) {
    curl_header* header = nullptr;
    return curl_easy_header(curl, "Content-Range", 0, CURLH_HEADER, -1, &header) == CURLHE_OK ? header : nullptr;
}

// Where a ranged answer begins by its Content-Range ("bytes N-M/T"); -1
// when it says nothing readable.
long long range_start(const curl_header* header) {
    const char* value = header->value;
    if (std::strncmp(value, "bytes", 5) != 0) return -1;
    value += 5;
    while (*value == ' ') ++value;
    if (*value < '0' || *value > '9') return -1;
    return std::strtoll(value, nullptr, 10);
}

// A local copy that can be extended: its size, and its last kOverlapBytes
// bytes, which end in a newline.
struct CopyEnd {
    long long size = 0;
    char tail[kOverlapBytes];
};

std::optional<CopyEnd> extendable_copy(const char* path) {
    File f = open_file(path, "rb");
    if (!f || fseeko(f.get(), 0, SEEK_END) != 0) return std::nullopt;
    CopyEnd end;
    end.size = ftello(f.get());
    const long long overlap = static_cast<long long>(kOverlapBytes);
    if (end.size < overlap || fseeko(f.get(), static_cast<off_t>(end.size - overlap), SEEK_SET) != 0) return std::nullopt;
    if (std::fread(end.tail, 1, kOverlapBytes, f.get()) != kOverlapBytes) return std::nullopt;
    if (end.tail[kOverlapBytes - 1] != '\n') return std::nullopt;
    return end;
}

// Copies the first size bytes of the file at path to out.
bool copy_prefix(const char* path, long long size, PendingFile& out) {
    File in = open_file(path, "rb");
    if (!in) return false;
    char buffer[kTransferBufferSize];
    while (size > 0) {
        std::size_t want = size < kTransferBufferSize ? static_cast<std::size_t>(size) : sizeof buffer;
        std::size_t got = std::fread(buffer, 1, want, in.get());
        if (got != want || !out.write(buffer, got)) return false;
        size -= static_cast<long long>(got);
    }
    return true;
}

// A document the disk refused, and why.
void refused(const PendingFile& pending, DownloadResult& result) {
    result.failure = DownloadFailure::kLocalFile;
    result.save_error = pending.error() != 0 ? pending.error() : EIO;
}

// The end of a document that arrived whole: it replaces the copy, dated
// modified when that is not negative, when it passes check and the disk
// takes it; else it comes back in the result.
void settle(PendingFile& pending, DocumentCheck check, curl_off_t modified, DownloadResult& result) {
    if (!pending.holds(check)) {
        result.failure = DownloadFailure::kNotTheDocument;
    } else if (!pending.commit(modified)) {
        refused(pending, result);
        result.unsaved = pending.take_unsaved();
    }
}

// The answer to a range asked from the copy's last kOverlapBytes bytes on.
// A 206 must begin with those bytes; what follows them goes, after the old
// copy, into a new file beside it. A 200 is the whole document and goes
// into a new file as it comes. Either new file replaces the copy only when
// committed.
class Extension : public BodySink {
public:
    Extension(const char* path, const CopyEnd& end) : path_(path), end_(end) {}

    bool takes(long status) override {
        partial_ = status == 206;
        return partial_ || status == 200;
    }

    bool write(const char* data, std::size_t size) override {
        if (!partial_) return start(false) && pending_->write(data, size);
        if (mismatch_) return true;
        std::size_t overlap = std::min(size, kOverlapBytes - overlap_seen_);
        if (std::memcmp(data, end_.tail + overlap_seen_, overlap) != 0) {
            // The rest of this answer is dropped; the whole document follows.
            mismatch_ = true;
            return true;
        }
        overlap_seen_ += overlap;
        if (size == overlap) return true;
        return start(true) && pending_->write(data + overlap, size - overlap);
    }

    // Whether a 206 began with exactly the copy's last bytes.
    bool overlap_matched() const { return !mismatch_ && overlap_seen_ == kOverlapBytes; }
    long long overlap_from() const { return end_.size - static_cast<long long>(kOverlapBytes); }

    // Puts the new copy in place: the old one extended, or the whole
    // document of a 200 (empty when its body was). A 206 that brought
    // nothing after the overlap leaves the copy untouched.
    // The whole document of a 200 must pass check first.
    void commit(DocumentCheck check, DownloadResult& result) {
        if (partial_ && !pending_) return;
        start(false);
        settle(*pending_, partial_ ? nullptr : check, -1, result);
    }

    // The new file, when the answer began one.
    PendingFile* pending() { return pending_ ? &*pending_ : nullptr; }

private:
    // The new file, begun with the old copy when extending it.
    bool start(bool with_old_copy) {
        if (pending_) return true;
        pending_.emplace(path_);
        return !with_old_copy || copy_prefix(path_, end_.size, *pending_);
    }

    const char* path_;
    CopyEnd end_;
    bool partial_ = false;
    bool mismatch_ = false;
    std::size_t overlap_seen_ = 0;
    std::optional<PendingFile> pending_;
};

// The copy's modification time; 0 when there is no copy.
curl_off_t modification_time(const char* path) {
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return 0;
    return static_cast<curl_off_t>(info.st_mtime);
}

// Whether the copy at path passes check (none passes anything).
bool copy_holds(const char* path, DocumentCheck check) {
    if (!check) return true;
    File copy = open_file(path, "r");
    return copy && check(copy.get());
}

// The answer's Last-Modified, in seconds since the epoch; -1 without one.
curl_off_t last_modified(CURL* curl) {
    curl_off_t modified = -1;
    if (curl_easy_getinfo(curl, CURLINFO_FILETIME_T, &modified) != CURLE_OK) return -1;
    return modified;
}

// One copy brought up to date, as a run of exchanges on one handle: the
// new end of an extendable copy, else (or when the copy is no longer the
// document's start) the whole document; and, when the first place says the
// document is gone, the same from the fallback. Whoever runs the handle's
// transfers calls begin() once, then ended() after each transfer until it
// says the job is over.
class CopyJob {
public:
    explicit CopyJob(const CopyUpdate& update, const DownloadLimits& limits) : update_(update), limits_(limits) {}
    CopyJob(const CopyJob&) = delete;
    CopyJob& operator=(const CopyJob&) = delete;

    // Sets curl up for the job's first request; false when the job ended
    // without one (result()).
    bool begin(CURL* curl) {
        curl_ = curl;
        if (!curl_ || update_.url.empty() || update_.path.empty()) return finish(failed(DownloadFailure::kOther));
        return start_place(update_.url.c_str());
    }

    // The transfer begun last ended with code: true when another request
    // has been set up on the handle, false when the job is over (result()).
    bool ended(CURLcode code) {
        if (!exchange_->ended(code)) return exchange_->begin() || exchange_ended();
        return exchange_ended();
    }

    const DownloadResult& result() const { return result_; }

private:
    // Asks url for the copy: its new end when it can be extended, else the
    // whole document.
    bool start_place(const char* url) {
        at_fallback_ = url != update_.url.c_str();
        place_ = url;
        drop_requests();
        std::optional<CopyEnd> end = extendable_copy(update_.path.c_str());
        if (!end) return start_whole();
        extension_.emplace(update_.path.c_str(), *end);
        // Everything from the overlap on; libcurl sends it as "Range: bytes=N-".
        std::snprintf(range_, sizeof range_, "%lld-", extension_->overlap_from());
        Request request;
        request.range = range_;
        exchange_.emplace(curl_, place_, request, *extension_, limits_);
        return exchange_->begin() || exchange_ended();
    }

    bool start_whole() {
        drop_requests();
        whole_.emplace(update_.path.c_str());
        // A name too long for any file: no disk would take the copy, and
        // what can never be kept is not asked for.
        if (whole_->error() == ENAMETOOLONG) {
            DownloadResult result;
            refused(*whole_, result);
            return place_ended(result);
        }
        body_.emplace(*whole_);
        exchange_.emplace(curl_, place_, Request{}, *body_, limits_);
        return exchange_->begin() || exchange_ended();
    }

    // The answers before are done with: their sinks go (and their
    // temporary files with them), the exchange first, which points at them.
    void drop_requests() {
        exchange_.reset();
        body_.reset();
        whole_.reset();
        extension_.reset();
    }

    bool exchange_ended() {
        DownloadResult result = exchange_->result();
        if (!body_) return range_ended(result);
        if (result.failure == DownloadFailure::kLocalFile) refused(*whole_, result);
        if (!result.ok()) return place_ended(result);
        if (is_success(result.status)) settle(*whole_, update_.check, -1, result);
        else result.failure = DownloadFailure::kHttpStatus;
        return place_ended(result);
    }

    bool range_ended(DownloadResult result) {
        if (result.failure == DownloadFailure::kLocalFile && extension_->pending()) refused(*extension_->pending(), result);
        if (!result.ok()) return place_ended(result);
        // Read before anything else is asked: the answer just received.
        const curl_header* answered_range = content_range(curl_);
        switch (result.status) {
        case 206:
            // The copy is no longer the document's start (the thread was
            // rewritten), or the answer is some other part of it.
            if (!extension_->overlap_matched() ||
                (answered_range && range_start(answered_range) != extension_->overlap_from())) {
                return start_whole();
            }
            break;
        case 200:
            // A 200 with a Content-Range is a slice, not the whole document.
            if (answered_range) return start_whole();
            break;
        case 416:
            // The copy is longer than the document: rewritten too.
            return start_whole();
        default:
            result.failure = DownloadFailure::kHttpStatus;
            return place_ended(result);
        }
        extension_->commit(update_.check, result);
        return place_ended(result);
    }

    // One place answered: the job ends, or asks the fallback once.
    bool place_ended(DownloadResult result) {
        if (!at_fallback_ && !update_.fallback.empty() && update_.falls_back && update_.falls_back(result)) {
            return start_place(update_.fallback.c_str());
        }
        result.from_archive = at_fallback_ && (result.ok() || result.failure == DownloadFailure::kLocalFile);
        return finish(std::move(result));
    }

    bool finish(DownloadResult result) {
        drop_requests();
        result_ = std::move(result);
        return false;
    }

    const CopyUpdate update_;
    const DownloadLimits& limits_;
    CURL* curl_ = nullptr;
    const char* place_ = nullptr;
    bool at_fallback_ = false;
    char range_[32] = {};
    std::optional<Extension> extension_;
    std::optional<PendingFile> whole_;
    std::optional<WholeBody> body_;
    std::optional<Exchange> exchange_;
    DownloadResult result_;
};

}  // namespace

DownloadSession::~DownloadSession() {
    if (starting_.joinable()) starting_.join();
    if (handle_) curl_easy_cleanup(static_cast<CURL*>(handle_));
}

void DownloadSession::start_early() {
    if (handle_ || starting_.joinable()) return;
    // libcurl's start is safe beside other threads' (it takes a lock of
    // its own); the handle is only looked at once the thread is joined.
    starting_ = std::thread([this] {
        if (curl_ready()) handle_ = curl_easy_init();
    });
}

void* DownloadSession::handle() {
    if (starting_.joinable()) starting_.join();
    if (!handle_ && curl_ready()) handle_ = curl_easy_init();
    return handle_;
}


DownloadResult download_to_file(const char* url, const char* path) {
    return download_to_file(url, path, DocumentRules{}, DownloadLimits{});
}

DownloadResult download_to_file(const char* url, const char* path, const DownloadLimits& limits) {
    return download_to_file(url, path, DocumentRules{}, limits);
}

DownloadResult download_to_file(const char* url, const char* path, const DocumentRules& rules,
                                const DownloadLimits& limits) {
    // Null when the caller could not build them (the heap is exhausted).
    if (!url || !path) return failed(DownloadFailure::kOther);
    Request request;
    // A copy that is no such document (stored by an older zubo) is never
    // kept by a 304.
    if (rules.conditional && copy_holds(path, rules.check)) request.modified_since = modification_time(path);
    PendingFile pending(path);
    // A name too long for any file: no disk would take the copy, and what
    // can never be kept is not asked for.
    if (pending.error() == ENAMETOOLONG) {
        DownloadResult result;
        refused(pending, result);
        return result;
    }
    WholeBody body(pending);

    Handle handle(limits);
    DownloadResult result = exchange(handle.get(), url, request, body, limits);
    if (result.failure == DownloadFailure::kLocalFile) refused(pending, result);
    if (!result.ok()) return result;
    if (result.status == 304 && request.modified_since != 0) return result;
    // A new copy is dated as the answer dated its document, as `curl -R`
    // does; without a Last-Modified it keeps the time it was written.
    if (is_success(result.status)) settle(pending, rules.check, rules.conditional ? last_modified(handle.get()) : -1, result);
    else result.failure = DownloadFailure::kHttpStatus;
    return result;
}

DownloadResult update_copy(const char* url, const char* path) { return update_copy(url, path, DownloadLimits{}); }

DownloadResult update_copy(const char* url, const char* path, const DownloadLimits& limits) {
    return update_copy(url, path, nullptr, limits);
}

DownloadResult update_copy(const char* url, const char* path, DocumentCheck check, const DownloadLimits& limits) {
    CopyUpdate update;
    update.url = url ? url : "";
    update.path = path ? path : "";
    update.check = check;
    CopyJob job(update, limits);
    Handle handle(limits);
    CURL* curl = handle.get();
    for (bool asking = job.begin(curl); asking; asking = job.ended(curl_easy_perform(curl))) {
    }
    return job.result();
}

bool is_gone(const DownloadResult& result) {
    if (result.failure == DownloadFailure::kRedirectRefused) return true;
    return result.failure == DownloadFailure::kHttpStatus &&
           (result.status == 403 || result.status == 404 || result.status == 410);
}

namespace {

struct MultiCleanup {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct EasyCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using Multi = std::unique_ptr<CURLM, MultiCleanup>;
using Easy = std::unique_ptr<CURL, EasyCleanup>;

// The server a URL names (scheme, host and port): what the limit per
// server counts; the URL itself when it can't be read.
std::string server_of(const char* url) {
    Url parsed(curl_url());
    char* origin = nullptr;
    if (!url) return "";
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url, 0) != CURLUE_OK) return url;
    std::string server;
    for (CURLUPart part : {CURLUPART_SCHEME, CURLUPART_HOST, CURLUPART_PORT}) {
        if (curl_url_get(parsed.get(), part, &origin, CURLU_DEFAULT_PORT) == CURLUE_OK) {
            server += CurlText(origin).get();
            origin = nullptr;
        }
        server += '|';
    }
    return server;
}

// One of the transfers running at once: its handle, kept for the next
// copy (with the connections of the multi handle it belongs to), and the
// copy it serves.
struct Lane {
    Easy curl;
    std::optional<CopyJob> job;
    std::size_t index = 0;
    std::string server;
};

}  // namespace

std::vector<DownloadResult> update_copies(const std::vector<CopyUpdate>& updates, const DownloadLimits& limits,
                                          const std::function<void(std::size_t finished)>& progress) {
    std::vector<DownloadResult> results(updates.size(), failed(DownloadFailure::kCancelled));
    std::vector<bool> started(updates.size(), false);
    Multi multi(curl_ready() ? curl_multi_init() : nullptr);
    if (!multi) {
        for (DownloadResult& result : results) result = failed(DownloadFailure::kOther);
        return results;
    }
    Lane lanes[kConcurrentDownloads];
    std::size_t finished = 0, next = 0;
    // A job ends with its result; a handle the multi handle refused, with
    // no transfer.
    auto settle_lane = [&](Lane& lane, bool refused = false) {
        results[lane.index] = refused ? failed(DownloadFailure::kOther) : lane.job->result();
        lane.job.reset();
        if (progress) progress(++finished);
    };
    auto busy_on = [&](const std::string& server) {
        int busy = 0;
        for (const Lane& lane : lanes) busy += lane.job && lane.server == server;
        return busy;
    };
    // Starts the first copies not yet started whose servers have room, on
    // the free lanes.
    auto fill_lanes = [&] {
        for (Lane& lane : lanes) {
            if (lane.job) continue;
            if (!lane.curl) lane.curl.reset(curl_easy_init());
            if (!lane.curl) continue;
            for (std::size_t i = next; i < updates.size(); ++i) {
                if (started[i]) continue;
                std::string server = server_of(updates[i].url.c_str());
                if (busy_on(server) >= kDownloadsPerServer) continue;
                started[i] = true;
                lane.index = i;
                lane.server = std::move(server);
                lane.job.emplace(updates[i], limits);
                if (!lane.job->begin(lane.curl.get())) {
                    settle_lane(lane);
                    continue;
                }
                if (curl_multi_add_handle(multi.get(), lane.curl.get()) == CURLM_OK) break;
                settle_lane(lane, true);
            }
            while (next < updates.size() && started[next]) ++next;
        }
    };
    for (;;) {
        const bool cancelled = limits.cancelled && limits.cancelled();
        if (!cancelled) fill_lanes();
        bool any_running = false;
        for (const Lane& lane : lanes) any_running |= lane.job.has_value();
        if (!any_running) {
            // Not cancelled, copies are left only when no handle can be
            // made for them; cancelled, those not started stay as they are.
            for (std::size_t i = next; i < updates.size() && !cancelled; ++i) {
                if (!started[i]) results[i] = failed(DownloadFailure::kOther);
            }
            break;
        }
        int running = 0;
        curl_multi_perform(multi.get(), &running);
        bool lane_freed = false;
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
            if (message->msg != CURLMSG_DONE) continue;
            for (Lane& lane : lanes) {
                if (!lane.job || lane.curl.get() != message->easy_handle) continue;
                const CURLcode code = message->data.result;
                curl_multi_remove_handle(multi.get(), lane.curl.get());
                if (!lane.job->ended(code)) settle_lane(lane);
                else if (curl_multi_add_handle(multi.get(), lane.curl.get()) != CURLM_OK) settle_lane(lane, true);
                lane_freed |= !lane.job;
                break;
            }
        }
        // A lane set free takes the next copy at once; otherwise the
        // transfers are waited for, and Ctrl-C looked at, in short steps.
        if (!lane_freed) curl_multi_poll(multi.get(), nullptr, 0, kPollMilliseconds, nullptr);
    }
    return results;
}

void remove_stale_parts(const char* directory, long max_age_seconds) {
    DIR* dir = opendir(directory);
    if (!dir) return;
    const time_t now = time(nullptr);
    while (const dirent* entry = readdir(dir)) {
        if (!is_part_name(entry->d_name)) continue;
        struct stat info;
        if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) continue;
        if (now - info.st_mtime > max_age_seconds) unlinkat(dirfd(dir), entry->d_name, 0);
    }
    closedir(dir);
}

}  // namespace zubo
