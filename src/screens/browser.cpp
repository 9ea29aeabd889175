#include "screens/browser.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "console/console.h"
#include "console/messages.h"

namespace zubo {
namespace {

std::vector<std::string> words_of(const char* text) {
    std::vector<std::string> words;
    for (const char* p = text;;) {
        p += std::strspn(p, " \t");
        if (!*p) return words;
        const std::size_t size = std::strcspn(p, " \t");
        words.emplace_back(p, size);
        p += size;
    }
}

// Whether a program of that name is on path, the directories of PATH.
bool on_path(const char* path, const char* program) {
    for (const char* p = path; p && *p;) {
        const std::size_t size = std::strcspn(p, ":");
        const std::string directory = size ? std::string(p, size) : ".";
        if (access((directory + "/" + program).c_str(), X_OK) == 0) return true;
        p += size;
        if (*p == ':') ++p;
    }
    return false;
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

// Runs the command and waits for it; the reason it could not start (an
// errno value), or 0.
int run_and_wait(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    // The exec's failure comes back through a pipe that its success closes.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return errno;
    const pid_t child = fork();
    if (child < 0) {
        const int error = errno;
        close(report[0]);
        close(report[1]);
        return error;
    }
    if (child == 0) {
        close(report[0]);
        execvp(argv[0], argv.data());
        const int error = errno;
        [[maybe_unused]] ssize_t written = write(report[1], &error, sizeof error);
        _exit(127);
    }
    close(report[1]);
    int error = 0;
    ssize_t got;
    do got = read(report[0], &error, sizeof error);
    while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got != static_cast<ssize_t>(sizeof error)) error = 0;
    // Ctrl-C reaches the browser too: zubo waits on.
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    return error;
}

}  // namespace

std::vector<std::string> browser_command(const char* browser, const char* path, const std::string& url) {
    std::vector<std::string> command = words_of(browser ? browser : "");
    if (command.empty()) {
        if (on_path(path, "xdg-open")) command = {"xdg-open", url};
        return command;
    }
    bool placed = false;
    for (std::string& word : command) {
        for (std::size_t at = 0; (at = word.find("%s", at)) != std::string::npos; at += url.size()) {
            word.replace(at, 2, url);
            placed = true;
        }
    }
    if (!placed) command.push_back(url);
    return command;
}

bool open_in_browser(Run& run, const std::string& url) {
    const std::vector<std::string> command = browser_command(std::getenv("BROWSER"), std::getenv("PATH"), url);
    if (command.empty()) {
        run.console.print(messages::no_browser, url.c_str());
        return false;
    }
    run.console.flush();
    const int error = run_and_wait(command);
    // What Ctrl-C the browser took was the browser's.
    run.console.clear_interrupt();
    if (error == 0) return true;
    run.console.print(messages::browser_failed, joined(command).c_str(), std::strerror(error));
    return false;
}

}  // namespace zubo
