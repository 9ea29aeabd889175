#include "screens/download_report.h"

#include <cstring>

#include "console/console.h"
#include "console/messages.h"

namespace zubo {

namespace {

// Whether the loading line on the screen says already how to give up.
bool g_hint_shown = false;

// A download that has received nothing for a while: the loading line says
// how to give it up, once.
void show_cancel_hint() {
    if (g_hint_shown) return;
    g_hint_shown = true;
    console::write(messages::cancel_hint);
    console::flush();
}

}  // namespace

void announce_download(const char* loading_line) {
    g_hint_shown = false;
    console::write(loading_line);
    console::flush();
}

DownloadLimits interactive_limits() {
    DownloadLimits limits;
    limits.cancelled = console::interrupt_pending;
    // In a pipe nobody is there to press Ctrl-C.
    if (console::output_is_terminal()) limits.quiet = show_cancel_hint;
    return limits;
}

void report_download(const DownloadResult& result, const DownloadMessages& text) {
    // A Ctrl-C that came as the download ended was meant for it too.
    console::clear_interrupt();
    switch (result.failure) {
    case DownloadFailure::kNone:
        console::write(text.ok);
        return;
    case DownloadFailure::kNotTheDocument:
        console::write(text.not_the_document);
        return;
    case DownloadFailure::kCancelled:
        console::write(messages::failed_cancelled);
        return;
    case DownloadFailure::kHttpStatus:
        console::print(messages::failed_http, result.status);
        return;
    case DownloadFailure::kCannotConnect:
        console::write(messages::failed_connect);
        return;
    case DownloadFailure::kSecureChannel:
        console::write(messages::failed_secure);
        return;
    case DownloadFailure::kTimedOut:
        console::write(messages::failed_timeout);
        return;
    case DownloadFailure::kRedirect:
        console::write(messages::failed_redirect);
        return;
    case DownloadFailure::kRedirectRefused:
        console::write(messages::failed_redirect_elsewhere);
        return;
    case DownloadFailure::kInterrupted:
        console::write(messages::failed_interrupted);
        return;
    case DownloadFailure::kLocalFile:
        console::print(messages::failed_local_file, std::strerror(result.save_error));
        return;
    case DownloadFailure::kOther:
        console::print(messages::failed_other, result.curl_code);
        return;
    }
}

}  // namespace zubo
