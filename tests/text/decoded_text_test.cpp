#include "text/decoded_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "text/char_refs.h"
#include "text/sjis.h"

namespace zubo {
namespace {

// The copy a character at a time, as the decoder read before it took
// sixteen bytes at a step: what it must still give.
std::string one_at_a_time(const std::string& field, bool fold, bool decode) {
    std::string out;
    for (const char* p = field.c_str(); *p;) {
        const auto c = static_cast<unsigned char>(*p);
        if ((c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc)) {
            out += *p++;
            if (*p && *p != '&') out += *p++;
            continue;
        }
        CharRef ref;
        if (c == '&' && decode && read_char_ref(p, &ref)) {
            if (ref.code_point < 0x80) {
                const char ascii = static_cast<char>(ref.code_point);
                out += fold && ascii >= 'A' && ascii <= 'Z' ? static_cast<char>(ascii - 'A' + 'a') : ascii;
            } else {
                std::size_t size = 0;
                const char* bytes = sjis::from_code_point(ref.code_point, &size);
                out += bytes ? std::string(bytes, size) : std::string(p, ref.size);
            }
            p += ref.size;
            continue;
        }
        out += fold && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : *p;
        ++p;
    }
    return out;
}

// Fields of lead bytes, trail bytes that are capitals or '&' (0x41, 0x5A,
// 0x26 after a lead), half-width kana, references and letters, long enough
// to fill blocks with every run of lead bytes at their ends.
TEST(DecodedCp932, BlocksGiveWhatACharacterAtATimeGives) {
    const char* pieces[] = {"\x82\xa0", "\x82\x41", "\x83\x5a", "\x81", "\x9f", "\xe0", "\xfc", "\xb1",
                            "&quot;",   "&#12354;", "&amp",     "&",    "A",    "z",    " ",    "Q&A"};
    std::mt19937 random(20261209);
    for (int round = 0; round < 20000; ++round) {
        std::string field;
        for (int n = static_cast<int>(random() % 24); n > 0; --n) field += pieces[random() % std::size(pieces)];
        for (bool fold : {false, true}) {
            for (bool decode : {false, true}) {
                std::string out;
                ASSERT_EQ(decoded_cp932(field.c_str(), fold, &out, decode), one_at_a_time(field, fold, decode))
                    << testing::PrintToString(field) << " fold " << fold << " decode " << decode;
            }
        }
    }
}

}  // namespace
}  // namespace zubo
