#include "screens/post_screen.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "console/console.h"
#include "console/messages.h"
#include "net/post.h"
#include "screens/commands.h"
#include "screens/download_report.h"
#include "screens/post_draft.h"
#include "store/clock.h"
#include "store/database.h"

namespace zubo {
namespace {

// A confirmation page shows at most this many lines in a pipe.
constexpr int kPipePageLines = 20;

// The editor's command: $VISUAL, else $EDITOR; empty when neither is set
// or zubo is not on a terminal.
std::string editor_command(console::Console& console) {
    if (!console.output_is_terminal() || !isatty(STDIN_FILENO)) return {};
    for (const char* name : {"VISUAL", "EDITOR"}) {
        const char* value = std::getenv(name);
        if (value && value[strspn(value, " \t")]) return value;
    }
    return {};
}

// Runs the command's words with path after them, no shell between, and
// waits for it. False, said, when it could not run.
bool run_editor(console::Console& console, const std::string& command, const std::string& path) {
    std::vector<std::string> words;
    for (std::size_t at = 0; at < command.size();) {
        const std::size_t start = command.find_first_not_of(" \t", at);
        if (start == std::string::npos) break;
        const std::size_t end = std::min(command.find_first_of(" \t", start), command.size());
        words.push_back(command.substr(start, end - start));
        at = end;
    }
    words.push_back(path);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    console.flush();
    const pid_t child = fork();
    if (child < 0) {
        console.print(messages::editor_failed, std::strerror(errno));
        return false;
    }
    if (child == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127) {
        console.print(messages::editor_failed, argv[0]);
        return false;
    }
    return true;
}

// One line asked, CP932, without its line end.
std::string ask_line(console::Console& console, const char* question) {
    console.write(question);
    TypedLine line;
    line.read(console);
    return line.text();
}

class PostWriter {
public:
    PostWriter(Run& run, const PostPlace& place)
        : run_(run), console_(run.console), place_(place), new_thread_(place.key.empty()),
          path_(draft_path(place.board, place.key)), editor_(editor_command(console_)) {}

    PostResult write(int anchor) {
        PostResult result;
        if (path_.empty()) return result;
        // A draft kept from before is where the post starts: the editor
        // opens on it, the questions are asked again only for e.
        bool edit = true;
        if (std::optional<std::string> kept = read_draft_file(path_)) {
            draft_ = read_draft_text(draft_from_file_bytes(*kept, console_.utf8()));
            edit = !editor_.empty();
        } else {
            draft_.mail = "sage";
            if (anchor > 0) draft_.body = ">>" + std::to_string(anchor) + "\n";
            start_ = draft_.body;
        }
        for (;;) {
            if (edit && !compose()) return result;
            edit = false;
            console_.write(draft_text(draft_, new_thread_).c_str());
            const std::string answer = ask_line(console_, messages::post_send_prompt);
            if (answer == "e" || answer == "E") {
                edit = true;
                continue;
            }
            if (answer != "y" && answer != "Y") {
                keep();
                return result;
            }
            if (draft_.body.find_first_not_of(" \t\r\n") == std::string::npos) {
                console_.write(messages::empty_body);
                keep();
                return result;
            }
            break;
        }
        keep_quietly();
        result.body = draft_.body;
        if (const int left = wait_left(); left > 0) {
            console_.print(messages::post_wait, left);
            keep();
            return result;
        }
        const std::optional<PostAnswer> sent = send();
        if (!sent) {
            keep();
            return result;
        }
        const PostAnswer& answer = *sent;
        say(answer);
        if (answer.outcome == PostOutcome::kDone) {
            std::remove(path_.c_str());
            result.written = true;
            result.post_number = answer.post_number;
        }
        return result;
    }

private:
    // The draft written anew, by the editor or the questions; false when
    // the editor could not run.
    bool compose() {
        if (!editor_.empty()) {
            if (!keep_quietly()) return false;
            if (!run_editor(console_, editor_, path_)) return false;
            std::optional<std::string> edited = read_draft_file(path_);
            if (!edited) return false;
            draft_ = read_draft_text(draft_from_file_bytes(*edited, console_.utf8()));
            return true;
        }
        if (new_thread_) draft_.title = ask_line(console_, messages::ask_title);
        draft_.name = ask_line(console_, messages::ask_name);
        draft_.mail = ask_line(console_, messages::ask_mail);
        console_.write(messages::ask_body);
        // The anchor a new reply starts with comes before the lines typed.
        std::string body = start_;
        start_.clear();
        if (!body.empty() && body.back() == '\n') body.pop_back();
        for (;;) {
            TypedLine line;
            line.read(console_);
            if (std::strcmp(line.text(), ".") == 0) break;
            if (!body.empty()) body += "\n";
            body += line.text();
        }
        draft_.body = body;
        return true;
    }

    bool keep_quietly() {
        if (write_draft_file(path_, draft_file_bytes(draft_text(draft_, new_thread_), console_.utf8()))) return true;
        console_.print(messages::draft_not_written, path_.c_str());
        return false;
    }

    void keep() {
        if (keep_quietly()) console_.print(messages::draft_kept, path_.c_str());
    }

    // The seconds before the board takes a post again, as it said last.
    int wait_left() const {
        if (!run_.state) return 0;
        const std::optional<long long> until = run_.state->post_wait(place_.board).found;
        const long long left = until ? *until - store::now_seconds() : 0;
        return left > 0 ? static_cast<int>(left) : 0;
    }

    PostAnswer exchange(const std::string& url, const std::string& referer, const std::string& body) {
        const PostExchange sent = send_post(url, referer, body, kCookieFile, interactive_limits(run_));
        if (!sent.answered) return {};
        return read_post_answer(sent.status, sent.headers, sent.body, sent.url);
    }

    // The post sent, and its confirmation page accepted when the user
    // does: one confirmation, no more. None when the user declined it.
    std::optional<PostAnswer> send() {
        const long long now = store::now_seconds();
        drop_expiring_tickets(kCookieFile, now);
        PostAnswer answer =
            exchange(post_url(place_), post_referer(place_), post_form_body(place_, draft_, now - 30));
        if (answer.outcome != PostOutcome::kConfirm) return answer;
        show_page(answer.message);
        const std::string accept = ask_line(console_, messages::post_accept_prompt);
        if (accept != "y" && accept != "Y") return std::nullopt;
        answer = exchange(answer.form.action, post_url(place_), confirm_form_body(answer.form));
        if (answer.outcome == PostOutcome::kConfirm) answer.outcome = PostOutcome::kUnknown;
        return answer;
    }

    // The page's text, at most a page of the terminal (20 lines in a pipe).
    void show_page(const std::string& text) {
        int rows = kPipePageLines, columns = 0;
        if (console_.terminal_size(&rows, &columns)) rows = std::max(1, rows - 1);
        std::size_t end = 0;
        for (int line = 0; line < rows && end != std::string::npos; ++line) {
            end = text.find('\n', end);
            if (end != std::string::npos) ++end;
        }
        std::string shown = text.substr(0, end == std::string::npos ? text.size() : end);
        if (!shown.empty() && shown.back() != '\n') shown += "\n";
        console_.write(shown.c_str());
    }

    void say(const PostAnswer& answer) {
        switch (answer.outcome) {
        case PostOutcome::kDone:
            return console_.write(messages::post_done);
        case PostOutcome::kError:
        case PostOutcome::kBusy:
            console_.print(messages::post_failed, answer.message.c_str());
            return keep();
        case PostOutcome::kWait:
            if (run_.state) run_.state->set_post_wait(place_.board, store::now_seconds() + answer.wait_seconds);
            console_.print(messages::post_wait, answer.wait_seconds);
            return keep();
        case PostOutcome::kBrokenTicket:
            drop_ticket(kCookieFile);
            console_.write(messages::post_ticket_dropped);
            return keep();
        case PostOutcome::kConfirm:
        case PostOutcome::kUnknown:
            console_.write(messages::post_unknown);
            return keep();
        }
    }

    Run& run_;
    console::Console& console_;
    const PostPlace& place_;
    const bool new_thread_;
    const std::string path_;
    const std::string editor_;
    PostDraft draft_;
    std::string start_;  // the body a new draft starts with
};

}  // namespace

PostResult write_post(Run& run, const PostPlace& place, int anchor) { return PostWriter(run, place).write(anchor); }

}  // namespace zubo
