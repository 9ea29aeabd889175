#include "screens/download_report.h"

#include <cstring>
#include <memory>

#include "console/console.h"
#include "console/messages.h"

namespace zubo {

void announce_download(console::Console& console, const char* loading_line) {
    console.write(loading_line);
    console.flush();
}

DownloadLimits interactive_limits(Run& run) {
    DownloadLimits limits;
    limits.cancelled = console::Console::interrupt_pending;
    limits.session = &run.downloads;
    // In a pipe nobody is there to press Ctrl-C.
    if (run.console.output_is_terminal()) {
        auto shown = std::make_shared<bool>(false);
        limits.quiet = [&console = run.console, shown] {
            if (*shown) return;
            *shown = true;
            console.write(messages::cancel_hint);
            console.flush();
        };
    }
    return limits;
}

void report_download(console::Console& console, const DownloadResult& result, const DownloadMessages& text) {
    // A Ctrl-C that came as the download ended was meant for it too.
    console.clear_interrupt();
    switch (result.failure) {
    case DownloadFailure::kNone:
        console.write(text.ok);
        return;
    case DownloadFailure::kNotTheDocument:
        console.write(text.not_the_document);
        return;
    case DownloadFailure::kCancelled:
        console.write(messages::failed_cancelled);
        return;
    case DownloadFailure::kHttpStatus:
        console.print(messages::failed_http, result.status);
        return;
    case DownloadFailure::kCannotConnect:
        console.write(messages::failed_connect);
        return;
    case DownloadFailure::kSecureChannel:
        console.write(messages::failed_secure);
        return;
    case DownloadFailure::kTimedOut:
        console.write(messages::failed_timeout);
        return;
    case DownloadFailure::kRedirect:
        console.write(messages::failed_redirect);
        return;
    case DownloadFailure::kRedirectRefused:
        console.write(messages::failed_redirect_elsewhere);
        return;
    case DownloadFailure::kInterrupted:
        console.write(messages::failed_interrupted);
        return;
    case DownloadFailure::kLocalFile:
        console.print(messages::failed_local_file, std::strerror(result.save_error));
        return;
    case DownloadFailure::kTooLarge:
        console.write(messages::failed_too_large);
        return;
    case DownloadFailure::kOther:
        console.print(messages::failed_other, result.curl_code);
        return;
    }
}

}  // namespace zubo
