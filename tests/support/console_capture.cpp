#include "support/console_capture.h"

#include <stdexcept>

namespace zubo::test {

ConsoleCapture::ConsoleCapture(const std::string& input, bool utf8) : in_(std::tmpfile()), out_(std::tmpfile()) {
    if (!in_ || !out_) throw std::runtime_error("tmpfile failed");
    std::fwrite(input.data(), 1, input.size(), in_);
    std::rewind(in_);
    set_streams(in_, out_);
    set_utf8(utf8);
    set_end_of_input_action([] { throw InputEnded{}; });
}

ConsoleCapture::~ConsoleCapture() {
    std::fclose(in_);
    std::fclose(out_);
}

static std::string rest_of(std::FILE* f, long from) {
    long saved = std::ftell(f);
    std::fseek(f, from, SEEK_SET);
    std::string bytes;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
    std::clearerr(f);
    std::fseek(f, saved, SEEK_SET);
    return bytes;
}

std::string ConsoleCapture::output() const {
    std::fflush(out_);
    return rest_of(out_, 0);
}

std::string ConsoleCapture::unread_input() const { return rest_of(in_, std::ftell(in_)); }

}  // namespace zubo::test
