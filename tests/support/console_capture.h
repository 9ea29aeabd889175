#pragma once
// Drives the console layer from a test: a Console on scripted input, its
// output captured. Where zubo would end at the end of input, the capture
// throws InputEnded instead, so a test sees the screens unwind and goes on.

#include <cstdio>
#include <string>

#include "console/console.h"

namespace zubo::test {

struct InputEnded {};

// Runs f; true when it ended at the end of input.
template <typename F>
bool ends_at_end_of_input(F f) {
    try {
        f();
    } catch (const InputEnded&) {
        return true;
    }
    return false;
}

class ConsoleCapture : public console::Console {
public:
    explicit ConsoleCapture(const std::string& input = "", bool utf8 = false);
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    // Every byte written so far.
    std::string output() const;
    // What of the input is still unread.
    std::string unread_input() const;

private:
    std::FILE* in_;
    std::FILE* out_;
};

}  // namespace zubo::test
