#pragma once
// Runs the built zubo as a user would: a child process in a given working
// directory, with scripted standard input.

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace zubo::test {

struct ZuboRun {
    std::string out;
    std::string err;
    bool exited = false;  // false: killed at the time limit, or by a signal
    int status = -1;      // exit status when exited
};

struct ZuboOptions {
    std::vector<std::string> args;
    std::string input;
    std::string cwd;
    // Set in the child's environment; the proxy and locale variables are
    // cleared first, so only what a test sets here reaches zubo. Without a
    // LANG or LC_ variable here, zubo runs with LC_ALL=C.
    std::vector<std::pair<std::string, std::string>> env;
    int timeout_seconds = 60;
    // When not negative: the child's file-size limit (RLIMIT_FSIZE) in
    // bytes; its writes past it fail (EFBIG), as on a full disk, and 0
    // refuses every write, even root's.
    long long file_size_limit = -1;
    // When set, asked every few milliseconds while zubo runs: zubo is
    // killed (SIGKILL) as soon as it returns true.
    std::function<bool()> kill_when = nullptr;
};

ZuboRun run_zubo(const ZuboOptions& options);

}  // namespace zubo::test
