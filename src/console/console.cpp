#include "console/console.h"

#include <cstdarg>
#include <cstring>

#include "text/gc_bytes.h"
#include "text/sjis.h"

namespace zubo::console {
namespace {

std::FILE* g_in = nullptr;
std::FILE* g_out = nullptr;
bool g_utf8 = false;

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

bool read_line_piece(char* buf, std::size_t size) {
    if (!g_utf8) return std::fgets(buf, static_cast<int>(size), in()) != nullptr;

    // A UTF-8 line takes more bytes than its CP932 form: read up to four
    // times the screen's buffer, then hand over the converted line cut to it.
    char raw[4 * 320];
    std::size_t raw_size = size * 4 < sizeof raw ? size * 4 : sizeof raw;
    if (!std::fgets(raw, static_cast<int>(raw_size), in())) return false;
    std::size_t converted = 0;
    const char* sjis_line = sjis::from_utf8(raw, std::strlen(raw), &converted);
    if (converted > size - 1) converted = size - 1;
    std::memcpy(buf, sjis_line, converted);
    buf[converted] = '\0';
    return true;
}

int read_byte() { return std::fgetc(in()); }

}  // namespace zubo::console
