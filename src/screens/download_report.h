#pragma once
// The line that tells how a screen's download went.

#include "net/download.h"
#include "screens/run.h"

namespace zubo {

// Prints the screen's loading line and puts it on the screen before a
// download starts, so it shows while the network works.
void announce_download(console::Console& console, const char* loading_line);

// The limits of a download the user waits for: Ctrl-C gives it up, and on
// a terminal, one that has received nothing for a few seconds adds to the
// loading line how to give it up, once. It goes through the run's session.
DownloadLimits interactive_limits(Run& run);

// How a screen acknowledges its download: the line's end on success, and
// the reason shown when a page came in place of the document.
struct DownloadMessages {
    const char* ok;
    const char* not_the_document;
};

// Prints the ok message when the download succeeded, else "失敗" and the
// reason in parentheses, on the same line. A download given up by Ctrl-C
// says so, and the interrupt is spent: zubo goes on.
void report_download(console::Console& console, const DownloadResult& result, const DownloadMessages& messages);

}  // namespace zubo
