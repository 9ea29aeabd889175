// The thread-line pipeline over any bytes: the NG filter (with a real
// ngword.txt), the splitter and the body decoding, as load_thread runs them
// line by line.

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "screens/thread_view.h"
#include "text/lines.h"

using zubo::PostRecord;

namespace {

// The abone line's word, あぼ～ん.
constexpr char kAbone[] = "\x82\xa0\x82\xda\x81\x60\x82\xf1";

// The filter reads ngword.txt from the working directory: one private
// directory for the whole run, with a CR LF line, a one-byte word and a
// last word without a newline.
// Corpus paths given to the harness must therefore be absolute. The
// directory is removed when the run exits.
char g_ng_directory[] = "/tmp/zubo-fuzz-ng.XXXXXX";

void remove_ng_directory() {
    std::remove("ngword.txt");
    rmdir(g_ng_directory);
}

void enter_ng_directory() {
    if (!mkdtemp(g_ng_directory) || chdir(g_ng_directory) != 0) std::abort();
    std::atexit(remove_ng_directory);
    std::FILE* f = std::fopen("ngword.txt", "w");
    if (!f) std::abort();
    std::fputs("NGWORD\r\n\x82\xa0\x82\xa2\n@\n&quot;&quot;\n<>x<>", f);
    std::fclose(f);
}

// The words of that file, as the filter must see them.
bool holds_ng_word(const std::string& line) {
    for (const char* word : {"NGWORD", "\x82\xa0\x82\xa2", "@", "&quot;&quot;", "<>x<>"}) {
        if (line.find(word) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enter_ng_directory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Up to 64 lines per input keeps each run short; the table is sized to
    // them so the sanitizer sees its end.
    constexpr int kPosts = 64;
    static std::vector<PostRecord> table(kPosts + 1);
    zubo::File in(zubo::fuzz::open_input(data, size));
    if (!in) return 0;

    static std::vector<char> line(zubo::kLineSize);
    int count = 0;
    while (count < kPosts && zubo::read_line_cut(in.get(), line.data(), line.size())) {
        PostRecord& post = table[++count];
        std::string raw(line.data());
        zubo::parse_thread_line(line.data(), &post);
        for (const char* field : {post.name, post.mail, post.date}) {
            ZUBO_FUZZ_CHECK(zubo::fuzz::terminated(field, zubo::kFieldSize));
        }
        ZUBO_FUZZ_CHECK(zubo::fuzz::terminated(post.body, zubo::kBodySize));
        // Every screen line past the first two is one decoded <br>; the raw
        // line's only newline ends it, after the body's separator.
        int breaks = 0;
        for (const char* p = post.body; (p = std::strchr(p, '\n')); ++p) ++breaks;
        ZUBO_FUZZ_CHECK(post.lines == 2 + breaks);
        if (holds_ng_word(raw)) {
            for (const char* field : {post.name, post.mail, post.date, post.body}) {
                ZUBO_FUZZ_CHECK(std::strcmp(field, kAbone) == 0);
            }
            ZUBO_FUZZ_CHECK(post.lines == 2);
        }
    }
    return 0;
}
