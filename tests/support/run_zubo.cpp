#include "support/run_zubo.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace zubo::test {
namespace {

const char* const kProxyVariables[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                       "all_proxy",  "ALL_PROXY",  "no_proxy",    "NO_PROXY"};
const char* const kLocaleVariables[] = {"LANG", "LANGUAGE", "LC_ALL", "LC_CTYPE", "LC_MESSAGES"};

[[noreturn]] void exec_child(const ZuboOptions& options, int in, int out, int err) {
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
    if (options.file_size_limit >= 0) {
        const rlimit limit{static_cast<rlim_t>(options.file_size_limit), static_cast<rlim_t>(options.file_size_limit)};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    for (const char* name : kProxyVariables) unsetenv(name);
    for (const char* name : kLocaleVariables) unsetenv(name);
    // No test opens the user's browser: one that wants a browser sets
    // BROWSER to a script of its own.
    unsetenv("BROWSER");
    // zubo keeps its files in the test's directory, never in the real home.
    setenv("ZUBO_HOME", options.cwd.empty() ? "." : options.cwd.c_str(), 1);
    // The C locale keeps the console in CP932, whatever the test's own
    // environment says; a test that wants a UTF-8 locale sets LANG.
    bool sets_locale = false;
    for (const auto& [name, value] : options.env) sets_locale |= name == "LANG" || name.rfind("LC_", 0) == 0;
    if (!sets_locale) setenv("LC_ALL", "C", 1);
    for (const auto& [name, value] : options.env) setenv(name.c_str(), value.c_str(), 1);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(ZUBO_BINARY));
    for (const auto& arg : options.args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(ZUBO_BINARY, argv.data());
    _exit(127);
}

}  // namespace

ZuboRun run_zubo(const ZuboOptions& options) {
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe failed");
    signal(SIGPIPE, SIG_IGN);

    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        close(in[1]);
        close(out[0]);
        close(err[0]);
        exec_child(options, in[0], out[1], err[1]);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    fcntl(in[1], F_SETFL, O_NONBLOCK);

    ZuboRun run;
    std::size_t written = 0;
    int to_child = in[1];
    if (options.input.empty()) {
        close(to_child);
        to_child = -1;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
    bool out_open = true, err_open = true;
    while (out_open || err_open) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || (options.kill_when && options.kill_when())) {
            kill(pid, SIGKILL);
            break;
        }
        pollfd fds[3] = {{out_open ? out[0] : -1, POLLIN, 0},
                         {err_open ? err[0] : -1, POLLIN, 0},
                         {to_child, POLLOUT, 0}};
        const long wait_ms = options.kill_when ? std::min<long>(left.count(), 5) : static_cast<long>(left.count());
        if (poll(fds, 3, static_cast<int>(wait_ms)) < 0) continue;
        char chunk[65536];
        if (fds[0].revents) {
            ssize_t n = read(out[0], chunk, sizeof chunk);
            if (n > 0) run.out.append(chunk, static_cast<std::size_t>(n));
            else out_open = false;
        }
        if (fds[1].revents) {
            ssize_t n = read(err[0], chunk, sizeof chunk);
            if (n > 0) run.err.append(chunk, static_cast<std::size_t>(n));
            else err_open = false;
        }
        if (to_child >= 0 && fds[2].revents) {
            ssize_t n = write(to_child, options.input.data() + written, options.input.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            if (n < 0 || written == options.input.size()) {
                close(to_child);
                to_child = -1;
            }
        }
    }
    if (to_child >= 0) close(to_child);
    close(out[0]);
    close(err[0]);

    int status = 0;
    waitpid(pid, &status, 0);
    run.exited = WIFEXITED(status);
    if (run.exited) run.status = WEXITSTATUS(status);
    return run;
}

}  // namespace zubo::test
