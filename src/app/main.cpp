#include <gc.h>
#include <langinfo.h>

#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>

#include "app/options.h"
#include "console/console.h"
#include "console/messages.h"
#include "documents/service_link.h"
#include "net/download.h"
#include "net/version.h"
#include "screens/board_list.h"
#include "screens/ng_rules_report.h"
#include "screens/run.h"
#include "store/database.h"
#include "store/home.h"

extern "C" void* __libc_stack_end;

namespace {

// The collector's warnings would go to standard error, which holds only
// zubo's word on its command line.
void quiet_warning(char*, GC_word) {}

// The collector looks for live blocks in the program's own data and on
// the stack; the libraries' data (libcurl's and its dozen dependencies')
// never holds a pointer to one, so it is not scanned at every collection.
int scan_only_the_program(const char* library, void*, std::size_t) { return library[0] == '\0'; }

// The stack's cold end, as the C library recorded it at the start: the
// collector would otherwise find it by reading /proc/self/maps, a third of
// a millisecond at every start with libcurl's dozens of libraries mapped.
void tell_the_collector_where_the_stack_ends() {
    GC_stack_base bottom{__libc_stack_end};
    GC_set_stackbottom(nullptr, &bottom);
}

// Whether the user's locale says the terminal speaks Shift_JIS. Any other
// locale, C and POSIX included, gets UTF-8, which every terminal of today
// shows. The locale is put back to "C" afterwards: everything else handles
// bytes as bytes.
bool locale_speaks_sjis() {
    if (!std::setlocale(LC_CTYPE, "")) return false;
    const char* codeset = nl_langinfo(CODESET);
    bool sjis = false;
    for (const char* name : {"SHIFT_JIS", "SJIS", "CP932", "WINDOWS-31J"}) {
        if (codeset && strcasecmp(codeset, name) == 0) sjis = true;
    }
    std::setlocale(LC_CTYPE, "C");
    return sjis;
}

// Makes zubo's home and works inside it, so every file zubo keeps is
// there; false, with the reason printed, when there is none to be had.
bool enter_home(zubo::console::Console& console) {
    const std::string home = zubo::home_path();
    int error = zubo::make_directories(home);
    if (error == 0 && chdir(home.c_str()) != 0) error = errno;
    if (error == 0) return true;
    console.print(zubo::messages::home_unmakeable, home.c_str(), std::strerror(error));
    return false;
}

// Whether zubo can keep files in its home, the working directory. When it
// can't, it says why once and goes on: what arrives is shown from memory.
bool home_writable(zubo::console::Console& console) {
    const int error = zubo::write_probe(".");
    if (error == 0) return true;
    console.print(zubo::messages::home_unwritable, std::strerror(error));
    return false;
}

// The read state in the home; a broken one is set aside and started anew,
// and zubo says so and where the old one went. Null when there can be
// none: zubo then reads as if every thread were new. Every failure to read
// or write it later is said once per run, and zubo reads on.
std::unique_ptr<zubo::store::Database> open_state(zubo::console::Console& console) {
    zubo::store::Opened opened = zubo::store::Database::open(zubo::store::kDatabaseFile);
    if (!opened.set_aside.empty()) {
        console.print(zubo::messages::state_rebuilt, opened.set_aside.c_str());
        console.print(zubo::messages::state_set_aside, opened.aside_path.c_str());
    }
    if (!opened.db) {
        console.print(zubo::messages::state_unreadable, opened.failed.c_str());
        return nullptr;
    }
    opened.db->set_failure_listener([&console](zubo::store::StateFailure kind, const std::string& reason) {
        const bool read = kind == zubo::store::StateFailure::kRead;
        console.print(read ? zubo::messages::state_unreadable : zubo::messages::state_unwritable,
                             reason.c_str());
    });
    return std::move(opened.db);
}

bool console_speaks_utf8(zubo::ConsoleChoice choice) {
    if (choice == zubo::ConsoleChoice::kLocale) return !locale_speaks_sjis();
    return choice == zubo::ConsoleChoice::kUtf8;
}

// Exit statuses: the user ended zubo, zubo could not go on, a bad option
// or a link that names nothing zubo opens.
constexpr int kEnded = 0;
constexpr int kCannotGoOn = 1;
constexpr int kBadOption = 2;

// The collector's heap at the start: a 1,000-post thread's table and a
// 1,000-thread list take about 3.5 MB. Pages not yet used take no memory.
constexpr std::size_t kFirstHeapBytes = 4u << 20;

}  // namespace

int main(int argc, char** argv) {
    tell_the_collector_where_the_stack_ends();
    // A heap that holds a long thread and its list from the start: no
    // collection at the start (nothing to collect yet) and none while the
    // heap first grows.
    GC_set_dont_precollect(1);
    GC_expand_hp(kFirstHeapBytes);
    GC_set_warn_proc(quiet_warning);
    GC_register_has_static_roots_callback(scan_only_the_program);
    // Whole pages go out in one write; the console flushes before every
    // wait, so a prompt is always on the screen before its line is read.
    // Static: stdout outlives main's frame (a return from main flushes it
    // in exit()).
    static char output_buffer[1 << 16];
    std::setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer);
    const zubo::Options options = zubo::read_options(argc, argv);
    zubo::console::Console console;
    console.set_utf8(console_speaks_utf8(options.console));
    if (options.unknown) {
        // A mistake is said on standard error, in the console's encoding;
        // standard output stays for what was asked for.
        console.set_streams(nullptr, stderr);
        console.print(zubo::messages::unknown_option, options.unknown);
        console.print(zubo::messages::usage, zubo::kVersion);
        console.flush();
        return kBadOption;
    }
    if (options.help) {
        console.print(zubo::messages::usage, zubo::kVersion);
        return kEnded;
    }
    if (options.version) {
        console.print(zubo::messages::version_line, zubo::kVersion);
        return kEnded;
    }
    // A link that names nothing zubo opens is said before any download.
    if (options.link && zubo::read_service_link(options.link).kind == zubo::LinkKind::kNothing) {
        console.set_streams(nullptr, stderr);
        console.print(zubo::messages::unopenable_url, options.link);
        console.flush();
        return kBadOption;
    }
    // A write past the file-size limit fails (EFBIG), as on a full disk,
    // instead of ending zubo.
    std::signal(SIGXFSZ, SIG_IGN);
    if (!enter_home(console)) return kCannotGoOn;
    const bool writable = home_writable(console);
    console.catch_interrupts();
    // One connection cache for the run: the thread list and its threads
    // ride one kept-alive connection.
    zubo::DownloadSession downloads;
    downloads.start_early();
    // A record already there is opened even in a home that takes no file:
    // what was read before still shows (a full disk reads on), and each
    // failure to read or write it is said once. None is made there.
    std::unique_ptr<zubo::store::Database> state;
    if (writable || access(zubo::store::kDatabaseFile, F_OK) == 0) state = open_state(console);
    // However zubo ends, the read state is closed, its log folded into
    // zubo.db.
    zubo::console::EndHook close_state(console, [&state] { state.reset(); });
    zubo::NgRulesOfRun ng_rules;
    zubo::Run run{console, downloads, state.get(), ng_rules, options.refresh};
    const int status = zubo::show_board_list(run, options.link) ? kEnded : kCannotGoOn;
    close_state.run_once();
    console.end_now(status);
}
