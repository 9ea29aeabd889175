#include "text/lines.h"

namespace zubo {

bool read_line_cut(std::FILE* f, char* buf, std::size_t size) {
    std::size_t len = 0;
    int c = EOF;
    while (len + 1 < size && (c = getc_unlocked(f)) != EOF) {
        buf[len++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buf[len] = '\0';
    if (len == 0 && c == EOF) return false;

    // Buffer full before the newline: skip what is left of the line.
    if (len + 1 >= size && c != '\n') {
        while ((c = getc_unlocked(f)) != EOF && c != '\n') {
        }
    }
    return true;
}

}  // namespace zubo
