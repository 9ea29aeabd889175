#pragma once
// The downloader: one HTTP GET of one URL into one local file.

namespace zubo {

// How long a transfer may wait before it counts as failed.
struct DownloadLimits {
    long connect_timeout_seconds = 30;
    // No byte for this long ends the transfer: a server that accepts and
    // then stops answering can't hold the console forever.
    long stall_seconds = 30;
};

// Why a download failed, in terms a user can act on.
enum class DownloadFailure {
    kNone,
    kHttpStatus,     // the server answered with a status of 400 or more
    kCannotConnect,  // host or proxy unknown, connection refused or unreachable
    kSecureChannel,  // the TLS handshake or the certificate check failed
    kTimedOut,       // no connection in time, or the transfer stalled
    kRedirect,       // a redirect that can't be followed (too many of them)
    kInterrupted,    // the answer broke off or could not be read
    kLocalFile,      // the local copy could not be written
    kOther,          // anything else; curl_code says what
};

struct DownloadResult {
    DownloadFailure failure = DownloadFailure::kNone;
    long status = 0;     // the last HTTP status received; 0 when none was
    int curl_code = 0;   // libcurl's code for the transfer
    bool ok() const { return failure == DownloadFailure::kNone; }
};

// Fetches url (redirects followed, proxies from the environment, no cache
// on the way) and replaces the file at path with the body. The file changes
// only when the whole body arrived with a status below 400; otherwise it
// stays as it was, or absent. A null url or path fails at once.
DownloadResult download_to_file(const char* url, const char* path);
DownloadResult download_to_file(const char* url, const char* path, const DownloadLimits& limits);

}  // namespace zubo
