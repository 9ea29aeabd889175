#pragma once
// The console layer: every byte zubo prints and every line or byte it reads
// passes through here. Tests swap the streams; the UTF-8 mode converts at
// this boundary only, so the screens always handle CP932 bytes.

#include <cstddef>
#include <cstdio>

namespace zubo::console {

// Replaces the input and output streams (stdin and stdout by default).
void set_streams(std::FILE* in, std::FILE* out);

// Switches conversion between the CP932 screens and a UTF-8 terminal.
void set_utf8(bool on);
bool utf8();

// Writes text as it stands, minus terminal control bytes, then flushes.
void write(const char* text);

// Formats with one of the program's own texts (never text from a file or
// the network) and writes the result as write() does.
void print(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Formats as print() does (%d, %ld and %s), each %s argument being text from
// the service's documents: its character references are decoded on the way
// out. A decoded character shows in UTF-8 mode as itself; in CP932 mode as
// its CP932 bytes, or, when it has none, as the reference it came from.
void print_decoded(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Reads one line, or the next piece of a longer one, as fgets does: at most
// size - 1 bytes, the newline included when it fits. Returns false at end
// of input, leaving buf as it was.
bool read_line_piece(char* buf, std::size_t size);

// Reads one byte; returns EOF at end of input.
int read_byte();

// Drops every C0 control byte but TAB and LF, and DEL, compacting in place.
// Returns the new length.
std::size_t strip_controls(char* bytes, std::size_t size);

}  // namespace zubo::console
