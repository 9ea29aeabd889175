// The thread-line pipeline over any bytes: the NG filter (with a real
// ngword.txt), the splitter and the tag rendering, and the judge of the NG
// rules, as read_thread_posts runs them line by line; then each post as the
// console prints it in both modes, with its character references decoded.
// An input that holds a NUL byte gives the bytes before it as ng.txt (in
// CP932 when the first byte is even, else in UTF-8) and the rest as the
// thread.

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/messages.h"
#include "documents/anchors.h"
#include "documents/post_id.h"
#include "documents/post_judge.h"
#include "documents/thread_document.h"
#include "fuzz_input.h"
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
    std::remove("ng.txt");
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

// The post's line as the console writes it: through print_decoded, or
// through print, which decodes nothing.
std::string printed(const PostRecord& post, bool utf8, bool decoded) {
    char* bytes = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&bytes, &size);
    if (!out) std::abort();
    zubo::console::Console console;
    console.set_streams(nullptr, out);
    console.set_utf8(utf8);
    if (decoded) {
        console.print_decoded(zubo::messages::post, 1, post.name, post.mail, post.date, post.body);
    } else {
        console.print(zubo::messages::post, 1, post.name, post.mail, post.date, post.body);
    }
    std::fclose(out);
    std::string text(bytes, size);
    std::free(bytes);
    return text;
}

bool holds_control_byte(const std::string& text) {
    for (unsigned char c : text) {
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) return true;
    }
    return false;
}

bool is_utf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t follow = c < 0x80                ? 0
                             : c >= 0xC2 && c <= 0xDF ? 1
                             : c >= 0xE0 && c <= 0xEF ? 2
                             : c >= 0xF0 && c <= 0xF4 ? 3
                                                      : 4;
        if (follow == 4 || i + follow >= s.size()) return false;
        for (std::size_t k = 1; k <= follow; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += follow + 1;
    }
    return true;
}

// What the console shows of a post: no control byte in either mode, valid
// UTF-8 in the UTF-8 mode, never longer than the raw text in CP932 mode (a
// reference gives way to two bytes at most), and exactly print()'s bytes
// when there is no reference to decode.
void check_printed(const PostRecord& post, bool may_hold_references) {
    for (bool utf8 : {false, true}) {
        std::string decoded = printed(post, utf8, true);
        std::string plain = printed(post, utf8, false);
        ZUBO_FUZZ_CHECK(!holds_control_byte(decoded));
        if (utf8) ZUBO_FUZZ_CHECK(is_utf8(decoded));
        if (!utf8) ZUBO_FUZZ_CHECK(decoded.size() <= plain.size());
        if (!may_hold_references) ZUBO_FUZZ_CHECK(decoded == plain);
    }
}

// The rules of the input's ng.txt part, bounded so that each input stays
// quick to compile; no part gives no rules. *rest is set to the thread.
zubo::NgRules read_input_rules(const std::uint8_t* data, std::size_t size, const std::uint8_t** rest,
                               std::size_t* rest_size) {
    constexpr std::size_t kRulesLimit = 2048;
    const void* nul = std::memchr(data, '\0', size);
    *rest = data;
    *rest_size = size;
    if (!nul) return {};
    const std::size_t part = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - data);
    *rest = data + part + 1;
    *rest_size = size - part - 1;
    std::FILE* f = std::fopen("ng.txt", "wb");
    if (!f) std::abort();
    std::fwrite(data, 1, std::min(part, kRulesLimit), f);
    std::fclose(f);
    return zubo::NgRules::read("ng.txt", part > 0 && (data[0] & 1), nullptr);
}

bool is_abone(const PostRecord& post) {
    for (const char* field : {post.name, post.mail, post.date, post.body}) {
        if (std::strcmp(field, kAbone) != 0) return false;
    }
    return post.lines == 2;
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
    // Read once, as a thread view reads them: the directory's file is made
    // before the first input.
    static zubo::NgWords words = zubo::read_ng_words(false);
    const std::uint8_t* thread = nullptr;
    std::size_t thread_size = 0;
    zubo::NgRules rules = read_input_rules(data, size, &thread, &thread_size);
    zubo::PostJudge judge(rules);
    zubo::File in(zubo::fuzz::open_input(thread, thread_size));
    if (!in) return 0;
    // The compact table must give back every post as parsed.
    zubo::PostTable kept;

    static std::vector<char> line(zubo::kLineSize);
    int count = 0;
    while (count < kPosts && zubo::read_line_cut(in.get(), line.data(), line.size())) {
        PostRecord& post = table[++count];
        std::string raw(line.data());
        zubo::parse_thread_line(line.data(), words, &post);
        // The judge NGs a post a word hid, one a rule names, or one with
        // anchors when chain is on; an NG'd post is the abone line.
        const std::string id(zubo::post_id(post.date));
        const bool named = post.ng || rules.matches_post({raw.c_str(), post.name, post.mail, id.c_str(), post.body});
        const bool anchoring = !zubo::anchored_posts(post.body).empty();
        judge.judge(raw.c_str(), &post);
        ZUBO_FUZZ_CHECK(post.ng == named || (rules.chain() && anchoring && post.ng));
        if (post.ng) ZUBO_FUZZ_CHECK(is_abone(post));
        ZUBO_FUZZ_CHECK(kept.add(post));
        const zubo::Post back = kept.post(kept.count());
        ZUBO_FUZZ_CHECK(std::strcmp(back.name, post.name) == 0 && std::strcmp(back.mail, post.mail) == 0 &&
                        std::strcmp(back.date, post.date) == 0 && std::strcmp(back.body, post.body) == 0 &&
                        back.lines == post.lines);
        for (const char* field : {post.name, post.mail, post.date}) {
            ZUBO_FUZZ_CHECK(zubo::fuzz::terminated(field, zubo::kFieldSize));
        }
        ZUBO_FUZZ_CHECK(zubo::fuzz::terminated(post.body, zubo::kBodySize));
        // Every screen line past the first two is one rendered <br>, in any
        // field; the raw line's only newline ends it, after the body's
        // separator.
        int breaks = 0;
        for (const char* field : {post.name, post.mail, post.date, post.body}) {
            for (const char* p = field; (p = std::strchr(p, '\n')); ++p) ++breaks;
        }
        ZUBO_FUZZ_CHECK(post.lines == 2 + breaks);
        check_printed(post, raw.find('&') != std::string::npos);
        if (holds_ng_word(raw)) {
            for (const char* field : {post.name, post.mail, post.date, post.body}) {
                ZUBO_FUZZ_CHECK(std::strcmp(field, kAbone) == 0);
            }
            ZUBO_FUZZ_CHECK(post.lines == 2);
        }
    }
    return 0;
}
