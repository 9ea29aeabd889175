#include "documents/post_id.h"

#include <gtest/gtest.h>

#include <string>

#include "support/encoding.h"

namespace zubo {
namespace {

using test::sjis;

TEST(PostId, TokenAfterTheMark) {
    struct Case {
        std::string date;
        std::string id;
    } cases[] = {
        {sjis("2024/01/01(月) 12:34:56.78 ID:Ulc37LKS"), "Ulc37LKS"},
        {sjis("2026/11/30(月) 21:10:00.00 ID:Be0Link00 ?2BP(1000)"), "Be0Link00"},
        {sjis("2009/01/13(火) 10:07:30 ID:I/hA9Kq50"), "I/hA9Kq50"},
        {"12/01/16 18:06:28 ID:a+b.c\tx", "a+b.c"}, {"ID:x", "x"}, {"xID:a ID:b", "b"},
        {"2024/01/01 ID:???", ""}, {"2024/01/01 ID:? ID:c", ""}, {"ID:???0", "???0"},
        {"2024/01/01 ID:", ""}, {"2024/01/01 ID: x", ""}, {"2024/01/01 12:00", ""},
        // 0x83 0x49 is one character: its 'I' starts no mark.
        {"\x83" "ID:x", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(post_id(c.date), c.id) << c.date;
}

}  // namespace
}  // namespace zubo
