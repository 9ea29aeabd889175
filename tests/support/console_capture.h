#pragma once
// Drives the console layer from a test: scripted input, captured output.

#include <cstdio>
#include <string>

namespace zubo::test {

class ConsoleCapture {
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
