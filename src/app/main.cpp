#include <gc.h>
#include <langinfo.h>

#include <clocale>
#include <cstdio>
#include <initializer_list>
#include <strings.h>

#include "app/options.h"
#include "console/console.h"
#include "console/messages.h"
#include "net/download.h"
#include "net/version.h"
#include "screens/board_list.h"

extern "C" void* __libc_stack_end;

namespace {

// The collector's warnings would go to standard error, which zubo keeps
// silent.
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

bool console_speaks_utf8(zubo::ConsoleChoice choice) {
    if (choice == zubo::ConsoleChoice::kLocale) return !locale_speaks_sjis();
    return choice == zubo::ConsoleChoice::kUtf8;
}

// Exit statuses: the user ended zubo, zubo could not go on, a bad option.
constexpr int kEnded = 0;
constexpr int kCannotGoOn = 1;
constexpr int kBadOption = 2;

}  // namespace

int main(int argc, char** argv) {
    tell_the_collector_where_the_stack_ends();
    GC_set_warn_proc(quiet_warning);
    GC_register_has_static_roots_callback(scan_only_the_program);
    // Whole pages go out in one write; the console flushes before every
    // wait, so a prompt is always on the screen before its line is read.
    static char output_buffer[1 << 16];
    std::setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer);
    const zubo::Options options = zubo::read_options(argc, argv);
    zubo::console::set_utf8(console_speaks_utf8(options.console));
    if (options.unknown) {
        zubo::console::print(zubo::messages::unknown_option, options.unknown);
        zubo::console::print(zubo::messages::usage, zubo::kVersion);
        return kBadOption;
    }
    if (options.help) {
        zubo::console::print(zubo::messages::usage, zubo::kVersion);
        return kEnded;
    }
    if (options.version) {
        zubo::console::print(zubo::messages::version_line, zubo::kVersion);
        return kEnded;
    }
    // One connection cache for the run: the thread list and its threads
    // ride one kept-alive connection.
    zubo::DownloadSession downloads;
    downloads.make_current();
    return zubo::show_board_list(options.refresh) ? kEnded : kCannotGoOn;
}
