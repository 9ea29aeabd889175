#include "net/download.h"

#include <curl/curl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "net/version.h"
#include "text/gc_bytes.h"

namespace zubo {
namespace {

constexpr long kTransferBufferSize = 32768;
constexpr long kMaxRedirects = 10;

struct CurlCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct HeaderListCleanup {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Curl = std::unique_ptr<CURL, CurlCleanup>;
using HeaderList = std::unique_ptr<curl_slist, HeaderListCleanup>;

// A temporary file beside the target. It replaces the target only when
// committed; otherwise it is removed, so the target is never half-written.
class PendingFile {
public:
    explicit PendingFile(const char* target) : target_(target) {
        temp_path_ = gc::concat(target, ".XXXXXX");
        if (!temp_path_) return;
        int fd = mkstemp(temp_path_);
        if (fd < 0) {
            temp_path_ = nullptr;
            return;
        }
        // mkstemp makes the file private; give it the mode a plain fopen
        // would have given the target.
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
        file_ = fdopen(fd, "w");
        if (!file_) close(fd);
    }
    ~PendingFile() {
        if (file_) std::fclose(file_);
        if (temp_path_) std::remove(temp_path_);
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    std::FILE* file() const { return file_; }

    // Closes the file and moves it over the target; false if either fails.
    bool commit() {
        std::FILE* f = file_;
        file_ = nullptr;
        if (std::fclose(f) != 0) return false;
        if (std::rename(temp_path_, target_) != 0) return false;
        temp_path_ = nullptr;
        return true;
    }

private:
    const char* target_;
    char* temp_path_ = nullptr;
    std::FILE* file_ = nullptr;
};

size_t write_body(char* data, size_t size, size_t count, void* file) {
    // A short count makes curl end the transfer with a write error.
    return std::fwrite(data, size, count, static_cast<std::FILE*>(file)) * size;
}

// Sets every option of the one GET explicitly; the proxy is left to
// libcurl's reading of http_proxy, https_proxy and no_proxy.
bool configure(CURL* curl, const char* url, curl_slist* headers, std::FILE* body,
               const DownloadLimits& limits) {
    return curl_easy_setopt(curl, CURLOPT_URL, url) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_USERAGENT, kVersion) == CURLE_OK &&
           // Both headers, so that neither an HTTP/1.1 nor an HTTP/1.0 proxy
           // answers from its cache.
           curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers) == CURLE_OK &&
           // Empty string: every encoding libcurl can decode; the file gets
           // the decoded body.
           curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "") == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
           // Statuses of 400 and above end the transfer as failed.
           curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connect_timeout_seconds) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.stall_seconds) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kTransferBufferSize) == CURLE_OK &&
           // No signals: a single-threaded console program keeps its own.
           curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, write_body) == CURLE_OK &&
           curl_easy_setopt(curl, CURLOPT_WRITEDATA, body) == CURLE_OK;
}

DownloadFailure classify(CURLcode code) {
    switch (code) {
    case CURLE_OK:
        return DownloadFailure::kNone;
    case CURLE_HTTP_RETURNED_ERROR:
        return DownloadFailure::kHttpStatus;
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
    default:
        return DownloadFailure::kOther;
    }
}

DownloadResult failed(DownloadFailure failure) {
    DownloadResult result;
    result.failure = failure;
    return result;
}

}  // namespace

DownloadResult download_to_file(const char* url, const char* path) {
    return download_to_file(url, path, DownloadLimits{});
}

DownloadResult download_to_file(const char* url, const char* path, const DownloadLimits& limits) {
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    // Null when the caller could not build them (the heap is exhausted).
    if (!initialised || !url || !path) return failed(DownloadFailure::kOther);

    Curl curl(curl_easy_init());
    if (!curl) return failed(DownloadFailure::kOther);
    HeaderList headers(curl_slist_append(nullptr, "Cache-Control: no-cache"));
    if (!headers) return failed(DownloadFailure::kOther);
    curl_slist* with_pragma = curl_slist_append(headers.get(), "Pragma: no-cache");
    if (!with_pragma) return failed(DownloadFailure::kOther);

    PendingFile pending(path);
    if (!pending.file()) return failed(DownloadFailure::kLocalFile);
    if (!configure(curl.get(), url, headers.get(), pending.file(), limits)) return failed(DownloadFailure::kOther);

    CURLcode code = curl_easy_perform(curl.get());
    DownloadResult result;
    result.curl_code = code;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &result.status);
    result.failure = classify(code);
    if (result.ok() && result.status >= 400) result.failure = DownloadFailure::kHttpStatus;
    if (result.ok() && !pending.commit()) result.failure = DownloadFailure::kLocalFile;
    return result;
}

}  // namespace zubo
