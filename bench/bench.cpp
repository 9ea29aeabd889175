// Times the built zubo on loopback and prints one table: a 1001-post thread
// downloaded whole, opened and paged to its end (against curl and cat of the
// same URL), the same with a 1,000-word ngword.txt, a 3,000-board menu
// listed to its end, the peak resident set for 1, 10 and 50 thread
// openings, and the thread reopened unchanged from its local copy (body
// bytes on the wire over the document's size).
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
// a pipe (zubo flushes every write, so output to a terminal-like sink is
// part of the cost); returns the wall time in milliseconds.
double run_ms(const std::vector<std::string>& argv, const fs::path& cwd, const std::string& input) {
    write_file(cwd / ".input", input);
    int out[2];
    if (pipe(out) != 0) std::exit(1);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int in = open((cwd / ".input").c_str(), O_RDONLY);
        int null = open("/dev/null", O_WRONLY);
        if (in < 0 || null < 0 || chdir(cwd.c_str()) != 0) _exit(126);
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
    while (read(out[0], chunk, sizeof chunk) > 0) {
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
    std::vector<double> times;
    once();  // warm-up: caches, the dat/ directory
    for (int i = 0; i < runs; ++i) times.push_back(once());
    return median(times);
}

// Peak resident set of one zubo run in KiB, measured by /usr/bin/time so
// that the bench's own pages (inherited until exec) don't count.
long peak_kib(const fs::path& cwd, const std::string& input) {
    run_ms({"/usr/bin/time", "-f", "%M", "-o", (cwd / ".rss").string(), ZUBO_BINARY}, cwd, input);
    std::ifstream in(cwd / ".rss");
    long kib = 0;
    in >> kib;
    return kib;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    char dir_template[] = "/tmp/zubo-bench.XXXXXX";
    if (!mkdtemp(dir_template)) return 1;
    const fs::path dir = dir_template;

    zubo::LoopbackServer server;
    const std::string doc = thread_document(1001);
    const std::string dat_path = "/news/dat/1000000001.dat";
    serve(server, "/news/subject.txt", subject_document());
    serve(server, dat_path, doc);
    std::vector<std::string> boards(3000);
    for (std::size_t i = 0; i < boards.size(); ++i) boards[i] = server.url("/b" + std::to_string(i + 1) + "/");
    const std::string big_menu = menu(boards);
    const std::string news_menu = menu({server.url("/news/")});

    // Board 1, thread 1, then Enter at every page prompt until the end;
    // what is left goes to the lists, which leave at the end of input.
    // Without a local copy, the whole document is downloaded.
    const std::string page_to_end = "1\n1\n" + std::string(400, '\n');
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
    const std::string fetch_and_print =
        "curl -s -o thread.dat '" + server.url(dat_path) + "' && cat thread.dat";
    auto floor = [&] { return run_ms({"/bin/sh", "-c", fetch_and_print}, dir, ""); };

    const double plain = median_ms(runs, zubo_thread);
    const double whole_share = last_thread_share();
    const double curl_cat = median_ms(runs, floor);
    const double reopen = median_ms(runs, zubo_reopen);
    const double reopen_share = last_thread_share();

    std::string words;
    for (int k = 0; k < 1000; ++k) words += "ngword" + std::to_string(10000 + k) + "\n";
    write_file(dir / "ngword.txt", words);
    const double with_ng = median_ms(runs, zubo_thread);
    fs::remove(dir / "ngword.txt");

    // Every page of the 2999 boards listed, then e.
    const double board_list = median_ms(runs, [&] {
        write_file(dir / "italist.txt", big_menu);
        return run_ms({ZUBO_BINARY}, dir, std::string(150, '\n') + "e\n");
    });

    write_file(dir / "italist.txt", news_menu);
    long rss[3];
    const int openings[3] = {1, 10, 50};
    for (int i = 0; i < 3; ++i) {
        std::string input;
        for (int k = 0; k < openings[i]; ++k) input += "1\n1\ne\n\n";
        std::vector<double> peaks;
        for (int r = 0; r < std::max(3, runs / 2); ++r) peaks.push_back(static_cast<double>(peak_kib(dir, input + "e\n")));
        rss[i] = static_cast<long>(median(peaks));
    }
    fs::remove_all(dir);

    std::printf("zubo on loopback, median of %d runs\n\n", runs);
    std::printf("%-58s %10s %8s\n", "case", "time", "ratio");
    const std::string thread_case = "(a) 1001-post thread (" + std::to_string(doc.size() / 1024) + " KB), open and page to end";
    std::printf("%-58s %7.1f ms %8s\n", thread_case.c_str(), plain, "");
    std::printf("%-58s %7.1f ms %7.2fx\n", "    floor: curl of the same URL, then cat", curl_cat, plain / curl_cat);
    std::printf("%-58s %7.1f ms %7.2fx\n", "(b) the same with a 1,000-word ngword.txt (vs none)", with_ng, with_ng / plain);
    std::printf("%-58s %7.1f ms %8s\n", "(c) 3,000-board menu parsed and listed to its end", board_list, "");
    std::printf("%-58s %4ld / %ld / %ld MiB\n", "(d) peak RSS, thread opened 1 / 10 / 50 times", rss[0] / 1024, rss[1] / 1024,
                rss[2] / 1024);
    std::printf("%-58s %7.1f ms %7.2fx\n", "(e) the thread of (a) reopened unchanged (vs (a))", reopen, reopen / plain);
    std::printf("%-58s %10.6f %8s\n", "    body bytes over the document's size, reopened", reopen_share, "");
    std::printf("%-58s %10.6f %8s\n", "    the same for (a), downloaded whole", whole_share, "");
    return 0;
}
