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

// Fetches url (redirects followed, proxies from the environment, no cache
// on the way) and replaces the file at path with the body. The file changes
// only when the whole body arrived with a status below 400; otherwise it
// stays as it was, or absent. Returns 1 on success, 0 on any failure.
int download_to_file(const char* url, const char* path);
int download_to_file(const char* url, const char* path, const DownloadLimits& limits);

}  // namespace zubo
