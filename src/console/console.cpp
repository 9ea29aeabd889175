#include "console/console.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "console/messages.h"
#include "text/bytes.h"
#include "text/gc_bytes.h"
#include "text/lines.h"
#include "text/sjis.h"

namespace zubo::console {
namespace {

std::FILE* g_in = nullptr;
std::FILE* g_out = nullptr;
bool g_utf8 = false;

void exit_quietly() { std::exit(0); }
void (*g_end_action)() = exit_quietly;

// A UTF-8 line takes more bytes than its CP932 form: it is read into up to
// four times the command buffer, then converted and cut to it.
constexpr std::size_t kMaxRawCommand = 4 * 320;

std::FILE* in() { return g_in ? g_in : stdin; }
std::FILE* out() { return g_out ? g_out : stdout; }

bool is_control(unsigned char c) {
    return (c < 0x20 && c != '\t' && c != '\n') || c == 0x7F;
}

// Writes CP932 bytes already stripped of control bytes, converted when the
// terminal speaks UTF-8.
void emit(const char* bytes, std::size_t size) {
    if (g_utf8) {
        std::size_t converted = 0;
        const char* text = sjis::to_utf8(bytes, size, &converted);
        std::fwrite(text, 1, converted, out());
    } else {
        std::fwrite(bytes, 1, size, out());
    }
    std::fflush(out());
}

}  // namespace

void set_streams(std::FILE* input, std::FILE* output) {
    g_in = input;
    g_out = output;
}

void set_utf8(bool on) { g_utf8 = on; }
bool utf8() { return g_utf8; }

std::size_t strip_controls(char* bytes, std::size_t size) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (!is_control(static_cast<unsigned char>(bytes[i]))) bytes[kept++] = bytes[i];
    }
    return kept;
}

void write(const char* text) {
    std::size_t size = std::strlen(text);
    char* copy = gc::copy_bytes(text, size);
    if (!copy) return;
    emit(copy, strip_controls(copy, size));
}

void print(const char* format, ...) {
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
    emit(text, strip_controls(text, static_cast<std::size_t>(needed)));
}

void read_command(char* buf, std::size_t size) {
    if (!g_utf8) {
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

void pause() {
    int c = std::fgetc(in());
    if (c == EOF) end_of_input();
    while (c != '\n' && c != EOF) c = std::fgetc(in());
}

void end_of_input() {
    write("\n");
    write(messages::ending);
    g_end_action();
    std::exit(0);
}

void set_end_of_input_action(void (*action)()) { g_end_action = action ? action : exit_quietly; }

}  // namespace zubo::console
