#include "console/console.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <charconv>
#include <csignal>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "console/messages.h"
#include "text/bytes.h"
#include "text/byte_block.h"
#include "text/char_refs.h"
#include "text/gc_bytes.h"
#include "text/lines.h"
#include "text/sjis.h"

namespace zubo::console {
namespace {

// What the SIGINT handler touches is all that lives here, at file scope: a
// signal handler is handed no Console and can reach nothing else. Every
// other fact of the console is a Console's.
volatile std::sig_atomic_t g_interrupted = 0;

// The handler also writes a byte here, so a wait that began just after the
// flag was looked at still wakes: poll sees the byte.
int g_wake_pipe[2] = {-1, -1};

constexpr int kInterruptedStatus = 130;

int exit_status() { return g_interrupted ? kInterruptedStatus : 0; }

void on_interrupt(int) {
    g_interrupted = 1;
    if (g_wake_pipe[1] >= 0) {
        char byte = 0;
        [[maybe_unused]] ssize_t written = ::write(g_wake_pipe[1], &byte, 1);
    }
}

// A UTF-8 line takes more bytes than its CP932 form: it is read into up to
// four times the command buffer, then converted and cut to it.
constexpr std::size_t kMaxRawCommand = 4 * 320;

bool is_control(unsigned char c) {
    return (c < 0x20 && c != '\t' && c != '\n') || c == 0x7F;
}

constexpr std::size_t kBlock = kByteBlock;

// Whether a byte needs a look before it goes out: below 0x20 or 0x7F (a
// control, or a TAB or LF, which the caller tells apart), or, in the
// service's text, '&', which may start a reference.
bool needs_a_look(unsigned char c, bool with_ampersand) { return c < 0x20 || c == 0x7F || (with_ampersand && c == '&'); }

// The first byte of the block at bytes that needs a look; kBlock when none
// does. Text has few of them, so most of it passes a block at a time.
std::size_t first_to_look_at(const char* bytes, bool with_ampersand) {
    const ByteBlock block = load_block(bytes);
    ByteLanes hits = (block < 0x20) | (block == 0x7F);
    if (with_ampersand) hits |= block == '&';
    return first_hit(hits);
}

// The first byte of the service's text from p on (before end) that needs
// a look; end when there is none.
const char* next_to_look_at(const char* p, const char* end) {
    for (; end - p >= static_cast<std::ptrdiff_t>(kBlock); p += kBlock) {
        std::size_t at = first_to_look_at(p, true);
        if (at < kBlock) return p + at;
    }
    while (p < end && !needs_a_look(static_cast<unsigned char>(*p), true)) ++p;
    return p;
}

// Where output bytes go: the output's buffer, or a string being measured.
struct Output {
    std::FILE* out;
    std::string* into;
};

void emit(const char* bytes, std::size_t size, const Output& to) {
    if (to.into) to.into->append(bytes, size);
    else std::fwrite(bytes, 1, size, to.out);
}

// Writes CP932 bytes already stripped of control bytes, converted when the
// terminal speaks UTF-8.
void put(const char* bytes, std::size_t size, bool utf8, const Output& to) {
    if (utf8) {
        sjis::to_utf8_pieces(bytes, size,
                             [](const char* piece, std::size_t piece_size, void* output) {
                                 emit(piece, piece_size, *static_cast<const Output*>(output));
                             },
                             const_cast<Output*>(&to));
    } else {
        emit(bytes, size, to);
    }
}


// Hands the format's own text and its numbers to to.literal(bytes, size) and
// each %s argument to to.text(argument), in order. Knows %d, %ld, %s and %%,
// the directives of the program's messages; any other '%' is text.
template <typename Sink>
void walk_format(const char* format, std::va_list args, Sink& to) {
    char number[24];
    for (const char* p = format; *p;) {
        const char* percent = strchrnul(p, '%');
        if (percent != p) {
            to.literal(p, static_cast<std::size_t>(percent - p));
            p = percent;
        } else if (p[1] == 's') {
            to.text(va_arg(args, const char*));
            p += 2;
        } else if (p[1] == 'd') {
            char* end = std::to_chars(number, number + sizeof number, va_arg(args, int)).ptr;
            to.literal(number, static_cast<std::size_t>(end - number));
            p += 2;
        } else if (p[1] == 'l' && p[2] == 'd') {
            char* end = std::to_chars(number, number + sizeof number, va_arg(args, long)).ptr;
            to.literal(number, static_cast<std::size_t>(end - number));
            p += 3;
        } else {
            to.literal(p, 1);
            p += p[1] == '%' ? 2 : 1;
        }
    }
}

// One formatted line on its way out. CP932 bytes gather in a run, so a line
// without references converts in one piece, as print() converts it; in UTF-8
// mode a decoded character ends the run and goes out as UTF-8 of its own.
// The run starts in a buffer of its own and moves to a bigger block from the
// collector when a long post needs it.
class DecodedLine {
public:
    DecodedLine(bool utf8, const Output& to) : utf8_(utf8), to_(to) {}

    void literal(const char* bytes, std::size_t size) {
        while (size > room_ - size_ && !grow(size)) {
            // The heap is exhausted: the run goes out a buffer at a time.
            std::size_t part = room_ - size_;
            std::memcpy(run_ + size_, bytes, part);
            size_ += part;
            bytes += part;
            size -= part;
            end_run();
        }
        std::memcpy(run_ + size_, bytes, size);
        size_ += size;
    }

    // The service's text: references decoded, control bytes dropped (the
    // terminal filter), in one pass.
    void text(const char* s) {
        if (!s) return;
        const std::size_t size = std::strlen(s);
        // Decoding never lengthens a text, so the run takes it whole; when
        // the heap is exhausted it goes out as it stands, filtered.
        if (size > room_ - size_ && !grow(size)) {
            literal(s, size);
            unfiltered_ = true;
            return;
        }
        for (const char* end = s + size; s < end;) {
            const char* next = next_to_look_at(s, end);
            std::memcpy(run_ + size_, s, static_cast<std::size_t>(next - s));
            size_ += static_cast<std::size_t>(next - s);
            if (next == end) return;
            CharRef ref;
            if (*next == '&' && read_char_ref(next, &ref)) {
                character(ref, next);
                s = next + ref.size;
                continue;
            }
            if (!is_control(static_cast<unsigned char>(*next))) run_[size_++] = *next;
            s = next + 1;
        }
    }

    void finish() { end_run(); }

private:
    void character(const CharRef& ref, const char* reference) {
        // ASCII is the same byte in CP932 and in UTF-8: it stays in the run
        // (&amp;, &lt;, &gt; and &quot;, most references of all).
        if (ref.code_point < 0x80) {
            run_[size_++] = static_cast<char>(ref.code_point);
            return;
        }
        if (utf8_) {
            end_run();
            char utf8[4];
            emit(utf8, encode_utf8(ref.code_point, utf8), to_);
            return;
        }
        std::size_t size = 0;
        const char* cp932 = sjis::from_code_point(ref.code_point, &size);
        if (cp932) {
            literal(cp932, size);
        } else {
            literal(reference, ref.size);
        }
    }

    // Room for more bytes after the run; false when the heap is exhausted.
    bool grow(std::size_t more) {
        std::size_t bigger = room_ * 2 > size_ + more ? room_ * 2 : size_ + more;
        char* block = gc::alloc_bytes(bigger);
        if (!block) return false;
        std::memcpy(block, run_, size_);
        run_ = block;
        room_ = bigger;
        return true;
    }

    // The run holds the program's own text and the service's text filtered
    // as it came (a decoded character is never a control), unless the heap
    // ran out and a text came in unfiltered.
    void end_run() {
        if (size_ == 0) return;
        put(run_, unfiltered_ ? Console::strip_controls(run_, size_) : size_, utf8_, to_);
        size_ = 0;
    }

    const bool utf8_;
    const Output to_;
    bool unfiltered_ = false;
    char small_[4096];
    char* run_ = small_;
    std::size_t room_ = sizeof small_;
    std::size_t size_ = 0;
};

// Output goes out before a read that could wait for the user: one with
// nothing ready on the input's descriptor. A file is always ready, and so
// is a pipe or a terminal that holds lines typed ahead; reading them waits
// for nothing, and their prompts go out with the next wait.
void flush_before_waiting(std::FILE* in, std::FILE* out) {
    int fd = fileno(in);
    pollfd ready{fd, POLLIN, 0};
    if (fd < 0 || poll(&ready, 1, 0) != 1) std::fflush(out);
}

// Whether the input stream holds bytes already read from its descriptor
// (glibc's stream fields): reading them waits for nothing.
bool input_buffered(std::FILE* f) { return f->_IO_read_ptr < f->_IO_read_end; }

// What Ctrl-C left in the wake-up pipe once its interrupt is spent.
void drain_wake_pipe() {
    char bytes[64];
    while (g_wake_pipe[0] >= 0 && ::read(g_wake_pipe[0], bytes, sizeof bytes) > 0) {
    }
}

}  // namespace

void Console::set_streams(std::FILE* input, std::FILE* output) {
    in_ = input;
    out_ = output;
}

std::size_t Console::strip_controls(char* bytes, std::size_t size) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < size;) {
        if (i + kBlock <= size && first_to_look_at(bytes + i, false) == kBlock) {
            if (kept != i) std::memmove(bytes + kept, bytes + i, kBlock);
            kept += kBlock;
            i += kBlock;
            continue;
        }
        for (std::size_t end = i + kBlock < size ? i + kBlock : size; i < end; ++i) {
            if (!is_control(static_cast<unsigned char>(bytes[i]))) bytes[kept++] = bytes[i];
        }
    }
    return kept;
}

void Console::put(const char* bytes, std::size_t size) { zubo::console::put(bytes, size, utf8_, {out(), nullptr}); }

void Console::end_if_interrupted() {
    if (g_interrupted) end_of_input();
}

void Console::wait_for_input() {
    std::FILE* f = in();
    int fd = fileno(f);
    if (fd < 0 || input_buffered(f)) return;
    pollfd fds[2] = {{fd, POLLIN, 0}, {g_wake_pipe[0], POLLIN, 0}};
    const nfds_t count = g_wake_pipe[0] >= 0 ? 2 : 1;
    for (;;) {
        end_if_interrupted();
        // Readable, closed or failed: the read that follows tells which.
        if (poll(fds, count, -1) > 0 && fds[0].revents != 0) return;
    }
}

void Console::write(const char* text) {
    std::size_t size = std::strlen(text);
    char* copy = gc::copy_bytes(text, size);
    if (!copy) return;
    put(copy, strip_controls(copy, size));
}

void Console::print(const char* format, ...) {
    char small[1024];
    std::va_list args;
    va_start(args, format);
    int needed = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (needed < 0) return;

    char* text = small;
    if (static_cast<std::size_t>(needed) >= sizeof small) {
        text = gc::alloc_bytes(static_cast<std::size_t>(needed) + 1);
        if (!text) return;
        va_start(args, format);
        std::vsnprintf(text, static_cast<std::size_t>(needed) + 1, format, args);
        va_end(args);
    }
    put(text, strip_controls(text, static_cast<std::size_t>(needed)));
}

void Console::print_decoded(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    DecodedLine line(utf8_, {out(), nullptr});
    walk_format(format, args, line);
    line.finish();
    va_end(args);
}

std::string Console::format_decoded(const char* format, ...) {
    std::string text;
    std::va_list args;
    va_start(args, format);
    DecodedLine line(utf8_, {out(), &text});
    walk_format(format, args, line);
    line.finish();
    va_end(args);
    return text;
}

void Console::flush() { std::fflush(out()); }

bool Console::output_is_terminal() const {
    int fd = fileno(out());
    return fd >= 0 && isatty(fd);
}

bool Console::terminal_size(int* rows, int* columns) const {
    winsize size = {};
    int fd = fileno(out());
    if (fd < 0 || !isatty(fd) || ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_row == 0 || size.ws_col == 0) return false;
    *rows = size.ws_row;
    *columns = size.ws_col;
    return true;
}

bool Console::terminal_pixels(int* width, int* height) const {
    winsize size = {};
    int fd = fileno(out());
    if (fd < 0 || !isatty(fd) || ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_xpixel == 0 || size.ws_ypixel == 0) {
        return false;
    }
    *width = size.ws_xpixel;
    *height = size.ws_ypixel;
    return true;
}

bool Console::colour_wanted() const {
    const char* no_colour = std::getenv("NO_COLOR");
    const char* term = std::getenv("TERM");
    if (no_colour && *no_colour) return false;
    if (!term || !*term || std::strcmp(term, "dumb") == 0) return false;
    return output_is_terminal();
}

void Console::write_utf8(const char* text) {
    const std::size_t size = std::strlen(text);
    if (utf8_) return emit(text, size, {out(), nullptr});
    std::size_t converted = 0;
    const char* cp932 = sjis::from_utf8(text, size, &converted);
    emit(cp932, converted, {out(), nullptr});
}

void Console::write_control(const char* sequence) { std::fputs(sequence, out()); }

void Console::read_command(char* buf, std::size_t size) {
    end_if_interrupted();
    flush_before_waiting(in(), out());
    wait_for_input();
    if (!utf8_) {
        if (!read_line_cut(in(), buf, size)) end_of_input();
        return;
    }
    char raw[kMaxRawCommand];
    std::size_t raw_size = size * 4 < sizeof raw ? size * 4 : sizeof raw;
    if (!read_line_cut(in(), raw, raw_size)) end_of_input();
    std::size_t converted = 0;
    const char* sjis_line = sjis::from_utf8(raw, std::strlen(raw), &converted);
    copy_field(buf, size, sjis_line, converted);
}

void Console::pause() {
    end_if_interrupted();
    flush_before_waiting(in(), out());
    wait_for_input();
    int c = std::fgetc(in());
    if (c == EOF) end_of_input();
    while (c != '\n' && c != EOF) c = std::fgetc(in());
}

void Console::end_of_input() {
    write("\n");
    write(messages::ending);
    for (EndHook* hook = newest_hook_; hook; hook = hook->older()) hook->run_once();
    if (end_action_) end_action_();
    end_now(exit_status());
}

EndHook::EndHook(Console& console, std::function<void()> work)
    : console_(console), work_(std::move(work)), older_(console.newest_hook_) {
    console_.newest_hook_ = this;
}

EndHook::~EndHook() {
    if (console_.newest_hook_ == this) console_.newest_hook_ = older_;
    run_once();
}

void EndHook::run_once() {
    if (work_) std::exchange(work_, nullptr)();
}

void Console::end_now(int status) {
    std::fflush(out());
    std::_Exit(status);
}

void Console::catch_interrupts() {
    // No SA_RESTART: a read waiting for the user returns at once, and the
    // end of input it reports ends zubo.
    if (g_wake_pipe[0] < 0 && pipe2(g_wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) g_wake_pipe[0] = g_wake_pipe[1] = -1;
    struct sigaction action = {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

bool Console::interrupt_pending() { return g_interrupted != 0; }

void Console::clear_interrupt() {
    g_interrupted = 0;
    drain_wake_pipe();
}

}  // namespace zubo::console
