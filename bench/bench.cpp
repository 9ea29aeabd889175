// Times the built zubo on loopback and prints one table, every figure a
// median: a 1001-post thread downloaded whole, opened and paged to its end
// (against curl fetching the thread list and the thread, then cat printing
// them), the same with a 1,000-word ngword.txt, the peak resident set of one
// opening against curl's for the same two transfers, and of 1, 10 and 50
// openings, a 3,000-board menu listed to its end, and the thread reopened
// unchanged from its local copy (body bytes on the wire over the
// document's size), a 1,000-thread list with and without the read state,
// the thread resumed and unread, the thread with 1,000 rules in ng.txt, and
// the update check of 50 favourites against curl asking for the same 50
// ranges. Every program runs in the C locale, and zubo with -s: it passes
// the CP932 through as cat does, as on a Shift_JIS console.
// Usage: zubo_bench [runs]   (the median of `runs` runs is shown; default 7)

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "loopback_server.h"
#include "text/sjis.h"
#include "store/database.h"
#include "store/home.h"

namespace {

namespace fs = std::filesystem;

// zubo as the bench runs it: passing the service's CP932 through.
std::vector<std::string> zubo_command() { return {ZUBO_BINARY, "-s"}; }


// 名無しさん and あぼ～ん-free CP932 text for the posts.
const std::string kName = "\x96\xbc\x96\xb3\x82\xb5\x82\xb3\x82\xf1";
const std::string kText = "\x82\xb1\x82\xea\x82\xcd\x96\x7b\x95\xb6\x82\xc5\x82\xb7";  // これは本文です

std::string thread_document(int posts) {
    std::string doc;
    for (int n = 1; n <= posts; ++n) {
        std::string body = " <a href=\"../test/read.cgi/news/1000000001/" + std::to_string(n) + "\">&gt;&gt;" +
                           std::to_string(n) + "</a> <br> ";
        while (body.size() < 400) body += kText + " &quot;quote&quot; ";
        doc += kName + "<>sage<>2026/01/01(" + "\x96\xd8" + ") 12:34:56.78 ID:AbCdEfGh" + std::to_string(n % 10) +
               "<>" + body + " <>\n";
    }
    return doc;
}

std::string subject_document() {
    std::string doc;
    for (int k = 1; k <= 20; ++k) doc += std::to_string(1000000000 + k) + ".dat<>thread " + std::to_string(k) + " (1001)\n";
    return doc;
}

std::string menu(const std::vector<std::string>& urls) {
    std::string doc = "<HTML><BODY>\n<br><br><B>category</B><br>\n";
    for (std::size_t i = 0; i < urls.size(); ++i) doc += "<A HREF=" + urls[i] + ">board " + std::to_string(i + 1) + "</A><br>\n";
    return doc + "</BODY></HTML>\n";
}

void write_file(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Served as binary so the server spends no time compressing: the figures
// are zubo's, not the test server's.
void serve(zubo::LoopbackServer& server, const std::string& path, const std::string& body) {
    server.serve(path, body, 200, "application/octet-stream");
}

// Runs argv in cwd with input from a file and standard output read through
// a pipe (output to a pipe or a terminal is part of the cost); returns the
// wall time in milliseconds. The output is kept in *output when asked for.
double run_ms(const std::vector<std::string>& argv, const fs::path& cwd, const std::string& input,
              std::string* output = nullptr) {
    write_file(cwd / ".input", input);
    int out[2];
    if (pipe(out) != 0) std::exit(1);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int in = open((cwd / ".input").c_str(), O_RDONLY);
        int null = open("/dev/null", O_WRONLY);
        if (in < 0 || null < 0 || chdir(cwd.c_str()) != 0 || setenv("ZUBO_HOME", ".", 1) != 0) _exit(126);
        dup2(in, 0);
        dup2(out[1], 1);
        dup2(null, 2);
        close(out[0]);
        // BENCH_WRAP="valgrind --tool=callgrind" (say) runs every zubo under a profiler.
        std::vector<std::string> wrap;
        if (const char* words = std::getenv("BENCH_WRAP"); words && argv[0] == ZUBO_BINARY) {
            std::istringstream in_words(words);
            for (std::string w; in_words >> w;) wrap.push_back(w);
        }
        std::vector<char*> args;
        for (std::string& a : wrap) args.push_back(a.data());
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    char chunk[65536];
    for (ssize_t n; (n = read(out[0], chunk, sizeof chunk)) > 0;) {
        if (output) output->append(chunk, static_cast<std::size_t>(n));
    }
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0].c_str());
        std::exit(1);
    }
    return ms;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double median_ms(int runs, const std::function<double()>& once) {
    once();  // warm-up: caches, the dat/ directory
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) times.push_back(once());
    return median(times);
}

// Two cases side by side: the median time of each, and the median of their
// run-by-run ratios. They take turns, so whatever else the machine does
// weighs on both alike, and each ratio compares runs made a moment apart.
struct SideBySide {
    double first;
    double second;
    double ratio;
};

SideBySide side_by_side(int runs, const std::function<double()>& first, const std::function<double()>& second) {
    first();
    second();
    std::vector<double> a, b, ratios;
    for (int i = 0; i < runs; ++i) {
        a.push_back(first());
        b.push_back(second());
        ratios.push_back(a.back() / b.back());
    }
    return {median(a), median(b), median(ratios)};
}

// Peak resident set of one run of argv in KiB, measured by /usr/bin/time so
// that the bench's own pages (inherited until exec) don't count.
long peak_kib(std::vector<std::string> argv, const fs::path& cwd, const std::string& input) {
    argv.insert(argv.begin(), {"/usr/bin/time", "-f", "%M", "-o", (cwd / ".rss").string()});
    run_ms(argv, cwd, input);
    std::ifstream in(cwd / ".rss");
    long kib = 0;
    in >> kib;
    return kib;
}

long median_peak_kib(int runs, const std::vector<std::string>& argv, const fs::path& cwd, const std::string& input) {
    std::vector<double> peaks;
    for (int r = 0; r < std::max(3, runs); ++r) peaks.push_back(static_cast<double>(peak_kib(argv, cwd, input)));
    return static_cast<long>(median(peaks));
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

// What zubo remembers lives in zubo.db and, in WAL mode, its two side files.
void remove_state(const fs::path& home) {
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(home / (std::string("zubo.db") + suffix));
}

// Makes the database at path afresh and lets fill write to it; the file is
// whole (its log folded in) once this returns.
void make_database(const fs::path& path, const std::function<void(zubo::store::Database&)>& fill) {
    fs::remove(path);
    zubo::store::Opened opened = zubo::store::Database::open(path.string());
    if (!opened.db) {
        std::fprintf(stderr, "zubo.db: %s\n", opened.failed.c_str());
        std::exit(1);
    }
    fill(*opened.db);
}

// The home's zubo.db replaced by a copy of the one at saved.
void put_state(const fs::path& home, const fs::path& saved) {
    remove_state(home);
    fs::copy_file(saved, home / "zubo.db");
}

// A home of its own (the runs' working directory and ZUBO_HOME) with the
// given menu.
fs::path make_home(const fs::path& dir, const std::string& name, const std::string& menu_document) {
    const fs::path home = dir / name;
    fs::create_directories(home);
    write_file(home / "italist.txt", menu_document);
    return home;
}

// The input that answers every prompt a run shows: head, then one Enter
// for each time marker appears in the output of a run given plenty of
// them, and extra more.
std::string enter_at_each(const fs::path& home, const std::string& head, const std::string& marker, std::size_t extra) {
    std::string shown;
    run_ms(zubo_command(), home, head + std::string(2000, '\n'), &shown);
    return head + std::string(occurrences(shown, marker) + extra, '\n');
}

// A board's thread list of `threads` entries, each labelled with its post
// count: keys from 1000000001, counts spread over 1..1000.
std::string long_subject_document(int threads) {
    std::string doc;
    for (int k = 1; k <= threads; ++k) {
        doc += std::to_string(1000000000 + k) + ".dat<>thread " + std::to_string(k) + " (" +
               std::to_string(1 + k * 7 % 1000) + ")\n";
    }
    return doc;
}

// A zubo.db holding the board's list of long_subject_document(threads) in
// the read state (half read to their end, half to half their count) and
// the board listed once.
void make_board_state(const fs::path& path, const std::string& board, int threads) {
    make_database(path, [&](zubo::store::Database& db) {
        for (int k = 1; k <= threads; ++k) {
            long long count = 1 + k * 7 % 1000;
            db.save_thread(board, std::to_string(1000000000 + k) + ".dat", {k % 2 ? count : count / 2, count});
        }
        db.set_visited(board, 1700000000);
    });
}

struct ListWithState {
    SideBySide listed;  // with 1,000 threads in the read state, against no zubo.db
    SideBySide empty;   // the same against an empty zubo.db
};

// A 1,000-thread list paged to its end with every thread in the read state
// (half read to their end, half to half their count: [既読] and [未読N]),
// against the same list with no zubo.db (zubo makes one at its start), and
// against an empty zubo.db (the rows' cost alone).
ListWithState list_with_state(int runs, zubo::LoopbackServer& server, const fs::path& dir) {
    const int threads = 1000;
    serve(server, "/big/subject.txt", long_subject_document(threads));
    const fs::path home = make_home(dir, "list", menu({server.url("/big/")}));
    const fs::path full = dir / "list-state.db";
    make_board_state(full, "big", threads);
    const fs::path empty = dir / "empty-state.db";
    make_database(empty, [](zubo::store::Database&) {});
    // The list's prompt names its count; the Enter after the last page
    // answers the line at the list's end.
    const std::string input = enter_at_each(home, "1\n", "(1-" + std::to_string(threads) + ":", 1);
    auto with_state = [&] {
        put_state(home, full);
        return run_ms(zubo_command(), home, input);
    };
    auto without_state = [&] {
        remove_state(home);
        return run_ms(zubo_command(), home, input);
    };
    auto empty_state = [&] {
        put_state(home, empty);
        return run_ms(zubo_command(), home, input);
    };
    return {side_by_side(runs, with_state, without_state), side_by_side(runs, with_state, empty_state)};
}

// The 1001-post thread opened with its state (seen 500 of 1001: it resumes
// at 501 and pages to its end) against it opened unread (a zubo.db without
// the thread), both from a current copy.
SideBySide thread_resumed(int runs, const fs::path& dir, const std::string& menu_of_news) {
    const fs::path home = make_home(dir, "resume", menu_of_news);
    const fs::path read = dir / "resume-state.db";
    make_database(read, [](zubo::store::Database& db) { db.save_thread("news", "1000000001.dat", {500, 1001}); });
    const fs::path unread = dir / "unread-state.db";
    make_database(unread, [](zubo::store::Database&) {});
    const std::string prompt = "--[thread 1 (1001)]--";
    put_state(home, read);
    const std::string resume_input = enter_at_each(home, "1\n1\n", prompt, 2);
    put_state(home, unread);
    const std::string unread_input = enter_at_each(home, "1\n1\n", prompt, 2);
    auto resumed = [&] {
        put_state(home, read);
        return run_ms(zubo_command(), home, resume_input);
    };
    auto opened_unread = [&] {
        put_state(home, unread);
        return run_ms(zubo_command(), home, unread_input);
    };
    return side_by_side(runs, resumed, opened_unread);
}

// 1,000 rules of ng.txt as a reader's file grows them, none of which
// matches the bench's posts: 700 words (spammers' addresses and words of
// trolls and ads), 100 names, 100 IDs, 50 body and 50 name regular
// expressions, most of them holding a string every match needs. In CP932,
// the console's encoding with -s.
std::string ng_rules_document() {
    const char* word_stems[] = {"http://spam", "ttp://aff", "www", "荒らし", "業者", "宣伝", "副業"};
    std::string doc = "# NG\n";
    for (int k = 0; k < 700; ++k) doc += std::string("word ") + word_stems[k % 7] + std::to_string(k) + "\n";
    for (int k = 0; k < 100; ++k) {
        doc += std::string("name ") + (k % 2 ? "コテハン" : "fushianasan") + std::to_string(k) + "\n";
    }
    char id[32];
    for (int k = 0; k < 100; ++k) {
        std::snprintf(id, sizeof id, "id ID:Xy%06d\n", k * 7919 % 1000000);
        doc += id;
    }
    for (int k = 0; k < 50; ++k) {
        const std::string n = std::to_string(k);
        switch (k % 5) {
        case 0: doc += "body /https?://[a-z0-9.]*aff" + n + "\\.example\\.(?:com|jp)/\n"; break;
        case 1: doc += "body /(?:稼げる|儲かる).{0,20}副業" + n + "/\n"; break;
        case 2: doc += "body /0[789]0-?[0-9]{4}-?" + std::to_string(1000 + k) + "/\n"; break;
        case 3: doc += "body /(?:死ね|氏ね).*x" + n + "x/\n"; break;
        default: doc += "body /ttps?://[^ ]*\\.shortlink" + n + "\\./\n"; break;
        }
    }
    for (int k = 0; k < 50; ++k) {
        const std::string n = std::to_string(k);
        switch (k % 4) {
        case 0: doc += "name /^fushianasan" + n + "$/i\n"; break;
        case 1: doc += "name /^コテハン" + n + "(?:@|＠)/i\n"; break;
        case 2: doc += "name /bot" + n + "[0-9]*$/i\n"; break;
        default: doc += "name /^[a-z]{3,8}_troll" + n + "$/i\n"; break;
        }
    }
    return doc;
}

struct Favourites {
    SideBySide checked;  // zubo's update check, against curl's 50 ranges
    std::size_t zubo_requests = 0, zubo_connections = 0;
    std::size_t curl_requests = 0, curl_connections = 0;
};

// Requests the server answered from the first'th on, and the client ports
// they came from.
std::pair<std::size_t, std::size_t> requests_since(const zubo::LoopbackServer& server, std::size_t first) {
    std::vector<zubo::SeenRequest> seen = server.requests();
    std::vector<int> ports;
    for (std::size_t i = first; i < seen.size(); ++i) ports.push_back(seen[i].remote_port);
    std::sort(ports.begin(), ports.end());
    return {seen.size() - first, static_cast<std::size_t>(std::unique(ports.begin(), ports.end()) - ports.begin())};
}

// 50 favourites of one board (threads of 20 to 1,000 posts), their copies
// current: zubo's update check (f at the board list, then e and e) asks for
// each copy's last 16 bytes; curl asks for the same 50 ranges in one run.
Favourites favourites_check(int runs, zubo::LoopbackServer& server, const fs::path& dir) {
    const fs::path home = make_home(dir, "fav", menu({server.url("/fav/")}));
    std::vector<std::string> curl = {"curl"};
    make_database(home / "zubo.db", [&](zubo::store::Database& db) {
        for (int k = 1; k <= 50; ++k) {
            const std::string dat = std::to_string(1100000000 + k) + ".dat";
            const std::string doc = thread_document(20 * k);
            serve(server, "/fav/dat/" + dat, doc);
            fs::create_directories(home / zubo::thread_directory("fav"));
            write_file(home / zubo::thread_path("fav", dat.c_str()), doc);
            db.add_favourite({"fav", dat, "thread " + std::to_string(k) + " (" + std::to_string(20 * k) + ")"});
            if (k > 1) curl.push_back("--next");
            curl.insert(curl.end(), {"-s", "-o", "/dev/null", "-r", std::to_string(doc.size() - 16) + "-",
                                     server.url("/fav/dat/" + dat)});
        }
    });
    const std::string input = "f\ne\ne\n";
    auto zubo_check = [&] { return run_ms(zubo_command(), home, input); };
    auto curl_ranges = [&] { return run_ms(curl, home, ""); };
    Favourites result;
    std::size_t first = server.request_count();
    zubo_check();
    std::tie(result.zubo_requests, result.zubo_connections) = requests_since(server, first);
    first = server.request_count();
    curl_ranges();
    std::tie(result.curl_requests, result.curl_connections) = requests_since(server, first);
    result.checked = side_by_side(runs, zubo_check, curl_ranges);
    return result;
}

// The daily reader's figures: the 1001-post thread read from a board of
// 1,000 threads, in a home whose zubo.db already holds their rows, each
// against its floor in the same run.
struct DailyReading {
    SideBySide read;    // downloaded whole and paged to its end, against curl + cat
    SideBySide reopen;  // the same from a current copy, against curl + cat
    SideBySide rules;   // read with 1,000 rules in ng.txt, against without
    SideBySide utf8;    // read with -u, against curl + cat + iconv to UTF-8
};

DailyReading daily_reading(int runs, zubo::LoopbackServer& server, const fs::path& dir, const std::string& doc,
                           const std::string& ng_rules) {
    const int threads = 1000;
    serve(server, "/daily/subject.txt", long_subject_document(threads));
    serve(server, "/daily/dat/1000000001.dat", doc);
    const fs::path home = make_home(dir, "daily", menu({server.url("/daily/")}));
    const fs::path saved = dir / "daily-state.db";
    make_board_state(saved, "daily", threads);
    put_state(home, saved);
    const std::string input = enter_at_each(home, "1\n1\n", "--[thread 1 (8)]--", 1);
    if (std::getenv("BENCH_SERVING")) {
        write_file(dir / "daily-ng.txt", ng_rules);
        std::printf("home %s (state saved in %s, the rules of (l) in %s)\nsubject %s\nthread %s\ninput %s\n",
                    home.c_str(), saved.c_str(), (dir / "daily-ng.txt").c_str(),
                    server.url("/daily/subject.txt").c_str(), server.url("/daily/dat/1000000001.dat").c_str(),
                    (home / ".input").c_str());
        write_file(home / ".input", input);
        std::fflush(stdout);
        while (std::getchar() != EOF) {
        }
        std::exit(0);
    }
    auto zubo_run = [&](std::vector<std::string> command, bool whole) {
        return [&, command, whole] {
            put_state(home, saved);
            if (whole) fs::remove_all(home / zubo::thread_directory("daily"));
            return run_ms(command, home, input);
        };
    };
    const std::vector<std::string> sjis = zubo_command();
    const std::vector<std::string> utf8 = {ZUBO_BINARY, "-u"};
    std::string fetch = "curl -s -o subject.txt '" + server.url("/daily/subject.txt") + "' -o thread.dat '" +
                        server.url("/daily/dat/1000000001.dat") + "' && cat subject.txt thread.dat";
    auto floor = [&] { return run_ms({"/bin/sh", "-c", fetch}, home, ""); };
    auto floor_utf8 = [&] { return run_ms({"/bin/sh", "-c", fetch + " | iconv -f CP932 -t UTF-8"}, home, ""); };
    auto with_rules = [&] {
        write_file(home / "ng.txt", ng_rules);
        const double ms = zubo_run(sjis, true)();
        fs::remove(home / "ng.txt");
        return ms;
    };
    DailyReading result;
    result.read = side_by_side(runs, zubo_run(sjis, true), floor);
    zubo_run(sjis, true)();
    result.reopen = side_by_side(runs, zubo_run(sjis, false), floor);
    result.rules = side_by_side(runs, with_rules, zubo_run(sjis, true));
    result.utf8 = side_by_side(runs, zubo_run(utf8, true), floor_utf8);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    // "daily" as the second argument: only the rows (j) to (m).
    const bool only_daily = argc > 2 && std::string(argv[2]) == "daily";
    // "serve": the daily reader's home and service made, then kept until
    // standard input ends, for trying zubo by hand or under a profiler.
    const bool serve_daily = argc > 2 && std::string(argv[2]) == "serve";
    char dir_template[] = "/tmp/zubo-bench.XXXXXX";
    if (!mkdtemp(dir_template)) return 1;
    const fs::path dir = dir_template;
    setenv("LC_ALL", "C", 1);
    // One clock for every run: the thread list's marks and the read state's
    // times are the same from run to run.
    setenv("ZUBO_NOW", "1800000000", 1);

    zubo::LoopbackServer server;
    const std::string doc = thread_document(1001);
    const std::string subject_path = "/news/subject.txt";
    const std::string dat_path = "/news/dat/1000000001.dat";
    serve(server, subject_path, subject_document());
    serve(server, dat_path, doc);
    std::vector<std::string> boards(3000);
    for (std::size_t i = 0; i < boards.size(); ++i) boards[i] = server.url("/b" + std::to_string(i + 1) + "/");
    const std::string big_menu = menu(boards);
    const std::string news_menu = menu({server.url("/news/")});

    std::size_t cp932_size = 0;
    const std::string utf8_rules = ng_rules_document();
    const char* cp932_rules = zubo::sjis::from_utf8_strict(utf8_rules.data(), utf8_rules.size(), &cp932_size);
    const std::string ng_rules = cp932_rules ? std::string(cp932_rules, cp932_size) : utf8_rules;
    auto print_daily = [](const DailyReading& daily) {
        auto line = [](const std::string& what, double value, double ratio) {
            std::printf("%-60s %11.1f ms %7.2fx\n", what.c_str(), value, ratio);
        };
        std::printf("\nA day's reading: a 1,000-thread board whose rows zubo.db holds\n");
        line("(j) the thread downloaded, paged to its end (vs curl + cat)", daily.read.first, daily.read.ratio);
        std::printf("%-60s %11.1f ms\n", "    floor: curl fetching list and thread, then cat", daily.read.second);
        line("(k) reopened with nothing new (vs curl + cat)", daily.reopen.first, daily.reopen.ratio);
        line("(l) (j) with 1,000 rules in ng.txt (vs without)", daily.rules.first, daily.rules.ratio);
        line("(m) (j) on a UTF-8 console, -u (vs curl + cat + iconv)", daily.utf8.first, daily.utf8.ratio);
        std::printf("%-60s %11.1f ms\n", "    floor: curl, cat and iconv -f CP932 -t UTF-8", daily.utf8.second);
    };
    if (serve_daily) setenv("BENCH_SERVING", "1", 1);
    if (only_daily || serve_daily) {
        print_daily(daily_reading(runs, server, dir, doc, ng_rules));
        fs::remove_all(dir);
        return 0;
    }

    // Board 1, thread 1, Enter at every page prompt of the thread, at its
    // end and at the thread list's end; the board list then meets the end
    // of input and zubo ends. A first run counts the thread's prompts.
    auto thread_input = [](std::size_t prompts) { return "1\n1\n" + std::string(prompts + 2, '\n'); };
    write_file(dir / "italist.txt", news_menu);
    std::string shown;
    run_ms(zubo_command(), dir, thread_input(2000), &shown);
    const std::string page_to_end = thread_input(occurrences(shown, "--[thread 1 (1001)]--"));

    // Without a local copy, the whole document is downloaded.
    auto zubo_thread = [&] {
        write_file(dir / "italist.txt", news_menu);
        fs::remove_all(dir / zubo::thread_directory("news"));
        return run_ms(zubo_command(), dir, page_to_end);
    };
    // The same with the copy the run before left: only the overlap comes.
    auto zubo_reopen = [&] {
        write_file(dir / "italist.txt", news_menu);
        return run_ms(zubo_command(), dir, page_to_end);
    };
    // Body bytes of the last answer for the thread over the document's size.
    auto last_thread_share = [&] {
        std::size_t bytes = 0;
        for (const zubo::SeenRequest& seen : server.requests()) {
            if (seen.target == dat_path) bytes = seen.body_bytes;
        }
        return static_cast<double>(bytes) / static_cast<double>(doc.size());
    };
    // curl fetches the same two documents over one connection, as zubo
    // does; cat prints them.
    const std::vector<std::string> curl_both = {"curl", "-s", "-o", "subject.txt", server.url(subject_path),
                                                "-o", "thread.dat", server.url(dat_path)};
    std::string fetch_and_print;
    for (const std::string& word : curl_both) fetch_and_print += "'" + word + "' ";
    fetch_and_print += "&& cat subject.txt thread.dat";
    auto floor = [&] { return run_ms({"/bin/sh", "-c", fetch_and_print}, dir, ""); };

    const SideBySide against_floor = side_by_side(runs, zubo_thread, floor);
    zubo_thread();
    const double whole_share = last_thread_share();

    std::string words;
    for (int k = 0; k < 1000; ++k) words += "ngword" + std::to_string(10000 + k) + "\n";
    // The thread of (a) with a file of the home there for the run.
    auto zubo_thread_with = [&](const char* name, const std::string& bytes) {
        return [&, name] {
            write_file(dir / name, bytes);
            double ms = zubo_thread();
            fs::remove(dir / name);
            return ms;
        };
    };
    auto zubo_thread_ng = zubo_thread_with("ngword.txt", words);
    const SideBySide ng = side_by_side(runs, zubo_thread_ng, zubo_thread);
    // ng.txt: the same 1,000-rule thread view, and whether zubo reads the
    // file (a rule hiding one post in ten changes what it prints).
    auto zubo_thread_ng_rules = zubo_thread_with("ng.txt", ng_rules);
    const SideBySide ng_file = side_by_side(runs, zubo_thread_ng_rules, zubo_thread);
    std::string plain_view, ng_view;
    run_ms(zubo_command(), dir, page_to_end, &plain_view);
    write_file(dir / "ng.txt", "id ID:AbCdEfGh7\n");
    run_ms(zubo_command(), dir, page_to_end, &ng_view);
    fs::remove(dir / "ng.txt");
    const bool ng_file_read = plain_view != ng_view;

    const SideBySide reopen = side_by_side(runs, zubo_reopen, zubo_thread);
    zubo_reopen();
    const double reopen_share = last_thread_share();

    // Every page of the 2999 boards listed, then e.
    const double board_list = median_ms(runs, [&] {
        write_file(dir / "italist.txt", big_menu);
        return run_ms(zubo_command(), dir, std::string(150, '\n') + "e\n");
    });

    // Peak memory: one opening (the thread downloaded whole) against curl
    // for the same two transfers, then 1, 10 and 50 openings in one run.
    write_file(dir / "italist.txt", news_menu);
    fs::remove_all(dir / zubo::thread_directory("news"));
    const long zubo_one = median_peak_kib(runs, zubo_command(), dir, page_to_end);
    const long curl_one = median_peak_kib(runs, curl_both, dir, "");
    long rss[3];
    const int openings[3] = {1, 10, 50};
    for (int i = 0; i < 3; ++i) {
        std::string input;
        for (int k = 0; k < openings[i]; ++k) input += "1\n1\ne\n\n";
        rss[i] = median_peak_kib(runs / 2, zubo_command(), dir, input + "e\n");
    }
    const ListWithState state = list_with_state(runs, server, dir);
    const SideBySide resumed = thread_resumed(runs, dir, news_menu);
    const Favourites favourites = favourites_check(runs, server, dir);
    const DailyReading daily = daily_reading(runs, server, dir, doc, ng_rules);
    fs::remove_all(dir);

    auto line = [](const std::string& what, const std::string& value, const std::string& ratio) {
        std::printf("%-60s %14s %8s\n", what.c_str(), value.c_str(), ratio.c_str());
    };
    auto ms = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f ms", v);
        return std::string(text);
    };
    auto times = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2fx", v);
        return std::string(text);
    };
    auto mib = [](long kib) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(kib) / 1024);
        return std::string(text);
    };
    std::printf("zubo on loopback, median of %d runs (a ratio: the median of run-by-run ratios)\n\n", runs);
    line("case", "value", "ratio");
    line("(a) 1001-post thread (" + std::to_string(doc.size() / 1024) + " KB) downloaded, paged to its end",
         ms(against_floor.first), times(against_floor.ratio));
    line("    floor: curl fetching both documents, then cat", ms(against_floor.second), "");
    line("(b) the same with a 1,000-word ngword.txt (vs none)", ms(ng.first), times(ng.ratio));
    line("(c) peak RSS of one opening (vs curl's for both transfers)", mib(zubo_one),
         times(static_cast<double>(zubo_one) / static_cast<double>(curl_one)));
    line("    curl's peak RSS", mib(curl_one), "");
    line("    thread opened 1 / 10 / 50 times in one run (50 vs 10)",
         std::to_string(rss[0] / 1024) + " / " + std::to_string(rss[1] / 1024) + " / " + std::to_string(rss[2] / 1024) +
             " MiB",
         times(static_cast<double>(rss[2]) / static_cast<double>(rss[1])));
    line("(d) 3,000-board menu parsed and listed to its end", ms(board_list), "");
    line("(e) the thread of (a) reopened unchanged (vs (a))", ms(reopen.first), times(reopen.ratio));
    char share[32];
    std::snprintf(share, sizeof share, "%.6f", reopen_share);
    line("    body bytes over the document's size, reopened", share, "");
    std::snprintf(share, sizeof share, "%.6f", whole_share);
    line("    the same for (a), downloaded whole", share, "");
    line("(f) 1,000-thread list paged to its end, all in the read state", ms(state.listed.first),
         times(state.listed.ratio));
    line("    the same with no zubo.db", ms(state.listed.second), "");
    line("    the same with an empty zubo.db (the first against it)", ms(state.empty.second), times(state.empty.ratio));
    line("(g) the thread of (a) resumed at 501 of 1001 (vs unread)", ms(resumed.first), times(resumed.ratio));
    line("    the same opened unread, both from a current copy", ms(resumed.second), "");
    line("(h) the thread of (a) with 1,000 rules in ng.txt (vs none)", ms(ng_file.first), times(ng_file.ratio));
    line("    ng.txt read by the thread view", ng_file_read ? "yes" : "no", "");
    line("(i) update check of 50 favourites, nothing new (vs curl)", ms(favourites.checked.first),
         times(favourites.checked.ratio));
    line("    curl fetching the same 50 ranges in one run", ms(favourites.checked.second), "");
    auto over = [](std::size_t requests, std::size_t connections) {
        return std::to_string(requests) + " / " + std::to_string(connections);
    };
    line("    requests / connections: zubo", over(favourites.zubo_requests, favourites.zubo_connections), "");
    line("    requests / connections: curl", over(favourites.curl_requests, favourites.curl_connections), "");
    print_daily(daily);
    return 0;
}
