#include "net/post.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <vector>

#include "net/version.h"

namespace zubo {

namespace {

struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

size_t on_data(char* data, size_t size, size_t count, void* context) {
    static_cast<std::string*>(context)->append(data, size * count);
    return size * count;
}

// The headers of the last answer only: a "HTTP/" status line starts them again.
size_t on_header(char* data, size_t size, size_t count, void* context) {
    auto& headers = *static_cast<std::string*>(context);
    const std::string line(data, size * count);
    if (line.compare(0, 5, "HTTP/") == 0) {
        headers.clear();
    } else if (line != "\r\n" && line != "\n") {
        headers += line;
    }
    return size * count;
}

int on_progress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* limits = static_cast<const DownloadLimits*>(context);
    return limits->cancelled && limits->cancelled() ? 1 : 0;
}

// Makes the cookie file exist, readable by its owner only.
void make_private(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
    ::chmod(path.c_str(), 0600);
}

// Whether a line of a Netscape cookie file is a MonaTicket cookie; its
// expiry (seconds, 0 for a session's) in *expires.
bool is_ticket(const std::string& line, long long* expires) {
    if (line.empty() || (line[0] == '#' && line.compare(0, 10, "#HttpOnly_") != 0)) return false;
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    if (fields.size() < 7 || fields[5] != "MonaTicket") return false;
    *expires = std::strtoll(fields[4].c_str(), nullptr, 10);
    return true;
}

// Rewrites the cookie file without the tickets drop says go: whole, synced,
// renamed over the old one, 0600.
template <typename Drop>
bool rewrite_without(const std::string& cookie_file, Drop drop) {
    std::ifstream in(cookie_file, std::ios::binary);
    if (!in) return errno == ENOENT;
    std::string kept;
    bool dropped = false;
    for (std::string line; std::getline(in, line);) {
        long long expires = 0;
        if (is_ticket(line, &expires) && drop(expires)) {
            dropped = true;
            continue;
        }
        kept += line;
        kept += '\n';
    }
    if (in.bad()) return false;
    if (!dropped) return true;
    const std::string temp = cookie_file + ".new";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool written = ::fchmod(fd, 0600) == 0;
    for (std::size_t done = 0; written && done < kept.size();) {
        const ssize_t n = ::write(fd, kept.data() + done, kept.size() - done);
        if (n < 0 && errno == EINTR) continue;
        written = n > 0;
        if (written) done += static_cast<std::size_t>(n);
    }
    written = written && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written || std::rename(temp.c_str(), cookie_file.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

// libcurl keeps the cookie files' names (a list of its own) until it is
// told to forget them: a reset alone leaks them.
void forget_cookie_files(CURL* curl) {
    curl_easy_setopt(curl, CURLOPT_COOKIEFILE, static_cast<char*>(nullptr));
    curl_easy_setopt(curl, CURLOPT_COOKIEJAR, static_cast<char*>(nullptr));
}

}  // namespace

PostExchange send_post(const std::string& url, const std::string& referer, const std::string& body,
                       const std::string& cookie_file, const DownloadLimits& limits) {
    PostExchange exchange;
    exchange.url = url;
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    SessionHandle handle(limits);
    CURL* curl = ready ? static_cast<CURL*>(handle.get()) : nullptr;
    if (!curl) {
        exchange.error = "libcurl could not start";
        return exchange;
    }
    std::unique_ptr<curl_slist, SlistFree> headers(
        curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded"));
    if (headers && !curl_slist_append(headers.get(), "Expect:")) headers.reset();
    if (!headers) {
        exchange.error = "out of memory";
        return exchange;
    }
    make_private(cookie_file);
    char error[CURL_ERROR_SIZE] = "";
    curl_easy_reset(curl);
    // The handle may hold cookies of an earlier post: the file alone says
    // which are the user's now (a ticket dropped from it stays dropped).
    curl_easy_setopt(curl, CURLOPT_COOKIELIST, "ALL");
    const bool set =
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str()) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_POST, 1L) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size())) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str()) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_REFERER, referer.c_str()) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_USERAGENT, kPostUserAgent) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_COOKIEFILE, cookie_file.c_str()) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_COOKIEJAR, cookie_file.c_str()) == CURLE_OK &&
        // A post's 3xx is its answer: nothing is sent anywhere else.
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_FAILONERROR, 0L) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connect_timeout_seconds) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.stall_seconds) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, on_progress) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &limits) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, on_data) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &exchange.body) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, on_header) == CURLE_OK &&
        curl_easy_setopt(curl, CURLOPT_HEADERDATA, &exchange.headers) == CURLE_OK;
    if (!set) {
        forget_cookie_files(curl);
        curl_easy_reset(curl);
        exchange.error = "libcurl refused the request's options";
        return exchange;
    }
    const CURLcode result = curl_easy_perform(curl);
    // The jar now, not at the handle's end, which a session's handle
    // reaches only when the run ends; then the handle forgets the cookies,
    // so that no download carries them.
    curl_easy_setopt(curl, CURLOPT_COOKIELIST, "FLUSH");
    ::chmod(cookie_file.c_str(), 0600);
    curl_easy_setopt(curl, CURLOPT_COOKIELIST, "ALL");
    if (result == CURLE_OK) {
        exchange.answered = true;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &exchange.status);
    } else {
        exchange.error = error[0] ? error : curl_easy_strerror(result);
    }
    forget_cookie_files(curl);
    curl_easy_reset(curl);
    return exchange;
}

bool drop_expiring_tickets(const std::string& cookie_file, long long now) {
    constexpr long long kDay = 24 * 60 * 60;
    return rewrite_without(cookie_file, [now](long long expires) { return expires != 0 && expires < now + kDay; });
}

bool drop_ticket(const std::string& cookie_file) {
    return rewrite_without(cookie_file, [](long long) { return true; });
}

}  // namespace zubo
