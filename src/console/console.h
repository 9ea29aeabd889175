#pragma once
// The console layer: every byte zubo prints and every line it reads passes
// through a Console. Tests give it other streams; the UTF-8 mode converts at
// this boundary only, so the screens always handle CP932 bytes. Output is
// buffered and goes out whenever zubo is about to wait: before it reads a
// line that isn't there yet (here), before a download (the screens call
// flush), and at exit.

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

namespace zubo::console {

class EndHook;

// The terminal of one run: main makes it, and the screens print and read
// through it.
class Console {
public:
    // Reads stdin and writes stdout, CP932 as it stands.
    Console() = default;
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Replaces the input and output streams (stdin and stdout by default;
    // null puts the default back).
    void set_streams(std::FILE* in, std::FILE* out);

    // Switches conversion between the CP932 screens and a UTF-8 terminal.
    void set_utf8(bool on) { utf8_ = on; }
    bool utf8() const { return utf8_; }

    // Writes text as it stands, minus terminal control bytes.
    void write(const char* text);

    // Whether the output is a terminal (not a pipe or a file).
    bool output_is_terminal() const;

    // The terminal's size in rows and columns, read anew at each call; false
    // when the output is no terminal or doesn't say.
    bool terminal_size(int* rows, int* columns) const;

    // The terminal's size in pixels (its window's inside), read anew at
    // each call; false when it doesn't say (many terminals don't).
    bool terminal_pixels(int* width, int* height) const;

    // Whether the screens colour their text: on a terminal only, NO_COLOR
    // unset or empty, TERM set and not "dumb".
    bool colour_wanted() const;

    // Writes a program text spelled in UTF-8 (a command's help line): as it
    // stands on a UTF-8 console, in its CP932 form otherwise.
    void write_utf8(const char* text);

    // Writes the program's own terminal control sequences (a carriage return
    // that rewrites a line, colour) as they stand. Only for a terminal.
    void write_control(const char* sequence);

    // Puts everything written so far on the screen.
    void flush();

    // Formats with one of the program's own texts (never text from a file or
    // the network) and writes the result as write() does.
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Formats as print() does (%d, %ld and %s), each %s argument being text
    // from the service's documents: its character references are decoded on
    // the way out. A decoded character shows in UTF-8 mode as itself; in
    // CP932 mode as its CP932 bytes, or, when it has none, as the reference
    // it came from.
    void print_decoded(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The bytes print_decoded would write, as they would reach the terminal
    // (in UTF-8 mode, converted), for measuring what a screen line takes.
    std::string format_decoded(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Reads one typed line into a command buffer of size bytes: at most
    // size - 1 bytes, the newline included when it fits. The rest of a longer
    // line is read and dropped, so a long line is one command. At the end of
    // input it does not return: zubo ends (end_of_input).
    void read_command(char* buf, std::size_t size);

    // Waits for the user: reads one whole typed line and drops it. At the end
    // of input zubo ends.
    void pause();

    // Ends zubo when there is no more input: a line break, then "■終了します。"
    // and its newline, then the end action, which by default ends the process
    // with status 0 (130 when an interrupt is pending).
    [[noreturn]] void end_of_input();

    // Ends the process with status once the output is out. The libraries'
    // exit handlers are skipped: they only free what the process gives back
    // anyway (OpenSSL's cleanup alone is a good part of a thread's reading);
    // what must be done at the end is done by EndHooks.
    [[noreturn]] void end_now(int status);

    // Ctrl-C. From catch_interrupts() on, SIGINT only marks an interrupt as
    // pending: a download that asks interrupt_pending() gives up and its
    // screen clears the mark; anywhere else the next read ends zubo as the
    // end of input does, with status 130. The mark is the process's, as a
    // signal is: these need no Console.
    static void catch_interrupts();
    static bool interrupt_pending();
    static void clear_interrupt();

    // Replaces the end action (for tests, which throw). The action must not
    // return; if it does, the process ends all the same.
    void set_end_of_input_action(void (*action)()) { end_action_ = action; }

    // Drops every C0 control byte but TAB and LF, and DEL, compacting in
    // place. Returns the new length.
    static std::size_t strip_controls(char* bytes, std::size_t size);

private:
    friend class EndHook;

    std::FILE* in() const { return in_ ? in_ : stdin; }
    std::FILE* out() const { return out_ ? out_ : stdout; }
    // Writes CP932 bytes already stripped of control bytes, converted when
    // the terminal speaks UTF-8.
    void put(const char* bytes, std::size_t size);
    // An interrupt that came while zubo was busy ends it before it waits.
    void end_if_interrupted();
    // Waits until the input has something to read, or ends zubo at Ctrl-C,
    // however close to the wait it came.
    void wait_for_input();

    std::FILE* in_ = nullptr;
    std::FILE* out_ = nullptr;
    bool utf8_ = false;
    EndHook* newest_hook_ = nullptr;
    // Null: the process ends.
    void (*end_action_)() = nullptr;
};

// Work that must be done however a screen is left (its read state): when
// the hook goes out of scope, or, when zubo ends at the end of input
// while it lives, before the end action (newest hook first). It runs once.
class EndHook {
public:
    EndHook(Console& console, std::function<void()> work);
    ~EndHook();
    void run_once();
    EndHook* older() const { return older_; }
    EndHook(const EndHook&) = delete;
    EndHook& operator=(const EndHook&) = delete;

private:
    Console& console_;
    std::function<void()> work_;
    EndHook* older_;
};

}  // namespace zubo::console
