// Times the built zubo on loopback and prints one table, every figure a
// median: a 1001-post thread downloaded whole, opened and paged to its end
// (against curl fetching the thread list and the thread, then cat printing
// them), the same with a 1,000-word ngword.txt and with a 1,000-rule ng.txt,
// the peak resident set of one opening against curl's for the same two
// transfers, and of 1, 10 and 50 openings, a 3,000-board menu listed to
// its end, and the thread reopened unchanged from its local copy (body
// bytes on the wire over the document's size). Every program runs in the
// C locale, so zubo passes CP932 through as cat does.
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
#include <string>
#include <vector>

#include "loopback_server.h"

namespace {

namespace fs = std::filesystem;

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
        std::vector<char*> args;
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

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    char dir_template[] = "/tmp/zubo-bench.XXXXXX";
    if (!mkdtemp(dir_template)) return 1;
    const fs::path dir = dir_template;
    // CP932 through, in zubo as in cat.
    setenv("LC_ALL", "C", 1);

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

    // Board 1, thread 1, Enter at every page prompt of the thread, at its
    // end and at the thread list's end; the board list then meets the end
    // of input and zubo ends. A first run counts the thread's prompts.
    auto thread_input = [](std::size_t prompts) { return "1\n1\n" + std::string(prompts + 2, '\n'); };
    write_file(dir / "italist.txt", news_menu);
    std::string shown;
    run_ms({ZUBO_BINARY}, dir, thread_input(2000), &shown);
    const std::string page_to_end = thread_input(occurrences(shown, "\x81\xa1--[thread 1 (1001)]--"));

    // Without a local copy, the whole document is downloaded.
    auto zubo_thread = [&] {
        write_file(dir / "italist.txt", news_menu);
        fs::remove_all(dir / "dat");
        return run_ms({ZUBO_BINARY}, dir, page_to_end);
    };
    // The same with the copy the run before left: only the overlap comes.
    auto zubo_reopen = [&] {
        write_file(dir / "italist.txt", news_menu);
        return run_ms({ZUBO_BINARY}, dir, page_to_end);
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
    auto zubo_thread_ng = [&] {
        write_file(dir / "ngword.txt", words);
        double ms = zubo_thread();
        fs::remove(dir / "ngword.txt");
        return ms;
    };
    const SideBySide ng = side_by_side(runs, zubo_thread_ng, zubo_thread);

    // 700 words, 200 names and IDs, 100 regular expressions, and chain,
    // none of which hides a post of the thread: every post is judged whole.
    std::string rules = "chain\n";
    for (int k = 0; k < 700; ++k) rules += "word ngword" + std::to_string(10000 + k) + "\n";
    for (int k = 0; k < 100; ++k) rules += "name kotehan" + std::to_string(k) + "\nid Zz" + std::to_string(100000 + k) + "\n";
    for (int k = 0; k < 100; ++k) rules += (k % 2 ? "body /spam[0-9]+x" : "name /^troll") + std::to_string(k) + "/i\n";
    auto zubo_thread_rules = [&] {
        write_file(dir / "ng.txt", rules);
        double ms = zubo_thread();
        fs::remove(dir / "ng.txt");
        return ms;
    };
    const SideBySide ng_rules = side_by_side(runs, zubo_thread_rules, zubo_thread);
    const SideBySide reopen = side_by_side(runs, zubo_reopen, zubo_thread);
    zubo_reopen();
    const double reopen_share = last_thread_share();

    // Every page of the 2999 boards listed, then e.
    const double board_list = median_ms(runs, [&] {
        write_file(dir / "italist.txt", big_menu);
        return run_ms({ZUBO_BINARY}, dir, std::string(150, '\n') + "e\n");
    });

    // Peak memory: one opening (the thread downloaded whole) against curl
    // for the same two transfers, then 1, 10 and 50 openings in one run.
    write_file(dir / "italist.txt", news_menu);
    fs::remove_all(dir / "dat");
    const long zubo_one = median_peak_kib(runs, {ZUBO_BINARY}, dir, page_to_end);
    const long curl_one = median_peak_kib(runs, curl_both, dir, "");
    long rss[3];
    const int openings[3] = {1, 10, 50};
    for (int i = 0; i < 3; ++i) {
        std::string input;
        for (int k = 0; k < openings[i]; ++k) input += "1\n1\ne\n\n";
        rss[i] = median_peak_kib(runs / 2, {ZUBO_BINARY}, dir, input + "e\n");
    }
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
    line("    the same with a 1,000-rule ng.txt and chain (vs none)", ms(ng_rules.first), times(ng_rules.ratio));
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
    return 0;
}
