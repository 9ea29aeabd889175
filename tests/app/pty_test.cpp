// zubo through a pseudo-terminal, as a user meets it: every prompt must be
// on the screen before zubo waits for the line that answers it, or the
// test, which types only after seeing the prompt, times out.

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "sample_board.h"
#include "screens/board_list.h"
#include "store/database.h"
#include "support/e2e.h"
#include "support/encoding.h"
#include "support/files.h"
#include "loopback_server.h"
#include "support/temp_dir.h"

extern char** environ;

namespace zubo {
namespace {

using Env = std::vector<std::pair<std::string, std::string>>;

// The variables a test decides for itself: proxies and the locale.
bool is_set_by_the_test(const char* entry) {
    static const char* const kNames[] = {"http_proxy=", "HTTP_PROXY=", "https_proxy=", "HTTPS_PROXY=",
                                         "all_proxy=",  "ALL_PROXY=",  "no_proxy=",    "NO_PROXY=",
                                         "LANG=",       "LANGUAGE=",   "LC_",         "NO_COLOR=", "TERM="};
    for (const char* name : kNames) {
        if (std::strncmp(entry, name, std::strlen(name)) == 0) return true;
    }
    return false;
}

class Terminal {
public:
    Terminal(const std::vector<std::string>& args, const std::string& cwd, const Env& env, int rows = 40,
             int columns = 120) {
        // Everything the child needs is built before the fork: the test
        // process has server threads, so the child only calls exec.
        std::vector<std::string> env_strings;
        for (char** e = environ; *e; ++e) {
            if (!is_set_by_the_test(*e)) env_strings.push_back(*e);
        }
        env_strings.push_back("ZUBO_HOME=" + cwd);
        for (const auto& [name, value] : env) env_strings.push_back(name + "=" + value);
        std::vector<char*> envp;
        for (std::string& s : env_strings) envp.push_back(s.data());
        envp.push_back(nullptr);
        std::vector<std::string> arg_strings{ZUBO_BINARY};
        arg_strings.insert(arg_strings.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& s : arg_strings) argv.push_back(s.data());
        argv.push_back(nullptr);

        winsize size{};
        size.ws_row = static_cast<unsigned short>(rows);
        size.ws_col = static_cast<unsigned short>(columns);
        pid_ = forkpty(&master_, nullptr, nullptr, &size);
        if (pid_ == 0) {
            if (chdir(cwd.c_str()) != 0) _exit(126);
            execve(ZUBO_BINARY, argv.data(), envp.data());
            _exit(127);
        }
    }

    ~Terminal() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) close(master_);
    }

    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    bool started() const { return pid_ > 0; }

    // Reads until text appears after what earlier waits matched.
    ::testing::AssertionResult shows(const std::string& text, int seconds = 5) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        for (;;) {
            std::string::size_type at = screen_.find(text, seen_);
            if (at != std::string::npos) {
                seen_ = at + text.size();
                return ::testing::AssertionSuccess();
            }
            if (!read_some(deadline)) {
                return ::testing::AssertionFailure()
                       << "never shown: [" << text << "]\nafter: [" << screen_.substr(seen_) << "]";
            }
        }
    }

    void resize(int rows, int columns) {
        winsize size{};
        size.ws_row = static_cast<unsigned short>(rows);
        size.ws_col = static_cast<unsigned short>(columns);
        ASSERT_EQ(ioctl(master_, TIOCSWINSZ, &size), 0);
    }

    // What was shown since the last match, up to text (which is then
    // matched); empty when text never shows.
    std::string shown_before(const std::string& text) {
        std::string::size_type from = seen_;
        if (!shows(text)) return "";
        return screen_.substr(from, seen_ - text.size() - from);
    }

    void type(const std::string& line) {
        ASSERT_EQ(write(master_, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    }

    // The exit status once zubo has ended, or -1 at the time limit.
    int exit_status(int seconds = 5) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (read_some(deadline)) {
        }
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(10000);
        }
        return -1;
    }

    // Everything shown so far; the terminal's CR before each LF is removed
    // (zubo itself never prints a CR).
    const std::string& screen() const { return screen_; }

private:
    // Appends what the terminal shows; false at the deadline or when the
    // child has closed the terminal.
    bool read_some(std::chrono::steady_clock::time_point deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) return false;
        char chunk[4096];
        ssize_t n = read(master_, chunk, sizeof chunk);
        if (n <= 0) return false;
        for (ssize_t i = 0; i < n; ++i) {
            if (chunk[i] != '\r') screen_ += chunk[i];
        }
        return true;
    }

    pid_t pid_ = -1;
    int master_ = -1;
    bool exited_ = false;
    std::string screen_;
    std::string::size_type seen_ = 0;
};

// The position of the first byte that breaks UTF-8, or npos.
std::string::size_type invalid_utf8_at(const std::string& s) {
    for (std::string::size_type i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int follow = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
        if (follow < 0 || c == 0xC0 || c == 0xC1 || c > 0xF4 || i + follow >= s.size()) return i;
        for (int k = 1; k <= follow; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return i;
        }
        i += static_cast<std::string::size_type>(follow) + 1;
    }
    return std::string::npos;
}

// The rows UTF-8 text takes on a terminal of the given width, counted
// here as a terminal lays it out, not by the code under test: escape
// sequences take none, tabs stop every eight columns, characters outside
// ASCII and the half-width kana are two columns wide and never split, and
// a line that fills the width exactly takes one row. A final newline
// starts no row.
int rows_on_terminal(const std::string& text, int columns) {
    int rows = 0;
    int column = 0;
    bool row_open = false;
    for (std::string::size_type i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0x1b) {
            i = text.find_first_of("ABCDHJKm", i) + 1;
            continue;
        }
        const int size = c < 0x80 ? 1 : c < 0xe0 ? 2 : c < 0xf0 ? 3 : 4;
        const bool half_kana = size == 3 && c == 0xef && (static_cast<unsigned char>(text[i + 1]) == 0xbd ||
                                                          static_cast<unsigned char>(text[i + 1]) == 0xbe) &&
                               !(static_cast<unsigned char>(text[i + 1]) == 0xbd && static_cast<unsigned char>(text[i + 2]) < 0xa1);
        i += static_cast<std::string::size_type>(size);
        if (c == '\n') {
            if (!row_open) ++rows;
            row_open = false;
            column = 0;
            continue;
        }
        const int width = c == '\t' ? 8 - column % 8 : size == 1 || half_kana ? 1 : 2;
        if (!row_open || column + (c == '\t' ? 1 : width) > columns) {
            ++rows;
            row_open = true;
            column = 0;
        }
        column = std::min(columns, column + width);
    }
    return rows;
}

// The sample boards on a loopback server; the board menu is reached only
// through the proxy form, as zubo asks for it with http_proxy set.
class PtyTest : public ::testing::Test {
protected:
    PtyTest() {
        for (const auto& [path, body] : docs_) {
            if (path == "/bbsmenu.html") {
                server_.serve(kBoardMenuUrl, body);
            } else {
                server_.serve(path, body);
            }
        }
    }

    // A text as zubo shows it in the mode under test.
    std::string shown(const std::string& utf8_text) const { return utf8_ ? utf8_text : test::sjis(utf8_text); }

    // zubo with -u in UTF-8 mode, -s in CP932 mode, in the C locale;
    // locale: a LANG to run under instead, without either.
    Terminal start(const std::string& locale = "", int rows = 40, int columns = 120, bool colour = false) {
        std::vector<std::string> args;
        if (locale.empty()) args.push_back(utf8_ ? "-u" : "-s");
        Env env{{"http_proxy", server_.url("")}, {"no_proxy", "127.0.0.1"}, {"TERM", "xterm"}};
        if (!colour) env.emplace_back("NO_COLOR", "1");
        env.push_back(locale.empty() ? std::make_pair("LC_ALL", "C") : std::make_pair("LANG", locale));
        return Terminal(args, dir_.path(), env, rows, columns);
    }

    std::string board_prompt() const { return test::utf8(test::board_prompt(boards_.size())); }
    static std::string thread_prompt(const sample::Board& b) { return test::utf8(test::thread_prompt(b.threads.size())); }
    // A thread's label in the list: its title and post count, as subject.txt
    // gives them.
    static std::string label(const sample::Thread& t) {
        return t.title + " (" + std::to_string(t.lines.size()) + ")";
    }
    static constexpr char kPromptEnd[] = " j[数値]:ジャンプ b:前 e:戻る ?:ヘルプ)";
    // The thread prompt's start, whatever page it ends.
    static std::string post_prompt(const sample::Thread& t) { return "■--[" + label(t) + "]--("; }

    void expect_valid_utf8(const std::string& screen) {
        auto at = invalid_utf8_at(screen);
        EXPECT_EQ(at, std::string::npos) << "invalid UTF-8 after: " << screen.substr(at < 200 ? 0 : at - 200, 200);
    }

    bool utf8_ = true;
    LoopbackServer server_;
    const std::map<std::string, std::string> docs_ = sample::documents(server_.url(""));
    test::TempDir dir_;
    const std::vector<const sample::Board*> boards_ = sample::boards_in_order();
};

class PtyModeTest : public PtyTest, public ::testing::WithParamInterface<bool> {
protected:
    PtyModeTest() { utf8_ = GetParam(); }
};

TEST_P(PtyModeTest, TypicalRoadFromTheFirstStartToTheEnd) {
    const sample::Board& board = *boards_[0];
    const sample::Thread& thread = board.threads[0];
    ASSERT_GT(boards_.size(), 20u);
    ASSERT_GT(board.threads.size(), 20u);

    Terminal term = start();
    ASSERT_TRUE(term.started());
    ASSERT_TRUE(term.shows(shown("■板リストファイルをダウンロードしています...\nok\n1 : " + board.name + "\n")));
    // The first page fills the terminal's 40 rows but the prompt's one:
    // every board name takes one row of 120 columns.
    ASSERT_EQ(rows_on_terminal(board_prompt(), 120), 1);
    const std::size_t page = std::min<std::size_t>(39, boards_.size());
    ASSERT_TRUE(term.shows(shown(std::to_string(page) + " : " + boards_[page - 1]->name + "\n" + board_prompt())));
    term.type("1\n");

    ASSERT_TRUE(term.shows(shown("■スレッド[1 : " + board.name + "]を開きます\n")));
    ASSERT_TRUE(term.shows(shown("■スレッド一覧を読み込んでいます...OK.\n■------スレッド一覧を表示------\n1 : " +
                                 label(thread) + "\n")));
    ASSERT_TRUE(term.shows(shown(thread_prompt(board))));
    term.type("1\n");

    ASSERT_TRUE(term.shows(shown("■ファイル[1 : " + label(thread) + "]を開きます\n")));
    ASSERT_TRUE(term.shows(shown("■スレッドを読み込んでいます...OK.\n■------スレッドを表示------\n1 : ")));
    // Line breaks, the anchor's tags and character references rendered.
    ASSERT_TRUE(term.shows(shown("\n\t 書き込みは \"読むだけ\" です。 \n2 : ")));
    ASSERT_TRUE(term.shows(
        shown("\t >>1 乙です。 \n\t タグは <b>太字</b> のように見えます。 \n\t 記号 &amp; は & と出ます。")));
    ASSERT_TRUE(term.shows(shown(post_prompt(thread))));
    term.type("e\n");

    // The thread list shows again the page whose prompt opened the thread.
    const sample::Thread& last = board.threads.back();
    ASSERT_TRUE(term.shows(shown("1 : " + label(thread))));
    ASSERT_TRUE(term.shows(shown(thread_prompt(board))));
    // Its last page ends in a prompt too; Enter there goes back to the
    // board list at once, with nothing more to type.
    term.type("j" + std::to_string(board.threads.size()) + "\n");
    ASSERT_TRUE(term.shows(shown(std::to_string(board.threads.size()) + " : " + label(last) + "\n" +
                                 thread_prompt(board))));
    term.type("\n");
    ASSERT_TRUE(term.shows(shown("■板一覧に戻ります\n1 : " + board.name + "\n")));
    ASSERT_TRUE(term.shows(shown(board_prompt())));

    // So does the board list, to the prompt after its last entry.
    term.type("j" + std::to_string(boards_.size()) + "\n");
    ASSERT_TRUE(term.shows(shown(std::to_string(boards_.size()) + " : " + boards_.back()->name + "\n" + board_prompt())));
    term.type("e\n");
    ASSERT_TRUE(term.shows(shown("■終了します。\n")));
    EXPECT_EQ(term.exit_status(), 0);

    if (utf8_) {
        expect_valid_utf8(term.screen());
    } else {
        EXPECT_FALSE(test::utf8(term.screen()).empty());  // fails the test unless all of it is CP932
    }
    std::vector<SeenRequest> requests = server_.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].target, kBoardMenuUrl);
    // Files keep the bytes as served, whatever the console shows.
    EXPECT_EQ(test::read_file(dir_.file("italist.txt")), docs_.at("/bbsmenu.html"));
    EXPECT_EQ(test::read_file(dir_.file("boards/" + board.dir + "/dat/" + thread.key)), docs_.at("/" + board.dir + "/dat/" + thread.key));
}

INSTANTIATE_TEST_SUITE_P(Modes, PtyModeTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Utf8" : "Cp932"; });

// With -u: a search typed in UTF-8, a jump to post 1001 and a UTF-8 NG
// word.
TEST_F(PtyTest, Utf8SearchJumpAndNgWords) {
    test::write_file(dir_.file("ngword.txt"), "儲かる\n");
    Terminal term = start();
    ASSERT_TRUE(term.started());
    ASSERT_TRUE(term.shows(board_prompt()));

    const std::string pattern = "プログラム";
    std::string hits;
    int prog = 0;
    for (std::size_t i = 0; i < boards_.size(); ++i) {
        if (boards_[i]->name.find(pattern) == std::string::npos) continue;
        hits += std::to_string(i + 1) + " : " + boards_[i]->name + "\n";
        if (!boards_[i]->threads.empty() && !prog) prog = static_cast<int>(i + 1);
    }
    ASSERT_GT(prog, 0);
    term.type("s" + pattern + "\n");
    ASSERT_TRUE(term.shows("■" + pattern + "を検索...\n" + hits + "■検索結果は以上です。読みたい板番号を入力?(1-" +
                           std::to_string(boards_.size()) + ")"));
    term.type(std::to_string(prog) + "\n");

    const sample::Board& board = *boards_[prog - 1];
    const sample::Thread& full = board.threads[0];
    ASSERT_EQ(full.lines.size(), 1001u);
    ASSERT_TRUE(term.shows(thread_prompt(board)));
    term.type("1\n");
    ASSERT_TRUE(term.shows(post_prompt(full)));
    term.type("j1001\n");
    ASSERT_TRUE(term.shows("\n1001 : １００１ [] Over 1000 Thread\n\t このスレッドは１０００を超えました。 \n"));
    ASSERT_TRUE(term.shows("■このスレッドは終わっています (t:次スレ候補)\n" + post_prompt(full) + "1001-1001/1001 "));
    // f, then t finds the successor the 1000th post names; opened, it
    // takes the favourite's place, so f there takes it out.
    const sample::Thread& next = board.threads[1];
    term.type("f\nt\n");
    ASSERT_TRUE(term.shows("■お気に入りに追加しました\n"));
    ASSERT_TRUE(term.shows("■次スレ候補\n1 : " + label(next) + "\n■--開く番号?(1-1 Enter:戻る)--"));
    term.type("1\n");
    ASSERT_TRUE(term.shows(post_prompt(next) + "1-2/2 "));
    term.type("f\n");
    ASSERT_TRUE(term.shows("■お気に入りから外しました\n"));
    term.type("e\n");
    ASSERT_TRUE(term.shows(post_prompt(full) + "1001-1001/1001 "));
    // No command at the last page stays there: the 2 opens nothing
    // anywhere; Enter goes back.
    term.type("2\n");
    ASSERT_TRUE(term.shows("■不明な入力です: 2 (?:ヘルプ)\n■このスレッドは終わっています (t:次スレ候補)\n" +
                           post_prompt(full) + "1001-1001/1001 "));
    term.type("\n");
    ASSERT_TRUE(term.shows("■スレッド一覧に戻ります\n"));
    ASSERT_TRUE(term.shows(std::to_string(board.threads.size()) + " : " + label(board.threads.back()) + "\n" +
                           thread_prompt(board)));
    term.type("\n");
    ASSERT_TRUE(term.shows("■板一覧に戻ります\n"));
    term.type("\n");

    ASSERT_TRUE(term.shows(board_prompt()));
    term.type("1\n");
    ASSERT_TRUE(term.shows(thread_prompt(*boards_[0])));
    term.type("1\n");
    ASSERT_TRUE(term.shows("\n3 : あぼ～ん [あぼ～ん] あぼ～ん\n\tあぼ～ん\n"));
    ASSERT_TRUE(term.shows(post_prompt(boards_[0]->threads[0])));
    term.type("e\n");
    ASSERT_TRUE(term.shows(thread_prompt(*boards_[0])));
    term.type("\n");
    ASSERT_TRUE(term.shows("■板一覧に戻ります\n"));
    term.type("\n");
    ASSERT_TRUE(term.shows(board_prompt()));
    term.type("e\n");
    ASSERT_TRUE(term.shows("■終了します。\n"));
    EXPECT_EQ(term.exit_status(), 0);
    expect_valid_utf8(term.screen());
    EXPECT_EQ(term.screen().find("儲かる話"), std::string::npos);
    EXPECT_EQ(term.screen().find("■ファイル[2 :"), std::string::npos);
}

// Pages fill the terminal less the prompt's rows, at its size of the
// moment; colour on a terminal, reset before each line's end.
TEST_F(PtyTest, PagesFitTheTerminalAsItIsResized) {
    const sample::Board& board = *boards_[0];
    Terminal term = start("", 10, 40, true);
    ASSERT_TRUE(term.shows(board_prompt()));
    term.type("1\n");
    ASSERT_TRUE(term.shows(thread_prompt(board)));
    term.type("1\n");
    ASSERT_TRUE(term.shows("■------スレッドを表示------\n"));
    const std::string prompt = post_prompt(board.threads[0]);
    const int prompt_rows = rows_on_terminal(prompt + "1-1/7" + kPromptEnd, 40);
    std::string small = term.shown_before(prompt);
    EXPECT_LE(rows_on_terminal(small, 40), 10 - prompt_rows) << small;
    EXPECT_NE(small.find("\x1b[1m1\x1b[0m : "), std::string::npos);
    EXPECT_EQ(small.find("\x1b[36m>>1"), std::string::npos);
    term.resize(40, 120);
    term.type("\n");
    ASSERT_TRUE(term.shows("\n"));
    std::string big = term.shown_before(prompt);
    EXPECT_LE(rows_on_terminal(big, 120), 39);
    EXPECT_GT(rows_on_terminal(big, 120), 10) << big;
    term.type("\x04");
    EXPECT_EQ(term.exit_status(), 0);
}

// What a command prints, taller than the terminal, goes a page at a time,
// each page and its prompt within the terminal; Enter shows the next, e
// the count line and the thread prompt.
TEST_F(PtyTest, LongResultsGoAPageAtATime) {
    int board_number = 0;
    for (std::size_t i = 0; i < boards_.size() && !board_number; ++i) {
        if (!boards_[i]->threads.empty() && boards_[i]->threads[0].lines.size() == 1001) board_number = static_cast<int>(i + 1);
    }
    ASSERT_GT(board_number, 0);
    const sample::Board& board = *boards_[static_cast<std::size_t>(board_number - 1)];
    constexpr int kRows = 12, kColumns = 80;
    Terminal term = start("", kRows, kColumns);
    ASSERT_TRUE(term.shows(board_prompt()));
    term.type(std::to_string(board_number) + "\n");
    ASSERT_TRUE(term.shows(thread_prompt(board)));
    term.type("1\n");
    ASSERT_TRUE(term.shows(post_prompt(board.threads[0])));
    ASSERT_TRUE(term.shows(kPromptEnd));
    // Posts 5, 15, ... 995: a hundred bodies hold "5番目".
    term.type("/5番目\n");
    const std::string first_page = term.shown_before("■--(1-");
    ASSERT_FALSE(first_page.empty());
    ASSERT_TRUE(term.shows("/100件 Enter:続き e:やめる)--"));
    // The terminal echoes the line typed; the results follow it.
    EXPECT_EQ(first_page.find("/5番目\n5 : "), 0u) << first_page;
    EXPECT_LE(rows_on_terminal(first_page + "■--(1-10/100件 Enter:続き e:やめる)--", kColumns), kRows);
    term.type("\n");
    const std::string second_page = term.shown_before("/100件 Enter:続き e:やめる)--");
    EXPECT_NE(second_page.find(" : "), std::string::npos);
    EXPECT_LE(rows_on_terminal(second_page, kColumns), kRows);
    // Another line is no answer: said, and the same prompt again.
    term.type("x\n");
    ASSERT_TRUE(term.shows("■不明な入力です: x (?:ヘルプ)\n■--("));
    term.type("e\n");
    ASSERT_TRUE(term.shows("■100件\n" + post_prompt(board.threads[0]) + "1-"));
    term.type("\x04");
    EXPECT_EQ(term.exit_status(), 0);
}

// A list's page holds the entries that fit the terminal above its prompt,
// each entry's rows counted at the terminal's width, read at every page.
TEST_F(PtyTest, ListPagesFitTheTerminalRowByRow) {
    auto entry = [this](std::size_t n) { return std::to_string(n) + " : " + boards_[n - 1]->name + "\n"; };
    // The last entry of the page from entry `from`: one at least.
    auto page_end = [&](std::size_t from, int rows, int columns) {
        const int room = rows - rows_on_terminal(board_prompt(), columns);
        int used = 0;
        std::size_t n = from;
        for (; n <= boards_.size(); ++n) {
            used += rows_on_terminal(entry(n), columns);
            if (used > room && n > from) break;
        }
        return n - 1;
    };
    auto entries = [&](std::size_t from, std::size_t to) {
        std::string out;
        for (std::size_t n = from; n <= to; ++n) out += entry(n);
        return out;
    };
    Terminal term = start("", 16, 24);
    ASSERT_TRUE(term.shows("ok\n"));
    // Pages of 16 rows by 24 columns, then 10 by 60; the prompt wraps.
    const std::size_t first = page_end(1, 16, 24);
    ASSERT_GT(rows_on_terminal(board_prompt(), 24), 2);
    ASSERT_LT(first, boards_.size());
    EXPECT_EQ(term.shown_before(board_prompt()), entries(1, first));
    term.type("\n");
    const std::size_t second = page_end(first + 1, 16, 24);
    // The terminal echoes what is typed.
    EXPECT_EQ(term.shown_before(board_prompt()), "\n" + entries(first + 1, second));
    term.resize(10, 60);
    term.type("\n");
    const std::size_t third = page_end(second + 1, 10, 60);
    EXPECT_EQ(term.shown_before(board_prompt()), "\n" + entries(second + 1, third));
    // A jump's page starts at its target.
    term.type("j2\n");
    EXPECT_EQ(term.shown_before(board_prompt()), "j2\n" + entries(2, page_end(2, 10, 60)));
    term.type("e\n");
    EXPECT_EQ(term.exit_status(), 0);
}

// Output goes out before zubo waits on the network: the server holds the
// thread's document until the test has seen the loading line. Ctrl-C while
// a download is held gives that download up: the copy read before is shown
// and kept, and zubo waits at its prompt; one held for three seconds adds
// to its loading line how to give it up. Ctrl-C at a prompt ends zubo,
// with status 130.
TEST_F(PtyTest, HeldDownloadShowsItsLineAndCtrlCGivesItUp) {
    const sample::Board& board = *boards_[0];
    const sample::Thread& thread = board.threads[0];
    const std::string path = "/" + board.dir + "/dat/" + thread.key;
    const std::string document = docs_.at(path);
    // The handler may still be answering the given-up download when the
    // test's locals are gone: it holds what it uses itself.
    auto held = std::make_shared<std::atomic<bool>>(true);
    std::atomic<bool>& released = *held;
    released = false;
    server_.handle(path, [held, document](const LoopbackRequest&, LoopbackResponse& res) {
        for (int waited = 0; waited < 1000 && !*held; ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        res.set_content(document, "text/plain");
    });

    Terminal term = start();
    ASSERT_TRUE(term.started());
    ASSERT_TRUE(term.shows(board_prompt()));
    term.type("1\n");
    ASSERT_TRUE(term.shows(thread_prompt(board)));
    term.type("1\n");
    EXPECT_TRUE(term.shows("■スレッドを読み込んでいます...", 5));
    released = true;
    // Released at once, the line gives no advice.
    EXPECT_EQ(term.shown_before("OK.\n■------スレッドを表示------\n"), "");
    ASSERT_TRUE(term.shows(post_prompt(thread)));
    term.type("e\n");
    ASSERT_TRUE(term.shows(thread_prompt(board)));
    released = false;
    term.type("1\n");
    // Nothing received for three seconds: the line says how to give up.
    ASSERT_TRUE(term.shows("■スレッドを読み込んでいます... (Ctrl-Cで中止)", 6));
    term.type("\x03");
    ASSERT_TRUE(term.shows("失敗 (中断しました)\n■------スレッドを表示------\n"));
    ASSERT_TRUE(term.shows(post_prompt(thread)));
    released = true;
    EXPECT_EQ(test::read_file(dir_.file("boards/" + board.dir + "/dat/" + thread.key)), document);
    term.type("\x03");
    ASSERT_TRUE(term.shows("\n■終了します。\n"));
    EXPECT_EQ(term.exit_status(), 130);
}

// The favourites' check counts on a terminal what it has checked; Ctrl-C
// ends it, and the favourite it was waiting for is marked unchecked.
TEST_F(PtyTest, CtrlCEndsTheFavouritesCheck) {
    const sample::Board& board = *boards_[0];
    const sample::Thread& held_thread = board.threads[0];
    const sample::Thread& quick_thread = board.threads[1];
    auto held = std::make_shared<std::atomic<bool>>(false);
    server_.handle("/" + board.dir + "/dat/" + held_thread.key, [held](const LoopbackRequest&, LoopbackResponse& res) {
        for (int waited = 0; waited < 1000 && !*held; ++waited) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        res.status = 500;
    });
    {
        store::Opened opened = store::Database::open(dir_.file("zubo.db"));
        ASSERT_TRUE(opened.db);
        opened.db->add_favourite({board.dir, quick_thread.key, "quick"});
        opened.db->add_favourite({board.dir, held_thread.key, "held"});
    }

    Terminal term = start();
    ASSERT_TRUE(term.started());
    ASSERT_TRUE(term.shows(board_prompt()));
    term.type("f\n");
    ASSERT_TRUE(term.shows("■更新を確認しています (1/2)"));
    const auto typed = std::chrono::steady_clock::now();
    term.type("\x03");
    ASSERT_TRUE(term.shows("■------お気に入りを表示------\n"));
    EXPECT_LT(std::chrono::steady_clock::now() - typed, std::chrono::seconds(3));
    *held = true;
    EXPECT_TRUE(term.shows("2 : held (0) [" + board.dir + "] [確認できず]\n"));
    term.type("e\n");
    ASSERT_TRUE(term.shows(board_prompt()));
    term.type("\x04");
    EXPECT_EQ(term.exit_status(), 0);
}

// A UTF-8 locale gives the UTF-8 console without -u.
TEST_F(PtyTest, Utf8LocaleWithoutTheOption) {
    Terminal term = start("C.UTF-8");
    ASSERT_TRUE(term.started());
    ASSERT_TRUE(term.shows("■板リストファイルをダウンロードしています...\nok\n1 : " + boards_[0]->name + "\n"));
    ASSERT_TRUE(term.shows(board_prompt()));
    term.type("e\n");
    ASSERT_TRUE(term.shows("■終了します。\n"));
    EXPECT_EQ(term.exit_status(), 0);
    expect_valid_utf8(term.screen());
}

// Ctrl-D at every kind of read ends zubo at once, on a line of its own.
TEST_F(PtyTest, CtrlDEndsZuboAtEveryRead) {
    const sample::Board& board = *boards_[0];
    const sample::Thread& thread = board.threads[0];
    // What to wait for and what to type, in turn, before the Ctrl-D.
    struct Case {
        const char* read;
        std::vector<std::pair<std::string, std::string>> steps;
        std::string before_ctrl_d;
    } cases[] = {
        {"board prompt", {}, board_prompt()},
        {"search prompt", {{board_prompt(), "sニュース\n"}}, "読みたい板番号を入力?(1-" + std::to_string(boards_.size()) + ")"},
        {"thread list prompt", {{board_prompt(), "1\n"}}, thread_prompt(board)},
        {"thread prompt", {{board_prompt(), "1\n"}, {thread_prompt(board), "1\n"}, {post_prompt(thread), ""}}, kPromptEnd},
        {"prompt at a thread's end",
         {{board_prompt(), "1\n"}, {thread_prompt(board), "1\n"}, {post_prompt(thread), "j7\n"}},
         "/" + std::to_string(thread.lines.size()) + kPromptEnd},
        // The thread list's end waits for no line: the board list is next.
        {"board prompt after a thread list's end",
         {{board_prompt(), "1\n"}, {thread_prompt(board), "\n"}, {"■板一覧に戻ります\n", ""}},
         board_prompt()},
        {"board prompt after an unknown line", {{board_prompt(), "xyz\n"}},
         "■不明な入力です: xyz (?:ヘルプ)\n" + board_prompt()},
        {"board prompt after a number out of range", {{board_prompt(), "0\n"}},
         "■1-" + std::to_string(boards_.size()) + "の番号を入力してください\n" + board_prompt()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.read);
        Terminal term = start();
        ASSERT_TRUE(term.started());
        for (const auto& [wait_for, typed] : c.steps) {
            ASSERT_TRUE(term.shows(wait_for));
            term.type(typed);
        }
        ASSERT_TRUE(term.shows(c.before_ctrl_d));
        term.type("\x04");
        ASSERT_TRUE(term.shows("\n■終了します。\n"));
        EXPECT_EQ(term.exit_status(), 0);
        // Nothing of the screens it passed on the way out.
        const std::string& screen = term.screen();
        EXPECT_EQ(screen.substr(screen.rfind(c.before_ctrl_d) + c.before_ctrl_d.size()), "\n■終了します。\n");
    }
}

}  // namespace
}  // namespace zubo

namespace zubo {
namespace {

// The sample's links at a terminal: u numbers them; u1 opens the welcome
// thread at post 2, titled by its own first line (its board never
// listed), and e comes back to the page left; u2 opens the shogi board's
// list, and e there comes back too.
TEST_F(PtyTest, SampleLinksOpenInZuboAndComeBack) {
    int prog = 0;
    for (std::size_t i = 0; i < boards_.size() && !prog; ++i) prog = boards_[i]->dir == "prog" ? static_cast<int>(i + 1) : 0;
    ASSERT_GT(prog, 0);
    const sample::Board& board = *boards_[static_cast<std::size_t>(prog - 1)];
    const sample::Thread& linking = board.threads[1];
    const sample::Board* shogi = nullptr;
    for (const sample::Board* b : boards_) shogi = b->dir == "shogi" ? b : shogi;
    ASSERT_NE(shogi, nullptr);

    Terminal term = start();
    ASSERT_TRUE(term.shows(board_prompt()));
    term.type(std::to_string(prog) + "\n");
    ASSERT_TRUE(term.shows(thread_prompt(board)));
    term.type("2\n");
    ASSERT_TRUE(term.shows(post_prompt(linking) + "1-2/2 "));
    term.type("u\n");
    const std::string base = server_.url("");
    ASSERT_TRUE(term.shows("1 : " + base + "/test/read.cgi/news/1767225600/2- (>>2)\n2 : " + base +
                           "/shogi/ (>>2)\n■2件\n"));
    term.type("u1\n");
    ASSERT_TRUE(term.shows("■------スレッドを表示------\n2 : 名無しさん [sage]"));
    ASSERT_TRUE(term.shows("■--[zuboへようこそ、サンプルスレです]--(2-"));
    term.type("e\n");
    ASSERT_TRUE(term.shows(post_prompt(linking) + "1-2/2 "));
    term.type("u2\n");
    ASSERT_TRUE(term.shows("■------スレッド一覧を表示------\n1 : " + label(shogi->threads[0])));
    ASSERT_TRUE(term.shows(thread_prompt(*shogi)));
    term.type("e\n");
    ASSERT_TRUE(term.shows(post_prompt(linking) + "1-2/2 "));
    term.type("\x04");
    EXPECT_EQ(term.exit_status(), 0);
    expect_valid_utf8(term.screen());
}

}  // namespace
}  // namespace zubo
