#include "documents/ng_words.h"

#include <cstring>

#include "console/messages.h"
#include "store/files.h"
#include "text/lines.h"
#include "text/sjis.h"

namespace zubo {
namespace {

// Each read takes at most 1,998 bytes of a line; a longer line comes in
// pieces, each a word of its own.
constexpr int kNgLineSize = 2000;
constexpr int kNgReadLimit = 1999;

// Cuts the line end off a word: its last newline, and a CR just before it.
void cut_line_end(char* word) {
    char* newline = std::strrchr(word, '\n');
    if (!newline) return;
    *newline = '\0';
    if (newline > word && newline[-1] == '\r') newline[-1] = '\0';
}

// The word as it is matched: a UTF-8 word typed for the UTF-8 console is
// matched in its CP932 form.
const char* word_to_match(const char* word, bool utf8_console) {
    if (!utf8_console) return word;
    std::size_t size = 0;
    const char* converted = sjis::from_utf8_strict(word, std::strlen(word), &size);
    return converted ? converted : word;
}

}  // namespace

NgWords read_ng_words(bool utf8_console) {
    NgWords words;
    File file = open_file(kNgWordFile, "r");
    if (!file) return words;
    char word[kNgLineSize];
    while (std::fgets(word, kNgReadLimit, file.get())) {
        cut_line_end(word);
        // A blank line is no word: it would hide every post.
        if (word[std::strspn(word, " \t")] == '\0') continue;
        const char* match = word_to_match(word, utf8_console);
        words.search.add(match, std::strlen(match));
    }
    return words;
}

int apply_ng_words(NgWords& words, char* line) {
    if (!words.search.found_in(line)) return 0;
    std::memcpy(line, messages::abone_line, kAboneLineSize);
    return 1;
}

}  // namespace zubo
