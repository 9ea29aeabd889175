#pragma once
// The downloader: HTTP GETs of documents into local files, over the
// connections of one session for the whole run.

#include <cstddef>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zubo {

class DownloadSession;

// How long a transfer may wait before it counts as failed, and whose
// connections it rides.
struct DownloadLimits {
    long connect_timeout_seconds = 30;
    // No byte for this long ends the transfer: a server that accepts and
    // then stops answering can't hold the console forever.
    long stall_seconds = 30;
    // Asked while a transfer runs; true gives the download up (the user
    // pressed Ctrl-C). Null: never.
    bool (*cancelled)() = nullptr;
    // The session the download goes through; null: one of its own, its
    // connections closed at the end.
    DownloadSession* session = nullptr;
    // Called when a transfer has received nothing for quiet_seconds (from
    // its start or its last byte), once a transfer. Empty: never.
    std::function<void()> quiet;
    long quiet_seconds = 3;
    // A body longer than this many bytes (announced, or as it arrives) ends
    // the transfer as kTooLarge; 0: any length.
    std::size_t max_body_bytes = 0;
};

// Whether a complete answer, read from f, is the document that was asked
// for and not a page in its place.
using DocumentCheck = bool (*)(std::FILE* f);

// What a whole download of a document asks of its answer.
struct DocumentRules {
    // Null: any 2xx body is taken.
    DocumentCheck check = nullptr;
    // Ask with If-Modified-Since the copy's modification time (when there is
    // a copy), take a 304 as "the copy is current", and give a new copy the
    // answer's Last-Modified as its modification time.
    bool conditional = false;
};

// Why a download failed, in terms a user can act on.
enum class DownloadFailure {
    kNone,
    kHttpStatus,       // the server answered with a status that brings no document
    kCannotConnect,    // host or proxy unknown, connection refused or unreachable
    kSecureChannel,    // the TLS handshake or the certificate check failed
    kTimedOut,         // no connection in time, or the transfer stalled
    kRedirect,         // a redirect that can't be followed (too many of them)
    kRedirectRefused,  // a redirect to another file: a page in place of the document
    kInterrupted,      // the answer broke off or could not be read
    kLocalFile,        // the local copy could not be written (full, read-only, gone...)
    kNotTheDocument,   // a 2xx answer whose body is not the document asked for
    kCancelled,        // the user gave the download up
    kTooLarge,         // the body is longer than the limits allow
    kOther,            // anything else; curl_code says what
};

struct DownloadResult {
    DownloadFailure failure = DownloadFailure::kNone;
    long status = 0;     // the last HTTP status received; 0 when none was
    int curl_code = 0;   // libcurl's code for the last transfer
    int save_error = 0;  // kLocalFile: why the disk refused the copy (an errno value)
    // kLocalFile: the document that arrived whole, and passed its check, but
    // could not be saved, as the copy would have been (an appended thread:
    // the old copy and its new end). The copy on disk is as it was.
    std::optional<std::string> unsaved;
    // The document came from the archive of fallen threads, not its board.
    bool from_archive = false;
    // The last answer's Content-Type as it said it ("image/png"); empty
    // when it said none.
    std::string content_type;
    bool ok() const { return failure == DownloadFailure::kNone; }
};

// A local copy at least this long, ending in a newline, is brought up to
// date by asking only for what follows its last kOverlapBytes bytes; those
// bytes, sent back first, show that the copy is still the document's start.
inline constexpr std::size_t kOverlapBytes = 16;

// One libcurl handle, whose connection cache keeps a board's connection
// (and TLS session) alive from the thread list to its threads. The handle,
// and libcurl's start (TLS included), wait for the first download: a run
// that reads only local copies never pays for them. main makes one for the
// run; the functions below download through the session their limits name.
class DownloadSession {
public:
    DownloadSession() = default;
    ~DownloadSession();
    DownloadSession(const DownloadSession&) = delete;
    DownloadSession& operator=(const DownloadSession&) = delete;

    // Starts libcurl and makes the handle on a thread of their own while
    // the caller goes on: TLS's libraries read their settings and load
    // their tables (a millisecond) as the menu is read and shown.
    void start_early();

    // The handle, made at the first call; null when libcurl can't start.
    void* handle();

private:
    void* handle_ = nullptr;
    std::thread starting_;
};

// The handle one transfer uses: its limits' session's, else that of a
// session of its own, closed with its connections at the end. Null when
// libcurl can't start.
class SessionHandle {
public:
    explicit SessionHandle(const DownloadLimits& limits) : session_(limits.session) {}
    void* get() { return session_ ? session_->handle() : own_.handle(); }

private:
    DownloadSession* session_;
    DownloadSession own_;
};

// Fetches the whole document at url and replaces the file at path with it.
// Redirects are followed only to the same file name; a first 403 is asked
// again at once; proxies come from the environment, no cache on the way,
// compression welcome. The file changes only when the whole body of a 2xx
// answer arrived; otherwise it stays as it was, or absent. A body the disk
// refuses comes back in the result instead. A null url or path fails at
// once.
DownloadResult download_to_file(const char* url, const char* path);
DownloadResult download_to_file(const char* url, const char* path, const DownloadLimits& limits);
// The same, with the document's rules: a body that fails rules.check fails
// the download and leaves the file as it was.
DownloadResult download_to_file(const char* url, const char* path, const DocumentRules& rules,
                                const DownloadLimits& limits);

// Brings the local copy at path up to the document at url. A copy that can
// be extended is: only its new end is asked for (uncompressed) and
// appended; a copy the document no longer starts with, or a server that
// sends the whole document, gets the whole document in its place. Any
// other copy is fetched whole, as download_to_file does. At every moment
// the file is the old copy or the new one, never a mix; a failure leaves
// it as it was.
DownloadResult update_copy(const char* url, const char* path);
DownloadResult update_copy(const char* url, const char* path, const DownloadLimits& limits);
// The same, with a check of every whole document that would replace the
// copy (an appended end is checked by its overlap).
DownloadResult update_copy(const char* url, const char* path, DocumentCheck check, const DownloadLimits& limits);

// Whether the answer says the document is gone from where it was asked:
// 403, 404 or 410, or a redirect to another file (a page in its place).
bool is_gone(const DownloadResult& result);

// One copy among those update_copies brings up to date: the document at
// url into the copy at path, as update_copy does with check; when url's
// answer is one falls_back takes (is_gone), the same once more from
// fallback, when there is one. A result from the fallback says
// from_archive.
// Each holds its own strings: the jobs of a check outlive whatever the
// caller built them from.
struct CopyUpdate {
    std::string url;
    std::string path;
    DocumentCheck check = nullptr;
    std::string fallback;  // empty: none
    bool (*falls_back)(const DownloadResult&) = nullptr;
};

// update_copies runs this many transfers at once, at most this many of
// them to one server (scheme, host and port), so a server that stalls
// holds only its own copies.
inline constexpr int kConcurrentDownloads = 4;
inline constexpr int kDownloadsPerServer = 2;
// How often update_copies looks at limits.cancelled while it waits.
inline constexpr int kPollMilliseconds = 100;

// Brings every copy up to date, several at once (in the order given, as
// the limits above let them start), each under limits, on connections of
// their own. progress, when set, is told the number of copies finished
// after each. When limits.cancelled says so, the transfers running give up
// and the copies not started stay as they are (kCancelled). The results
// are in the order of updates.
std::vector<DownloadResult> update_copies(const std::vector<CopyUpdate>& updates, const DownloadLimits& limits,
                                          const std::function<void(std::size_t finished)>& progress);

// Temporary files of downloads are named ".NAME.part-XXXXXX" beside their
// target NAME. Removes those in directory (the target's, "." for a bare
// name) last modified more than max_age_seconds ago: leftovers of a zubo
// that was killed mid-download.
void remove_stale_parts(const char* directory, long max_age_seconds);

}  // namespace zubo
