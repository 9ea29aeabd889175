#pragma once
// The line that tells how a screen's download went.

#include "net/download.h"

namespace zubo {

// Prints the screen's loading line and puts it on the screen before a
// download starts, so it shows while the network works.
void announce_download(const char* loading_line);

// Prints ok_message when the download succeeded, else "失敗" and the
// reason in parentheses, on the same line.
void report_download(const DownloadResult& result, const char* ok_message);

}  // namespace zubo
